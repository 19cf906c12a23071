#pragma once
// Before play: the shuffle, who deals, the deal order, the cards flying to the hands and who
// leads; and the R key's round trip that gathers, sorts and spreads the user's hand.
#include "match.hpp"

namespace pellow {

void Shuffle(Match& m);
int NextDealer(Match& m);
void MakeDealOrder(Match& m);
// The stock fans out from the card dealt next.
void LayOutStock(Match& m);
void DealCardToSeat(Match& m, CardSprite& card, int seat);
// A dealt card has landed: it joins the hand of seat dealOrder(receivingSeatIndex).
void AddDealtCard(Match& m, CardSprite& card);
// The stock sprite that was dealt goes back to its home and is hidden.
void ParkCard(CardSprite& card);
void SetFirstLeader(Match& m);
int FindTwoOfDiamonds(const DealState& d);

// ---- The user's hand re-ordered ----
void SortUserHand(Match& m);
void GatherHand(Match& m, int x, int y);
void SpreadHand(Match& m);
void StepGatheredHand(Match& m);
void StopHandCards(Match& m);

}  // namespace pellow
