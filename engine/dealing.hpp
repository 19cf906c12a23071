#pragma once
// Before play: the shuffle, who deals, the deal order, the cards flying to the hands and who
// leads; and the R key's round trip that gathers, sorts and spreads the user's hand.
#include <optional>
#include <string_view>

#include "match.hpp"

namespace pellow {

// The deck's order from `random`: every code drawn until each has come up once.
void Shuffle(Match& m);
void ShuffleFrom(Match& m, RandomSource& random);
int NextDealer(Match& m);

// ---- Deal numbers (Match::numberedDeals) ----
// The number the next numbered deal is dealt from: the chosen one (the match then counts as one
// with chosen deals), else one drawn from the one generator whose dealer is the seat next in turn,
// or any seat for the launch's first deal.
DealNumber NextDealNumber(Match& m);
// Shuffles from the number's own generator and makes its seat the dealer.
void DealFromNumber(Match& m, DealNumber number);
// The next deal is dealt from `number` and the deals are numbered from now on. False, and
// nothing changed, for a number out of range.
bool ChooseNextDeal(Match& m, DealNumber number);
// A number as the player typed it: one to nine digits and nothing else, in range.
std::optional<DealNumber> ParseDealNumber(std::string_view text);
void MakeDealOrder(Match& m);
// The stock fans out from the card dealt next.
void LayOutStock(Match& m);
void DealCardToSeat(Match& m, CardSprite& card, int seat);
// A dealt card has landed: it joins the hand of seat dealOrder(receivingSeatIndex).
void AddDealtCard(Match& m, CardSprite& card);
// The stock sprite that was dealt goes back to its home and is hidden.
void ParkCard(CardSprite& card);
void SetFirstLeader(Match& m);
// The whole stock handed out at once to the seats DealNextCard hands it to a card at a time (13
// to each seat of the deal order in turn), then the first leader set: a deal without frames,
// for a table that shows none (the network server). Call it right after NewDeal.
void DealAllAtOnce(Match& m);
int FindTwoOfDiamonds(const DealState& d);

// ---- The user's hand re-ordered ----
void SortUserHand(Match& m);
void GatherHand(Match& m, int x, int y);
void SpreadHand(Match& m);
void StepGatheredHand(Match& m);
void StopHandCards(Match& m);

}  // namespace pellow
