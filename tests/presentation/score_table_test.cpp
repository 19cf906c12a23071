#include <gtest/gtest.h>

#include "engine/phases.hpp"
#include "presentation/table.hpp"

namespace pellow {
namespace {

class ScoreTableTest : public ::testing::Test {
protected:
    void Deal(int ours, int theirs) {
        m.motion.ourDealScore = ours;
        m.motion.theirDealScore = theirs;
        ScoreDeal(m);
    }
    std::vector<ScoreLine> Lines() const { return ScoreTableLines(m.score, page); }
    Match m;
    const ScorePageLayout page = ScorePageFor(ScreenSize::Small800x600);
};

TEST_F(ScoreTableTest, RowsTotalsAndResultWhereThePageWantsThem) {
    Deal(45, 35);
    auto lines = Lines();
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].text, "   We   They ");
    EXPECT_EQ(lines[0].x, 233);
    EXPECT_EQ(lines[0].y, 94);
    EXPECT_EQ(lines[1].text, "   45   35");
    EXPECT_EQ(lines[1].y, 125);
    EXPECT_EQ(lines[2].text, "   45   35");  // totals
    EXPECT_EQ(lines[2].y, 438);
    EXPECT_EQ(lines[3].text, "");
    EXPECT_EQ(lines[3].x, 213);
    EXPECT_EQ(lines[3].y, 469);

    Deal(40, 40);
    lines = Lines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2].text, "   40   40");
    EXPECT_EQ(lines[3].text, "   85   75");
    EXPECT_EQ(lines[4].text, "We Won!");

    Match first;
    first.motion.ourDealScore = 80;
    first.motion.theirDealScore = 0;
    ScoreDeal(first);
    EXPECT_EQ(ScoreTableLines(first.score, page)[1].text, "   80    0");
}

// Endless ties: the page keeps to the rows it has room and fonts for, showing the latest deals.
TEST_F(ScoreTableTest, LongMatchesShowTheMostRecentDealsAboveTheTotals) {
    for (int d = 0; d < 15; ++d) Deal(40, 40);
    m.score.ourDealPoints[14] = 41;  // tell the last deal apart
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 1u + kScoreRowsShown + 2u);
    const int totalsLine = page.TotalsLineY();
    for (const auto& l : lines) EXPECT_LE(l.font, 10) << l.text;  // only fonts 0..10 are loaded
    for (int row = 1; row <= kScoreRowsShown; ++row)
        EXPECT_LE(lines[row].y + 27, totalsLine + 1) << "row runs into the totals: " << lines[row].text;
    EXPECT_EQ(lines[kScoreRowsShown].text, "   41   40");
    EXPECT_EQ(lines[lines.size() - 2].text, "  600  600");
}

TEST(ScorePageLayoutTest, BothScreensPlaceThePageTheClockAndThePenLines) {
    const ScorePageLayout small = ScorePageFor(ScreenSize::Small800x600);
    const int want[] = {273, 94, 31, 273, 438, 273, 469, 156, 4, 572};
    const int got[] = {small.rowX,    small.rowY,    small.rowStep, small.totalX, small.totalY,
                       small.resultX, small.resultY, small.pageX,   small.pageY,  small.clockY};
    for (int i = 0; i < 10; ++i) EXPECT_EQ(got[i], want[i]) << i;

    const ScorePageLayout large = ScorePageFor(ScreenSize::Large1024x768);
    // "hh:mm AM" (8 glyphs at a 17-pixel advance, 19 wide) ends 8 pixels inside the right edge
    // on both screens, where the large screen has always drawn it; a longer designator moves
    // the clock left instead of off the screen.
    EXPECT_EQ(large.ClockX(8), 878);
    EXPECT_EQ(large.ClockX(8) + 7 * 17 + 19, 1024 - 8);
    EXPECT_EQ(small.ClockX(8) + 7 * 17 + 19, 800 - 8);
    EXPECT_EQ(small.ClockX(11) + 10 * 17 + 19, 800 - 8);
    // The designator is the locale's; a locale without one keeps a 24-hour clock.
    EXPECT_EQ(ClockText(0, 5), "12:05 AM");
    EXPECT_EQ(ClockText(12, 59), "12:59 PM");
    EXPECT_EQ(ClockText(13, 7, "vorm.", "nachm."), "01:07 nachm.");
    EXPECT_EQ(ClockText(13, 7, "", ""), "13:07");
    EXPECT_LE(small.clockY + 27, 600);
    EXPECT_LE(large.clockY + 27, 768);
    // The line above the totals is placed from rowX and must sit just above the totals on both.
    EXPECT_EQ(small.TotalsLineY(), small.totalY - 8);
    EXPECT_EQ(large.TotalsLineY(), large.totalY - 8);
}

}  // namespace
}  // namespace pellow
