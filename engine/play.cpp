#include "play.hpp"

#include "cards.hpp"
#include "deal.hpp"
#include "flow.hpp"
#include "numeric.hpp"

namespace pellow {

namespace {
// The first trick card, counting from 0, that is not the winning card: the one whose arrival
// stands for the whole movement.
int TrickTestCard(const Match& m) {
    for (int p = 0; p < m.trickCount; ++p)
        if (p % 4 != m.trickWinnerCard % 4) return p;
    return 0;
}

void AddTrickToPile(Match& m, std::array<CardSprite, 53>& pile, int& pileCount,
                    std::array<int, 56>& taken, int& takenCount) {
    for (int i = 0; i < m.trickCount; ++i) {
        const CardSprite& t = m.trickCards[i];
        if (!t.gathered || pileCount >= static_cast<int>(pile.size())) continue;
        CardSprite& p = pile[pileCount++];
        p.card = t.card;
        p.x = t.x;
        p.y = t.y;
        p.inUse = true;
        p.faceUp = t.faceUp;
        p.moving = false;
    }
    for (int i = 0; i < m.trickCodeCount; ++i)
        if (m.trickCards[i].gathered && takenCount < kCards) taken[takenCount++] = m.trickCodes[i];
}
}  // namespace

bool FirstLeadOfDeal(const Match& m) {
    return m.trickCount == 0 && m.ourPileCount == 0 && m.theirPileCount == 0;
}

int HitTestHand(Match& m, int pointerX, int pointerY) {
    if (m.userHasChosen) return -1;
    for (int i = 12; i >= 0; --i) {
        const CardSprite& c = m.userHand[i];
        if (!c.inUse || c.moving) continue;
        const bool hit = c.x < pointerX && pointerX < c.x + c.width && c.y < pointerY &&
                         pointerY < c.y + c.height;
        if (hit && IsLegalPlay(m, c)) {
            m.userCardInFlight = true;
            m.userHasChosen = true;
            return i;
        }
    }
    return -1;
}

bool HoldsSuit(const Match& m, const CardSprite& card) {
    for (int i = 0; i <= 12; ++i)
        if (m.userHand[i].inUse && m.cardSuit[m.userHand[i].card] == m.cardSuit[card.card]) return true;
    return false;
}

bool IsLegalPlay(const Match& m, const CardSprite& card) {
    if (m.trickCount <= 0) return true;
    const CardSprite& led = m.trickCards[0];
    return !(m.cardSuit[card.card] != m.cardSuit[led.card] && HoldsSuit(m, led));
}

void PlayCardToTable(Match& m, CardSprite& card) {
    if (AnyCardMoving(m)) return;
    m.clickedCard = -1;
    PlayCardSound(m);
    const int spot = m.turnSeat;
    const int x = m.tableSpots[spot].x + RandomBelow(m, m.spotJitterX);
    const int y = m.tableSpots[spot].y + RandomBelow(m, m.spotJitterY);
    LaunchCard(m, card, x, y);
    card.spot = spot;
    m.tableSpots[spot].occupied = true;
}

int FindHandIndex(const Match& m, int code, int seat) {
    if (seat < rightSeat || seat > leftSeat) return 0;
    const auto& hand = HandSprites(m, seat);
    for (int i = 0; i <= 12; ++i)
        if (hand[i].card == code) return i;
    return 0;
}

void PutCardOnTable(Match& m, CardSprite& card) {
    if (m.trickCount >= static_cast<int>(m.trickCards.size())) return;
    CardSprite& t = m.trickCards[m.trickCount];
    t.card = card.card;
    t.x = card.x;
    t.y = card.y;
    t.inUse = true;
    t.faceUp = true;
    t.moving = false;
    t.gathered = false;
    t.spot = card.spot;
    m.tableSpots[card.spot].occupied = true;
    ++m.trickCount;
    m.trickCodes[m.trickCodeCount++] = card.card;
}

void RemoveFromHand(Match& m, CardSprite& card) {
    card.x = static_cast<float>(card.homeX);
    card.y = static_cast<float>(card.homeY);
    card.inUse = false;
    const int seat = m.turnSeat;
    const auto& hand = HandSprites(m, seat);
    auto& codes = HandCodes(m, seat);
    int n = 0;
    for (int i = 0; i <= 12; ++i)
        if (hand[i].inUse) codes[n++] = hand[i].card;
    HandCount(m, seat) = n;
    card.faceUp = seat == userSeat;
}

void GatherTrick(Match& m) {
    if (AnyCardMoving(m)) return;
    PlayCardSound(m);
    const float wx = m.trickCards[m.trickWinnerCard].x;
    const float wy = m.trickCards[m.trickWinnerCard].y;
    for (int i = 0; i < m.trickCount; ++i) {
        if (i == m.trickWinnerCard) continue;
        CardSprite& c = m.trickCards[i];
        c.faceUp = true;
        const float tx = static_cast<float>(RandomBelow(m, m.scatterX)) + wx;
        const float ty = static_cast<float>(RandomBelow(m, m.scatterY)) + wy;
        StartMove(c, tx, ty, m.moveFrames);
    }
}

void CarryTrickToPile(Match& m, int px, int py) {
    if (AnyCardMoving(m)) return;
    PlaySignSound(m);
    for (int i = 0; i < m.trickCount; ++i) {
        CardSprite& c = m.trickCards[i];
        if (!c.gathered) continue;
        c.faceUp = false;
        const int tx = RandomBelow(m, m.scatterX) + px;
        const int ty = RandomBelow(m, m.scatterY) + py;
        StartMove(c, static_cast<float>(tx), static_cast<float>(ty), m.moveFrames);
        m.tableSpots[c.spot].occupied = false;
    }
}

void StepTrickCards(Match& m) {
    for (int i = 0; i < m.trickCount; ++i) {
        CardSprite& c = m.trickCards[i];
        if (!c.moving) continue;
        c.x += static_cast<float>(c.dirX) * c.stepX;
        c.y += static_cast<float>(c.dirY) * c.stepY;
    }
    CardSprite& test = m.trickCards[TrickTestCard(m)];
    if (test.moving) CardArrived(m, test);
}

void StopTrickCards(Match& m) {
    for (int i = 0; i < m.trickCount; ++i) m.trickCards[i].moving = false;
}

void AddTrickToOurPile(Match& m) {
    AddTrickToPile(m, m.ourPile, m.ourPileCount, m.ourTakenCodes, m.ourTakenCount);
}

void AddTrickToTheirPile(Match& m) {
    AddTrickToPile(m, m.theirPile, m.theirPileCount, m.theirTakenCodes, m.theirTakenCount);
}

void ClearTakenCards(Match& m) {
    for (auto& spot : m.tableSpots) spot.occupied = false;
    for (int i = 0; i < m.trickCount; ++i) m.trickCards[i].gathered = false;
    m.trickCount = 0;
    m.trickCodeCount = 0;
    SumDealPoints(m);
}

void StepGatheredHand(Match& m) {
    int test = 0;
    for (int i = 1; i <= 12; ++i) {
        CardSprite& c = m.userHand[i];
        if (!c.moving) continue;
        c.x += static_cast<float>(c.dirX) * c.stepX;
        c.y += static_cast<float>(c.dirY) * c.stepY;
        test = i;
    }
    if (m.userHand[test].moving) CardArrived(m, m.userHand[test]);
}

void StopHandCards(Match& m) {
    for (int i = 1; i <= 12; ++i) m.userHand[i].moving = false;
}

bool UserMayPick(const Match& m, bool paused) {
    return !paused && m.statusText == Phase::NormalPlay && m.turnSeat == userSeat &&
           m.waitingForUser && !m.userHasChosen && !AnyCardMoving(m);
}

void UserClick(Match& m, int x, int y, bool paused) {
    if (m.statusText == Phase::EndOfMatch) {
        NewDeal(m);
        return;
    }
    // A pick taken while cards move or the game is paused could never be sent, and would
    // leave the turn with no way to play: such clicks are simply not picks.
    if (UserMayPick(m, paused)) m.clickedCard = HitTestHand(m, x, y);
}

void SendClickedCard(Match& m) {
    if (m.clickedCard < 0) return;
    if (m.statusText != Phase::NormalPlay || AnyCardMoving(m)) {
        // Never send a card outside normal play; give the turn back to the player instead.
        m.clickedCard = -1;
        m.userHasChosen = false;
        m.userCardInFlight = false;
        return;
    }
    CardSprite& card = m.userHand[m.clickedCard];
    if (FirstLeadOfDeal(m)) m.trumpSuit = m.cardSuit[card.card];
    PlayCardToTable(m, card);
}

bool RequestReorder(Match& m) {
    if (m.statusText != Phase::NormalPlay || m.userHandCount <= 12 || m.turnSeat != userSeat ||
        AnyCardMoving(m))
        return false;
    m.statusBeforeReorder = m.statusText;
    m.statusText = Phase::GatherAroundFirstCard;
    return true;
}

}  // namespace pellow
