#!/bin/sh
# The Wine prefix of a test run: `wine-prefix.sh start PREFIX` makes it anew
# and keeps one wineserver for the whole run; `wine-prefix.sh stop PREFIX`
# ends that server. Wine's own output goes to PREFIX.log.
set -eu
action=$1
export WINEPREFIX=$2
export WINEDEBUG=-all
export PATH="$PATH:/usr/lib/wine"
case $action in
start)
    timeout 30 wineserver -k >/dev/null 2>&1 || true
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    # Started apart from this script's output, so that nothing waits for it.
    wineserver -p >"$WINEPREFIX.log" 2>&1 </dev/null
    timeout 300 wine64 wineboot -i >>"$WINEPREFIX.log" 2>&1 </dev/null
    ;;
stop)
    timeout 60 wineserver -k >>"$WINEPREFIX.log" 2>&1 || true
    ;;
*)
    echo "usage: $0 start|stop PREFIX" >&2
    exit 64
    ;;
esac
