#!/usr/bin/env bash
# Prints how sharp the table's cards are at a screen's real size, measured from screenshots
# taken through the X server: on the corner index (rank and suit) of every face-up card of the
# player's hand, the share of in-between pixels among the inked ones, in-between / (ink +
# in-between). Paper is a pixel with every channel above 220, ink is black (every channel below
# 80) or red (red above 150, green and blue below 60), in-between is the rest of the index's
# glyphs. A soft, stretched card has a wide fringe of in-between pixels; a card drawn for its
# own pixels has a thin one.
#
# For each size the game runs on a private X server of that size with its own session bus,
# fresh home, settings and picture cache, full screen; the script presses Play, clicks the table
# to deal at once and finds the hand in a screenshot by scanning: a card's left edge is a long
# column of paper beside its border line, the hand the face-up cards lowest on the screen. It
# measures the table as drawn now ("pellow"), then the classic table, the design's picture
# scaled to the screen ("pellow classic"), and for comparison the face-up cards of aisleriot's
# Klondike in a window filling the screen, when `sol` is installed (Debian package aisleriot;
# it draws its cards for the window's size).
#
# The crops, enlarged four times, go to $SHARPNESS_OUT (default /tmp/sharpness): per card the
# index as shot and its classes (paper white, ink black or red, in-between blue, grey what
# is not paper but lies outside the index), the whole screenshot, and compare-<size>.png with
# the first card of each side by side.
# usage: bench/app/sharpness.sh [path/to/pellow] [sizes...]   (release build; default sizes
#        1920x1080 3840x2160)
set -euo pipefail

