#include "trick.hpp"

#include "motion.hpp"
#include "phases.hpp"

namespace pellow {

namespace {
// The first trick card, counting from 0, that is not the winning card: the one whose arrival
// stands for the whole movement.
int TrickTestCard(const DealMotion& t) {
    for (int p = 0; p < t.trickCount; ++p)
        if (p % 4 != t.trickWinnerCard % 4) return p;
    return 0;
}

void AddTrickToPile(DealMotion& t, std::array<CardSprite, kPileSlots>& pile, int& pileCount) {
    for (int i = 0; i < t.trickCount; ++i) {
        const CardSprite& c = t.trickCards[i];
        if (!c.gathered || pileCount >= kPileSlots) continue;
        CardSprite& p = pile[pileCount++];
        p.card = c.card;
        p.x = c.x;
        p.y = c.y;
        p.inUse = true;
        p.faceUp = c.faceUp;
        p.moving = false;
    }
}
}  // namespace

void PlayCardToTable(Match& m, CardSprite& card) {
    DealMotion& t = m.motion;
    if (AnyCardMoving(t)) return;
    t.clickedCard = -1;
    PlayCardSound(m);
    const int spot = t.turnSeat;
    const int x = t.tableSpots[spot].x + RandomBelow(m, m.layout.spotJitterX);
    const int y = t.tableSpots[spot].y + RandomBelow(m, m.layout.spotJitterY);
    LaunchCard(m, card, x, y);
    card.spot = spot;
    t.tableSpots[spot].occupied = true;
}

int FindHandIndex(const Match& m, int code, int seat) {
    const auto& hand = HandSprites(m.motion, seat);
    for (int i = 0; i < kHandCards; ++i)
        if (hand[i].inUse && hand[i].card == code) return i;
    return -1;
}

void PutCardOnTable(Match& m, CardSprite& card) {
    DealMotion& t = m.motion;
    if (t.trickCount >= kTrickSlots) return;
    CardSprite& c = t.trickCards[t.trickCount];
    c.card = card.card;
    c.x = card.x;
    c.y = card.y;
    c.inUse = true;
    c.faceUp = true;
    c.moving = false;
    c.gathered = false;
    c.spot = card.spot;
    t.tableSpots[card.spot].occupied = true;
    ++t.trickCount;
}

void RemoveFromHand(Match& m, CardSprite& card) {
    card.x = static_cast<float>(card.homeX);
    card.y = static_cast<float>(card.homeY);
    card.inUse = false;
    card.faceUp = m.motion.turnSeat == userSeat;
}

void ResolveTrick(Match& m, int winner) {
    DealMotion& t = m.motion;
    t.trickWinnerCard = WinningPosition(m.deal.lastTrick, 4, m.deal.trumps);
    t.turnSeat = winner;
    for (int i = 0; i < t.trickCount; ++i) t.trickCards[i].gathered = true;
    t.statusText = TeamOf(winner) == 0 ? Phase::WeGathering : Phase::TheyGathering;
}

void GatherTrick(Match& m) {
    DealMotion& t = m.motion;
    if (AnyCardMoving(t)) return;
    PlayCardSound(m);
    const float wx = t.trickCards[t.trickWinnerCard].x;
    const float wy = t.trickCards[t.trickWinnerCard].y;
    for (int i = 0; i < t.trickCount; ++i) {
        if (i == t.trickWinnerCard) continue;
        CardSprite& c = t.trickCards[i];
        c.faceUp = true;
        const float tx = static_cast<float>(RandomBelow(m, m.layout.scatterX)) + wx;
        const float ty = static_cast<float>(RandomBelow(m, m.layout.scatterY)) + wy;
        StartMove(c, tx, ty, m.layout.moveFrames);
    }
}

void CarryTrickToPile(Match& m, int px, int py) {
    DealMotion& t = m.motion;
    if (AnyCardMoving(t)) return;
    PlaySignSound(m);
    for (int i = 0; i < t.trickCount; ++i) {
        CardSprite& c = t.trickCards[i];
        if (!c.gathered) continue;
        c.faceUp = false;
        const int tx = RandomBelow(m, m.layout.scatterX) + px;
        const int ty = RandomBelow(m, m.layout.scatterY) + py;
        StartMove(c, static_cast<float>(tx), static_cast<float>(ty), m.layout.moveFrames);
        t.tableSpots[c.spot].occupied = false;
    }
}

void StepTrickCards(Match& m) {
    DealMotion& t = m.motion;
    for (int i = 0; i < t.trickCount; ++i) {
        CardSprite& c = t.trickCards[i];
        if (c.moving) StepOnce(c);
    }
    CardSprite& test = t.trickCards[TrickTestCard(t)];
    if (test.moving) CardArrived(m, test);
}

void StopTrickCards(Match& m) {
    for (int i = 0; i < m.motion.trickCount; ++i) m.motion.trickCards[i].moving = false;
}

void AddTrickToOurPile(Match& m) { AddTrickToPile(m.motion, m.motion.ourPile, m.motion.ourPileCount); }

void AddTrickToTheirPile(Match& m) { AddTrickToPile(m.motion, m.motion.theirPile, m.motion.theirPileCount); }

void ClearTakenCards(Match& m) {
    DealMotion& t = m.motion;
    for (auto& spot : t.tableSpots) spot.occupied = false;
    for (int i = 0; i < t.trickCount; ++i) t.trickCards[i].gathered = false;
    t.trickCount = 0;
    SumDealPoints(m);
}

void SumDealPoints(Match& m) {
    m.motion.ourDealScore = DealPoints(m.deal, 0);
    m.motion.theirDealScore = DealPoints(m.deal, 1);
}

}  // namespace pellow
