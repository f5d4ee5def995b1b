#!/bin/sh
# Runs a Windows program under Debian's Wine: wine64 runs 64-bit programs and
# hands 32-bit ones to the 32-bit Wine (wine32:i386) in the same prefix.
# Quietly, without the installers that a new prefix would otherwise offer, in
# the prefix named by WINEPREFIX (CI gives a throwaway one) or else one in the
# build directory. Wine's exit status is the program's, so a Wine that cannot
# start fails too.
set -eu
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX="${WINEPREFIX:-${CANXLATE_BUILD_WINEPREFIX:?set WINEPREFIX}}"
exec /usr/lib/wine/wine64 "$@"
