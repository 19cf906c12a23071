#pragma once
// The per-frame phase machine: dealing, turns, the pause after each card, the trick's way to
// its pile, the R key's round trip and the end of the deal.
#include "match.hpp"
#include "user_input.hpp"

namespace pellow {

// One frame of the match, the same in the game, the simulator, the benchmarks and the tests:
// the player's input, then one step of the phase machine unless paused. Returns whether the
// player picked a card this frame.
bool StepFrame(Match& m, const FrameInput& input);

void NewDeal(Match& m);
void UpdateMatch(Match& m);
void StepCard(Match& m, CardSprite& card);
void CardArrived(Match& m, CardSprite& card);
void StartPause(Match& m, std::uint32_t milliseconds);

// Deal end and the match.
void CheckEndOfDeal(Match& m);
void ScoreDeal(Match& m);

}  // namespace pellow
