#pragma once
// Card picture names and settling a trick on the table.
#include <string>

#include "match.hpp"

namespace pellow {

// The picture file of a card inside its deck's folder: "AC.BMP", "10D.BMP", "KS.BMP".
std::string CardFileName(int code);

// A card has landed and the rules core has settled the trick it completed (`winner` is the
// seat that took it): the trick is gathered towards the winning card and the winner leads next.
void ResolveTrick(Match& m, int winner);
// The points of the tricks that have reached their piles.
void SumDealPoints(Match& m);

}  // namespace pellow
