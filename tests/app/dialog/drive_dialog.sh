#!/bin/bash
# Drives the real start-up dialog on an X display with xdotool.
#
#   drive_dialog.sh play   PROGRAM [SHOT-DIR]  show each deck's own preview, switch tabs, pick
#                                              the Celtic deck and "Slow animation", press
#                                              Play; the program must report
#                                              the launch with Roya2, 800x600 and slow animation,
#                                              and the banner and previews must be the pictures
#                                              in $PELLOW_DIALOG_PICTURES, pixel for pixel
#   drive_dialog.sh close  PROGRAM WM-CLOSE    close the window as the close box does
#   drive_dialog.sh exit   PROGRAM             press "Exit"
#   drive_dialog.sh game   PROGRAM [SHOT-DIR]  the real game: pick the Celtic deck and play; the
#                                              game window must open at 800x600 with Pellow's
#                                              class and icon, and Escape must end the game with
#                                              the unpacked files gone
#   drive_dialog.sh scale  PROGRAM [SHOT-DIR]  the desktop's text scale (Xft.dpi): a malformed
#                                              value leaves the dialog at 538x545; at 192 it is
#                                              twice that, or as large as fits the screen, its
#                                              pictures scaled smoothly, and its deck and Play
#                                              work where the scale puts them
#
# For close and exit the program must end at once with status 0, launch nothing and leave no
# "res" folder beside itself or in its working folder. A program with res002.pak beside it is
# copied with its game module and archive into a private folder first, so that parallel tests
# never share an unpacked tree. Run it under xvfb-run.
set -u

mode=$1
program=$(readlink -f "$2")
extra=${3:-}
caption='^Pellow \(Freeware\)$'

