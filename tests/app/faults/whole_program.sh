#!/bin/bash
# A whole game as a player plays it, with the real program on a private X server:
#
#   whole_program.sh PROGRAM ARCHIVE DECK LOGDIR
#
# DECK is the dialog's deck option: 2 (800 x 600) or 1 (1024 x 768). The script starts the game
# over a damaged settings file, opens the dialog, chooses the deck and the classic table,
# presses Play (the pointer
# stays where the player left it), re-orders the hand with R at the first turn, plays a whole
# deal by clicking its cards where they are drawn (cycling over the hand; illegal clicks are
# ignored), waits for the score page, which must come back after the window is unmapped and
# mapped again and after F11 to full screen and back, clicks into the next deal with a click
# shorter than a frame, pauses and resumes it with P, plays that deal with the keyboard alone
# (Right and Enter), holding L once to see the last trick, deals again with Enter on the score
# page, and quits with Escape. Then the exit status must be 0, the sandbox as it was but for
# the game's settings, record and kept match, and those whole. The screenshots of the key
# moments stay in LOGDIR.
program=$(readlink -f "$1")
archive=$(readlink -f "$2")
deck=$3
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
make_sandbox "$4"

# Where the hand's cards lie at rest (slot k at HAND_X + k * HAND_STEP, top HAND_Y), and a row of
# the score page's red heading that nothing else on the table ever covers in red.
case $deck in
2) SIZE=800x600 HAND_X=155 HAND_STEP=33 HAND_Y=420 CARD_W=108 CARD_H=151 HEADING="300x1+165+8" ABOVE_CLOCK=800x570+0+0 ;;
1) SIZE=1024x768 HAND_X=198 HAND_STEP=42 HAND_Y=538 CARD_W=138 CARD_H=193 HEADING="290x1+280+121" ABOVE_CLOCK=1024x730+0+0 ;;
*) fail "deck option $deck is not one of this test's" ;;
esac

# The pixels of one row of the game window as "x r g b" lines.
row_pixels() {
    convert "$1" -crop "$2" +repage -depth 8 txt:- 2>/dev/null |
        awk -F'[,:() ]+' 'NR > 1 { print $1, $3, $4, $5 }'
}

# What the hand looks like from a row of pixels near the cards' lower edge: how many slots
# show card face (white or, for an old deck, cream, either dimmed when the card may not be
# played; never the felt's green) where their own card's left strip lies (a card is drawn over the slots
# left of it, so this is 0 exactly when the hand is empty), and whether the last slot, which
# no other card covers at its right end, holds its card.
# RISE (6 unless given) is how far above the cards' lower edge the row lies.
hand_state() {
    shot_game "$ROOT/probe.png" || { echo "0 0"; return; }
    local y=$((HAND_Y + CARD_H - ${1:-6})) width=$((12 * HAND_STEP + CARD_W))
    row_pixels "$ROOT/probe.png" "${width}x1+${HAND_X}+${y}" |
        awk -v step="$HAND_STEP" -v last=$((11 * HAND_STEP + CARD_W + 4)) '
            $2 > 80 && $3 > 70 && $4 > 55 && $2 + 20 >= $3 { if ($1 % step == 5 && $1 <= 12 * step + 5) n++; if ($1 == last) l = 1 }
            END { print n + 0, l + 0 }'
}
hand_cards() { set -- $(hand_state "$@"); echo "$1"; }

# The score page shows: its heading row is dark red all along.
score_page_shows() {
    shot_game "$ROOT/probe.png" || return 1
    row_pixels "$ROOT/probe.png" "$HEADING" |
        awk '{ total++ } $2 > 80 && $3 < 60 && $4 < 70 { red++ } END { exit !(total > 0 && red >= total * 0.9) }'
}

# The hand's part of the window, to see whether the hand changed.
hand_picture() {
    shot_game "$ROOT/probe.png" &&
        convert "$ROOT/probe.png" -crop "$((12 * HAND_STEP + CARD_W))x${CARD_H}+${HAND_X}+${HAND_Y}" +repage "$1"
}
# Whether two shots show the same table. The clock's row is left out: its minute may turn
# between them.
same_picture() {
    convert "$1" -crop "$ABOVE_CLOCK" +repage "$ROOT/same_a.png" &&
        convert "$2" -crop "$ABOVE_CLOCK" +repage "$ROOT/same_b.png" &&
        [ "$(compare -metric AE "$ROOT/same_a.png" "$ROOT/same_b.png" null: 2>&1)" = "0" ]
}

all_dealt() { [ "$(hand_state)" = "13 1" ] || ended; }
hand_empty() { [ "$(hand_cards)" -eq 0 ] || ended; }
score_page_or_ended() { score_page_shows || ended; }
score_page_gone() { ! score_page_shows || ended; }

