#!/bin/sh
# The main job of `make run`: the desktop program against the device
# simulator. The simulator's pseudo-terminal becomes the port of the program's
# profile (every other field of an existing profile is kept); the simulator
# stops when the program ends.
set -eu
BUILD=${1:-build/default}
SIM="$BUILD/tools/vantrix-sim/vantrix-sim"
APP="$BUILD/app/VantrixCtrlPnl"
DATA="$(dirname "$APP")/Data"
mkdir -p "$DATA"

tmp=$(mktemp -d)
fifo="$tmp/sim.out"
mkfifo "$fifo"
"$SIM" --state "$DATA/sim-state.json" >"$fifo" </dev/null &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -rf "$tmp"' EXIT INT TERM
read -r port <"$fifo"

python3 "$(dirname "$0")/profile_port.py" "$DATA/Profile.dat" "$port"
echo "vantrix-sim on $port; starting VantrixCtrlPnl" >&2

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "no display: running under Xvfb" >&2
    xvfb-run -a "$APP"
else
    "$APP"
fi
