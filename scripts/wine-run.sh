#!/bin/sh
# Runs a Windows program of the build under Wine, quietly and with a time
# limit: wine-run.sh PREFIX PROGRAM ARGS... ($WINEPREFIX, when set, wins).
set -eu
prefix=$1
shift
export WINEPREFIX="${WINEPREFIX:-$prefix}"
export WINEDEBUG=-all
# Debian's wine64 package keeps wine64 and wineserver there.
export PATH="$PATH:/usr/lib/wine"
exec timeout "${WINE_TIMEOUT:-300}" wine64 "$@"