# Gold as the table draws the keyboard highlight and the last trick's winner, counted in a shot.
gold_pixels() {
    convert "$1" -depth 8 txt:- 2>/dev/null |
        awk -F'[,:() ]+' 'NR > 1 && $3 >= 250 && $4 >= 198 && $4 <= 208 && $5 >= 36 && $5 <= 46 { n++ } END { print n + 0 }'
}
# The brightness (r + g + b) of one felt pixel that no card, nor any text, ever covers: below
# the last trick's caption and right of the left hand.
felt_brightness() {
    convert "$1" -crop "1x1+$FELT" -depth 8 txt:- 2>/dev/null | awk -F'[,:() ]+' 'NR > 1 { print $3 + $4 + $5 }'
}
case $deck in 2) FELT="220+206" ;; 1) FELT="260+256" ;; esac
window_size() { xdotool getwindowgeometry "$GAME_WID" 2>/dev/null | sed -n 's/.*Geometry: //p'; }
is_window_size() { [ "$(window_size)" = "$1" ]; }

install_game "$program" "$archive"
# A settings file that is not the game's: the defaults apply, stderr says so once, and Play
# replaces it whole.
mkdir -p "$BOX/$SETTINGS_DIR"
printf 'pellow-settings 1\ndeck = \001\001\n[window]\n' >"$BOX/$SETTINGS_DIR/settings"
remember_sandbox
start_x
note "display $DISPLAY"

# ---- The dialog: a deck, then Play.
launch
wait_dialog
import -window "$DIALOG_WID" "$LOG/1_dialog.png"
choose_deck "$deck"
# The design's table, whose places this script reads.
choose_classic_table
import -window "$DIALOG_WID" "$LOG/2_deck_chosen.png"
press_play
eval "$(xdotool getmouselocation --shell)"
pointer_at_play="$X $Y"

# ---- The table: the unpacked files are gone before play starts.
wait_game_window "$SIZE"
eval "$(xdotool getmouselocation --shell)"
[ "$X $Y" = "$pointer_at_play" ] || fail "the game moved the pointer from $pointer_at_play to $X $Y"
[ "$(grep -c 'settings was not used' "$LOG/stderr.txt")" -eq 1 ] || fail "the damaged settings file was not reported once"
head -1 "$BOX/$SETTINGS_DIR/settings" | grep -qx 'pellow-settings 1' || fail "Play did not replace the damaged settings"
case $deck in 2) want_deck=roya2 ;; 1) want_deck=worn ;; esac
grep -qx "deck = $want_deck" "$BOX/$SETTINGS_DIR/settings" || fail "the settings do not keep the deck chosen"
grep -qx "classic-table = yes" "$BOX/$SETTINGS_DIR/settings" || fail "the settings do not keep the classic table"
xdotool windowfocus --sync "$GAME_WID" 2>/dev/null
poll 30 tree_gone || fail "the unpacked files are still there while the game runs"
poll 60 all_dealt || fail "the hand was never dealt: $(hand_cards) cards"
running || fail "the game ended while dealing"
shot_game "$LOG/3_dealt.png"

# ---- R at the first turn: the hand is gathered and spread again in order. Before the player's
# turn R does nothing, so it is pressed until the hand changes.
hand_picture "$ROOT/hand_before.png"
reordered=no
for _ in $(seq 60); do
    press_key r
    sleep 1
    hand_picture "$ROOT/hand_now.png"
    if ! same_picture "$ROOT/hand_before.png" "$ROOT/hand_now.png"; then
        reordered=yes
        break
    fi
    running || fail "the game ended before the first turn"
done
[ "$reordered" = yes ] || fail "R never re-ordered the hand"
poll 20 all_dealt || fail "the re-ordered hand did not come back to its slots"
sleep 0.5
shot_game "$LOG/4_reordered.png"
same_picture "$LOG/3_dealt.png" "$LOG/4_reordered.png" && fail "the re-ordered table looks as before"

# ---- The deal: click the hand's slots in turn until no card is left. A click that is not
# legal, or comes when it is not the player's turn, is ignored by the game.
slot=0
clicks=0
end=$((SECONDS + 600))
while [ "$(hand_cards)" -gt 0 ]; do
    running || fail "the game ended during the deal"
    [ "$SECONDS" -lt "$end" ] || fail "the deal did not end within 10 minutes ($(hand_cards) cards left)"
    click_game $((HAND_X + slot * HAND_STEP + 16)) $((HAND_Y + CARD_H / 2))
    clicks=$((clicks + 1))
    slot=$(((slot + 1) % 13))
    sleep 0.1
done
note "the hand was played out with $clicks clicks"

# ---- The score page comes once the last trick is taken, and stays until a click.
poll 120 score_page_or_ended || fail "no score page after the deal"
running || fail "the game ended after the deal"
sleep 1
shot_game "$LOG/5_score_page.png"
score_page_shows || fail "the score page went away by itself"

# ---- The window unmapped and mapped again, with the game waiting for a click and the pointer
# away from it: the table must be drawn again at once, not when the pointer next moves.
xdotool mousemove 0 0
sleep 0.5
xdotool windowunmap --sync "$GAME_WID"
sleep 0.5
xdotool windowmap --sync "$GAME_WID"
poll 5 score_page_shows || fail "the table stayed black after the window was mapped again"
shot_game "$LOG/5b_remapped.png"

