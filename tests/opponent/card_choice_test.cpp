// The scores a computer seat gives its cards, and the card it plays. Expected scores are worked
// out by hand: base = |H - L| + strength + (H + L) / 10 from the cards seen above (H) and below (L).
#include "ai_fixture.hpp"

namespace pellow {
namespace {

class CardChoiceTest : public AiTest {
protected:
    HandEvals Score() const {
        HandEvals evals{};
        ScoreHand(d, d.toPlay, evals);
        return evals;
    }
    int Pick() const { return ChooseCard(d, d.toPlay); }
};

TEST_F(CardChoiceTest, FourthBehindAWinningPartnerGivesNinesAndFivesAndKeepsTrumpHonours) {
    Table({"4H", "KH", "7H"});
    OurPile({"KD", "2D", "3D"});
    Hand({"5C", "AS", "9D"});
    const HandEvals e = Score();
    EXPECT_FLOAT_EQ(e[0].score, 20 - 3);        // 4p - base
    EXPECT_FLOAT_EQ(e[1].score, -16 - 4 - 12);  // -4p - 4t - base
    EXPECT_FLOAT_EQ(e[2].base, 1 + 7 + 0.3f);   // KD above; 2D, 3D below
    EXPECT_FLOAT_EQ(e[2].score, 36 - 8.3f);
    EXPECT_EQ(Pick(), Code("9D"));
}

TEST_F(CardChoiceTest, ThirdBehindAPartnersTopTrumpFeedsItTheNine) {
    Table({"AS", "3S"});
    Hand({"KS", "5H", "9S", "4D"});
    const HandEvals e = Score();
    EXPECT_FLOAT_EQ(e[0].score, -12 - 8);  // G - 8t
    EXPECT_FLOAT_EQ(e[2].score, 72 - 8);
    EXPECT_FLOAT_EQ(e[1].score, kForbiddenScore);
    EXPECT_FLOAT_EQ(e[3].score, kForbiddenScore);
    EXPECT_EQ(Pick(), Code("9S"));
}

TEST_F(CardChoiceTest, ThirdBehindAPartnersExposedLeadHoldsItsPointsBack) {
    // Only three other hearts seen around the nine led: base - 4t - p/4.
    Table({"9H", "3H"});
    Hand({"5H", "KH", "2C"});
    const HandEvals e = Score();
    EXPECT_FLOAT_EQ(e[0].score, 4.3f - 1.25f);
    EXPECT_FLOAT_EQ(e[1].score, 14.3f);
    EXPECT_FLOAT_EQ(e[2].score, kForbiddenScore);
    EXPECT_EQ(Pick(), Code("KH"));
}

TEST_F(CardChoiceTest, ThirdBehindAPartnersWellCoveredLeadGivesPointsUnlessTrumpsAreScarce) {
    // Seven hearts seen around the nine led and six trumps seen: base - 4t + G.
    Table({"9H", "3H"});
    OurPile({"2H", "4H", "6H", "7H", "2S", "3S", "4S", "6S", "7S"});
    Hand({"5H", "KH", "JS"});
    HandEvals e = Score();
    EXPECT_FLOAT_EQ(e[0].base, 1 + 3 + 0.7f);
    EXPECT_FLOAT_EQ(e[0].score, 4.7f + 20);
    EXPECT_FLOAT_EQ(e[1].score, 18.7f);
    EXPECT_EQ(Pick(), Code("5H"));

    // Five trumps seen count as scarce: back to base - 4t - p/4.
    OurPile({"2H", "4H", "6H", "7H", "2S", "3S", "4S", "6S"});
    e = Score();
    EXPECT_FLOAT_EQ(e[0].score, 4.7f - 1.25f);
    EXPECT_FLOAT_EQ(e[1].score, 18.7f);
    EXPECT_EQ(Pick(), Code("KH"));
}

TEST_F(CardChoiceTest, ThirdBehindAWinningPartnerWithNoPointsPlaysItsLeastCard) {
    Table({"KH", "3H"});
    Hand({"5H", "QH", "9D"});
    const HandEvals e = Score();
    EXPECT_FLOAT_EQ(e[0].score, -4.3f - 20);  // -base - 4t - 4p
    EXPECT_FLOAT_EQ(e[1].score, -11.3f);
    EXPECT_EQ(Pick(), Code("QH"));
}

TEST_F(CardChoiceTest, LeadingPrefersAMasterCardOfASafeSuit) {
    OurPile({"2C", "3C", "4C"});
    Hand({"KS", "QS", "9C", "5H", "AD"});
    HandEvals e = Score();
    EXPECT_FLOAT_EQ(e[0].score, 12.1f - 4 - 12);  // base - 4t - 4p
    EXPECT_FLOAT_EQ(e[1].score, 11.1f - 4 - 8);
    EXPECT_FLOAT_EQ(e[2].score, 10.3f - 36);
    EXPECT_FLOAT_EQ(e[3].score, 3 - 20);
    EXPECT_FLOAT_EQ(e[4].score, 12);
    EXPECT_EQ(Pick(), Code("AD"));

    // With the ace of trumps gone both the king and the queen are masters: base + 4t + 8p.
    TheirPile({"AS"});
    e = Score();
    EXPECT_FLOAT_EQ(e[0].score, 11.2f + 4 + 24);
    EXPECT_FLOAT_EQ(e[1].score, 12.2f + 4 + 16);
    EXPECT_EQ(Pick(), Code("KS"));
}

TEST_F(CardChoiceTest, TheFirstLeadOfADealMustBeATrump) {
    Hand({"9C", "KS", "QS", "AD"});
    HandEvals e = Score();
    EXPECT_FLOAT_EQ(e[0].score, kForbiddenScore);
    EXPECT_FLOAT_EQ(e[3].score, kForbiddenScore);
    EXPECT_FLOAT_EQ(e[1].score, 12.1f - 4 - 12);
    EXPECT_FLOAT_EQ(e[2].score, 11.1f - 4 - 8);
    EXPECT_EQ(Pick(), Code("QS"));

    d.trumps = kDiamonds;
    EXPECT_EQ(Pick(), Code("AD"));
    // Once either side has taken a trick, any suit may be led.
    d.trumps = kSpades;
    TheirPile({"2H", "3H", "4H", "6H"});
    e = Score();
    EXPECT_FLOAT_EQ(e[3].score, 12);
    EXPECT_EQ(Pick(), Code("AD"));
    TheirPile({});
    OurPile({"2H", "3H", "4H", "6H"});
    EXPECT_EQ(Pick(), Code("AD"));
}

TEST_F(CardChoiceTest, WithPointsOnTheTableWinningByFollowingEarnsTwiceWhatTrumpingEarns) {
    Table({"9H"});
    Hand({"3H", "KH", "2S"});
    HandEvals e = Score();
    EXPECT_FLOAT_EQ(e[0].score, 5 - 3.2f);                 // 5 - base - 4p
    EXPECT_FLOAT_EQ(e[1].score, 10 - 2 * 13.2f + 24 * 9);  // wins following suit
    EXPECT_FLOAT_EQ(e[2].score, kForbiddenScore);
    EXPECT_EQ(Pick(), Code("KH"));

    // Hearts trumped by the second seat; this seat has no hearts.
    Table({"9H", "4S"});
    Hand({"2S", "6S", "7D"});
    e = Score();
    EXPECT_FALSE(e[0].wins);
    EXPECT_TRUE(e[1].wins);
    EXPECT_FALSE(e[1].winsFollowing);
    EXPECT_EQ(e[1].isTrump, 1);
    EXPECT_EQ(e[1].points, 0);
    EXPECT_EQ(e[2].rank, 7);
    EXPECT_EQ(e[2].suit, kDiamonds);
    EXPECT_FLOAT_EQ(e[0].score, 5 - 2.2f);
    EXPECT_FLOAT_EQ(e[1].score, 10 - 2 * 6.2f + 12 * 9);  // wins only by trumping
    EXPECT_FLOAT_EQ(e[2].score, 0);
    EXPECT_EQ(Pick(), Code("6S"));
}

TEST_F(CardChoiceTest, WithNoPointsEveryCardThatWinsByFollowingScoresTenLessFourForATrump) {
    Table({"KH"});
    Hand({"AH", "3H", "9H"});
    HandEvals e = Score();
    EXPECT_FLOAT_EQ(e[0].score, 10);
    EXPECT_FLOAT_EQ(e[1].score, 10 - 4.3f);  // 10 - base - 4t - 4p
    EXPECT_FLOAT_EQ(e[2].score, 10 - 8.3f - 36);
    EXPECT_EQ(Pick(), Code("AH"));

    Table({"3S"});
    Hand({"10S", "2S", "AH"});
    e = Score();
    EXPECT_FLOAT_EQ(e[0].score, 6);
    EXPECT_FLOAT_EQ(e[1].score, 10 - 2.2f - 4);
    EXPECT_EQ(Pick(), Code("10S"));
}

TEST_F(CardChoiceTest, EqualBestScoresGoToTheEarlierCardInTheList) {
    Table({"2H"});
    Hand({"AH", "9H", "5H"});  // all three win following suit and score 10
    EXPECT_EQ(Pick(), Code("AH"));
    Hand({"9H", "5H", "AH"});
    EXPECT_EQ(Pick(), Code("9H"));
    Hand({"5H", "AH", "9H"});
    EXPECT_EQ(Pick(), Code("5H"));
}

TEST_F(CardChoiceTest, AnEmptyHandHasNoCard) {
    Table({"KH"});
    Hand({});
    EXPECT_EQ(Pick(), -1);
}

TEST_F(CardChoiceTest, ChooseCardPlaysFromTheSeatsOwnListThroughTheRulesPlayer) {
    SeatHolds(partnerSeat, {"5C", "AS", "9D"});
    SeatHolds(leftSeat, {"KD", "2H"});
    d.toPlay = partnerSeat;
    Table({"4H", "KH", "7H"});
    RulesPlayer rules;
    ComputerPlayer& player = rules;
    EXPECT_EQ(player.ChooseCard(d, partnerSeat), Code("9D"));

    d.toPlay = leftSeat;
    EXPECT_EQ(player.ChooseCard(d, leftSeat), Code("2H"));
    EXPECT_EQ(player.ChooseTrump(d, leftSeat), kDiamonds);
}

}  // namespace
}  // namespace pellow
