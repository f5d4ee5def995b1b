#!/bin/sh
# Runs a Windows program under Debian's 64-bit Wine: quietly, without the
# installers that a new prefix would otherwise offer, in the prefix named by
# WINEPREFIX (CI gives a throwaway one) or else one in the build directory.
# Wine's exit status is the program's, so a Wine that cannot start fails too.
set -eu
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-${CANXLATE_BUILD_WINEPREFIX:?set WINEPREFIX}}"
exec /usr/lib/wine/wine64 "$@"
