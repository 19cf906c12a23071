// Card identities and points, and the rules core: legal cards, playing a card, settling tricks.
#include "engine/cards.hpp"
#include "engine/trick.hpp"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

#include "support/core_deals.hpp"
#include "support/scripted_player.hpp"

namespace pellow {
namespace {

// Code of a card from its picture name, as the decks name them.
int Code(const std::string& name) {
    for (int c = 0; c < kCards; ++c)
        if (CardFileName(c) == name + ".BMP") return c;
    ADD_FAILURE() << "no card " << name;
    return 0;
}

TEST(CardsTest, FileNamesFollowRankMajorFileOrder) {
    EXPECT_EQ(CardFileName(0), "AC.BMP");
    EXPECT_EQ(CardFileName(3), "AS.BMP");
    EXPECT_EQ(CardFileName(4), "2C.BMP");
    EXPECT_EQ(CardFileName(5), "2D.BMP");
    EXPECT_EQ(CardFileName(36), "10C.BMP");
    EXPECT_EQ(CardFileName(39), "10S.BMP");
    EXPECT_EQ(CardFileName(40), "JC.BMP");
    EXPECT_EQ(CardFileName(47), "QS.BMP");
    EXPECT_EQ(CardFileName(51), "KS.BMP");
    std::set<std::string> names;
    for (int c = 0; c < kCards; ++c) names.insert(CardFileName(c));
    EXPECT_EQ(names.size(), 52u);
}

TEST(CardsTest, RanksSuitsAndStrength) {
    // Suit codes are clubs, hearts, spades, diamonds: not the file order C, D, H, S.
    EXPECT_EQ(SuitOf(Code("AC")), kClubs);
    EXPECT_EQ(SuitOf(Code("AD")), kDiamonds);
    EXPECT_EQ(SuitOf(Code("AH")), kHearts);
    EXPECT_EQ(SuitOf(Code("AS")), kSpades);
    EXPECT_EQ(SuitOf(Code("10D")), kDiamonds);
    EXPECT_EQ(SuitOf(Code("10H")), kHearts);
    EXPECT_EQ(RankOf(5), 2);
    EXPECT_EQ(SuitOf(5), kDiamonds);  // the two of diamonds is code 5
    EXPECT_EQ(RankOf(Code("10S")), 10);
    EXPECT_EQ(RankOf(Code("JS")), 11);
    EXPECT_EQ(RankOf(Code("QS")), 12);
    EXPECT_EQ(RankOf(51), 13);
    EXPECT_EQ(RankOf(0), 1);
    EXPECT_EQ(StrengthOf(Code("2H")), 0);
    EXPECT_EQ(StrengthOf(Code("9H")), 7);
    EXPECT_EQ(StrengthOf(Code("10H")), 8);
    EXPECT_EQ(StrengthOf(Code("JH")), 9);
    EXPECT_EQ(StrengthOf(Code("KH")), 11);
    EXPECT_EQ(StrengthOf(Code("AH")), 12);
}

TEST(CardsTest, PointsTableAndEightyPerDeal) {
    const int t = kSpades;
    EXPECT_EQ(CardPoints(Code("9S"), t), 18);
    EXPECT_EQ(CardPoints(Code("5S"), t), 10);
    EXPECT_EQ(CardPoints(Code("AS"), t), 4);
    EXPECT_EQ(CardPoints(Code("KS"), t), 3);
    EXPECT_EQ(CardPoints(Code("QS"), t), 2);
    EXPECT_EQ(CardPoints(Code("JS"), t), 1);
    EXPECT_EQ(CardPoints(Code("10S"), t), 0);
    EXPECT_EQ(CardPoints(Code("9H"), t), 9);
    EXPECT_EQ(CardPoints(Code("5D"), t), 5);
    EXPECT_EQ(CardPoints(Code("AC"), t), 0);
    EXPECT_EQ(CardPoints(Code("KH"), t), 0);

    // However the cards are split between the teams, the deal holds 80 points.
    MersenneRandom rnd{7};
    for (int trump = 0; trump < 4; ++trump) {
        for (int trial = 0; trial < 50; ++trial) {
            DealState d;
            d.trumps = static_cast<std::int8_t>(trump);
            for (int c = 0; c < kCards; ++c) {
                const int team = rnd.Rnd() < 0.5f ? 0 : 1;
                d.taken[team][d.takenCount[team]++] = static_cast<std::int8_t>(c);
            }
            EXPECT_EQ(DealPoints(d, 0) + DealPoints(d, 1), 80);
        }
    }
}

TEST(CardsTest, CardBeats) {
    const int t = kHearts;
    const int aceClubs = Code("AC"), kingClubs = Code("KC");
    const int twoHearts = Code("2H"), threeHearts = Code("3H"), aceSpades = Code("AS");
    EXPECT_TRUE(CardBeats(twoHearts, aceClubs, t));  // low trump beats an ace of the suit led
    EXPECT_TRUE(CardBeats(threeHearts, twoHearts, t));
    EXPECT_FALSE(CardBeats(twoHearts, threeHearts, t));
    EXPECT_FALSE(CardBeats(aceSpades, kingClubs, t));  // a third suit never beats
    EXPECT_FALSE(CardBeats(aceClubs, twoHearts, t));   // a plain card never beats a trump
    EXPECT_TRUE(CardBeats(aceClubs, kingClubs, t));
    EXPECT_FALSE(CardBeats(kingClubs, aceClubs, t));
}

// A deal in which the four seats hold the given cards (the rest undealt), `leader` to play,
// spades trumps and a trick already taken, so the next lead is not the deal's first.
DealState Position(int leader, std::initializer_list<std::initializer_list<const char*>> hands) {
    DealState d;
    int seat = 0;
    for (const auto& hand : hands) {
        for (const char* name : hand) GiveCard(d, seat, Code(name));
        ++seat;
    }
    BeginPlay(d, leader);
    d.trumps = kSpades;
    d.cardsPlayed = 4;
    return d;
}

TEST(RulesCoreTest, TheFourthCardSettlesTheTrickForTheWinnersTeam) {
    // Seat 0 leads; turns run 0, 3, 2, 1. Each case puts the winning card at another position.
    struct Case {
        std::array<const char*, 4> cards;
        int winnerSeat;
        int position;
    };
    const Case cases[] = {
        {{"AC", "2C", "5C", "9C"}, 0, 0}, {{"2C", "AC", "5C", "9C"}, 3, 1},
        {{"2C", "5C", "AC", "9C"}, 2, 2}, {{"2C", "5C", "9C", "AC"}, 1, 3},  // ace of the suit led played last
        {{"2C", "AH", "5C", "2S"}, 1, 3},                                    // low trump last wins over everything
        {{"5C", "AH", "2C", "9C"}, 1, 3},                                    // the discarded ace never wins
        {{"9C", "2S", "AC", "5C"}, 3, 1},                                    // a trump played second holds
    };
    for (const Case& tc : cases) {
        const int seats[4] = {0, 3, 2, 1};
        DealState d;
        for (int p = 0; p < 4; ++p) GiveCard(d, seats[p], Code(tc.cards[p]));
        BeginPlay(d, 0);
        d.trumps = kSpades;
        d.cardsPlayed = 4;
        for (int p = 0; p < 3; ++p) EXPECT_EQ(PlayCard(d, Code(tc.cards[p])), -1);
        EXPECT_EQ(PlayCard(d, Code(tc.cards[3])), tc.winnerSeat);
        EXPECT_EQ(WinningPosition(d.lastTrick, 4, d.trumps), tc.position);
        EXPECT_EQ(d.toPlay, tc.winnerSeat);
        EXPECT_EQ(d.trickCount, 0);
        const int team = TeamOf(tc.winnerSeat);
        EXPECT_EQ(d.takenCount[team], 4);
        EXPECT_EQ(d.takenCount[1 - team], 0);
        for (int p = 0; p < 4; ++p) EXPECT_EQ(d.taken[team][p], Code(tc.cards[p])) << "in the order played";

        // The table follows: the winner's team gathers.
        Match m;
        m.deal = d;
        m.motion.trickCount = 4;
        ResolveTrick(m, tc.winnerSeat);
        EXPECT_EQ(m.motion.trickWinnerCard, tc.position);
        EXPECT_EQ(m.motion.turnSeat, tc.winnerSeat);
        EXPECT_EQ(PhaseText(m.motion.statusText),
                  team == 0 ? "WE ARE GETTING CARDS - GOTHERING" : "THEY ARE GETTING CARDS - GOTHERING");
        for (int i = 0; i < 4; ++i) EXPECT_TRUE(m.motion.trickCards[i].gathered);
    }
}

TEST(RulesCoreTest, LegalCardsFollowSuitAndVoidsAreRecordedForComputerSeatsOnly) {
    DealState d = Position(2, {{"2C", "2D"}, {"3H", "3D"}, {"KH", "4C"}, {"2H", "5C"}});
    EXPECT_EQ(LegalCards(d).count, 2);  // leading: anything
    PlayCard(d, Code("KH"));
    const CardList legal = LegalCards(d);  // seat 1 must follow hearts
    ASSERT_EQ(legal.count, 1);
    EXPECT_EQ(legal.card[0], Code("3H"));
    EXPECT_FALSE(MayPlay(d, 1, Code("3D")));
    EXPECT_TRUE(MayPlay(d, 0, Code("2D")));   // seat 0 holds no hearts: any card
    EXPECT_FALSE(MayPlay(d, 0, Code("3D")));  // but only its own
    PlayCard(d, Code("3H"));
    PlayCard(d, Code("2C"));  // the user fails to follow: shown, but not on the computer's record
    EXPECT_EQ(d.voidKnown[userSeat][kHearts], -1);
    EXPECT_EQ(d.shownVoid[userSeat], 1u << kHearts);
    PlayCard(d, Code("2H"));
    EXPECT_EQ(d.lastTrickWinner, 2);
    PlayCard(d, Code("4C"));
    PlayCard(d, Code("3D"));  // seat 1 cannot follow clubs
    EXPECT_EQ(d.voidKnown[rightSeat][kClubs], 0);
    EXPECT_EQ(d.shownVoid[rightSeat], 1u << kClubs);
    for (int seat : {partnerSeat, leftSeat})
        for (int suit = 0; suit < 4; ++suit) EXPECT_EQ(d.voidKnown[seat][suit], -1);
}

TEST(RulesCoreTest, TheFirstCardOfTheDealFixesTrumps) {
    std::mt19937 gen(5);
    DealState d = ShuffledDeal(gen, 3);
    const int card = d.hand[3][4];
    PlayCard(d, card);
    EXPECT_EQ(d.trumps, SuitOf(card));
    EXPECT_EQ(d.playedBy[card], 3);
    EXPECT_FALSE(FirstLeadOfDeal(d));
}

TEST(RulesCoreTest, ACopiedDealPlayedOutLeavesTheOriginalAsItWas) {
    std::mt19937 gen(11);
    ScriptedPlayer player;
    for (int deal = 0; deal < 20; ++deal) {
        DealState d = ShuffledDeal(gen, deal % 4);
        for (int k = 0; k < 17; ++k) PlayComputerTurn(d, player);
        const DealState before = d;
        DealState copy = d;
        while (!DealOver(copy)) PlayComputerTurn(copy, player);
        EXPECT_EQ(DealPoints(copy, 0) + DealPoints(copy, 1), 80);
        EXPECT_EQ(std::memcmp(&before, &d, sizeof d), 0) << "deal " << deal;
        // Played on, the original reaches the same end as its copy.
        while (!DealOver(d)) PlayComputerTurn(d, player);
        EXPECT_EQ(std::memcmp(&copy, &d, sizeof d), 0) << "deal " << deal;
    }
}

}  // namespace
}  // namespace pellow
