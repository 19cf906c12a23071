#pragma once
// The player's input as the frame driver hands it over: clicks on the hand, the keyboard's
// highlight and the R key. Which cards may be played is the rules core's (rules.hpp).
#include "match.hpp"

namespace pellow {

// How far above its place each slot of the user's hand shows (the keyboard's highlight and the
// hint lift a card): a click goes to the card where it shows.
using HandLifts = std::array<int, kHandCards>;

// What the player did in one frame, as the frame driver read it.
struct FrameInput {
    bool reorder = false;  // R
    bool click = false;    // the left button is held at (x, y)
    int x = 0;
    int y = 0;
    bool paused = false;  // the game is paused (P)
    // Keyboard play. Left as they are, the hand answers to the mouse alone.
    int moveHighlight = 0;         // -1 Left, +1 Right: to the next card that may be played
    bool playHighlighted = false;  // Enter or Space: plays the highlighted card
    bool nextDeal = false;         // Enter, Space or N: on the score page, deals again as a click
    HandLifts handLifts{};         // how far each slot of the hand showed lifted when clicked
};

// The slot of the topmost card under the pointer, as drawn with `lifts`, when the user may
// play it: that card is picked. -1 when there is none or a card was already picked.
int HitTestHand(Match& m, int pointerX, int pointerY, const HandLifts& lifts = {});

// True when a pick may be taken now: the user's turn has begun, nothing moves, not paused.
bool UserMayPick(const Match& m, bool paused);
// The left button is held at (x, y): starts the next deal on the score page, otherwise looks
// for a legal card under the pointer and remembers it in clickedCard.
void UserClick(Match& m, int x, int y, bool paused, const HandLifts& lifts = {});
// The slot the keyboard highlight shows on now: on the user's turn once Left or Right was
// pressed in this deal, always on a card that may be played (the nearest one when the slot
// it was left on may not be played now); -1 otherwise.
int HighlightedSlot(const Match& m);
// Left (-1) or Right (+1): the first press shows the highlight on the first card that may be
// played, later ones move it to the next such card that way.
void MoveHighlight(Match& m, int direction, bool paused);
// Enter or Space: the highlighted card is picked as a click on it would pick it.
void PlayHighlighted(Match& m, bool paused);
// Sends the card remembered by UserClick (fixing trumps on the deal's first lead).
void SendClickedCard(Match& m);
// The R key: starts re-ordering the hand when the user still holds all 13 cards on their turn.
bool RequestReorder(Match& m);

}  // namespace pellow
