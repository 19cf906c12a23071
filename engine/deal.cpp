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

void SetLayout(Match& m) {
    const bool small = m.resolution == "800x600";
    m.moveFrames = m.slowAnimation ? 40 : 20;
    m.playFrames = m.moveFrames / 2;
    m.dealDivisor = 1;
    for (int s = 0; s < 4; ++s) {
        m.spotDesignX[s] = kSpotDesignX[s];
        m.spotDesignY[s] = kSpotDesignY[s];
    }
    m.scoreHeaderGap = "   ";
    if (small) {
        m.cardWidth = 108;
        m.cardHeight = 151;
        m.handAnchorX = {155, 620, 300, 5};
        m.handAnchorY = {420, 220, 5, 220};
        m.handStep = {Scaled(kUserStepDesign), 5, 5, 5};
        m.ourPileX = 20;
        m.ourPileY = 400;
        m.theirPileX = 592;
        m.theirPileY = 5;
        m.arriveToleranceX = m.arriveToleranceY = 8;
        m.scatterX = m.scatterY = 8;
        m.spotJitterX = 20;
        m.spotJitterY = 16;
        m.stockBaseX = 5;
        m.stockOffset = 8;
        m.stockStep = 1;
        m.stockY = 4;
        m.scoreRowX = 273;
        m.scoreRowY = 94;
        m.scoreRowStep = 31;
        m.scoreTotalX = 273;
        m.scoreTotalY = 438;
        m.scoreResultX = 273;
        m.scoreResultY = 469;
        m.scorePageX = 156;
        m.scorePageY = 4;
        m.clockX = 700;
        m.clockY = 572;
        m.layoutWidth = 800;
        m.layoutHeight = 600;
    } else {
        // Our 1024 x 768 table: the design values whose 0.78125 scaling gives the small screen,
        // with larger cards (138 x 193) that still leave every hand, pile and spot clear.
        m.cardWidth = 138;
        m.cardHeight = 193;
        m.handAnchorX = {198, 794, 384, 6};
        m.handAnchorY = {538, 282, 6, 282};
        m.handStep = {kUserStepDesign, 6, 6, 6};
        m.ourPileX = 26;
        m.ourPileY = 512;
        m.theirPileX = 758;
        m.theirPileY = 6;
        m.arriveToleranceX = m.arriveToleranceY = 10;
        m.scatterX = m.scatterY = 10;
        m.spotJitterX = 26;
        m.spotJitterY = 20;
        m.stockBaseX = 6;
        m.stockOffset = 10;
        m.stockStep = 1;
        m.stockY = 5;
        // The score page keeps its 800 x 600 proportions (the font does not grow) and is moved
        // by the same amount in x and y, because the line above the totals is placed from
        // scoreRowX: it stays eight pixels above the totals only if both move together.
        m.scoreRowX = 273 + 112;
        m.scoreRowY = 94 + 112;
        m.scoreRowStep = 31;
        m.scoreTotalX = 273 + 112;
        m.scoreTotalY = 438 + 112;
        m.scoreResultX = 273 + 112;
        m.scoreResultY = 469 + 112;
        m.scorePageX = 156 + 112;
        m.scorePageY = 4 + 112;
        m.clockX = 878;
        m.clockY = 732;
        m.layoutWidth = 1024;
        m.layoutHeight = 768;
    }
}

void SetTableSpots(Match& m) {
    const bool small = m.resolution == "800x600";
    for (auto& spot : m.tableSpots) spot = TableSpot{};
    for (int s = 0; s < 4; ++s) {
        m.tableSpots[s].x = small ? Scaled(m.spotDesignX[s]) : m.spotDesignX[s];
        m.tableSpots[s].y = small ? Scaled(m.spotDesignY[s]) : m.spotDesignY[s];
        m.tableSpots[s].occupied = false;
    }
}

void Shuffle(Match& m) {
    m.shuffleDrawn.fill(-1);
    int count = 0;
    while (count < kCards) {
        const int r = RandomBelow(m, kCards);
        bool drawn = false;
        for (int i = 0; i < count && !drawn; ++i) drawn = m.shuffleDrawn[i] == r;
        if (drawn) continue;
        m.deckCards[count].card = r;
        m.shuffleDrawn[count] = r;
        ++count;
    }
    for (int i = 0; i < kCards; ++i)
        if (m.shuffleDrawn[i] == -1) ShowMessage(m, "Error in Shuffle");
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
    for (int k = 0; k < 4; ++k) m.dealOrder[k] = (m.turnSeat + k) % 4;
}

