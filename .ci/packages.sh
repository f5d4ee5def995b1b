#!/usr/bin/env bash
# Packaging part of CI, run by .ci/run after the Windows part: installs a
# Release build into a prefix and builds the example host against it with
# find_package and with pkg-config; makes the Debian packages, installs them
# into the system and runs the program and the host against them; makes the
# Windows kits from the cross builds.
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive
for package in cmake g++ pkg-config dpkg-dev file unzip man-db python3-venv python3-numpy python3-dev; do
  dpkg -s "$package" >/dev/null 2>&1 || { apt-get update -qq; apt-get install -y -qq --no-install-recommends "$package"; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# The host project, built and run against a canxlate installation.
run_host() { # prefix-or-empty pkg-config-ON/OFF
  local host="$work/host-${2}-$(basename "${1:-system}")"
  cmake -S examples/downstream -B "$host" ${1:+-DCMAKE_PREFIX_PATH="$1"} -DUSE_PKG_CONFIG="$2" >/dev/null
  cmake --build "$host" >/dev/null
  grep -q 'EngineSpeed = 1250.5' <<<"$("$host/decode_frame" examples/powertrain.dbc)" \
    || { echo "the canxlatelib host built with USE_PKG_CONFIG=$2 against ${1:-the system} decoded wrongly"; exit 1; }
  grep -q 'OdometerKm = 12345.6 km' <<<"$("$host/database_decode" examples/diagnostics.dbc DiagResponse)" \
    || { echo "the libcanxlate host built with USE_PKG_CONFIG=$2 against ${1:-the system} decoded wrongly"; exit 1; }
}

echo "== install into a prefix, and a host project against it"
cmake -S . -B build-package -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
  -DCANXLATE_BUILD_TESTS=OFF -DCANXLATE_BUILD_BENCHMARKS=OFF >/dev/null
cmake --build build-package -j2 >/dev/null
cmake --install build-package --prefix "$work/prefix" >/dev/null
# Installed, the program finds its library without LD_LIBRARY_PATH.
"$work/prefix/bin/canxlate" info examples/powertrain.dbc | tail -n 1
run_host "$work/prefix" OFF
run_host "$work/prefix" ON

echo "== the Python package, installed as the README says"
/usr/bin/python3 -m venv --system-site-packages "$work/env"
CANXLATE_LIBRARY="$PWD/build-package/libcanxlate.so" "$work/env/bin/pip" install -q --no-build-isolation ./python
(cd "$work" && "$work/env/bin/python" - "$OLDPWD/examples/powertrain.dbc" <<'PY'
import sys
import canxlate
db = canxlate.load_file(sys.argv[1])
assert canxlate.__file__.startswith(sys.prefix), canxlate.__file__
assert canxlate._lib.speedups is not None, "the compiled module was not built"
assert db.decode_message(0x100, bytes.fromhex("8A131F80FB900000"))["EngineSpeed"] == 1250.5
PY
)

echo "== Debian packages"
(cd build-package && cpack -G DEB >/dev/null)
ls -l build-package/*.deb
apt-get install -y -qq --reinstall ./build-package/*.deb >/dev/null
grep -qx '100#8A13000000000000' <<<"$(canxlate encode examples/powertrain.dbc 100 EngineSpeed=1250.5)" \
  || { echo "the installed program encoded wrongly"; exit 1; }
man -w canxlate >/dev/null
run_host "" OFF
run_host "" ON
apt-get remove -y -qq canxlate libcanxlate-dev 'libcanxlate[0-9]*' >/dev/null

if [ "${1:-}" = --no-windows ]; then echo "== packaging passed (Windows kits skipped)"; exit 0; fi
echo "== Windows kits"
for build in build-mingw-i686 build-mingw-x64; do
  [ -d "$build" ] || { echo "$build is missing: run .ci/windows.sh first"; exit 1; }
  (cd "$build" && cpack -G ZIP >/dev/null)
  listing=$(unzip -l "$build"/canxlate-*-windows-*.zip)
  grep -E '\.(dll|lib|def|h|exe)$' <<<"$listing"
  grep -q 'bin/canxlate\.exe$' <<<"$listing" || { echo "the $build kit lacks canxlate.exe"; exit 1; }
done
echo "== packaging passed"
