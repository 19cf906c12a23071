#!/usr/bin/env bash
# Prints the launch figures of the real game as a player meets them, measured from outside the
# program on a private X server of each size given (1280 x 1024 unless told) with its own session
# bus and a home of its own: start to dialog, Play to the first table frame (median of several
# runs, full screen, then with one core kept busy), peak resident memory full screen and in a
# window, and CPU while the game waits for a click. The table is drawn for the screen: the first
# start at a size renders its pictures and keeps them ("first start"), the others read them. The
# classic table's figures follow.
# usage: bench/app/launch_figures.sh [path/to/pellow] [runs] [WxH ...]     (release build)
set -euo pipefail
game=$(realpath "${1:-build/bin/pellow}")
runs=${2:-5}
shift $(($# > 2 ? 2 : $#))
sizes=("${@:-1280x1024}")
probe=$(dirname "$game")/launch_probe
[ -x "$probe" ] || { echo "launch_figures: $probe is missing; build the launch_probe target" >&2; exit 1; }
if [ -z "${PELLOW_FIGURES_INNER:-}" ]; then
  export PELLOW_FIGURES_INNER=1
  first=yes
  for size in "${sizes[@]}"; do
    echo "== $size"
    PELLOW_FIGURES_IDLE=$first xvfb-run -a -s "-screen 0 ${size}x24" dbus-run-session -- "$0" "$game" "$runs"
    first=no
  done
  exit 0
fi
# The dummy driver opens an audio device on a machine without a sound card, as a player's would.
export SDL_AUDIODRIVER=dummy
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
export HOME=$home XDG_CONFIG_HOME=$home/config XDG_CACHE_HOME=$home/cache
"$probe" "$game" --runs 1 --label "first start"
if [ "${PELLOW_FIGURES_IDLE:-yes}" = yes ]; then "$probe" "$game" --runs "$runs" --idle
else "$probe" "$game" --runs "$runs"; fi
"$probe" "$game" --runs 3 --window
( while :; do :; done ) &
busy=$!
trap 'kill $busy 2>/dev/null || true; rm -rf "$home"' EXIT
"$probe" "$game" --runs "$runs" --label "one core busy"
kill $busy 2>/dev/null || true
mkdir -p "$XDG_CONFIG_HOME/pellow"
printf 'pellow-settings 1\nclassic-table = yes\n' >"$XDG_CONFIG_HOME/pellow/settings"
"$probe" "$game" --runs "$runs" --label "classic table"
