#include "engine/dealing.hpp"
#include "engine/layout.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "engine/phases.hpp"
#include "engine/services.hpp"

namespace pellow {
namespace {

class DealTest : public ::testing::Test {
protected:
    void SetUp() override {
        m.random = &rnd;
        m.sounds = &sounds;
        m.settings.screen = ScreenSize::Small800x600;
        m.layout = MakeTableLayout(m.settings.screen, false);
    }
    // Gives a seat the listed codes as a dealt hand.
    void Give(int seat, std::initializer_list<int> codes) {
        m.deal.handCount[seat] = 0;
        for (int c : codes) {
            auto& sprite = HandSprites(m.motion, seat)[m.deal.handCount[seat]];
            sprite.card = c;
            sprite.inUse = true;
            GiveCard(m.deal, seat, c);
        }
    }
    Match m;
    MersenneRandom rnd{1};
    RecordingSounds sounds;
};

TEST_F(DealTest, ShuffleIsAPermutationForEverySeed) {
    for (std::uint32_t seed = 0; seed < 300; ++seed) {
        MersenneRandom r(seed);
        m.random = &r;
        Shuffle(m);
        std::array<int, 52> seen{};
        for (int i = 0; i < kCards; ++i) {
            ASSERT_GE(m.motion.deckCards[i].card, 0);
            ASSERT_LT(m.motion.deckCards[i].card, 52);
            ++seen[m.motion.deckCards[i].card];
        }
        for (int c = 0; c < kCards; ++c) ASSERT_EQ(seen[c], 1) << "seed " << seed;
    }
}

TEST_F(DealTest, ShuffleDependsOnTheSeed) {
    MersenneRandom a(1), b(2);
    m.random = &a;
    Shuffle(m);
    auto first = m.motion.deckCards;
    m.random = &b;
    Shuffle(m);
    int same = 0;
    for (int i = 0; i < kCards; ++i) same += first[i].card == m.motion.deckCards[i].card;
    EXPECT_LT(same, 20);
}

// A deal number as a player types it: digits only and in range. Everything else is refused
// rather than read as some other number (a sign, a blank, a wrap-around, a decimal point).
TEST(DealNumberTest, OnlyDigitsInRangeAreTaken) {
    for (const char* bad : {"", "0", "000", "-5", "+5", " 5", "5 ", "1 000", "1e3", "3.0", "0x1F", "1000000000",
                            "4294967297", "99999999999999999999", "\xd9\xa3", "12\n"})
        EXPECT_FALSE(ParseDealNumber(bad)) << bad;
    EXPECT_EQ(ParseDealNumber("1"), DealNumber{1});
    EXPECT_EQ(ParseDealNumber("000000042"), DealNumber{42});
    EXPECT_EQ(ParseDealNumber("999999999"), kLargestDealNumber);
    EXPECT_EQ(ParseDealNumber(std::string_view("123", 2)), DealNumber{12});
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
    m.motion.turnSeat = 2;
    MakeDealOrder(m);
    EXPECT_EQ((std::array<int, 4>{m.motion.dealOrder[0], m.motion.dealOrder[1], m.motion.dealOrder[2],
                                  m.motion.dealOrder[3]}),
              (std::array<int, 4>{2, 3, 0, 1}));

    // A landing card joins the hand of dealOrder(receivingSeatIndex), face up only for seat 0.
    for (int idx : {0, 3, 2, 1}) {
        m.motion.receivingSeatIndex = idx;
        CardSprite c;
        c.card = 10 + idx;
        c.x = 50;
        c.y = 60;
        AddDealtCard(m, c);
        const int seat = m.motion.dealOrder[idx];
        EXPECT_EQ(m.deal.handCount[seat], 1);
        EXPECT_EQ(m.deal.hand[seat][0], 10 + idx);
        EXPECT_TRUE(HandSprites(m.motion, seat)[0].inUse);
        EXPECT_EQ(HandSprites(m.motion, seat)[0].faceUp, seat == userSeat);
    }
}

TEST_F(DealTest, DealtCardHeadsForTheSeatsNextSlot) {
    Give(userSeat, {1, 2, 3});
    CardSprite& c = m.motion.deckCards[0];
    c.x = 13;
    c.y = 4;
    DealCardToSeat(m, c, userSeat);
    EXPECT_TRUE(c.moving);
    EXPECT_TRUE(c.faceUp);
    EXPECT_EQ(c.targetX, 155 + 33 * 3);
    EXPECT_EQ(c.targetY, 420);
    ASSERT_EQ(sounds.played.size(), 1u);

    CardSprite& d = m.motion.deckCards[1];
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
    EXPECT_EQ(FindTwoOfDiamonds(m.deal), 3);
    m.motion.turnSeat = 1;  // whoever dealt
    SetFirstLeader(m);
    EXPECT_TRUE(m.score.firstDealDone);
    EXPECT_EQ(m.dealerSeat, 3);
    EXPECT_EQ(m.motion.turnSeat, 0);  // stepping down once gives seat 3, the holder

    // Later deals: turnSeat still holds the dealer, who leads.
    m.motion.turnSeat = 2;
    m.dealerSeat = 2;
    SetFirstLeader(m);
    EXPECT_EQ(m.motion.turnSeat, 3);
    EXPECT_EQ(m.dealerSeat, 2);

    Give(3, {7});
    EXPECT_EQ(FindTwoOfDiamonds(m.deal), 0);  // nobody: seat 0
}

TEST_F(DealTest, SortUserHandGroupsSuitsAceFirst) {
    // Ace and two of clubs, king of hearts, queen of diamonds, dealt in scrambled order.
    const int aceC = 0, twoC = 4, kingH = 50, queenD = 45, tenS = 39, nineS = 35;
    Give(userSeat, {queenD, twoC, tenS, kingH, aceC, nineS});
    SortUserHand(m);
    const int want[] = {aceC, twoC, kingH, tenS, nineS, queenD};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(m.motion.userHand[i].card, want[i]) << i;
    // The rules core keeps the user's cards in the order shown.
    for (int i = 0; i < 6; ++i) EXPECT_EQ(m.deal.hand[userSeat][i], want[i]) << i;

    // Slots not in use keep their place and their card.
    m.motion.userHand[1].inUse = false;
    m.motion.userHand[1].card = 77 % 52;
    SortUserHand(m);
    EXPECT_EQ(m.motion.userHand[1].card, 77 % 52);
    EXPECT_EQ(m.motion.userHand[0].card, aceC);
    EXPECT_EQ(m.motion.userHand[2].card, kingH);
}

TEST_F(DealTest, GatherAndSpreadMoveSlotsOneToTwelve) {
    for (int i = 0; i < 13; ++i) {
        m.motion.userHand[i].inUse = true;
        m.motion.userHand[i].x = 155.0f + 33.0f * i;
        m.motion.userHand[i].y = 420.0f;
    }
    GatherHand(m, 155, 420);
    EXPECT_FALSE(m.motion.userHand[0].moving);
    for (int i = 1; i < 13; ++i) {
        EXPECT_TRUE(m.motion.userHand[i].moving);
        EXPECT_EQ(m.motion.userHand[i].homeX, 155 + 33 * i);
        EXPECT_EQ(m.motion.userHand[i].dirX, -1);
        EXPECT_FLOAT_EQ(m.motion.userHand[i].stepX, 33.0f * i / 20.0f);  // moveFrames
    }
    const auto soundsAfterGather = sounds.played.size();
    GatherHand(m, 155, 420);  // while cards move: nothing, not even a sound
    EXPECT_EQ(sounds.played.size(), soundsAfterGather);

    for (int i = 1; i < 13; ++i) {
        m.motion.userHand[i].moving = false;
        m.motion.userHand[i].x = 155;
    }
    SpreadHand(m);
    for (int i = 1; i < 13; ++i) {
        EXPECT_EQ(m.motion.userHand[i].targetX, 155 + 33 * i);
        EXPECT_EQ(m.motion.userHand[i].dirX, 1);
    }
    ASSERT_FALSE(sounds.played.empty());
    const auto last = sounds.played.back();
    EXPECT_TRUE(last == SoundEffect::Sign1 || last == SoundEffect::Sign2 || last == SoundEffect::Sign3);
}

TEST_F(DealTest, SmallScreenLayoutValues) {
    EXPECT_EQ(m.layout.cardWidth, 108);
    EXPECT_EQ(m.layout.cardHeight, 151);
    EXPECT_EQ(m.layout.handAnchorX, (std::array<int, 4>{155, 620, 300, 5}));
    EXPECT_EQ(m.layout.handAnchorY, (std::array<int, 4>{420, 220, 5, 220}));
    EXPECT_EQ(m.layout.handStep, (std::array<int, 4>{33, 5, 5, 5}));
    EXPECT_EQ(m.layout.ourPileX, 20);
    EXPECT_EQ(m.layout.ourPileY, 400);
    EXPECT_EQ(m.layout.theirPileX, 592);
    EXPECT_EQ(m.layout.theirPileY, 5);
    EXPECT_EQ(m.layout.moveFrames, 20);
    EXPECT_EQ(m.layout.playFrames, 10);
    EXPECT_EQ(m.layout.arriveToleranceX, 8);
    EXPECT_EQ(m.layout.scatterX, 8);
    EXPECT_EQ(m.layout.spotJitterX, 20);
    EXPECT_EQ(m.layout.spotJitterY, 16);
    EXPECT_EQ(m.layout.stockBaseX + m.layout.stockOffset, 13);
    EXPECT_EQ(m.layout.stockY, 4);

    SetTableSpots(m);
    const int sx[] = {336, 406, 344, 289}, sy[] = {242, 203, 164, 203};
    for (int s = 0; s < 4; ++s) {
        EXPECT_EQ(m.motion.tableSpots[s].x, sx[s]);
        EXPECT_EQ(m.motion.tableSpots[s].y, sy[s]);
        EXPECT_FALSE(m.motion.tableSpots[s].occupied);
    }

    m.layout = MakeTableLayout(ScreenSize::Small800x600, true);
    EXPECT_EQ(m.layout.moveFrames, 40);
    EXPECT_EQ(m.layout.playFrames, 20);
}

// The large table: everything stays on the screen and clear of the other hands.
TEST_F(DealTest, LargeScreenLayoutFitsAndScalesDown) {
    m.layout = MakeTableLayout(ScreenSize::Large1024x768, false);
    SetTableSpots(m);
    EXPECT_EQ(m.layout.cardWidth, 138);
    EXPECT_EQ(m.layout.cardHeight, 193);
    auto onScreen = [&](int x, int y) {
        EXPECT_GE(x, 0);
        EXPECT_GE(y, 0);
        EXPECT_LE(x + m.layout.cardWidth, 1024);
        EXPECT_LE(y + m.layout.cardHeight, 768);
    };
    onScreen(m.layout.handAnchorX[0] + 12 * m.layout.handStep[0], m.layout.handAnchorY[0]);
    onScreen(m.layout.handAnchorX[1] + 12 * m.layout.handStep[1], m.layout.handAnchorY[1]);
    onScreen(m.layout.handAnchorX[2] + 12 * m.layout.handStep[2], m.layout.handAnchorY[2]);
    onScreen(m.layout.handAnchorX[3] + 12 * m.layout.handStep[3], m.layout.handAnchorY[3]);
    onScreen(m.layout.ourPileX + m.layout.scatterX, m.layout.ourPileY + m.layout.scatterY);
    onScreen(m.layout.theirPileX + m.layout.scatterX, m.layout.theirPileY + m.layout.scatterY);
    const int designX[] = {430, 520, 440, 370};
    for (int s = 0; s < 4; ++s) {
        onScreen(m.motion.tableSpots[s].x + m.layout.spotJitterX, m.motion.tableSpots[s].y + m.layout.spotJitterY);
        EXPECT_EQ(m.motion.tableSpots[s].x, designX[s]);
    }
    // The user's cards on the table never cover the user's hand.
    EXPECT_LT(m.motion.tableSpots[0].y + m.layout.spotJitterY + m.layout.cardHeight, m.layout.handAnchorY[0]);

    // Scaled by 0.78125 the design values give the small screen's.
    auto scaled = [](int v) { return static_cast<int>(std::nearbyint(v * 0.78125)); };
    EXPECT_EQ(scaled(m.layout.handAnchorX[0]), 155);
    EXPECT_EQ(scaled(m.layout.handAnchorY[0]), 420);
    EXPECT_EQ(scaled(m.layout.handStep[0]), 33);
    EXPECT_EQ(scaled(m.layout.handAnchorX[1]), 620);
    EXPECT_EQ(scaled(m.layout.handAnchorY[1]), 220);
    EXPECT_EQ(scaled(m.layout.handAnchorX[2]), 300);
    EXPECT_EQ(scaled(m.layout.ourPileY), 400);
    EXPECT_EQ(scaled(m.layout.theirPileX), 592);
    EXPECT_EQ(scaled(m.layout.spotJitterX), 20);
    EXPECT_EQ(scaled(m.layout.spotJitterY), 16);
}

// The table takes the screen's shape, 768 high or 1024 wide, within 3:4 .. 32:9.
TEST(FittedTableTest, TheTableTakesTheScreensShapeWithinItsLimits) {
    struct Case {
        int w, h;
        TableSize table;
    };
    const Case cases[] = {
        {800, 600, {1024, 768}},     {1600, 1200, {1024, 768}},  {1920, 1200, {1229, 768}},
        {1920, 1080, {1365, 768}},   {2520, 1080, {1792, 768}},  {3840, 1080, {2731, 768}},
        {7680, 1080, {2731, 768}},   {INT_MAX, 1, {2731, 768}},  {1280, 1024, {1024, 819}},
        {1080, 1440, {1024, 1365}},  {1080, 1920, {1024, 1365}}, {INT_MAX, INT_MAX, {1024, 1024}},
        {1023, 768, {1024, 769}},    {0, 768, {1024, 768}},      {1024, 0, {1024, 768}},
        {-1920, -1080, {1024, 768}},
    };
    for (const Case& c : cases) {
        const TableSize t = FittedTableSize(c.w, c.h);
        EXPECT_EQ(t.width, c.table.width) << c.w << " x " << c.h;
        EXPECT_EQ(t.height, c.table.height) << c.w << " x " << c.h;
    }
}

// The fitted layouts: the design itself at 1024 x 768, and on every shape of screen every item on
// the table, clear of the others, at its own edge as in the design.
TEST(FittedTableTest, EveryItemStaysOnTheTableAtItsEdgeAndClearOfTheOthers) {
    for (bool slow : {false, true}) {
        EXPECT_EQ(MakeFittedLayout({1024, 768}, slow), MakeTableLayout(ScreenSize::Large1024x768, slow));
        // No table is smaller than the design: the hands would meet.
        EXPECT_EQ(MakeFittedLayout({800, 600}, slow), MakeTableLayout(ScreenSize::Large1024x768, slow));
    }
    EXPECT_EQ(MakeTableLayout(ScreenSize::Small800x600, false).tableWidth, 800);
    EXPECT_EQ(MakeTableLayout(ScreenSize::Small800x600, false).tableHeight, 600);

    // Rectangles of the table, right and bottom edges excluded.
    struct Box {
        int left, top, right, bottom;
    };
    const auto overlap = [](Box a, Box b) {
        return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    };
    const auto hand = [](const TableLayout& l, int seat) {
        const int x = l.handAnchorX[seat], y = l.handAnchorY[seat];
        return Box{x, y, x + 12 * l.handStep[seat] + l.cardWidth, y + l.cardHeight};
    };
    // A card on a spot, anywhere its jitter may put it.
    const auto spot = [](const TableLayout& l, int seat) {
        const int x = l.spotX[seat], y = l.spotY[seat];
        return Box{x, y, x + l.spotJitterX - 1 + l.cardWidth, y + l.spotJitterY - 1 + l.cardHeight};
    };
    const auto pile = [](const TableLayout& l, int x, int y) {
        return Box{x, y, x + l.scatterX - 1 + l.cardWidth, y + l.scatterY - 1 + l.cardHeight};
    };
    const auto stock = [](const TableLayout& l) {
        const int x = l.stockBaseX + l.stockOffset;
        return Box{x - 7, l.stockY, x + l.cardWidth, l.stockY + l.cardHeight};
    };
    // Its distances to the left, top, right and bottom edges.
    struct Margins {
        int left, top, right, bottom;
    };
    const auto margins = [](const TableLayout& l, Box b) {
        return Margins{b.left, b.top, l.tableWidth - b.right, l.tableHeight - b.bottom};
    };

    const TableLayout design = MakeFittedLayout({1024, 768}, false);
    const int pixels[][2] = {{1600, 1200}, {1920, 1200}, {1920, 1080}, {2520, 1080}, {3840, 1080}, {1080, 1440}};
    for (const auto& screen : pixels) {
        const TableSize size = FittedTableSize(screen[0], screen[1]);
        const TableLayout l = MakeFittedLayout(size, false);
        SCOPED_TRACE(testing::Message() << size.width << " x " << size.height);
        EXPECT_EQ(l.tableWidth, size.width);
        EXPECT_EQ(l.tableHeight, size.height);
        EXPECT_EQ(l.cardWidth, 138);
        EXPECT_EQ(l.cardHeight, 193);
        EXPECT_EQ(l.moveFrames, design.moveFrames);

        std::vector<Box> hands, others;
        for (int seat = 0; seat < 4; ++seat) hands.push_back(hand(l, seat));
        for (int seat = 0; seat < 4; ++seat) others.push_back(spot(l, seat));
        others.push_back(pile(l, l.ourPileX, l.ourPileY));
        others.push_back(pile(l, l.theirPileX, l.theirPileY));
        others.push_back(stock(l));
        for (const auto* boxes : {&hands, &others})
            for (const Box& b : *boxes) {
                const Margins g = margins(l, b);
                EXPECT_GE(std::min({g.left, g.top, g.right, g.bottom}), 0)
                    << b.left << "," << b.top << " " << b.right << "," << b.bottom;
            }
        for (std::size_t i = 0; i < hands.size(); ++i) {
            for (std::size_t j = i + 1; j < hands.size(); ++j) EXPECT_FALSE(overlap(hands[i], hands[j])) << i << j;
            for (std::size_t j = 0; j < others.size(); ++j) EXPECT_FALSE(overlap(hands[i], others[j])) << i << j;
        }
        // The piles and the stock clear of the trick and of each other (the spots may overlap).
        for (std::size_t i = 4; i < others.size(); ++i)
            for (std::size_t j = 0; j < i; ++j) EXPECT_FALSE(overlap(others[i], others[j])) << i << j;

        // Each hand as far from its own edge as in the design, and as centred along it; the piles
        // and the stock as far from their corners; the trick as centred.
        const auto along = [](Margins g, bool acrossX) { return acrossX ? g.left - g.right : g.top - g.bottom; };
        const Margins user = margins(l, hands[userSeat]), userD = margins(design, hand(design, userSeat));
        const Margins right = margins(l, hands[rightSeat]), rightD = margins(design, hand(design, rightSeat));
        const Margins partner = margins(l, hands[partnerSeat]), partnerD = margins(design, hand(design, partnerSeat));
        const Margins left = margins(l, hands[leftSeat]), leftD = margins(design, hand(design, leftSeat));
        EXPECT_EQ(user.bottom, userD.bottom);
        EXPECT_NEAR(along(user, true), along(userD, true), 1);
        EXPECT_EQ(right.right, rightD.right);
        EXPECT_NEAR(along(right, false), along(rightD, false), 1);
        EXPECT_EQ(partner.top, partnerD.top);
        EXPECT_NEAR(along(partner, true), along(partnerD, true), 1);
        EXPECT_EQ(left.left, leftD.left);
        EXPECT_NEAR(along(left, false), along(leftD, false), 1);
        const Margins ours = margins(l, others[4]),
                      oursD = margins(design, pile(design, design.ourPileX, design.ourPileY));
        const Margins theirs = margins(l, others[5]),
                      theirsD = margins(design, pile(design, design.theirPileX, design.theirPileY));
        const Margins stockM = margins(l, others[6]), stockD = margins(design, stock(design));
        EXPECT_EQ(ours.left, oursD.left);
        EXPECT_EQ(ours.bottom, oursD.bottom);
        EXPECT_EQ(theirs.right, theirsD.right);
        EXPECT_EQ(theirs.top, theirsD.top);
        EXPECT_EQ(stockM.left, stockD.left);
        EXPECT_EQ(stockM.top, stockD.top);
        for (int seat = 0; seat < 4; ++seat) {
            const Margins g = margins(l, others[static_cast<std::size_t>(seat)]),
                          d = margins(design, spot(design, seat));
            EXPECT_NEAR(along(g, true), along(d, true), 1) << seat;
            EXPECT_NEAR(along(g, false), along(d, false), 1) << seat;
        }
    }
}

}  // namespace
}  // namespace pellow

namespace pellow {
namespace {

// The frameless deal must hand every seat the cards the animated one does, and the same leader,
// for a match's first deal (the two of diamonds) and for later ones.
TEST_F(DealTest, DealtAtOnceAsTheFramesDealIt) {
    ManualClock clock;
    m.clock = &clock;
    m.numberedDeals = true;
    for (int deal = 0; deal < 8; ++deal) {
        Match atOnce = m;
        MersenneRandom twin = rnd;
        atOnce.random = &twin;
        NewDeal(atOnce);
        DealAllAtOnce(atOnce);
        NewDeal(m);
        for (int frame = 0; m.motion.statusText == Phase::DealingCards && frame < 10000; ++frame) StepFrame(m, {});
        ASSERT_EQ(m.motion.statusText, Phase::NormalPlay);
        EXPECT_EQ(atOnce.deal, m.deal) << "deal " << deal;
        EXPECT_EQ(atOnce.dealerSeat, m.dealerSeat);
        m.score.firstDealDone = deal % 2 == 0;  // the two of diamonds finds every other dealer
    }
}

}  // namespace
}  // namespace pellow