fail() {
    echo "FAIL: $*" >&2
    [ -n "${pid:-}" ] && kill "$pid" 2>/dev/null
    exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work" || exit 1
# The settings, record and kept match go to a home of the test's own: the tester's stay as they
# are, and no run finds what an earlier one left.
export HOME="$work/home"
unset XDG_CONFIG_HOME
mkdir -p "$HOME"
if [ -e "$(dirname "$program")/res002.pak" ]; then
    mkdir "$work/program"
    cp "$program" "$(dirname "$program")/pellow-game.so" "$(dirname "$program")/pellow-art.so" \
        "$(dirname "$program")/res002.pak" "$work/program/" ||
        fail "cannot copy the program"
    program="$work/program/$(basename "$program")"
fi
program_dir=$(dirname "$program")
args=()
[ "$mode" = game ] && args=(--window)
res_before=no
[ -e "$program_dir/res" ] && res_before=yes

# The display must answer before the program starts.
for _ in $(seq 100); do
    xdotool getdisplaygeometry >/dev/null 2>&1 && break
    sleep 0.1
done
xdotool getdisplaygeometry >/dev/null 2>&1 || fail "no X display at $DISPLAY"

# Starts the program and waits for its dialog's window ($wid) and its size ($geometry).
start_dialog() {
    "$program" "${args[@]}" >"$work/out.txt" 2>"$work/err.txt" &
    pid=$!
    wid=
    for _ in $(seq 100); do
        wid=$(xdotool search --onlyvisible --name "$caption" 2>/dev/null | head -1)
        [ -n "$wid" ] && break
        kill -0 "$pid" 2>/dev/null || fail "program ended before showing the dialog: $(cat "$work/err.txt")"
        sleep 0.1
    done
    [ -n "$wid" ] || fail "no window captioned 'Pellow (Freeware)'"
    sleep 0.3
    geometry=$(xdotool getwindowgeometry "$wid" | sed -n 's/.*Geometry: //p')
}

# The X server's resource database, as xrdb -merge leaves it: the programs that connect next read it.
set_resources() {
    xprop -root -f RESOURCE_MANAGER 8s -set RESOURCE_MANAGER "$1" || fail "cannot set the resources"
}

if [ "$mode" != scale ]; then
    start_dialog
    [ "$geometry" = "538x545" ] || fail "dialog is $geometry, not 538x545"
fi
# A task bar groups the dialog with the game under the desktop entry (pellow.desktop), not
# under the toolkit's name.
if [ "$mode" != scale ]; then
    class=$(xprop -id "$wid" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = //p')
    [ "$class" = '"pellow", "Pellow"' ] || fail "the dialog's window class is $class"
fi

# The dialog's scale: its width against today's 538 pixels.
scale=1
# A length of the dialog's layout at its scale.
at() { awk -v v="$1" -v s="$scale" 'BEGIN { printf "%d", v * s + 0.5 }'; }
# Clicks at window coordinates of the dialog's layout.
click() {
    xdotool mousemove --window "$wid" "$(at "$1")" "$(at "$2")" click 1
    sleep 0.3
}
shot() {
    [ -n "$extra" ] && [ "$mode" != close ] && import -window "$wid" "$extra/$1.png"
}
# The page's text is laid out when its tab first shows: the page must then show words, many
# shades of anti-aliased ink, not an empty box of one or two colours.
page_has_text() {
    local colours
    colours=$(import -window "$wid" -crop "$(at 470)x$(at 120)+$(at 30)+$(at 350)" +repage png:- |
        convert png:- -format %k info:)
    [ "${colours:-0}" -ge 20 ] || fail "the $1 page shows no text ($colours colours)"
}
# The dialog hands its pictures to the display itself where it can: on the screen they must be
# the pack builder's, pixel for pixel.
shows_picture() {
    local differ
    differ=$(import -window "$wid" -crop "$2" +repage png:- |
        compare -metric AE png:- "$PELLOW_DIALOG_PICTURES/$1.bmp" null: 2>&1)
    [ "$differ" = 0 ] || fail "the $1 picture on the screen differs from $1.bmp ($differ pixels)"
}
tab_deck() { click 30 308; }
tab_keys() { click 71 308; }
tab_rules() { click 113 308; }
tab_credits() { click 162 308; }
tab_options() { click 217 308; }

wait_end() {
    for _ in $(seq 100); do
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$pid" 2>/dev/null && fail "program still running"
    wait "$pid"
    status=$?
    pid=
    [ "$status" -eq 0 ] || fail "program ended with status $status: $(cat "$work/err.txt")"
}

case $mode in
play)
    [ -n "$extra" ] && mkdir -p "$extra"
    [ -d "${PELLOW_DIALOG_PICTURES:-}" ] || fail "PELLOW_DIALOG_PICTURES names no folder"
    shot deck
    shows_picture banner 435x254+48+0
    shows_picture preview0 119x156+388+344
    # Each deck shows its own card, whichever was showing before.
    click 120 340          # Worn Classic, Option1
    shot deck-worn
    shows_picture preview3 119x156+388+344
    click 120 482          # Vintage 1900s, Option3
    shot deck-vintage
    shows_picture preview2 119x156+388+344
    click 120 386          # Royal Standard, Option4
    shot deck-royal
    shows_picture preview0 119x156+388+344
    tab_keys; shot keys
    tab_rules; shot rules; page_has_text rules
    # The "about" line only shows a message box with the dialog's caption.
    click 360 497
    [ "$(xdotool search --onlyvisible --name "$caption" | wc -l)" -eq 2 ] ||
        fail "no message box for the about line"
    [ -n "$extra" ] && import -window root "$extra/about-message.png"
    xdotool key Return
    sleep 0.3
    [ "$(xdotool search --onlyvisible --name "$caption" | wc -l)" -eq 1 ] ||
        fail "the message box did not close with OK"
    tab_credits; shot credits; page_has_text credits
    tab_options; shot options
    tab_deck
    click 120 437          # the Celtic deck, Option2
    shot deck-celtic
    shows_picture preview1 115x152+389+344
    tab_options
    click 100 436          # "Slow animation"
    shot options-slow
    click 386 530          # Play
    wait_end
    grep -q '^launched deckFolder=Roya2 resolution=800x600 screen=800x600 slowAnimation=1 ' \
        "$work/out.txt" || fail "unexpected launch: $(cat "$work/out.txt")"
    grep -q 'moveFrames=40 playFrames=20' "$work/out.txt" ||
        fail "slow animation did not double the frames: $(cat "$work/out.txt")"
    ;;
game)
    [ -n "$extra" ] && mkdir -p "$extra"
    click 120 437          # the Celtic deck, Option2
    click 386 530          # Play
    game=
    for _ in $(seq 200); do
        # This xdotool's name search misses the game's window; ask each visible one instead.
        for w in $(xdotool search --onlyvisible --class '.' 2>/dev/null); do
            [ "$(xdotool getwindowname "$w" 2>/dev/null)" = Pellow ] && game=$w
        done
        [ -n "$game" ] && break
        kill -0 "$pid" 2>/dev/null || fail "the game did not start: $(cat "$work/err.txt")"
        sleep 0.1
    done
    [ -n "$game" ] || fail "no game window"
    xdotool search --onlyvisible --name "$caption" >/dev/null 2>&1 &&
        fail "the dialog is still showing beside the game"
    geometry=$(xdotool getwindowgeometry "$game" | sed -n 's/.*Geometry: //p')
    [ "$geometry" = "800x600" ] || fail "game window is $geometry, not 800x600"
    # The game's window is Pellow's too: the desktop entry's class and its icon, 64 x 64.
    class=$(xprop -id "$game" WM_CLASS | sed -n 's/^WM_CLASS(STRING) = "\([^"]*\)".*/\1/p')
    [ "$class" = pellow ] || fail "the game's window class is $class"
    icon=$(xprop -id "$game" -notype 32c _NET_WM_ICON | sed -n 's/^_NET_WM_ICON = \([0-9]*\), \([0-9]*\),.*/\1x\2/p')
    [ "$icon" = 64x64 ] || fail "the game's window has no 64 x 64 icon (${icon:-none})"
    sleep 4                # let the deal run for a moment
    [ -e "$program_dir/res" ] && fail "the unpacked files are still there while the game runs"
    [ -n "$extra" ] && import -window "$game" "$extra/game.png"
    # Held like a player's key press: the game reads the keyboard once a frame.
    xdotool mousemove --window "$game" 400 300 keydown Escape sleep 0.3 keyup Escape
    wait_end
    [ -e "$program_dir/res" ] && fail "a res folder is left beside the program"
    ;;
