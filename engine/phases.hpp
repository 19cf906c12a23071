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

// Starts the next deal: after a match's last deal, the first of a new match. Numbered deals
// take their shuffle and dealer from a deal number (Match::numberedDeals).
void NewDeal(Match& m);
// Abandons the match in play and starts a new one now: the score starts again, the next dealer
// in turn deals, and the two of diamonds finds the dealer after the deal, as after a match's end.
void StartNewMatch(Match& m);
void UpdateMatch(Match& m);
void StepCard(Match& m, CardSprite& card);
void CardArrived(Match& m, CardSprite& card);
void StartPause(Match& m, std::uint32_t milliseconds);

// Deal end and the match.
void CheckEndOfDeal(Match& m);
void ScoreDeal(Match& m);

}  // namespace pellow
