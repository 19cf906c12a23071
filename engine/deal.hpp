#pragma once
// Layout, shuffle, the deal, who deals and who leads, and the re-ordering of the user's hand.
#include "match.hpp"

namespace pellow {

// Every position and speed of the table for the chosen screen.
TableLayout MakeTableLayout(ScreenSize screen, bool slowAnimation);
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
int FindTwoOfDiamonds(const DealState& d);
void SortUserHand(Match& m);
void GatherHand(Match& m, int x, int y);
void SpreadHand(Match& m);

// ---- Card movement shared by every phase ----
bool AnyCardMoving(const DealMotion& t);
// Starts a card towards (x, y) over the given number of frames.
void StartMove(CardSprite& card, float x, float y, int frames);
// One frame's step of a moving card.
void StepOnce(CardSprite& card);
// The card is within the arrival tolerance of its target.
bool HasArrived(const CardSprite& card, const TableLayout& l);
// Frames a started movement takes: it ends at the first step that brings the card within the
// arrival tolerance, which for short moves comes before the nominal frame count.
int FramesToArrive(CardSprite card, const TableLayout& l);
void LaunchCard(Match& m, CardSprite& card, int x, int y);
void LaunchToPoint(Match& m, CardSprite& card, int x, int y);

}  // namespace pellow
