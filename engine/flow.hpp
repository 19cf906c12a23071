#pragma once
// The per-frame phase machine and the motion of cards.
#include "match.hpp"
#include "play.hpp"

namespace pellow {

// What the player did in one frame, as the frame driver read it.
struct FrameInput {
    bool reorder = false;  // R
    bool click = false;    // the left button is held at (x, y)
    int x = 0;
    int y = 0;
    bool paused = false;   // the game is paused (P)
    // Keyboard play. Left as they are, the hand answers to the mouse alone.
    int moveHighlight = 0;         // -1 Left, +1 Right: to the next card that may be played
    bool playHighlighted = false;  // Enter or Space: plays the highlighted card
    HandLifts handLifts{};         // how far each slot of the hand showed lifted when clicked
};

// One frame of the match, the same in the game, the simulator, the benchmarks and the tests:
// the player's input, then one step of the phase machine unless paused. Returns whether the
// player picked a card this frame.
bool StepFrame(Match& m, const FrameInput& input);

void NewDeal(Match& m);
void LayOutStock(Match& m);
void UpdateMatch(Match& m);
void StepCard(Match& m, CardSprite& card);
void CardArrived(Match& m, CardSprite& card);
void StartPause(Match& m, std::uint32_t milliseconds);

// Deal end and the match.
void CheckEndOfDeal(Match& m);
void ScoreDeal(Match& m);

}  // namespace pellow