close | exit)
    if [ "$mode" = close ]; then
        "$extra" "$wid" || fail "could not send the close message"
    else
        click 36 530       # Exit
    fi
    wait_end
    grep -q '^launched' "$work/out.txt" && fail "closing the dialog launched the game"
    [ -e "$work/res" ] && fail "a res folder was made in the working folder"
    [ "$res_before" = no ] && [ -e "$program_dir/res" ] && fail "a res folder was made beside the program"
    ;;
scale)
    [ -n "$extra" ] && mkdir -p "$extra"
    [ -d "${PELLOW_DIALOG_PICTURES:-}" ] || fail "PELLOW_DIALOG_PICTURES names no folder"
    read -r screen_w screen_h < <(xdotool getdisplaygeometry)
    # Not a number: the dialog is as it always was, and Exit is where it always was.
    set_resources $'Xft.antialias:\t1\nXft.dpi:\t19x2\n'
    start_dialog
    [ "$geometry" = "538x545" ] || fail "with a malformed Xft.dpi the dialog is $geometry, not 538x545"
    click 36 530           # Exit
    wait_end

    set_resources $'Xft.antialias:\t1\nXft.dpi:\t192\n'
    start_dialog
    [ -n "$extra" ] && import -window root "$extra/scaled-screen.png"
    width=${geometry%x*} height=${geometry#*x}
    [ "$width" -le "$screen_w" ] && [ "$height" -le "$screen_h" ] ||
        fail "the dialog ($geometry) does not fit the screen (${screen_w}x${screen_h})"
    if [ "$screen_w" -ge 1200 ] && [ "$screen_h" -ge 1200 ]; then
        # Room to spare: twice today's size, give or take the rounding of each edge.
        [ $((width - 1076)) -ge -2 ] && [ $((width - 1076)) -le 2 ] && [ $((height - 1090)) -ge -2 ] &&
            [ $((height - 1090)) -le 2 ] || fail "at Xft.dpi 192 the dialog is $geometry, not about 1076x1090"
    else
        # As large as the screen lets it be, and larger than at scale 1.
        [ "$height" -ge $((screen_h * 85 / 100)) ] && [ "$width" -gt 538 ] ||
            fail "at Xft.dpi 192 the dialog ($geometry) does not use the ${screen_w}x${screen_h} screen"
    fi
    # Both sides keep today's proportions.
    [ $((width * 545 - height * 538)) -le $((2 * 545)) ] && [ $((height * 538 - width * 545)) -le $((2 * 538)) ] ||
        fail "the dialog ($geometry) is not today's shape"
    scale=$(awk -v w="$width" 'BEGIN { print w / 538 }')
    shot scaled-deck
    # The banner where the scale puts it, the stored picture made larger: back at its own size it
    # is the stored one, give or take the blending; and made larger smoothly, it shows many more
    # shades than the stored picture, where a repeat of each pixel would show the same ones.
    banner_at="$(at 435)x$(at 254)+$(at 48)+0"
    differ=$(import -window "$wid" -crop "$banner_at" +repage png:- | convert png:- -resize '435x254!' png:- |
        compare -metric RMSE png:- "$PELLOW_DIALOG_PICTURES/banner.bmp" null: 2>&1 | sed -n 's/.*(\(.*\))/\1/p')
    awk -v d="$differ" 'BEGIN { exit !(d != "" && d < 0.04) }' ||
        fail "the banner on the screen is not banner.bmp made larger (RMSE ${differ:-?})"
    shades=$(import -window "$wid" -crop "$banner_at" +repage png:- | convert png:- -format %k info:)
    stored=$(convert "$PELLOW_DIALOG_PICTURES/banner.bmp" -format %k info:)
    [ "$shades" -gt $((stored * 3 / 2)) ] || fail "the banner is blocky ($shades shades, $stored stored)"
    tab_rules; shot scaled-rules; page_has_text rules
    tab_options; shot scaled-options
    tab_deck
    click 120 437          # the Celtic deck, Option2
    click 386 530          # Play
    wait_end
    grep -q '^launched deckFolder=Roya2 resolution=800x600 ' "$work/out.txt" ||
        fail "unexpected launch at the scale: $(cat "$work/out.txt")"
    ;;
*)
    fail "unknown mode $mode"
    ;;
esac
echo "PASS: $mode"
