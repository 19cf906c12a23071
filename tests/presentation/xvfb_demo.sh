#!/bin/sh
# Runs the presentation demo full screen on a virtual 1280 x 800 X server, moves the pointer,
# takes a screenshot of the whole screen and checks what was shown; then again drawn for the
# screen's own size, where the X server must hold exactly what the demo drew.
#   xvfb_demo.sh DEMO OUTDIR
set -eu
demo=$1
out=$2
mkdir -p "$out"
rm -f "$out/screen.png" "$out/frame.bmp" "$out/demo.log" "$out/native.png" "$out/native.bmp" "$out/native.log"

# One run of the demo: its saved frame, its output and the screenshot under the given names,
# in a session with a private bus, so that the libraries below the demo start none of their own.
#   run_demo FRAME LOG SCREEN [MODE]
run_demo() {
    xvfb-run -a -s "-screen 0 1280x800x24" dbus-run-session -- sh -c '
        "$0" "$1/$2.bmp" 3 $5 > "$1/$3.log" 2>&1 &
        pid=$!
        sleep 1
        xdotool mousemove 908 534
        sleep 1
        import -window root "$1/$4.png"
        wait $pid
    ' "$demo" "$out" "$1" "$2" "$3" "${4:-}"
}

run_demo frame demo screen

cat "$out/demo.log"
fail() { echo "FAIL: $*" >&2; exit 1; }

# 800 x 600 on a 16:10 screen: scaled by 4/3 to 1066 x 800 with bars of 107 pixels at the sides.
# The centre of screen pixel (908, 534) is back-buffer (601.1, 400.9).
grep -q '^mouse 601 400$' "$out/demo.log" || fail "pointer not mapped to back-buffer pixels"
grep -q '^saved yes$' "$out/demo.log" || fail "no screenshot from the renderer"
frames=$(sed -n 's/^frames //p' "$out/demo.log")
# At most about 180 frames in 3 s at 60 Hz; far more would mean the loop is not paced. (The
# lower bound only says it kept presenting: a busy machine renders the scaled frame slowly.)
[ "$frames" -ge 10 ] && [ "$frames" -le 200 ] || fail "$frames frames in 3 seconds"

pixel() { convert "$out/screen.png" -crop "1x1+$1+$2" -depth 8 txt:- | sed -n 's/.*#\([0-9A-Fa-f]\{6\}\).*/\1/p'; }
[ "$(pixel 50 400)" = "000000" ] || fail "left bar is not black: $(pixel 50 400)"
[ "$(pixel 1230 400)" = "000000" ] || fail "right bar is not black"
# The first card's face between its rank and its pips (back-buffer 254, 400 -> screen 446, 534):
# off-white.
case "$(pixel 446 534)" in F[0-9A-F]F[0-9A-F]F[0-9A-F]|F[0-9A-F]F[0-9A-F]E[0-9A-F]) ;; *) fail "card face missing: $(pixel 446 534)";; esac
# The felt at back-buffer (100, 100) -> screen (240, 133): green.
g=$(pixel 240 133)
case "$g" in 0[0-9A-F][5-9A-F][0-9A-F][0-9A-F][0-9A-F]|1[0-9A-F][5-9A-F][0-9A-F][0-9A-F][0-9A-F]) ;; *) fail "felt missing: $g";; esac
echo "screenshot: $out/screen.png"

# Native: the back buffer goes to the X server a changed part at a time. What the server shows
# (the card's slide done, the pointer moved) is, pixel for pixel, the last frame the demo drew.
run_demo native native native native
cat "$out/native.log"
grep -q '^shown through x11$' "$out/native.log" || fail "the native table was not sent to the X server itself"
grep -q '^mouse 908 534$' "$out/native.log" || fail "pointer not at its screen pixel"
grep -q '^saved yes$' "$out/native.log" || fail "no native screenshot"
differing=$(compare -metric AE "$out/native.png" "$out/native.bmp" null: 2>&1) || true
[ "$differing" = 0 ] || fail "the X server shows $differing pixels other than the frame drawn"
echo "screenshot: $out/native.png"
