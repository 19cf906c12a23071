#pragma once
// The per-frame phase machine and the motion of cards.
#include "match.hpp"

namespace pellow {

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