# ---- F11 to full screen (the whole screen, the picture's aspect kept) and F11 back.
xdotool windowfocus --sync "$GAME_WID" 2>/dev/null
press_key F11
poll 10 is_window_size 1280x1024 || fail "F11 did not go full screen: $(window_size)"
sleep 1
shot_game "$LOG/5c_full_screen.png"
press_key F11
poll 10 is_window_size "$SIZE" || fail "F11 again did not come back to a window: $(window_size)"
poll 5 score_page_shows || fail "the score page was not drawn again in the window"
[ -f "$BOX/$SETTINGS_DIR/record" ] || fail "the finished deal was not recorded"
grep -qx 'deals = 1' "$BOX/$SETTINGS_DIR/record" || fail "the record does not count one deal"

# ---- A click starts the next deal, even one let go within a frame (a touchpad's tap).
xdotool mousemove --window "$GAME_WID" $((HAND_X + 200)) $((HAND_Y - 100)) click 1
poll 10 score_page_gone || fail "the quick click did not start the next deal"
running || fail "the game ended on the click"

# ---- P pauses the dealing and P again resumes it.
shot_game "$ROOT/moving1.png"
sleep 0.3
shot_game "$ROOT/moving2.png"
same_picture "$ROOT/moving1.png" "$ROOT/moving2.png" && fail "the next deal is not being dealt"
press_key p
sleep 0.5
shot_game "$LOG/6_paused.png"
sleep 1.5
shot_game "$ROOT/paused_later.png"
same_picture "$LOG/6_paused.png" "$ROOT/paused_later.png" || fail "P did not pause the game"
press_key p
resumed() { shot_game "$ROOT/resumed.png" && ! same_picture "$LOG/6_paused.png" "$ROOT/resumed.png"; }
poll 10 resumed || fail "P again did not resume the game"
sleep 1
shot_game "$LOG/7_next_deal.png"

# ---- The next deal with the keyboard alone: Right shows and moves the highlight over the
# cards that may be played, Enter plays it (and outside the player's turn both do nothing).
# Once a trick is complete, L held shows it over the darkened table, the winner framed in gold.
poll 60 all_dealt || fail "the next deal was never dealt"
presses=0
last_trick_seen=no
highlight_seen=no
end=$((SECONDS + 600))
until score_page_shows; do
    running || fail "the game ended during the keyboard deal"
    [ "$SECONDS" -lt "$end" ] || fail "the keyboard deal did not end within 10 minutes"
    if [ "$last_trick_seen" = no ] && [ "$(hand_cards)" -le 10 ]; then
        shot_game "$ROOT/before_l.png"
        xdotool keydown l
        sleep 0.6
        shot_game "$LOG/8_last_trick.png"
        xdotool keyup l
        sleep 0.6
        shot_game "$LOG/8b_after_last_trick.png"
        [ "$(gold_pixels "$LOG/8_last_trick.png")" -ge 600 ] || fail "L shows no framed winner"
        [ "$(felt_brightness "$LOG/8_last_trick.png")" -lt $(($(felt_brightness "$ROOT/before_l.png") * 7 / 10)) ] ||
            fail "L does not darken the table behind the last trick"
        [ "$(felt_brightness "$LOG/8b_after_last_trick.png")" -eq "$(felt_brightness "$ROOT/before_l.png")" ] ||
            fail "the table stays dark after L is let go"
        last_trick_seen=yes
    fi
    # Once the hand is played out, Enter would deal again from the score page. A card the
    # highlight lifts leaves the usual row, so a row higher up is asked too.
    [ "$(hand_cards)" -gt 0 ] || [ "$(hand_cards 24)" -gt 0 ] || { sleep 0.2; continue; }
    press_key Right
    if [ "$highlight_seen" = no ]; then
        sleep 0.2
        shot_game "$ROOT/highlight.png"
        if [ "$(gold_pixels "$ROOT/highlight.png")" -ge 300 ]; then
            cp "$ROOT/highlight.png" "$LOG/9_highlight.png"
            highlight_seen=yes
        fi
    fi
    press_key Return
    presses=$((presses + 1))
    sleep 0.1
done
[ "$last_trick_seen" = yes ] || fail "the last trick was never looked at"
[ "$highlight_seen" = yes ] || fail "Right never showed the highlight on the player's turn"
note "the keyboard deal took $presses presses of Right and Enter"
shot_game "$LOG/10_keyboard_deal_scored.png"
grep -qx 'deals = 2' "$BOX/$SETTINGS_DIR/record" || fail "the record does not count the keyboard deal"

# ---- Enter on the score page deals again, as a click does.
xdotool key Return
poll 10 score_page_gone || fail "Enter did not start the next deal"
running || fail "the game ended on Enter"

# ---- Escape ends the program at once, successfully, leaving nothing behind.
press_key Escape
wait_exit 30
expect_status "after Escape" 0
expect_sandbox_unchanged "after a whole game"

for picture in 1_dialog 2_deck_chosen 3_dealt 4_reordered 5_score_page 5b_remapped 5c_full_screen \
    6_paused 7_next_deal 8_last_trick 9_highlight 10_keyboard_deal_scored; do
    [ -s "$LOG/$picture.png" ] || fail "no screenshot $picture.png"
done
note "screenshots in $LOG"
