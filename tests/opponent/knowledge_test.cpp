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
    d.taken[0][2] = static_cast<std::int8_t>(Card("QH"));
    d.taken[1][1] = static_cast<std::int8_t>(Card("JH"));
    d.trick[2] = static_cast<std::int8_t>(Card("8H"));
    d.hand[d.toPlay][3] = static_cast<std::int8_t>(Card("10H"));

    EXPECT_EQ(CountHigherSeen(d, d.toPlay, Card("7H")), 3);  // KH, AH, 9H
    EXPECT_EQ(CountLowerSeen(d, d.toPlay, Card("7H")), 2);   // 2H, 5H
    EXPECT_EQ(CountHigherSeen(d, d.toPlay, Card("AH")), 0);
    EXPECT_EQ(CountLowerSeen(d, d.toPlay, Card("AH")), 5);
    EXPECT_EQ(CountHigherSeen(d, d.toPlay, Card("2H")), 5);
    EXPECT_EQ(CountLowerSeen(d, d.toPlay, Card("2H")), 0);
    // A card not seen anywhere is judged against the seen cards of its suit all the same.
    EXPECT_EQ(CountHigherSeen(d, d.toPlay, Card("10H")), 2);  // KH, AH
    EXPECT_EQ(CountLowerSeen(d, d.toPlay, Card("10H")), 4);

    EXPECT_EQ(CountSuitSeen(d, d.toPlay, kHearts), 6);
    EXPECT_EQ(CountSuitSeen(d, d.toPlay, kDiamonds), 1);
    EXPECT_EQ(CountSuitSeen(d, d.toPlay, kClubs), 1);
    EXPECT_EQ(CountSuitSeen(d, d.toPlay, kSpades), 0);
}

TEST_F(KnowledgeTest, WinsTrickCountsEveryTrumpWinsFollowingSuitOnlyOnATrumpLead) {
    for (const char* c : {"2S", "AH", "AD"}) {
        EXPECT_FALSE(WinsTrick(d, Card(c))) << c << " on an empty table";
        EXPECT_FALSE(WinsFollowingSuit(d, Card(c))) << c << " on an empty table";
    }

    Table({"KH"});
    EXPECT_TRUE(WinsTrick(d, Card("2S")));
    EXPECT_FALSE(WinsFollowingSuit(d, Card("2S")));
    EXPECT_TRUE(WinsTrick(d, Card("AH")));
    EXPECT_TRUE(WinsFollowingSuit(d, Card("AH")));
    EXPECT_FALSE(WinsTrick(d, Card("QH")));
    EXPECT_FALSE(WinsTrick(d, Card("AD")));  // a third suit never wins

    Table({"KH", "4S"});
    EXPECT_FALSE(WinsTrick(d, Card("AH")));  // already trumped
    EXPECT_FALSE(WinsTrick(d, Card("2S")));
    EXPECT_TRUE(WinsTrick(d, Card("5S")));
    EXPECT_FALSE(WinsFollowingSuit(d, Card("5S")));

    Table({"10H", "KH", "2D"});
    EXPECT_FALSE(WinsTrick(d, Card("QH")));  // beats the lead but not the king played after it
    EXPECT_TRUE(WinsTrick(d, Card("AH")));

    Table({"5S", "9S"});
    EXPECT_TRUE(WinsTrick(d, Card("10S")));
    EXPECT_TRUE(WinsFollowingSuit(d, Card("10S")));
    EXPECT_FALSE(WinsTrick(d, Card("6S")));
    EXPECT_FALSE(WinsFollowingSuit(d, Card("6S")));
    EXPECT_FALSE(WinsTrick(d, Card("AH")));
}

TEST_F(KnowledgeTest, PartnerWinsAsThirdWhenTheSecondCardDidNotBeatTheLead) {
    Table({"KH", "QH"});
    EXPECT_TRUE(PartnerWinsAsThird(d));
    Table({"KH", "AD"});  // a discard cannot beat the lead
    EXPECT_TRUE(PartnerWinsAsThird(d));
    Table({"KH", "AH"});
    EXPECT_FALSE(PartnerWinsAsThird(d));
    Table({"KH", "2S"});
    EXPECT_FALSE(PartnerWinsAsThird(d));
    Table({"KH"});
    EXPECT_FALSE(PartnerWinsAsThird(d));
    Table({"KH", "QH", "JH"});
    EXPECT_FALSE(PartnerWinsAsThird(d));
}

