#include "engine/cards.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <set>

#include "engine/deal.hpp"
#include "support/engine_fakes.hpp"

namespace pellow {
namespace {

// Code of a card from rank text and file-order suit letter, the way the pictures are named.
int Code(const Match& m, const std::string& file) {
    for (int c = 0; c < kCards; ++c)
        if (m.cardFileName[c] == file) return c;
    ADD_FAILURE() << "no card " << file;
    return 0;
}

class CardsTest : public ::testing::Test {
protected:
    void SetUp() override { MakeCardFileNames(m); }
    Match m;
    FakeRandom rnd{7};
};

TEST_F(CardsTest, FileNamesFollowRankMajorFileOrder) {
    EXPECT_EQ(m.cardFileName[0], "AC.BMP");
    EXPECT_EQ(m.cardFileName[3], "AS.BMP");
    EXPECT_EQ(m.cardFileName[4], "2C.BMP");
    EXPECT_EQ(m.cardFileName[5], "2D.BMP");
    EXPECT_EQ(m.cardFileName[36], "10C.BMP");
    EXPECT_EQ(m.cardFileName[39], "10S.BMP");
    EXPECT_EQ(m.cardFileName[40], "JC.BMP");
    EXPECT_EQ(m.cardFileName[47], "QS.BMP");
    EXPECT_EQ(m.cardFileName[51], "KS.BMP");
    std::set<std::string> names(m.cardFileName.begin(), m.cardFileName.begin() + kCards);
    EXPECT_EQ(names.size(), 52u);
}

TEST_F(CardsTest, RanksSuitsAndStrength) {
    // Suit codes are clubs, hearts, spades, diamonds: not the file order C, D, H, S.
    EXPECT_EQ(m.cardSuit[Code(m, "AC.BMP")], kClubs);
    EXPECT_EQ(m.cardSuit[Code(m, "AD.BMP")], kDiamonds);
    EXPECT_EQ(m.cardSuit[Code(m, "AH.BMP")], kHearts);
    EXPECT_EQ(m.cardSuit[Code(m, "AS.BMP")], kSpades);
    EXPECT_EQ(m.cardSuit[Code(m, "10D.BMP")], kDiamonds);
    EXPECT_EQ(m.cardSuit[Code(m, "10H.BMP")], kHearts);
    EXPECT_EQ(m.cardRank[5], 2);
    EXPECT_EQ(m.cardSuit[5], kDiamonds);  // the two of diamonds is code 5
    EXPECT_EQ(m.cardRank[Code(m, "10S.BMP")], 10);
    EXPECT_EQ(m.cardRank[Code(m, "JS.BMP")], 11);
    EXPECT_EQ(m.cardRank[Code(m, "QS.BMP")], 12);
    EXPECT_EQ(m.cardRank[51], 13);
    EXPECT_EQ(m.cardRank[0], 1);
    for (int c = 0; c < kCards; ++c) {
        EXPECT_EQ(m.cardRank[c], c / 4 + 1) << c;
    }
    EXPECT_EQ(m.rankOrder[2], 0);
    EXPECT_EQ(m.rankOrder[9], 7);
    EXPECT_EQ(m.rankOrder[10], 8);
    EXPECT_EQ(m.rankOrder[11], 9);
    EXPECT_EQ(m.rankOrder[13], 11);
    EXPECT_EQ(m.rankOrder[1], 12);
}

TEST_F(CardsTest, PointsTableAndEightyPerDeal) {
    m.trumpSuit = kSpades;
    EXPECT_EQ(CardPoints(m, Code(m, "9S.BMP")), 18);
    EXPECT_EQ(CardPoints(m, Code(m, "5S.BMP")), 10);
    EXPECT_EQ(CardPoints(m, Code(m, "AS.BMP")), 4);
    EXPECT_EQ(CardPoints(m, Code(m, "KS.BMP")), 3);
    EXPECT_EQ(CardPoints(m, Code(m, "QS.BMP")), 2);
    EXPECT_EQ(CardPoints(m, Code(m, "JS.BMP")), 1);
    EXPECT_EQ(CardPoints(m, Code(m, "10S.BMP")), 0);
    EXPECT_EQ(CardPoints(m, Code(m, "9H.BMP")), 9);
    EXPECT_EQ(CardPoints(m, Code(m, "5D.BMP")), 5);
    EXPECT_EQ(CardPoints(m, Code(m, "AC.BMP")), 0);
    EXPECT_EQ(CardPoints(m, Code(m, "KH.BMP")), 0);

    // However the cards are split between the teams, the deal holds 80 points.
    m.random = &rnd;
    for (int trump = 0; trump < 4; ++trump) {
        m.trumpSuit = trump;
        for (int trial = 0; trial < 50; ++trial) {
            m.ourTakenCount = m.theirTakenCount = 0;
            for (int c = 0; c < kCards; ++c) {
                if (Rnd(m) < 0.5f) m.ourTakenCodes[m.ourTakenCount++] = c;
                else m.theirTakenCodes[m.theirTakenCount++] = c;
            }
            SumDealPoints(m);
            EXPECT_EQ(m.ourDealScore + m.theirDealScore, 80);
        }
    }
}

TEST_F(CardsTest, CardBeats) {
    m.trumpSuit = kHearts;
    const int aceClubs = Code(m, "AC.BMP"), twoClubs = Code(m, "2C.BMP");
    const int twoHearts = Code(m, "2H.BMP"), threeHearts = Code(m, "3H.BMP");
    const int aceSpades = Code(m, "AS.BMP"), kingClubs = Code(m, "KC.BMP");

    m.trickCount = 0;
    EXPECT_FALSE(CardBeats(m, twoHearts, twoClubs));  // empty table: never
    EXPECT_FALSE(CardBeats(m, aceClubs, twoClubs));

    m.trickCount = 1;
    EXPECT_TRUE(CardBeats(m, twoHearts, aceClubs));   // low trump beats an ace of the suit led
    EXPECT_TRUE(CardBeats(m, threeHearts, twoHearts));
    EXPECT_FALSE(CardBeats(m, twoHearts, threeHearts));
    EXPECT_FALSE(CardBeats(m, aceSpades, kingClubs));  // a third suit never beats
    EXPECT_FALSE(CardBeats(m, aceClubs, twoHearts));   // a plain card never beats a trump
    EXPECT_TRUE(CardBeats(m, aceClubs, kingClubs));
    EXPECT_FALSE(CardBeats(m, kingClubs, aceClubs));
}

// Puts four cards on the table as played by the seats below the fourth seat `last`.
void PlayTrick(Match& m, int last, std::initializer_list<int> codes) {
    m.turnSeat = last;
    m.trickCount = 0;
    for (int c : codes) {
        m.trickCards[m.trickCount] = CardSprite{};
        m.trickCards[m.trickCount].card = c;
        m.trickCards[m.trickCount].inUse = true;
        ++m.trickCount;
    }
    m.trickPlayed = 4;
}

TEST_F(CardsTest, ResolveTrickPicksEachPosition) {
    m.trumpSuit = kSpades;
    const int c2 = Code(m, "2C.BMP"), c5 = Code(m, "5C.BMP"), c9 = Code(m, "9C.BMP");
    const int cA = Code(m, "AC.BMP"), h_A = Code(m, "AH.BMP"), s2 = Code(m, "2S.BMP");

    // Fourth seat is 1: the trick was played by seats 0, 3, 2, 1.
    struct Case { std::initializer_list<int> cards; int winnerSeat; int position; };
    const Case cases[] = {
        {{cA, c2, c5, c9}, 0, 0},
        {{c2, cA, c5, c9}, 3, 1},
        {{c2, c5, cA, c9}, 2, 2},
        {{c2, c5, c9, cA}, 1, 3},    // ace of the suit led played last
        {{c2, h_A, c5, s2}, 1, 3},   // low trump last wins over everything
        {{c5, h_A, c2, c9}, 1, 3},   // the discarded ace never wins
        {{c9, s2, cA, c5}, 3, 1},    // a trump played second holds
    };
    for (const auto& tc : cases) {
        PlayTrick(m, 1, tc.cards);
        ResolveTrick(m);
        EXPECT_EQ(m.trickWinner, tc.winnerSeat);
        EXPECT_EQ(m.trickWinnerCard, tc.position);
        EXPECT_EQ(m.turnSeat, tc.winnerSeat);
        EXPECT_EQ(m.lastTrickWinner, tc.winnerSeat);
        EXPECT_EQ(m.lastPlayer, 1);
        EXPECT_EQ(m.trickPlayed, 0);
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(m.trickCards[i].gathered);
    }

    PlayTrick(m, 0, {c2, c5, cA, c9});  // seats 3, 2, 1, 0: seat 1 played the ace
    ResolveTrick(m);
    EXPECT_EQ(m.trickWinner, 1);
    EXPECT_EQ(m.statusText, Phase::TheyGathering);
    EXPECT_EQ(PhaseText(m.statusText), "THEY ARE GETTING CARDS - GOTHERING");
    EXPECT_EQ(m.trickTakenBy, 2);

    PlayTrick(m, 0, {c2, cA, c5, c9});  // seat 2 played the ace
    ResolveTrick(m);
    EXPECT_EQ(m.trickWinner, 2);
    EXPECT_EQ(PhaseText(m.statusText), "WE ARE GETTING CARDS - GOTHERING");
    EXPECT_EQ(m.trickTakenBy, 1);
}

TEST_F(CardsTest, ResolveTrickOnlyRecordsPlayerWhenIncomplete) {
    PlayTrick(m, 2, {Code(m, "2C.BMP"), Code(m, "3C.BMP")});
    m.trickPlayed = 2;
    m.statusText = Phase::NormalPlay;
    ResolveTrick(m);
    EXPECT_EQ(m.lastPlayer, 2);
    EXPECT_EQ(m.trickPlayed, 2);
    EXPECT_EQ(m.statusText, Phase::NormalPlay);
    EXPECT_FALSE(m.trickCards[0].gathered);
}

TEST_F(CardsTest, SeatAtOffsetWraps) {
    m.turnSeat = 3;
    EXPECT_EQ(SeatAtOffset(m, 0), 3);
    EXPECT_EQ(SeatAtOffset(m, 1), 0);
    EXPECT_EQ(SeatAtOffset(m, 3), 2);
}

}  // namespace
}  // namespace pellow