# ---- One run, inside its own X server and session bus: PELLOW_SHARPNESS_INNER names what runs.
if [ -n "${PELLOW_SHARPNESS_INNER:-}" ]; then
  kind=$PELLOW_SHARPNESS_INNER game=$1 size=$2 out=$3 measure=$4
  width=${size%x*} height=${size#*x}
  run=$(mktemp -d "$SHARPNESS_WORK/run.XXXXXX")
  pid=
  finish() {
    if [ -n "$pid" ]; then
      kill "$pid" 2>/dev/null || true
      wait "$pid" 2>/dev/null || true
    fi
  }
  trap finish EXIT
  export HOME=$run/home XDG_CONFIG_HOME=$run/config XDG_CACHE_HOME=$run/cache XDG_RUNTIME_DIR=$run/runtime
  export SDL_AUDIODRIVER=dummy
  mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_CACHE_HOME" "$XDG_RUNTIME_DIR"
  chmod 700 "$XDG_RUNTIME_DIR"

  # poll SECONDS COMMAND...: COMMAND every fifth of a second until it succeeds.
  poll() {
    local end=$((SECONDS + $1))
    shift
    until "$@"; do
      [ "$SECONDS" -lt "$end" ] || return 1
      kill -0 "$pid" 2>/dev/null || return 1
      sleep 0.2
    done
  }
  find_window() { wid=$(timeout 10 xdotool search --onlyvisible "$@" 2>/dev/null | head -1) && [ -n "$wid" ]; }
  no_dialog() { ! find_window --name '^Pellow \(Freeware\)$'; }
  # The game's full-screen window (SDL names it in a way the name search misses).
  find_table() {
    local w
    for w in $(timeout 10 xdotool search --onlyvisible --classname '^pellow$' 2>/dev/null); do
      [ "$(timeout 10 xdotool getwindowgeometry "$w" | sed -n 's/.*Geometry: //p')" = "$size" ] && return 0
    done
    return 1
  }

  case $kind in
  pellow | classic)
    label=pellow mode=hand classic=no
    [ "$kind" = pellow ] || label="pellow classic" classic=yes
    # Unplayable cards are not dimmed, so that the whole hand lies on its white paper.
    mkdir -p "$XDG_CONFIG_HOME/pellow"
    printf 'pellow-settings 1\nshow-playable = no\nclassic-table = %s\n' "$classic" >"$XDG_CONFIG_HOME/pellow/settings"
    "$game" --fullscreen >"$run/output.txt" 2>&1 &
    pid=$!
    poll 60 find_window --name '^Pellow \(Freeware\)$' || { echo "sharpness: no start-up dialog" >&2; exit 1; }
    sleep 0.5
    timeout 10 xdotool key --window "$wid" Return
    if ! poll 5 no_dialog; then
      timeout 10 xdotool mousemove --window "$wid" 386 530 click 1  # the dialog's Play
    fi
    # At a new size the first start renders the pictures for it, which takes a while.
    poll 180 find_table || { echo "sharpness: no full-screen table" >&2; cat "$run/output.txt" >&2; exit 1; }
    sleep 1
    timeout 10 xdotool mousemove $((width / 2)) $((height / 2)) mousedown 1 sleep 0.15 mouseup 1
    ;;
  aisleriot)
    label=aisleriot mode=all
    "$SHARPNESS_SOL" >"$run/output.txt" 2>&1 &
    pid=$!
    poll 60 find_window --classname '^sol$' || { echo "sharpness: no aisleriot window" >&2; exit 1; }
    sleep 1
    # No window manager to maximise it: the window is moved and sized to the screen.
    timeout 10 xdotool windowmove "$wid" 0 0 windowsize "$wid" "$width" "$height"
    ;;
  esac

  # The cards are measured once two screenshots a moment apart give the same figures: the deal
  # is over and nothing moves over the cards measured.
  prefix=$out/$size-${label// /-}
  rm -f "$prefix"-card*.png
  last= figures=
  for _ in $(seq 40); do
    sleep 1
    kill -0 "$pid" 2>/dev/null || { echo "sharpness: $label ended" >&2; cat "$run/output.txt" >&2; exit 1; }
    timeout 60 import -window root "$run/shot.png"
    convert "$run/shot.png" -depth 8 "$run/shot.ppm"
    rm -f "$run"/card*.ppm
    figures=$(python3 "$measure" "$run/shot.ppm" "$mode" "$run/card")
    if [ "$(tail -1 <<<"$figures" | cut -d' ' -f2)" -ge 1 ] && [ "$figures" = "$last" ]; then break; fi
    last=$figures
    figures=
  done
  [ -n "$figures" ] || { echo "sharpness: no steady face-up cards found for $label at $size" >&2; exit 1; }
  cp "$run/shot.png" "$prefix-screen.png"
  for f in "$run"/card*.ppm; do
    name=$(basename "$f" .ppm)
    convert "$f" -scale 400% "$prefix-$name.png"
  done
  grep -v '^total' <<<"$figures" >"$prefix-cards.txt"
  read -r _ cards ink between < <(tail -1 <<<"$figures")
  awk -v s="$size" -v l="$label" -v c="$cards" -v i="$ink" -v b="$between" 'BEGIN {
    printf "sharpness %s %s: %.1f%% (in-between %d of %d inked, %d cards)\n", s, l, 100 * b / (i + b), b, i + b, c }'
  exit 0
fi

