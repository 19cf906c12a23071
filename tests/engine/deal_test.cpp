#include "engine/deal.hpp"

#include <gtest/gtest.h>

#include <algorithm>

#include "engine/cards.hpp"
#include "support/engine_fakes.hpp"

namespace pellow {
namespace {

class DealTest : public ::testing::Test {
protected:
    void SetUp() override {
        MakeCardFileNames(m);
        m.random = &rnd;
        m.sounds = &sounds;
        m.messages = &messages;
        m.resolution = "800x600";
        SetLayout(m);
    }
    // Gives a seat the listed codes as a dealt hand.
    void Give(int seat, std::initializer_list<int> codes) {
        int& n = HandCount(m, seat);
        n = 0;
        for (int c : codes) {
            HandCodes(m, seat)[n] = c;
            HandSprites(m, seat)[n].card = c;
            HandSprites(m, seat)[n].inUse = true;
            ++n;
        }
    }
    Match m;
    FakeRandom rnd{1};
    RecordingSounds sounds;
    RecordingMessages messages;
};

TEST_F(DealTest, ShuffleIsAPermutationForEverySeed) {
    for (std::uint32_t seed = 0; seed < 300; ++seed) {
        FakeRandom r(seed);
        m.random = &r;
        Shuffle(m);
        std::array<int, 52> seen{};
        for (int i = 0; i < kCards; ++i) {
            ASSERT_GE(m.deckCards[i].card, 0);
            ASSERT_LT(m.deckCards[i].card, 52);
            ++seen[m.deckCards[i].card];
            EXPECT_EQ(m.shuffleDrawn[i], m.deckCards[i].card);
        }
        for (int c = 0; c < kCards; ++c) ASSERT_EQ(seen[c], 1) << "seed " << seed;
        EXPECT_EQ(m.shuffleDrawn[52], -1);
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(DealTest, ShuffleDependsOnTheSeed) {
    FakeRandom a(1), b(2);
    m.random = &a;
    Shuffle(m);
    auto first = m.deckCards;
    m.random = &b;
    Shuffle(m);
    int same = 0;
    for (int i = 0; i < kCards; ++i) same += first[i].card == m.deckCards[i].card;
    EXPECT_LT(same, 20);
}

TEST_F(DealTest, DealerRotation) {
    EXPECT_FALSE(m.dealerChosen);
    const int first = NextDealer(m);
    EXPECT_TRUE(m.dealerChosen);
    EXPECT_GE(first, 0);
    EXPECT_LE(first, 3);
    EXPECT_EQ(rnd.draws, 1);

    m.dealerSeat = 0;
    EXPECT_EQ(NextDealer(m), 3);  // 0 becomes 3
    EXPECT_EQ(NextDealer(m), 2);
    EXPECT_EQ(NextDealer(m), 1);
    EXPECT_EQ(NextDealer(m), 0);
    EXPECT_EQ(rnd.draws, 1);  // only the very first dealer is random
}

TEST_F(DealTest, DealOrderAndLandingSeats) {
    m.turnSeat = 2;
    MakeDealOrder(m);
    EXPECT_EQ((std::array<int, 4>{m.dealOrder[0], m.dealOrder[1], m.dealOrder[2], m.dealOrder[3]}),
              (std::array<int, 4>{2, 3, 0, 1}));

    // A landing card joins the hand of dealOrder(receivingSeatIndex), face up only for seat 0.
    for (int idx : {0, 3, 2, 1}) {
        m.receivingSeatIndex = idx;
        CardSprite c;
        c.card = 10 + idx;
        c.x = 50;
        c.y = 60;
        AddDealtCard(m, c);
        const int seat = m.dealOrder[idx];
        EXPECT_EQ(HandCount(m, seat), 1);
        EXPECT_EQ(HandCodes(m, seat)[0], 10 + idx);
        EXPECT_TRUE(HandSprites(m, seat)[0].inUse);
        EXPECT_EQ(HandSprites(m, seat)[0].faceUp, seat == userSeat);
    }
}

TEST_F(DealTest, DealtCardHeadsForTheSeatsNextSlot) {
    Give(userSeat, {1, 2, 3});
    CardSprite& c = m.deckCards[0];
    c.x = 13;
    c.y = 4;
    DealCardToSeat(m, c, userSeat);
    EXPECT_TRUE(c.moving);
    EXPECT_TRUE(c.faceUp);
    EXPECT_EQ(c.targetX, 155 + 33 * 3);
    EXPECT_EQ(c.targetY, 420);
    ASSERT_EQ(sounds.played.size(), 1u);

    CardSprite& d = m.deckCards[1];
    DealCardToSeat(m, d, rightSeat);  // another card is still moving: nothing happens
    EXPECT_FALSE(d.moving);
    c.moving = false;
    DealCardToSeat(m, d, rightSeat);
    EXPECT_FALSE(d.faceUp);
    EXPECT_EQ(d.targetX, 620);
    EXPECT_EQ(d.targetY, 220);
    EXPECT_FLOAT_EQ(d.stepX, 620.0f / 10.0f);  // playFrames frames
}

TEST_F(DealTest, FirstLeaderHoldsTheTwoOfDiamondsThenTheDealerLeads) {
    Give(0, {0, 1}), Give(1, {2, 3}), Give(2, {4, 6}), Give(3, {5, 7});  // code 5 = 2D
    EXPECT_EQ(FindTwoOfDiamonds(m), 3);
    m.turnSeat = 1;  // whoever dealt
    SetFirstLeader(m);
    EXPECT_TRUE(m.firstDealDone);
    EXPECT_EQ(m.dealerSeat, 3);
    EXPECT_EQ(m.turnSeat, 0);  // stepping down once gives seat 3, the holder

    // Later deals: turnSeat still holds the dealer, who leads.
    m.turnSeat = 2;
    m.dealerSeat = 2;
    SetFirstLeader(m);
    EXPECT_EQ(m.turnSeat, 3);
    EXPECT_EQ(m.dealerSeat, 2);

    Give(3, {7});
    EXPECT_EQ(FindTwoOfDiamonds(m), 0);  // nobody: seat 0
}

TEST_F(DealTest, SortUserHandGroupsSuitsAceFirst) {
    // Ace and two of clubs, king of hearts, queen of diamonds, dealt in scrambled order.
    const int aceC = 0, twoC = 4, kingH = 50, queenD = 45, tenS = 39, nineS = 35;
    Give(userSeat, {queenD, twoC, tenS, kingH, aceC, nineS});
    SortUserHand(m);
    const int want[] = {aceC, twoC, kingH, tenS, nineS, queenD};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(m.userHand[i].card, want[i]) << i;
    // The compact code list keeps the dealt order.
    EXPECT_EQ(m.userHandCodes[0], queenD);

    // Slots not in use keep their place and their card.
    m.userHand[1].inUse = false;
    m.userHand[1].card = 77 % 52;
    SortUserHand(m);
    EXPECT_EQ(m.userHand[1].card, 77 % 52);
    EXPECT_EQ(m.userHand[0].card, aceC);
    EXPECT_EQ(m.userHand[2].card, kingH);
}

TEST_F(DealTest, GatherAndSpreadMoveSlotsOneToTwelve) {
    for (int i = 0; i < 13; ++i) {
        m.userHand[i].inUse = true;
        m.userHand[i].x = 155.0f + 33.0f * i;
        m.userHand[i].y = 420.0f;
    }
    GatherHand(m, 155, 420);
    EXPECT_FALSE(m.userHand[0].moving);
    for (int i = 1; i < 13; ++i) {
        EXPECT_TRUE(m.userHand[i].moving);
        EXPECT_EQ(m.userHand[i].homeX, 155 + 33 * i);
        EXPECT_EQ(m.userHand[i].dirX, -1);
        EXPECT_FLOAT_EQ(m.userHand[i].stepX, 33.0f * i / 20.0f);  // moveFrames
    }
    const auto soundsAfterGather = sounds.played.size();
    GatherHand(m, 155, 420);  // while cards move: nothing, not even a sound
    EXPECT_EQ(sounds.played.size(), soundsAfterGather);

    for (int i = 1; i < 13; ++i) {
        m.userHand[i].moving = false;
        m.userHand[i].x = 155;
    }
    SpreadHand(m);
    for (int i = 1; i < 13; ++i) {
        EXPECT_EQ(m.userHand[i].targetX, 155 + 33 * i);
        EXPECT_EQ(m.userHand[i].dirX, 1);
    }
    ASSERT_FALSE(sounds.played.empty());
    const auto last = sounds.played.back();
    EXPECT_TRUE(last == SoundEffect::Sign1 || last == SoundEffect::Sign2 || last == SoundEffect::Sign3);
}

TEST_F(DealTest, SmallScreenLayoutValues) {
    EXPECT_EQ(m.cardWidth, 108);
    EXPECT_EQ(m.cardHeight, 151);
    EXPECT_EQ(m.handAnchorX, (std::array<int, 4>{155, 620, 300, 5}));
    EXPECT_EQ(m.handAnchorY, (std::array<int, 4>{420, 220, 5, 220}));
    EXPECT_EQ(m.handStep, (std::array<int, 4>{33, 5, 5, 5}));
    EXPECT_EQ(m.ourPileX, 20);
    EXPECT_EQ(m.ourPileY, 400);
    EXPECT_EQ(m.theirPileX, 592);
    EXPECT_EQ(m.theirPileY, 5);
    EXPECT_EQ(m.moveFrames, 20);
    EXPECT_EQ(m.playFrames, 10);
    EXPECT_EQ(m.dealDivisor, 1);
    EXPECT_EQ(m.arriveToleranceX, 8);
    EXPECT_EQ(m.scatterX, 8);
    EXPECT_EQ(m.spotJitterX, 20);
    EXPECT_EQ(m.spotJitterY, 16);
    EXPECT_EQ(m.stockBaseX + m.stockOffset, 13);
    EXPECT_EQ(m.stockY, 4);
    const int score[] = {m.scoreRowX, m.scoreRowY, m.scoreRowStep, m.scoreTotalX, m.scoreTotalY,
                         m.scoreResultX, m.scoreResultY, m.scorePageX, m.scorePageY, m.clockX, m.clockY};
    const int want[] = {273, 94, 31, 273, 438, 273, 469, 156, 4, 700, 572};
    for (int i = 0; i < 11; ++i) EXPECT_EQ(score[i], want[i]) << i;
    EXPECT_EQ(m.scoreHeaderGap, "   ");

    SetTableSpots(m);
    const int sx[] = {336, 406, 344, 289}, sy[] = {242, 203, 164, 203};
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(m.tableSpots[s].x, sx[s]);
        EXPECT_EQ(m.tableSpots[s].y, sy[s]);
        EXPECT_FALSE(m.tableSpots[s].occupied);
    }

    m.slowAnimation = true;
    SetLayout(m);
    EXPECT_EQ(m.moveFrames, 40);
    EXPECT_EQ(m.playFrames, 20);
}

// The large table: everything stays on the screen and clear of the other hands.
TEST_F(DealTest, LargeScreenLayoutFitsAndScalesDown) {
    m.resolution = "";
    SetLayout(m);
    SetTableSpots(m);
    EXPECT_EQ(m.cardWidth, 138);
    EXPECT_EQ(m.cardHeight, 193);
    auto onScreen = [&](int x, int y) {
        EXPECT_GE(x, 0);
        EXPECT_GE(y, 0);
        EXPECT_LE(x + m.cardWidth, 1024);
        EXPECT_LE(y + m.cardHeight, 768);
    };
    onScreen(m.handAnchorX[0] + 12 * m.handStep[0], m.handAnchorY[0]);
    onScreen(m.handAnchorX[1] + 12 * m.handStep[1], m.handAnchorY[1]);
    onScreen(m.handAnchorX[2] + 12 * m.handStep[2], m.handAnchorY[2]);
    onScreen(m.handAnchorX[3] + 12 * m.handStep[3], m.handAnchorY[3]);
    onScreen(m.ourPileX + m.scatterX, m.ourPileY + m.scatterY);
    onScreen(m.theirPileX + m.scatterX, m.theirPileY + m.scatterY);
    for (int s = 0; s < 4; ++s) {
        onScreen(m.tableSpots[s].x + m.spotJitterX, m.tableSpots[s].y + m.spotJitterY);
        EXPECT_EQ(m.tableSpots[s].x, m.spotDesignX[s]);
    }
    // The user's cards on the table never cover the user's hand.
    EXPECT_LT(m.tableSpots[0].y + m.spotJitterY + m.cardHeight, m.handAnchorY[0]);
    // The clock text ("hh:mm AM", 8 glyphs at a 17-pixel advance, 19 wide) fits on the screen.
    EXPECT_LE(m.clockX + 7 * 17 + 19, 1024);
    EXPECT_LE(m.clockY + 27, 768);
    // The line above the totals is placed from scoreRowX and must sit just above the totals.
    EXPECT_EQ(m.scoreRowX + 157, m.scoreTotalY - 8);

    // Scaled by 0.78125 the design values give the small screen's.
    auto scaled = [](int v) { return static_cast<int>(std::nearbyint(v * 0.78125)); };
    EXPECT_EQ(scaled(m.handAnchorX[0]), 155);
    EXPECT_EQ(scaled(m.handAnchorY[0]), 420);
    EXPECT_EQ(scaled(m.handStep[0]), 33);
    EXPECT_EQ(scaled(m.handAnchorX[1]), 620);
    EXPECT_EQ(scaled(m.handAnchorY[1]), 220);
    EXPECT_EQ(scaled(m.handAnchorX[2]), 300);
    EXPECT_EQ(scaled(m.ourPileY), 400);
    EXPECT_EQ(scaled(m.theirPileX), 592);
    EXPECT_EQ(scaled(m.spotJitterX), 20);
    EXPECT_EQ(scaled(m.spotJitterY), 16);
}

}  // namespace
}  // namespace pellow
