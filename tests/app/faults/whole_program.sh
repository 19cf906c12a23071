#!/bin/bash
# A whole game as a player plays it, with the real program on a private X server:
#
#   whole_program.sh PROGRAM ARCHIVE DECK LOGDIR
#
# DECK is the dialog's deck option: 2 (800 x 600) or 1 (1024 x 768). The script opens the
# dialog, chooses the deck, presses Play, re-orders the hand with R at the first turn, plays a
# whole deal by clicking its cards where they are drawn (cycling over the hand; illegal clicks
# are ignored), waits for the score page, clicks into the next deal, pauses and resumes it with
# P, and quits with Escape. Then the exit status must be 0 and the sandbox as it was. The
# screenshots of the key moments stay in LOGDIR.
program=$(readlink -f "$1")
archive=$(readlink -f "$2")
deck=$3
# shellcheck source=lib.sh
. "$(dirname "$0")/lib.sh"
make_sandbox "$4"

# Where the hand's cards lie at rest (slot k at HAND_X + k * HAND_STEP, top HAND_Y), and a row of
# the score page's red heading that nothing else on the table ever covers in red.
case $deck in
2) SIZE=800x600 HAND_X=155 HAND_STEP=33 HAND_Y=420 CARD_W=108 CARD_H=151 HEADING="300x1+165+8" ;;
1) SIZE=1024x768 HAND_X=198 HAND_STEP=42 HAND_Y=538 CARD_W=138 CARD_H=193 HEADING="290x1+280+121" ;;
*) fail "deck option $deck is not one of this test's" ;;
esac

# The pixels of one row of the game window as "x r g b" lines.
row_pixels() {
    convert "$1" -crop "$2" +repage -depth 8 txt:- 2>/dev/null |
        awk -F'[,:() ]+' 'NR > 1 { print $1, $3, $4, $5 }'
}

# What the hand looks like from a row of pixels near the cards' lower edge: how many slots
# show card face (white or, for an old deck, cream; never the felt's green) where their own card's left strip lies (a card is drawn over the slots
# left of it, so this is 0 exactly when the hand is empty), and whether the last slot, which
# no other card covers at its right end, holds its card.
hand_state() {
    shot_game "$ROOT/probe.png" || { echo "0 0"; return; }
    local y=$((HAND_Y + CARD_H - 6)) width=$((12 * HAND_STEP + CARD_W))
    row_pixels "$ROOT/probe.png" "${width}x1+${HAND_X}+${y}" |
        awk -v step="$HAND_STEP" -v last=$((11 * HAND_STEP + CARD_W + 4)) '
            $2 > 150 && $3 > 120 && $4 > 90 { if ($1 % step == 5 && $1 <= 12 * step + 5) n++; if ($1 == last) l = 1 }
            END { print n + 0, l + 0 }'
}
hand_cards() { set -- $(hand_state); echo "$1"; }

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
same_picture() { [ "$(compare -metric AE "$1" "$2" null: 2>&1)" = "0" ]; }

all_dealt() { [ "$(hand_state)" = "13 1" ] || ended; }
hand_empty() { [ "$(hand_cards)" -eq 0 ] || ended; }
score_page_or_ended() { score_page_shows || ended; }
score_page_gone() { ! score_page_shows || ended; }

install_game "$program" "$archive"
remember_sandbox
start_x
note "display $DISPLAY"

# ---- The dialog: a deck, then Play.
launch
wait_dialog
import -window "$DIALOG_WID" "$LOG/1_dialog.png"
choose_deck "$deck"
import -window "$DIALOG_WID" "$LOG/2_deck_chosen.png"
press_play

# ---- The table: the unpacked files are gone before play starts.
wait_game_window "$SIZE"
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

# ---- A click starts the next deal.
click_game $((HAND_X + 200)) $((HAND_Y - 100))
poll 10 score_page_gone || fail "the click did not start the next deal"
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

# ---- Escape ends the program at once, successfully, leaving nothing behind.
press_key Escape
wait_exit 30
expect_status "after Escape" 0
expect_sandbox_unchanged "after a whole game"

for picture in 1_dialog 2_deck_chosen 3_dealt 4_reordered 5_score_page 6_paused 7_next_deal; do
    [ -s "$LOG/$picture.png" ] || fail "no screenshot $picture.png"
done
note "screenshots in $LOG"
