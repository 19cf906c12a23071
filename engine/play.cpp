#include "play.hpp"

#include "cards.hpp"
#include "deal.hpp"
#include "flow.hpp"
#include "numeric.hpp"

namespace pellow {

namespace {
// The first trick card, counting from 0, that is not the winning card: the one whose arrival
// stands for the whole movement.
int TrickTestCard(const DealMotion& t) {
    for (int p = 0; p < t.trickCount; ++p)
        if (p % 4 != t.trickWinnerCard % 4) return p;
    return 0;
}

void AddTrickToPile(DealMotion& t, std::array<CardSprite, 53>& pile, int& pileCount) {
    for (int i = 0; i < t.trickCount; ++i) {
        const CardSprite& c = t.trickCards[i];
        if (!c.gathered || pileCount >= static_cast<int>(pile.size())) continue;
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

namespace {
bool PlayableSlot(const Match& m, int slot) {
    if (slot < 0 || slot > 12) return false;
    const CardSprite& c = m.motion.userHand[slot];
    return c.inUse && MayPlay(m.deal, userSeat, c.card);
}

int PickSlot(DealMotion& t, int slot) {
    t.userCardInFlight = true;
    t.userHasChosen = true;
    return slot;
}
}  // namespace

int HitTestHand(Match& m, int pointerX, int pointerY, const HandLifts& lifts) {
    DealMotion& t = m.motion;
    if (t.userHasChosen) return -1;
    for (int i = 12; i >= 0; --i) {
        const CardSprite& c = t.userHand[i];
        if (!c.inUse || c.moving) continue;
        const double top = c.y - lifts[static_cast<std::size_t>(i)];
        const bool hit = c.x < pointerX && pointerX < c.x + c.width && top < pointerY &&
                         pointerY < top + c.height;
        if (hit && MayPlay(m.deal, userSeat, c.card)) return PickSlot(t, i);
    }
    return -1;
}

int HighlightedSlot(const Match& m) {
    const int slot = m.motion.highlightedCard;
    if (slot < 0 || !UserMayPick(m, false)) return -1;
    if (PlayableSlot(m, slot)) return slot;
    for (int d = 1; d <= 12; ++d) {
        if (PlayableSlot(m, slot + d)) return slot + d;
        if (PlayableSlot(m, slot - d)) return slot - d;
    }
    return -1;
}

void MoveHighlight(Match& m, int direction, bool paused) {
    if (!UserMayPick(m, paused)) return;
    int& slot = m.motion.highlightedCard;
    const int shown = HighlightedSlot(m);
    if (shown < 0) {
        for (slot = 0; slot <= 12 && !PlayableSlot(m, slot); ++slot) {
        }
        return;
    }
    slot = shown;
    for (int next = shown + direction; next >= 0 && next <= 12; next += direction)
        if (PlayableSlot(m, next)) {
            slot = next;
            return;
        }
}

void PlayHighlighted(Match& m, bool paused) {
    if (!UserMayPick(m, paused) || m.motion.clickedCard >= 0) return;
    const int slot = HighlightedSlot(m);
    if (slot >= 0) m.motion.clickedCard = PickSlot(m.motion, slot);
}

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
    for (int i = 0; i <= 12; ++i)
        if (hand[i].inUse && hand[i].card == code) return i;
    return -1;
}

void PutCardOnTable(Match& m, CardSprite& card) {
    DealMotion& t = m.motion;
    if (t.trickCount >= static_cast<int>(t.trickCards.size())) return;
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

void AddTrickToTheirPile(Match& m) {
    AddTrickToPile(m.motion, m.motion.theirPile, m.motion.theirPileCount);
}

void ClearTakenCards(Match& m) {
    DealMotion& t = m.motion;
    for (auto& spot : t.tableSpots) spot.occupied = false;
    for (int i = 0; i < t.trickCount; ++i) t.trickCards[i].gathered = false;
    t.trickCount = 0;
    SumDealPoints(m);
}

void StepGatheredHand(Match& m) {
    auto& hand = m.motion.userHand;
    int test = 0;
    for (int i = 1; i <= 12; ++i) {
        CardSprite& c = hand[i];
        if (!c.moving) continue;
        StepOnce(c);
        test = i;
    }
    if (hand[test].moving) CardArrived(m, hand[test]);
}

void StopHandCards(Match& m) {
    for (int i = 1; i <= 12; ++i) m.motion.userHand[i].moving = false;
}

bool UserMayPick(const Match& m, bool paused) {
    const DealMotion& t = m.motion;
    return !paused && t.statusText == Phase::NormalPlay && t.turnSeat == userSeat &&
           t.waitingForUser && !t.userHasChosen && !AnyCardMoving(t);
}

void UserClick(Match& m, int x, int y, bool paused, const HandLifts& lifts) {
    if (m.motion.statusText == Phase::EndOfMatch) {
        NewDeal(m);
        return;
    }
    // A pick taken while cards move or the game is paused could never be sent, and would
    // leave the turn with no way to play: such clicks are simply not picks.
    if (UserMayPick(m, paused)) m.motion.clickedCard = HitTestHand(m, x, y, lifts);
}

void SendClickedCard(Match& m) {
    DealMotion& t = m.motion;
    if (t.clickedCard < 0) return;
    if (t.statusText != Phase::NormalPlay || AnyCardMoving(t)) {
        // Never send a card outside normal play; give the turn back to the player instead.
        t.clickedCard = -1;
        t.userHasChosen = false;
        t.userCardInFlight = false;
        return;
    }
    CardSprite& card = t.userHand[t.clickedCard];
    if (FirstLeadOfDeal(m.deal)) m.deal.trumps = static_cast<std::int8_t>(SuitOf(card.card));
    PlayCardToTable(m, card);
}

bool RequestReorder(Match& m) {
    const DealMotion& t = m.motion;
    if (t.statusText != Phase::NormalPlay || m.deal.handCount[userSeat] <= 12 ||
        t.turnSeat != userSeat || AnyCardMoving(t))
        return false;
    m.motion.statusBeforeReorder = t.statusText;
    m.motion.statusText = Phase::GatherAroundFirstCard;
    return true;
}

}  // namespace pellow
