#pragma once
// Layout, shuffle, the deal, who deals and who leads, and the re-ordering of the user's hand.
#include "match.hpp"

namespace pellow {

// Sets every layout value for m.resolution ("800x600", or anything else for 1024 x 768).
void SetLayout(Match& m);
void SetTableSpots(Match& m);
void Shuffle(Match& m);
int NextDealer(Match& m);
void MakeDealOrder(Match& m);
void DealCardToSeat(Match& m, CardSprite& card, int seat);
// A dealt card has landed: it joins the hand of seat dealOrder(receivingSeatIndex).
void AddDealtCard(Match& m, CardSprite& card);
// The stock sprite that was dealt goes back to its home and is hidden.
void ParkCard(CardSprite& card);
void SetFirstLeader(Match& m);
int FindTwoOfDiamonds(const Match& m);
void SortUserHand(Match& m);
void GatherHand(Match& m, int x, int y);
void SpreadHand(Match& m);

// ---- Card movement shared by every phase ----
bool AnyCardMoving(const Match& m);
// Starts a card towards (x, y) over the given number of frames.
void StartMove(CardSprite& card, float x, float y, int frames);
void LaunchCard(Match& m, CardSprite& card, int x, int y);
void LaunchToPoint(Match& m, CardSprite& card, int x, int y);

}  // namespace pellow
