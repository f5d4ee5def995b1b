#!/usr/bin/env bash
# Windows part of CI, run by .ci/run after the Linux tests: cross-builds
# canxlatelib.dll and canxlate.dll for i686 (the target) and x86-64 with
# Debian's MinGW-w64 toolchains, checks the i686 DLLs' export tables, import
# libraries and host kit, and runs the test suites and the C hosts of both
# builds under Wine (the 32-bit Wine from Debian's i386 architecture beside
# wine64).
set -euo pipefail
cd "$(dirname "$0")/.."
export DEBIAN_FRONTEND=noninteractive

packages=(cmake make g++-mingw-w64-i686 g++-mingw-w64-x86-64 binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
          libz-mingw-w64-dev googletest nlohmann-json3-dev wine64 wine32:i386)
missing=()
for package in "${packages[@]}"; do
  dpkg -s "$package" >/dev/null 2>&1 || missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

echo "== Windows: cross builds (i686, x86-64)"
for arch in i686 x86_64; do
  build=build-mingw-$([ "$arch" = i686 ] && echo i686 || echo x64)
  cmake -S . -B "$build" --toolchain "cmake/mingw-w64-$arch.cmake" --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Release \
    -DCANXLATE_BUILD_TESTS=ON -DCANXLATE_BUILD_BENCHMARKS=OFF -DCANXLATE_BUILD_TOOLS=ON -DCANXLATE_BUILD_FUZZERS=OFF
  cmake --build "$build" -j2
  rm -rf "$build/host-kit"
  cmake --install "$build" --prefix "$build/host-kit" >/dev/null
done

echo "== Windows: the i686 DLLs' exports, imports and host kit"
kit=build-mingw-i686/host-kit
work=$(mktemp -d)
objdump=i686-w64-mingw32-objdump
# check_dll NAME MAP COUNT: NAME.dll exports exactly the COUNT functions of the
# export map MAP, plainly named; needs only system DLLs; and the host kit holds
# it with its import library, which maps the cdecl names of 32-bit compilers.
check_dll() {
  local name=$1 map=$2 count=$3
  local dll=build-mingw-i686/$name.dll
  "$objdump" -p "$dll" > "$work/headers"
  grep -q 'file format pei-i386' "$work/headers" || { echo "$dll is not a 32-bit x86 DLL"; exit 1; }
  # The exported names: exactly the functions of the export map, plain.
  sed -n 's/^[[:space:]]*\([A-Za-z_][A-Za-z0-9_]*\)[[:space:]]*;[[:space:]]*$/\1/p' "$map" | sort > "$work/expected"
  sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^[[:space:]]*\[ *[0-9]*\] \(.*\)$/\1/p' "$work/headers" \
    | sort > "$work/exported"
  if ! diff -u "$work/expected" "$work/exported"; then
    echo "the export table of $dll differs from $map (- expected, + exported)"
    exit 1
  fi
  if [ "$(wc -l < "$work/exported")" -ne "$count" ]; then
    echo "$dll exports $(wc -l < "$work/exported") functions, not $count"
    exit 1
  fi
  # Nothing but system DLLs beside it: the GCC, C++ and thread runtimes are inside.
  sed -n 's/^[[:space:]]*DLL Name: //p' "$work/headers" | sort -u > "$work/imports"
  if grep -viE '^(kernel32|msvcrt|user32|advapi32)\.dll$' "$work/imports"; then
    echo "$dll needs the DLLs above at run time"
    exit 1
  fi
  # The import library maps the names that 32-bit compilers give cdecl
  # functions (a leading underscore, no @N) onto the plain exports.
  i686-w64-mingw32-nm "$kit/lib/$name.lib" > "$work/implib"
  while read -r function; do
    grep -q " I __imp__${function}\$" "$work/implib" || { echo "$name.lib lacks __imp__$function"; exit 1; }
  done < "$work/expected"
  for file in "bin/$name.dll" "lib/$name.lib" "lib/$name.def" "include/$name.h"; do
    [ -f "$kit/$file" ] || { echo "host kit lacks $file"; exit 1; }
  done
  echo "$name.dll exports: the $count functions, undecorated; imports: $(paste -sd' ' "$work/imports")"
}
check_dll canxlatelib src/canxlatelib/exports/canxlatelib.map 16
check_dll canxlate src/canxlate/capi/canxlate.map "$(grep -c '^[[:space:]]*cxl_[A-Za-z0-9_]*;' src/canxlate/capi/canxlate.map)"
rm -rf "$work"

echo "== Windows: test suite and C hosts under Wine (i686, x86-64)"
prefix_root=$(mktemp -d)
export WINEPREFIX="$prefix_root/wine"
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  rm -rf "$prefix_root"
}
trap cleanup EXIT
# A test that fails is run once more: under load the Wine server now and then
# drops a client ("wine client error: ... Connection reset by peer"), which
# says nothing about the program. A real fault fails twice.
for build in build-mingw-i686 build-mingw-x64; do
  ctest --test-dir "$build" -V -j2 --timeout 900 --repeat until-pass:2 2>&1 \
    | grep -v '^[0-9]*: \(Test command\|Working Directory\|Environment variables\| CANXLATE_BUILD_WINEPREFIX\|Test timeout\)'
done
