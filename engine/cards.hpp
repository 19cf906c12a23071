#pragma once
// Card tables, card rules and trick settling.
#include "match.hpp"

namespace pellow {

void MakeCardFileNames(Match& m);
void MakeCardTables(Match& m);

// Points of a card to the side that takes it, under the current trumps.
int CardPoints(const Match& m, const CardSprite& card);
int CardPoints(const Match& m, int code);
// True when the challenger (played later) beats the holder (winning so far). False while the
// table is empty.
bool CardBeats(const Match& m, int challenger, int holder);
int Strength(const Match& m, int code);

int SeatAtOffset(const Match& m, int offset);
void ResolveTrick(Match& m);
void SumDealPoints(Match& m);
void ResetDealCounters(Match& m);

}  // namespace pellow
