#!/usr/bin/env bash
# Prints the launch figures of the real game as a player meets them, measured from outside the
# program on a private 1280 x 1024 X server with its own session bus: start to dialog, Play to
# the first table frame (median of several runs, full screen, then with one core kept busy), peak
# resident memory full screen and in a window, and CPU while the game waits for a click.
# usage: bench/app/launch_figures.sh [path/to/pellow] [runs]     (release build)
set -euo pipefail
game=$(realpath "${1:-build/bin/pellow}")
runs=${2:-5}
probe=$(dirname "$game")/launch_probe
[ -x "$probe" ] || { echo "launch_figures: $probe is missing; build the launch_probe target" >&2; exit 1; }
if [ -z "${PELLOW_FIGURES_INNER:-}" ]; then
  export PELLOW_FIGURES_INNER=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" dbus-run-session -- "$0" "$game" "$runs"
fi
# The dummy driver opens an audio device on a machine without a sound card, as a player's would.
export SDL_AUDIODRIVER=dummy
"$probe" "$game" --runs "$runs" --idle
"$probe" "$game" --runs 3 --window
( while :; do :; done ) &
busy=$!
trap 'kill $busy 2>/dev/null || true' EXIT
"$probe" "$game" --runs "$runs" --label "one core busy"
