#pragma once
// A card sent to the table and the life of a trick there: the card lands on its seat's spot,
// the rules core settles the trick, the cards gather on the winning card and go to a pile.
// Which cards may be played is the rules core's (rules.hpp).
#include "match.hpp"

namespace pellow {

void PlayCardToTable(Match& m, CardSprite& card);
// The slot of `code` in the seat's hand sprites, or -1 when the seat does not show it.
int FindHandIndex(const Match& m, int code, int seat);
void PutCardOnTable(Match& m, CardSprite& card);
void RemoveFromHand(Match& m, CardSprite& card);

// A card has landed and the rules core has settled the trick it completed (`winner` is the
// seat that took it): the trick is gathered towards the winning card and the winner leads next.
void ResolveTrick(Match& m, int winner);
void GatherTrick(Match& m);
void CarryTrickToPile(Match& m, int px, int py);
void StepTrickCards(Match& m);
void StopTrickCards(Match& m);
void AddTrickToOurPile(Match& m);
void AddTrickToTheirPile(Match& m);
void ClearTakenCards(Match& m);
// The points of the tricks that have reached their piles.
void SumDealPoints(Match& m);

}  // namespace pellow
