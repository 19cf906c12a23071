#include "deal.hpp"

#include <cmath>

#include "cards.hpp"
#include "numeric.hpp"

namespace pellow {

namespace {

// The table is designed for 1024 x 768; the 800 x 600 screen scales design values by 0.78125.
constexpr double kScale800 = 800.0 / 1024.0;
int Scaled(int design) { return RoundHalfEven(design * kScale800); }

// Landing spots of seats 0..3 (below, right of, above and left of the centre), design values.
constexpr int kSpotDesignX[4] = {430, 520, 440, 370};
constexpr int kSpotDesignY[4] = {310, 260, 210, 260};

// Seat 0's fan step in design pixels; 800 x 600 scales it to 33.
constexpr int kUserStepDesign = 42;

}  // namespace

TableLayout MakeTableLayout(ScreenSize screen, bool slowAnimation) {
    TableLayout l;
    l.moveFrames = slowAnimation ? 40 : 20;
    l.playFrames = l.moveFrames / 2;
    if (screen == ScreenSize::Small800x600) {
        l.cardWidth = 108;
        l.cardHeight = 151;
        l.handAnchorX = {155, 620, 300, 5};
        l.handAnchorY = {420, 220, 5, 220};
        l.handStep = {Scaled(kUserStepDesign), 5, 5, 5};
        l.ourPileX = 20;
        l.ourPileY = 400;
        l.theirPileX = 592;
        l.theirPileY = 5;
        l.arriveToleranceX = l.arriveToleranceY = 8;
        l.scatterX = l.scatterY = 8;
        l.spotJitterX = 20;
        l.spotJitterY = 16;
        l.stockBaseX = 5;
        l.stockOffset = 8;
        l.stockY = 4;
        for (int s = 0; s < 4; ++s) {
            l.spotX[s] = Scaled(kSpotDesignX[s]);
            l.spotY[s] = Scaled(kSpotDesignY[s]);
        }
    } else {
        // Our 1024 x 768 table: the design values whose 0.78125 scaling gives the small screen,
        // with larger cards (138 x 193) that still leave every hand, pile and spot clear.
        l.cardWidth = 138;
        l.cardHeight = 193;
        l.handAnchorX = {198, 794, 384, 6};
        l.handAnchorY = {538, 282, 6, 282};
        l.handStep = {kUserStepDesign, 6, 6, 6};
        l.ourPileX = 26;
        l.ourPileY = 512;
        l.theirPileX = 758;
        l.theirPileY = 6;
        l.arriveToleranceX = l.arriveToleranceY = 10;
        l.scatterX = l.scatterY = 10;
        l.spotJitterX = 26;
        l.spotJitterY = 20;
        l.stockBaseX = 6;
        l.stockOffset = 10;
        l.stockY = 5;
        for (int s = 0; s < 4; ++s) {
            l.spotX[s] = kSpotDesignX[s];
            l.spotY[s] = kSpotDesignY[s];
        }
    }
    return l;
}

void SetTableSpots(Match& m) {
    for (auto& spot : m.motion.tableSpots) spot = TableSpot{};
    for (int s = 0; s < 4; ++s) {
        m.motion.tableSpots[s].x = m.layout.spotX[s];
        m.motion.tableSpots[s].y = m.layout.spotY[s];
    }
}

void Shuffle(Match& m) {
    // Draws until every code has come up once: the deck order is the order of first draws.
    std::array<bool, kCards> drawn{};
    int count = 0;
    while (count < kCards) {
        const int r = RandomBelow(m, kCards);
        if (drawn[r]) continue;
        drawn[r] = true;
        m.motion.deckCards[count++].card = r;
    }
}

int NextDealer(Match& m) {
    if (!m.dealerChosen) {
        m.dealerChosen = true;
        return RandomBelow(m, 4);
    }
    m.dealerSeat = m.dealerSeat - 1;
    if (m.dealerSeat == -1) m.dealerSeat = 3;
    return m.dealerSeat;
}

void MakeDealOrder(Match& m) {
    for (int k = 0; k < 4; ++k) m.motion.dealOrder[k] = (m.motion.turnSeat + k) % 4;
}

void DealCardToSeat(Match& m, CardSprite& card, int seat) {
    card.faceUp = seat == userSeat;
    const int x = m.layout.handAnchorX[seat] + m.layout.handStep[seat] * m.deal.handCount[seat];
    LaunchToPoint(m, card, x, m.layout.handAnchorY[seat]);
}

void AddDealtCard(Match& m, CardSprite& card) {
    const int seat = m.motion.dealOrder[m.motion.receivingSeatIndex];
    const int count = m.deal.handCount[seat];
    if (count >= 13) return;  // a seat never holds more than 13 cards
    CardSprite& slot = HandSprites(m.motion, seat)[count];
    slot.x = card.x;
    slot.y = card.y;
    slot.card = card.card;
    slot.inUse = true;
    slot.faceUp = seat == userSeat;
    slot.moving = false;
    GiveCard(m.deal, seat, card.card);
}

void ParkCard(CardSprite& card) {
    card.x = static_cast<float>(card.homeX);
    card.y = static_cast<float>(card.homeY);
    card.moving = false;
    card.inUse = false;
}

int FindTwoOfDiamonds(const DealState& d) {
    for (int seat = 0; seat < 4; ++seat)
        for (int i = 0; i < d.handCount[seat]; ++i)
            if (SuitOf(d.hand[seat][i]) == kDiamonds && RankOf(d.hand[seat][i]) == 2) return seat;
    return 0;
}

void SetFirstLeader(Match& m) {
    int& turn = m.motion.turnSeat;
    if (!m.score.firstDealDone) {
        m.score.firstDealDone = true;
        m.dealerSeat = FindTwoOfDiamonds(m.deal);
        turn = (m.dealerSeat + 1) % 4;
    } else {
        turn = (turn + 1) % 4;
    }
    // The turn steps down once before the first card: the seat below this one leads.
    BeginPlay(m.deal, NextSeat(turn));
}

void SortUserHand(Match& m) {
    auto& hand = m.motion.userHand;
    std::array<int, 13> listed{};
    int n = 0;
    for (int i = 0; i <= 12; ++i)
        if (hand[i].inUse) listed[n++] = hand[i].card;
    std::array<int, 13> sorted{};
    int k = 0;
    for (int suit = 0; suit < 4; ++suit)
        for (int strength = 12; strength >= 0; --strength)
            for (int i = 0; i < n; ++i)
                if (SuitOf(listed[i]) == suit && StrengthOf(listed[i]) == strength)
                    sorted[k++] = listed[i];
    k = 0;
    for (int i = 0; i <= 12; ++i)
        if (hand[i].inUse) hand[i].card = sorted[k++];
    // The rules core keeps the user's cards in the order they are shown.
    for (int i = 0; i < n; ++i) m.deal.hand[userSeat][i] = static_cast<std::int8_t>(sorted[i]);
}

void StartMove(CardSprite& card, float x, float y, int frames) {
    card.moving = true;
    card.targetX = x;
    card.targetY = y;
    card.dirX = Sign(card.targetX - card.x);
    card.dirY = Sign(card.targetY - card.y);
    card.stepX = std::fabs(card.targetX - card.x) / static_cast<float>(frames);
    card.stepY = std::fabs(card.targetY - card.y) / static_cast<float>(frames);
}

void StepOnce(CardSprite& card) {
    card.x += static_cast<float>(card.dirX) * card.stepX;
    card.y += static_cast<float>(card.dirY) * card.stepY;
}

bool HasArrived(const CardSprite& card, const TableLayout& l) {
    return std::fabs(card.x - card.targetX) <= static_cast<float>(l.arriveToleranceX) &&
           std::fabs(card.y - card.targetY) <= static_cast<float>(l.arriveToleranceY);
}

int FramesToArrive(CardSprite card, const TableLayout& l) {
    for (int f = 1; f <= 1000; ++f) {
        StepOnce(card);
        if (HasArrived(card, l)) return f;
    }
    return -1;
}

void GatherHand(Match& m, int x, int y) {
    if (AnyCardMoving(m.motion)) return;
    PlayCardSound(m);
    for (int i = 1; i <= 12; ++i) {
        CardSprite& c = m.motion.userHand[i];
        if (!c.inUse) continue;
        c.homeX = RoundHalfEven(c.x);
        c.homeY = RoundHalfEven(c.y);
        c.faceUp = true;
        StartMove(c, static_cast<float>(x), static_cast<float>(y), m.layout.moveFrames);
    }
}

void SpreadHand(Match& m) {
    if (AnyCardMoving(m.motion)) return;
    PlaySignSound(m);
    for (int i = 1; i <= 12; ++i) {
        CardSprite& c = m.motion.userHand[i];
        if (!c.inUse) continue;
        c.faceUp = true;
        StartMove(c, static_cast<float>(c.homeX), static_cast<float>(c.homeY), m.layout.moveFrames);
    }
}

bool AnyCardMoving(const DealMotion& t) {
    for (int seat = 0; seat < 4; ++seat) {
        const auto& hand = HandSprites(t, seat);
        for (int i = 0; i <= 12; ++i)
            if (hand[i].moving) return true;
    }
    for (int i = 0; i < kCards; ++i)
        if (t.deckCards[i].moving) return true;
    for (int i = 0; i < t.trickCount; ++i)
        if (t.trickCards[i].moving) return true;
    return false;
}

void LaunchCard(Match& m, CardSprite& card, int x, int y) {
    StartMove(card, static_cast<float>(x), static_cast<float>(y), m.layout.playFrames);
}

void LaunchToPoint(Match& m, CardSprite& card, int x, int y) {
    if (AnyCardMoving(m.motion)) return;
    PlayCardSound(m);
    LaunchCard(m, card, x, y);
}

}  // namespace pellow
