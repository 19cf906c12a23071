// What a computer seat knows and the judgements it draws from it.
#include "ai_fixture.hpp"

namespace pellow {
namespace {

using KnowledgeTest = AiTest;

TEST_F(KnowledgeTest, CountsSeeBothPilesTheTableAndTheHandButNotTheCardItself) {
    OurPile({"KH", "2H"});
    TheirPile({"AH"});
    Table({"9H", "QD"});
    Hand({"5H", "7H", "JC"});
    // Slots past each count are left over from earlier and must not be seen.
    m.ourPile[2] = Card("QH");
    m.theirPile[1] = Card("JH");
    m.trickCards[2] = Card("8H");
    hand[3] = Card("10H");

    EXPECT_EQ(CountHigherSeen(m, Card("7H"), handCount, hand), 3);  // KH, AH, 9H
    EXPECT_EQ(CountLowerSeen(m, Card("7H"), handCount, hand), 2);   // 2H, 5H
    EXPECT_EQ(CountHigherSeen(m, Card("AH"), handCount, hand), 0);
    EXPECT_EQ(CountLowerSeen(m, Card("AH"), handCount, hand), 5);
    EXPECT_EQ(CountHigherSeen(m, Card("2H"), handCount, hand), 5);
    EXPECT_EQ(CountLowerSeen(m, Card("2H"), handCount, hand), 0);
    // A card not seen anywhere is judged against the seen cards of its suit all the same.
    EXPECT_EQ(CountHigherSeen(m, Card("10H"), handCount, hand), 2);  // KH, AH
    EXPECT_EQ(CountLowerSeen(m, Card("10H"), handCount, hand), 4);

    EXPECT_EQ(CountSuitSeen(m, handCount, hand, kHearts), 6);
    EXPECT_EQ(CountSuitSeen(m, handCount, hand, kDiamonds), 1);
    EXPECT_EQ(CountSuitSeen(m, handCount, hand, kClubs), 1);
    EXPECT_EQ(CountSuitSeen(m, handCount, hand, kSpades), 0);
}

TEST_F(KnowledgeTest, WinsTrickCountsEveryTrumpWinsFollowingSuitOnlyOnATrumpLead) {
    for (const char* c : {"2S", "AH", "AD"}) {
        EXPECT_FALSE(WinsTrick(m, Card(c))) << c << " on an empty table";
        EXPECT_FALSE(WinsFollowingSuit(m, Card(c))) << c << " on an empty table";
    }

    Table({"KH"});
    EXPECT_TRUE(WinsTrick(m, Card("2S")));
    EXPECT_FALSE(WinsFollowingSuit(m, Card("2S")));
    EXPECT_TRUE(WinsTrick(m, Card("AH")));
    EXPECT_TRUE(WinsFollowingSuit(m, Card("AH")));
    EXPECT_FALSE(WinsTrick(m, Card("QH")));
    EXPECT_FALSE(WinsTrick(m, Card("AD")));  // a third suit never wins

    Table({"KH", "4S"});
    EXPECT_FALSE(WinsTrick(m, Card("AH")));  // already trumped
    EXPECT_FALSE(WinsTrick(m, Card("2S")));
    EXPECT_TRUE(WinsTrick(m, Card("5S")));
    EXPECT_FALSE(WinsFollowingSuit(m, Card("5S")));

    Table({"10H", "KH", "2D"});
    EXPECT_FALSE(WinsTrick(m, Card("QH")));  // beats the lead but not the king played after it
    EXPECT_TRUE(WinsTrick(m, Card("AH")));

    Table({"5S", "9S"});
    EXPECT_TRUE(WinsTrick(m, Card("10S")));
    EXPECT_TRUE(WinsFollowingSuit(m, Card("10S")));
    EXPECT_FALSE(WinsTrick(m, Card("6S")));
    EXPECT_FALSE(WinsFollowingSuit(m, Card("6S")));
    EXPECT_FALSE(WinsTrick(m, Card("AH")));
}

TEST_F(KnowledgeTest, PartnerWinsAsThirdWhenTheSecondCardDidNotBeatTheLead) {
    Table({"KH", "QH"});
    EXPECT_TRUE(PartnerWinsAsThird(m));
    Table({"KH", "AD"});  // a discard cannot beat the lead
    EXPECT_TRUE(PartnerWinsAsThird(m));
    Table({"KH", "AH"});
    EXPECT_FALSE(PartnerWinsAsThird(m));
    Table({"KH", "2S"});
    EXPECT_FALSE(PartnerWinsAsThird(m));
    Table({"KH"});
    EXPECT_FALSE(PartnerWinsAsThird(m));
    Table({"KH", "QH", "JH"});
    EXPECT_FALSE(PartnerWinsAsThird(m));
}

TEST_F(KnowledgeTest, PartnerWinsAsFourthAsksWithThePartnersCardAsChallenger) {
    Table({"4H", "KH", "7H"});
    EXPECT_TRUE(PartnerWinsAsFourth(m));
    Table({"4H", "3S", "7C"});  // the partner trumped; any discard loses to a trump
    EXPECT_TRUE(PartnerWinsAsFourth(m));

    Table({"4H", "KH", "AH"});
    EXPECT_FALSE(PartnerWinsAsFourth(m));
    Table({"4H", "KH", "2S"});
    EXPECT_FALSE(PartnerWinsAsFourth(m));
    Table({"4H", "3S", "5S"});
    EXPECT_FALSE(PartnerWinsAsFourth(m));
    Table({"AH", "KH", "2H"});
    EXPECT_FALSE(PartnerWinsAsFourth(m));
    // The partner's king is still winning, but a plain-suit discard is not a card it "beats".
    Table({"4H", "KH", "7C"});
    EXPECT_FALSE(PartnerWinsAsFourth(m));

    Table({"4H", "KH"});
    EXPECT_FALSE(PartnerWinsAsFourth(m));
}

TEST_F(KnowledgeTest, SuitSafeToLeadWatchesTheOpponentsVoidsAndTheCardsOutOfSight) {
    // Seat 1 is to move: its opponents are seats 2 and 0, its partner seat 3.
    Hand({"AH", "KH"});
    EXPECT_TRUE(SuitSafeToLead(m, handCount, hand, kHearts));
    m.voidKnown[leftSeat][kHearts] = 0;
    EXPECT_TRUE(SuitSafeToLead(m, handCount, hand, kHearts));
    m.voidKnown[partnerSeat][kHearts] = 0;
    EXPECT_FALSE(SuitSafeToLead(m, handCount, hand, kHearts));
    m.voidKnown[partnerSeat][kHearts] = -1;
    m.voidKnown[userSeat][kHearts] = 0;
    EXPECT_FALSE(SuitSafeToLead(m, handCount, hand, kHearts));
    m.voidKnown[userSeat][kHearts] = -1;

    // Four seen leave nine out of sight; a fifth does not.
    OurPile({"2H"});
    Table({"3H"});
    EXPECT_TRUE(SuitSafeToLead(m, handCount, hand, kHearts));
    TheirPile({"4H"});
    EXPECT_FALSE(SuitSafeToLead(m, handCount, hand, kHearts));

    // Trumps are always safe, whatever is known or seen.
    OurPile({"2S", "3S", "4S", "5S", "6S", "7S"});
    m.voidKnown[partnerSeat][kSpades] = 0;
    m.voidKnown[userSeat][kSpades] = 0;
    EXPECT_TRUE(SuitSafeToLead(m, handCount, hand, kSpades));
}

TEST_F(KnowledgeTest, LeadIsTopTrumpWhenEveryStrongerTrumpIsSeen) {
    Hand({"QS", "2H"});
    EXPECT_FALSE(LeadIsTopTrump(m, handCount, hand));  // nothing led yet
    Table({"AS"});
    EXPECT_TRUE(LeadIsTopTrump(m, handCount, hand));
    Table({"AH"});
    EXPECT_FALSE(LeadIsTopTrump(m, handCount, hand));
    Table({"KS"});
    EXPECT_FALSE(LeadIsTopTrump(m, handCount, hand));
    OurPile({"AS"});
    EXPECT_TRUE(LeadIsTopTrump(m, handCount, hand));
    OurPile({});
    Hand({"AS", "2H"});
    EXPECT_TRUE(LeadIsTopTrump(m, handCount, hand));
    Table({"JS", "KS"});  // the king played after it makes the queen the only unseen trump
    EXPECT_FALSE(LeadIsTopTrump(m, handCount, hand));
}

TEST_F(KnowledgeTest, HandQueriesLookOnlyAtTheCardsStillHeld) {
    Hand({"QS", "2H"});
    hand[2] = Card("AD");  // played earlier, no longer part of the hand
    Table({"9D"});
    EXPECT_FALSE(HoldsLeadSuit(m, handCount, hand));
    EXPECT_FALSE(HasCard(m, 12, kDiamonds, handCount, hand));
    Table({"9H"});
    EXPECT_TRUE(HoldsLeadSuit(m, handCount, hand));
    EXPECT_TRUE(HasCard(m, 10, kSpades, handCount, hand));
    EXPECT_TRUE(HasCard(m, 0, kHearts, handCount, hand));
    EXPECT_FALSE(HasCard(m, 10, kHearts, handCount, hand));
}

// ---- Trump choice ----

TEST_F(KnowledgeTest, TrumpScoreHalvesForEveryMissingCardAboveAHeldOne) {
    Hand({"AS", "QS", "10S", "KH", "QH", "JH", "2D", "3C"});
    EXPECT_FLOAT_EQ(TrumpSuitScore(m, kSpades, handCount, hand), 100 + 50 + 25);
    EXPECT_FLOAT_EQ(TrumpSuitScore(m, kHearts, handCount, hand), 50 + 50 + 50);
    // Twelve cards are missing above the two: 100 / 2^12.
    EXPECT_FLOAT_EQ(TrumpSuitScore(m, kDiamonds, handCount, hand), 100.0f / 4096.0f);
    // The three: eleven missing above it, then the two is missing below.
    EXPECT_FLOAT_EQ(TrumpSuitScore(m, kClubs, handCount, hand), 100.0f / 2048.0f);
    Hand({"AC", "KC", "QC", "JC", "10C", "9C", "8C", "7C", "6C", "5C", "4C", "3C", "2C"});
    EXPECT_FLOAT_EQ(TrumpSuitScore(m, kClubs, handCount, hand), 1300.0f);
    EXPECT_FLOAT_EQ(TrumpSuitScore(m, kHearts, handCount, hand), 0.0f);
}

TEST_F(KnowledgeTest, ChooseTrumpTakesTheBestSuitOfTheSeatsOwnList) {
    // Diamonds A Q 10 (175) beat clubs K Q J (150) though clubs has the lower code.
    SeatHolds(leftSeat, {"KC", "AD", "QC", "QD", "JC", "10D", "2H", "3H", "4H", "5H", "2S", "3S",
                         "4S"});
    SeatHolds(rightSeat, {"AH", "KH", "QH", "JH", "10H", "9H", "8H", "7H", "6H", "5H", "4H", "3H",
                          "2H"});
    EXPECT_EQ(ChooseTrump(m, leftSeat), kDiamonds);
    EXPECT_EQ(ChooseTrump(m, rightSeat), kHearts);
}

TEST_F(KnowledgeTest, ChooseTrumpBreaksTiesTowardsTheLowerSuitCode) {
    // Hearts (code 1) and diamonds (code 3) both score 300; clubs and spades far less.
    SeatHolds(partnerSeat, {"AD", "KD", "QD", "AH", "KH", "QH", "2C", "3C", "4C", "5C", "2S", "3S",
                            "4S"});
    EXPECT_EQ(ChooseTrump(m, partnerSeat), kHearts);
    SeatHolds(partnerSeat, {"AS", "KS", "AC", "KC", "2D", "3D", "4D", "5D", "6D", "2H", "3H", "4H",
                            "5H"});
    EXPECT_EQ(ChooseTrump(m, partnerSeat), kClubs);
}

TEST_F(KnowledgeTest, ChooseTrumpNeverNamesASuitTheSeatLacks) {
    // No clubs, and every suit held scores below one: clubs (code 0, scoring 0) must still lose.
    SeatHolds(rightSeat, {"2H", "3H", "4H", "5H", "2S", "3S", "4S", "5S", "2D", "3D", "4D", "5D",
                          "6D"});
    EXPECT_EQ(ChooseTrump(m, rightSeat), kDiamonds);  // 5 x 100/256 against 4 x 100/512
}

}  // namespace
}  // namespace pellow