# ---- The pixel counting: the screenshot as PPM, the cards found and their indexes measured.
write_measure() {
  cat >"$1" <<'PY'
import re, sys
from collections import deque

PAPER_MIN = 220                   # paper: every channel above this
BLACK_MAX = 80                    # black ink: every channel below this
RED_MIN, RED_OTHER_MAX = 150, 60  # red ink: red above, green and blue below

def is_ink(r, g, b):
    return (r < BLACK_MAX and g < BLACK_MAX and b < BLACK_MAX) or (r > RED_MIN and g < RED_OTHER_MAX and b < RED_OTHER_MAX)

def read_ppm(path):
    data = open(path, 'rb').read()
    fields, pos = [], 0
    while len(fields) < 4:
        while data[pos:pos + 1].isspace():
            pos += 1
        if data[pos:pos + 1] == b'#':
            pos = data.index(b'\n', pos)
            continue
        end = pos
        while not data[end:end + 1].isspace():
            end += 1
        fields.append(data[pos:end])
        pos = end
    if fields[0] != b'P6' or fields[3] != b'255':
        sys.exit('sharpness: %s is not an 8-bit PPM' % path)
    w, h = int(fields[1]), int(fields[2])
    return w, h, data[pos + 1:pos + 1 + w * h * 3]

def write_ppm(path, w, h, rgb):
    with open(path, 'wb') as f:
        f.write(b'P6\n%d %d\n255\n' % (w, h))
        f.write(bytes(rgb))

def measure_card(w, px, paper, box, height):
    x0, y0, x1, y1 = box
    bw, bh = x1 - x0, y1 - y0
    if bw < 4 or bh < 4:
        return None
    inside = [paper[(y0 + j) * w + x0:(y0 + j) * w + x1] for j in range(bh)]
    # A face-up card's corner is mostly paper; a card's back is mostly pattern.
    if sum(sum(r) for r in inside) < 0.5 * bw * bh:
        return None
    label = [[0] * bw for _ in range(bh)]
    comps = []
    for j in range(bh):
        for i in range(bw):
            if inside[j][i] or label[j][i]:
                continue
            label[j][i] = len(comps) + 1
            queue, pix, edge = deque([(i, j)]), [], False
            while queue:
                a, b = queue.popleft()
                pix.append((a, b))
                edge = edge or a == 0 or b == 0 or a == bw - 1 or b == bh - 1
                for c in (a - 1, a, a + 1):
                    for d in (b - 1, b, b + 1):
                        if 0 <= c < bw and 0 <= d < bh and not inside[d][c] and not label[d][c]:
                            label[d][c] = len(comps) + 1
                            queue.append((c, d))
            ink = 0
            for a, b in pix:
                k = ((y0 + b) * w + x0 + a) * 3
                ink += is_ink(px[k], px[k + 1], px[k + 2])
            comps.append({'pix': pix, 'edge': edge, 'ink': ink, 'l': min(p[0] for p in pix),
                          'r': max(p[0] for p in pix), 't': min(p[1] for p in pix), 'b': max(p[1] for p in pix)})
    # What touches the box's sides is the border line, the felt beyond the rounded corner, or a
    # pip or picture that the box cuts: not the index.
    free = [c for c in comps if not c['edge']]
    glyphs = [c for c in free if c['ink'] and len(c['pix']) >= max(4, (height // 60) ** 2)]
    # An index is a few glyphs; a back's pattern, on white, is many.
    if not glyphs or len(glyphs) > 6:
        return None
    # The rank is the index's top glyph, near the corner, about a tenth of the card high. A rank
    # grown into the picture beside it (a soft court card) leaves the suit on top: no index.
    seed = min(glyphs, key=lambda c: (c['t'], c['l']))
    rank_h = seed['b'] - seed['t'] + 1
    if seed['t'] > 0.15 * height or seed['l'] > 0.15 * height or rank_h > 0.14 * height:
        return None
    members, row = [seed], [seed]
    grown = True
    while grown:
        grown = False
        for c in glyphs:
            if c in members:
                continue
            # Beside the rank (a ten's second digit): as tall, on its line and close. A pip is
            # taller or lower, or further off.
            tall = c['b'] - c['t'] + 1
            beside = (abs(c['t'] - seed['t']) <= 0.25 * rank_h and 0.75 * rank_h <= tall <= 1.33 * rank_h and
                      any(max(c['l'] - m['r'], m['l'] - c['r']) <= 0.25 * rank_h for m in row))
            # Below it (the suit): centred under the rank and close.
            row_l, row_r = min(m['l'] for m in row), max(m['r'] for m in row)
            below = (row_l <= (c['l'] + c['r']) / 2 <= row_r and
                     any(0 <= c['t'] - m['b'] <= 0.6 * rank_h for m in members))
            if beside or below:
                members.append(c)
                if beside:
                    row.append(c)
                grown = True
    l, r = min(c['l'] for c in members), max(c['r'] for c in members)
    t, b = min(c['t'] for c in members), max(c['b'] for c in members)
    # Edge-softening specks of the index that the paper threshold cut off from its glyphs.
    for c in free:
        if c not in members and c['l'] >= l - 1 and c['r'] <= r + 1 and c['t'] >= t - 1 and c['b'] <= b + 1:
            members.append(c)
    ink = sum(c['ink'] for c in members)
    between = sum(len(c['pix']) for c in members) - ink
    pad = 2
    crop = (max(x0, x0 + l - pad), max(y0, y0 + t - pad), min(x1, x0 + r + 1 + pad), min(y1, y0 + b + 1 + pad))
    mine = {(x0 + a, y0 + bb) for c in members for a, bb in c['pix']}
    return {'crop': crop, 'ink': ink, 'between': between, 'mine': mine}

def save_crops(w, px, card, name):
    cx0, cy0, cx1, cy1 = card['crop']
    shot, classes = bytearray(), bytearray()
    for y in range(cy0, cy1):
        for x in range(cx0, cx1):
            k = (y * w + x) * 3
            r, g, b = px[k], px[k + 1], px[k + 2]
            shot += bytes((r, g, b))
            if (x, y) not in card['mine']:
                paper = r > PAPER_MIN and g > PAPER_MIN and b > PAPER_MIN
                classes += b'\xff\xff\xff' if paper else b'\xc0\xc0\xc0'
            elif r < BLACK_MAX and g < BLACK_MAX and b < BLACK_MAX:
                classes += b'\x00\x00\x00'
            elif is_ink(r, g, b):
                classes += b'\xff\x00\x00'
            else:
                classes += b'\x00\xa0\xff'
    write_ppm(name + '.ppm', cx1 - cx0, cy1 - cy0, shot)
    write_ppm(name + '-classes.ppm', cx1 - cx0, cy1 - cy0, classes)

def main():
    shot, mode, prefix = sys.argv[1], sys.argv[2], sys.argv[3]
    w, h, px = read_ppm(shot)
    hi = bytes(1 if v > PAPER_MIN else 0 for v in range(256))
    paper = (int.from_bytes(px[0::3].translate(hi), 'big') & int.from_bytes(px[1::3].translate(hi), 'big')
             & int.from_bytes(px[2::3].translate(hi), 'big')).to_bytes(w * h, 'big')

    # A card's left edge: a column of paper longer than a tenth of the screen, just right of a
    # column that is not paper along nearly all of it (the card's border line, or the border of
    # the card laid over it). Rows sampled every few pixels meet every such column.
    runs, edges = {}, []
    for y in range(0, h, max(2, h // 400)):
        for m in re.finditer(b'\x00\x01', paper[y * w:(y + 1) * w]):
            x = m.start() + 1
            if any(t <= y <= b for t, b in runs.get(x, ())):
                continue
            top = bottom = y
            while top > 0 and paper[(top - 1) * w + x]:
                top -= 1
            while bottom < h - 1 and paper[(bottom + 1) * w + x]:
                bottom += 1
            runs.setdefault(x, []).append((top, bottom))
            length = bottom - top + 1
            if length >= h // 10 and sum(1 for yy in range(top, bottom + 1) if not paper[yy * w + x - 1]) >= 0.9 * length:
                edges.append((x, top, bottom))

    cards = []
    for x0, t0, b0 in edges:
        length = b0 - t0 + 1
        right = x0 + int(0.3 * length)
        for x1, t1, b1 in edges:
            if x0 < x1 < right and min(b0, b1) - max(t0, t1) > 0.5 * length:
                right = x1      # the card laid over this one: its border ends the box
        right = min(right, w)
        # The top border: the first row above the column's run (which starts below the rounded
        # corner) that is not paper across the box.
        top = t0
        for y in range(t0 - 1, max(-1, t0 - length // 5), -1):
            if sum(1 for x in range(x0, right) if not paper[y * w + x]) >= 0.85 * (right - x0):
                top = y + 1
                break
        card = measure_card(w, px, paper, (x0, top, right, min(h, top + int(0.35 * (b0 - top + 1)))), b0 - top + 1)
        if card:
            card['bottom'] = b0
            cards.append(card)
    if mode == 'hand' and cards:
        # The player's hand: the face-up cards lowest on the screen, all ending on one line.
        lowest = max(c['bottom'] for c in cards)
        cards = [c for c in cards if c['bottom'] >= lowest - h // 100]
    cards.sort(key=lambda c: c['crop'][:2])
    for i, c in enumerate(cards):
        save_crops(w, px, c, '%s%02d' % (prefix, i + 1))
        x0, y0, x1, y1 = c['crop']
        print('card %d at %d,%d: index %dx%d, ink %d, in-between %d' % (i + 1, x0, y0, x1 - x0, y1 - y0, c['ink'], c['between']))
    print('total %d %d %d' % (len(cards), sum(c['ink'] for c in cards), sum(c['between'] for c in cards)))

main()
PY
}

game=$(realpath "${1:-build/bin/pellow}")
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1920x1080 3840x2160)
[ -x "$game" ] || { echo "sharpness: no program at $game" >&2; exit 1; }
for size in "${sizes[@]}"; do
  [[ $size =~ ^[0-9]+x[0-9]+$ ]] || { echo "sharpness: a size is WIDTHxHEIGHT, not $size" >&2; exit 1; }
done
out=${SHARPNESS_OUT:-/tmp/sharpness}
mkdir -p "$out"
out=$(realpath "$out")
SHARPNESS_WORK=$(mktemp -d "${TMPDIR:-/tmp}/pellow-sharpness.XXXXXX")
export SHARPNESS_WORK
# The session's document portal may have mounted a folder in a run's runtime folder.
remove_work() {
  local mount
  for mount in $(awk -v work="$SHARPNESS_WORK/" 'index($5, work) == 1 { print $5 }' /proc/self/mountinfo); do
    fusermount3 -u -z "$mount" 2>/dev/null || umount -l "$mount" 2>/dev/null || true
  done
  rm -rf "$SHARPNESS_WORK"
}
trap remove_work EXIT
write_measure "$SHARPNESS_WORK/measure.py"
SHARPNESS_SOL=$(command -v sol || command -v /usr/games/sol || true)
export SHARPNESS_SOL
self=$(realpath "$0")

for size in "${sizes[@]}"; do
  kinds=(pellow classic)
  if [ -n "$SHARPNESS_SOL" ]; then kinds+=(aisleriot); fi
  row=()
  for kind in "${kinds[@]}"; do
    label=pellow
    case $kind in classic) label=pellow-classic ;; aisleriot) label=aisleriot ;; esac
    if ! PELLOW_SHARPNESS_INNER=$kind xvfb-run -a -s "-screen 0 ${size}x24" \
      dbus-run-session -- "$self" "$game" "$size" "$out" "$SHARPNESS_WORK/measure.py" \
      >"$SHARPNESS_WORK/figures.txt" 2>"$SHARPNESS_WORK/errors.txt"; then
      echo "sharpness $size ${label//-/ }: not measured ($(grep '^sharpness' "$SHARPNESS_WORK/errors.txt" | head -1))"
      continue
    fi
    # What the session's helpers say on their way (aisleriot's accessibility bus) is left out.
    line=$(grep '^sharpness ' "$SHARPNESS_WORK/figures.txt")
    echo "$line"
    # The first card of each, as shot over its classes, under its name and figure.
    share=${line#*: }
    convert -background white -fill black -pointsize 20 label:"${label//-/ } ${share%% *}" \
      "$out/$size-$label-card01.png" "$out/$size-$label-card01-classes.png" -gravity center -append \
      -bordercolor white -border 8 "$SHARPNESS_WORK/$kind.png"
    row+=("$SHARPNESS_WORK/$kind.png")
  done
  if [ -z "$SHARPNESS_SOL" ]; then
    echo "sharpness $size aisleriot: not measured (sol, Debian package aisleriot, is not installed)"
  fi
  if [ ${#row[@]} -gt 0 ]; then
    convert "${row[@]}" -background white -gravity north +append "$out/compare-$size.png"
  fi
done
echo "sharpness: crops and screenshots in $out"
