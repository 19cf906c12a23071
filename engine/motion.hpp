#pragma once
// Card movement shared by every phase: a sprite is started towards a point, stepped a frame at a
// time and arrives within the layout's tolerance.
#include "match.hpp"

namespace pellow {

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
// Starts a card towards (x, y) at the speed of a played card.
void LaunchCard(Match& m, CardSprite& card, int x, int y);
// As LaunchCard, with the card's sound, unless a card is already on its way.
void LaunchToPoint(Match& m, CardSprite& card, int x, int y);

}  // namespace pellow
