#!/usr/bin/env bash
# Prints the CPU the real game uses while it waits for the player's click (ms per 10 s) and its
# peak resident memory. Runs the game in a window under a virtual X server; needs xvfb-run and
# xdotool. Usage: idle_and_memory.sh path/to/pellow
set -euo pipefail
game=${1:?usage: idle_and_memory.sh path/to/pellow}
if [ -z "${DISPLAY:-}" ]; then exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"; fi
export SDL_AUDIODRIVER=dummy
"$game" --window >/dev/null 2>&1 &
pid=$!
trap 'kill $pid 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  xdotool search --name "Pellow \(Freeware\)" >/dev/null 2>&1 && break
  sleep 0.2
done
eval "$(xdotool search --name "Pellow \(Freeware\)" getwindowgeometry --shell | head -5)"
xdotool mousemove $((X + 380)) $((Y + 530)) click 1   # Play
# Dealing and the computer seats' first plays take a while; then the game waits for a click.
sleep 25
ticks() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
hz=$(getconf CLK_TCK)
before=$(ticks)
sleep 10
after=$(ticks)
echo "idle CPU: $(( (after - before) * 1000 / hz )) ms per 10 s"
echo "peak resident memory: $(awk '/VmHWM/ {printf "%.1f MB", $2 / 1024}' "/proc/$pid/status")"