void DealCardToSeat(Match& m, CardSprite& card, int seat) {
    card.faceUp = seat == userSeat;
    const int x = m.handAnchorX[seat] + m.handStep[seat] * HandCount(m, seat);
    LaunchToPoint(m, card, x, m.handAnchorY[seat]);
}

void AddDealtCard(Match& m, CardSprite& card) {
    const int seat = m.dealOrder[m.receivingSeatIndex];
    int& count = HandCount(m, seat);
    if (count >= 13) return;  // a seat never holds more than 13 cards
    CardSprite& slot = HandSprites(m, seat)[count];
    slot.x = card.x;
    slot.y = card.y;
    slot.card = card.card;
    slot.inUse = true;
    slot.faceUp = seat == userSeat;
    slot.moving = false;
    HandCodes(m, seat)[count] = card.card;
    ++count;
}

void ParkCard(CardSprite& card) {
    card.x = static_cast<float>(card.homeX);
    card.y = static_cast<float>(card.homeY);
    card.moving = false;
    card.inUse = false;
}

int FindTwoOfDiamonds(const Match& m) {
    for (int seat = 0; seat < 4; ++seat) {
        const auto& codes = HandCodes(m, seat);
        for (int i = 0; i < HandCount(m, seat); ++i)
            if (m.cardSuit[codes[i]] == kDiamonds && m.cardRank[codes[i]] == 2) return seat;
    }
    return 0;
}

void SetFirstLeader(Match& m) {
    if (!m.firstDealDone) {
        m.firstDealDone = true;
        m.dealerSeat = FindTwoOfDiamonds(m);
        m.turnSeat = (m.dealerSeat + 1) % 4;
    } else {
        m.turnSeat = (m.turnSeat + 1) % 4;
    }
}

void SortUserHand(Match& m) {
    std::array<int, 13> listed{};
    int n = 0;
    for (int i = 0; i <= 12; ++i)
        if (m.userHand[i].inUse) listed[n++] = m.userHand[i].card;
    std::array<int, 13> sorted{};
    int k = 0;
    for (int suit = 0; suit < 4; ++suit)
        for (int strength = 12; strength >= 0; --strength)
            for (int i = 0; i < n; ++i)
                if (m.cardSuit[listed[i]] == suit && Strength(m, listed[i]) == strength)
                    sorted[k++] = listed[i];
    k = 0;
    for (int i = 0; i <= 12; ++i)
        if (m.userHand[i].inUse) m.userHand[i].card = sorted[k++];
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

void GatherHand(Match& m, int x, int y) {
    if (AnyCardMoving(m)) return;
    PlayCardSound(m);
    for (int i = 1; i <= 12; ++i) {
        CardSprite& c = m.userHand[i];
        if (!c.inUse) continue;
        c.homeX = RoundHalfEven(c.x);
        c.homeY = RoundHalfEven(c.y);
        c.faceUp = true;
        StartMove(c, static_cast<float>(x), static_cast<float>(y), m.moveFrames);
    }
}

void SpreadHand(Match& m) {
    if (AnyCardMoving(m)) return;
    PlaySignSound(m);
    for (int i = 1; i <= 12; ++i) {
        CardSprite& c = m.userHand[i];
        if (!c.inUse) continue;
        c.faceUp = true;
        StartMove(c, static_cast<float>(c.homeX), static_cast<float>(c.homeY), m.moveFrames);
    }
}

bool AnyCardMoving(const Match& m) {
    for (int seat = 0; seat < 4; ++seat) {
        const auto& hand = HandSprites(m, seat);
        for (int i = 0; i <= 12; ++i)
            if (hand[i].moving) return true;
    }
    for (int i = 0; i < kCards; ++i)
        if (m.deckCards[i].moving) return true;
    for (int i = 0; i < m.trickCount; ++i)
        if (m.trickCards[i].moving) return true;
    return false;
}

void LaunchCard(Match& m, CardSprite& card, int x, int y) {
    int frames = m.playFrames;
    if (m.statusText == Phase::DealingCards) frames = frames / m.dealDivisor;
    StartMove(card, static_cast<float>(x), static_cast<float>(y), frames);
}

void LaunchToPoint(Match& m, CardSprite& card, int x, int y) {
    if (AnyCardMoving(m)) return;
    PlayCardSound(m);
    LaunchCard(m, card, x, y);
}

}  // namespace pellow