TEST_F(KnowledgeTest, PartnerWinsAsFourthAsksWithThePartnersCardAsChallenger) {
    Table({"4H", "KH", "7H"});
    EXPECT_TRUE(PartnerWinsAsFourth(d));
    Table({"4H", "3S", "7C"});  // the partner trumped; any discard loses to a trump
    EXPECT_TRUE(PartnerWinsAsFourth(d));

    Table({"4H", "KH", "AH"});
    EXPECT_FALSE(PartnerWinsAsFourth(d));
    Table({"4H", "KH", "2S"});
    EXPECT_FALSE(PartnerWinsAsFourth(d));
    Table({"4H", "3S", "5S"});
    EXPECT_FALSE(PartnerWinsAsFourth(d));
    Table({"AH", "KH", "2H"});
    EXPECT_FALSE(PartnerWinsAsFourth(d));
    // The partner's king is still winning, but a plain-suit discard is not a card it "beats".
    Table({"4H", "KH", "7C"});
    EXPECT_FALSE(PartnerWinsAsFourth(d));

    Table({"4H", "KH"});
    EXPECT_FALSE(PartnerWinsAsFourth(d));
}

TEST_F(KnowledgeTest, SuitSafeToLeadWatchesTheOpponentsVoidsAndTheCardsOutOfSight) {
    // Seat 1 is to move: its opponents are seats 2 and 0, its partner seat 3.
    Hand({"AH", "KH"});
    EXPECT_TRUE(SuitSafeToLead(d, d.toPlay, kHearts));
    d.voidKnown[leftSeat][kHearts] = 0;
    EXPECT_TRUE(SuitSafeToLead(d, d.toPlay, kHearts));
    d.voidKnown[partnerSeat][kHearts] = 0;
    EXPECT_FALSE(SuitSafeToLead(d, d.toPlay, kHearts));
    d.voidKnown[partnerSeat][kHearts] = -1;
    d.voidKnown[userSeat][kHearts] = 0;
    EXPECT_FALSE(SuitSafeToLead(d, d.toPlay, kHearts));
    d.voidKnown[userSeat][kHearts] = -1;

    // Four seen leave nine out of sight; a fifth does not.
    OurPile({"2H"});
    Table({"3H"});
    EXPECT_TRUE(SuitSafeToLead(d, d.toPlay, kHearts));
    TheirPile({"4H"});
    EXPECT_FALSE(SuitSafeToLead(d, d.toPlay, kHearts));

    // Trumps are always safe, whatever is known or seen.
    OurPile({"2S", "3S", "4S", "5S", "6S", "7S"});
    d.voidKnown[partnerSeat][kSpades] = 0;
    d.voidKnown[userSeat][kSpades] = 0;
    EXPECT_TRUE(SuitSafeToLead(d, d.toPlay, kSpades));
}

TEST_F(KnowledgeTest, LeadIsTopTrumpWhenEveryStrongerTrumpIsSeen) {
    Hand({"QS", "2H"});
    EXPECT_FALSE(LeadIsTopTrump(d, d.toPlay));  // nothing led yet
    Table({"AS"});
    EXPECT_TRUE(LeadIsTopTrump(d, d.toPlay));
    Table({"AH"});
    EXPECT_FALSE(LeadIsTopTrump(d, d.toPlay));
    Table({"KS"});
    EXPECT_FALSE(LeadIsTopTrump(d, d.toPlay));
    OurPile({"AS"});
    EXPECT_TRUE(LeadIsTopTrump(d, d.toPlay));
    OurPile({});
    Hand({"AS", "2H"});
    EXPECT_TRUE(LeadIsTopTrump(d, d.toPlay));
    Table({"JS", "KS"});  // the king played after it makes the queen the only unseen trump
    EXPECT_FALSE(LeadIsTopTrump(d, d.toPlay));
}

TEST_F(KnowledgeTest, HandQueriesLookOnlyAtTheCardsStillHeld) {
    Hand({"QS", "2H"});
    d.hand[d.toPlay][2] = static_cast<std::int8_t>(Card("AD"));  // played earlier, no longer part of the hand
    Table({"9D"});
    EXPECT_FALSE(HoldsLeadSuit(d, d.toPlay));
    EXPECT_FALSE(HasCard(d, d.toPlay, 12, kDiamonds));
    Table({"9H"});
    EXPECT_TRUE(HoldsLeadSuit(d, d.toPlay));
    EXPECT_TRUE(HasCard(d, d.toPlay, 10, kSpades));
    EXPECT_TRUE(HasCard(d, d.toPlay, 0, kHearts));
    EXPECT_FALSE(HasCard(d, d.toPlay, 10, kHearts));
}

// ---- Trump choice ----

TEST_F(KnowledgeTest, TrumpScoreHalvesForEveryMissingCardAboveAHeldOne) {
    Hand({"AS", "QS", "10S", "KH", "QH", "JH", "2D", "3C"});
    EXPECT_FLOAT_EQ(TrumpSuitScore(d, d.toPlay, kSpades), 100 + 50 + 25);
    EXPECT_FLOAT_EQ(TrumpSuitScore(d, d.toPlay, kHearts), 50 + 50 + 50);
    // Twelve cards are missing above the two: 100 / 2^12.
    EXPECT_FLOAT_EQ(TrumpSuitScore(d, d.toPlay, kDiamonds), 100.0f / 4096.0f);
    // The three: eleven missing above it, then the two is missing below.
    EXPECT_FLOAT_EQ(TrumpSuitScore(d, d.toPlay, kClubs), 100.0f / 2048.0f);
    Hand({"AC", "KC", "QC", "JC", "10C", "9C", "8C", "7C", "6C", "5C", "4C", "3C", "2C"});
    EXPECT_FLOAT_EQ(TrumpSuitScore(d, d.toPlay, kClubs), 1300.0f);
    EXPECT_FLOAT_EQ(TrumpSuitScore(d, d.toPlay, kHearts), 0.0f);
}

TEST_F(KnowledgeTest, ChooseTrumpTakesTheBestSuitOfTheSeatsOwnList) {
    // Diamonds A Q 10 (175) beat clubs K Q J (150) though clubs has the lower code.
    SeatHolds(leftSeat, {"KC", "AD", "QC", "QD", "JC", "10D", "2H", "3H", "4H", "5H", "2S", "3S", "4S"});
    SeatHolds(rightSeat, {"AH", "KH", "QH", "JH", "10H", "9H", "8H", "7H", "6H", "5H", "4H", "3H", "2H"});
    EXPECT_EQ(ChooseTrump(d, leftSeat), kDiamonds);
    EXPECT_EQ(ChooseTrump(d, rightSeat), kHearts);
}

TEST_F(KnowledgeTest, ChooseTrumpBreaksTiesTowardsTheLowerSuitCode) {
    // Hearts (code 1) and diamonds (code 3) both score 300; clubs and spades far less.
    SeatHolds(partnerSeat, {"AD", "KD", "QD", "AH", "KH", "QH", "2C", "3C", "4C", "5C", "2S", "3S", "4S"});
    EXPECT_EQ(ChooseTrump(d, partnerSeat), kHearts);
    SeatHolds(partnerSeat, {"AS", "KS", "AC", "KC", "2D", "3D", "4D", "5D", "6D", "2H", "3H", "4H", "5H"});
    EXPECT_EQ(ChooseTrump(d, partnerSeat), kClubs);
}

TEST_F(KnowledgeTest, ChooseTrumpNeverNamesASuitTheSeatLacks) {
    // No clubs, and every suit held scores below one: clubs (code 0, scoring 0) must still lose.
    SeatHolds(rightSeat, {"2H", "3H", "4H", "5H", "2S", "3S", "4S", "5S", "2D", "3D", "4D", "5D", "6D"});
    EXPECT_EQ(ChooseTrump(d, rightSeat), kDiamonds);  // 5 x 100/256 against 4 x 100/512
}

}  // namespace
}  // namespace pellow
