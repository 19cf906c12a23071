#include <gtest/gtest.h>

#include "engine/deal.hpp"
#include "engine/flow.hpp"
#include "presentation/table.hpp"

namespace pellow {
namespace {

class ScoreTableTest : public ::testing::Test {
protected:
    void SetUp() override {
        m.resolution = "800x600";
        SetLayout(m);
    }
    void Deal(int ours, int theirs) {
        m.ourDealScore = ours;
        m.theirDealScore = theirs;
        ScoreDeal(m);
    }
    Match m;
};

TEST_F(ScoreTableTest, RowsTotalsAndResultWhereThePageWantsThem) {
    Deal(45, 35);
    auto lines = ScoreTableLines(m);
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
    lines = ScoreTableLines(m);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[2].text, "   40   40");
    EXPECT_EQ(lines[3].text, "   85   75");
    EXPECT_EQ(lines[4].text, "We Won!");

    Match first;
    first.resolution = "800x600";
    SetLayout(first);
    first.ourDealScore = 80;
    first.theirDealScore = 0;
    ScoreDeal(first);
    EXPECT_EQ(ScoreTableLines(first)[1].text, "   80    0");
}

// Endless ties: the page keeps to the rows it has room and fonts for, showing the latest deals.
TEST_F(ScoreTableTest, LongMatchesShowTheMostRecentDealsAboveTheTotals) {
    for (int d = 0; d < 15; ++d) Deal(40, 40);
    m.ourDealPoints[14] = 41;  // tell the last deal apart
    const auto lines = ScoreTableLines(m);
    ASSERT_EQ(lines.size(), 1u + kScoreRowsShown + 2u);
    const int totalsLine = m.scoreRowX + 157;
    for (const auto& l : lines) EXPECT_LE(l.font, 10) << l.text;  // only fonts 0..10 are loaded
    for (int row = 1; row <= kScoreRowsShown; ++row)
        EXPECT_LE(lines[row].y + 27, totalsLine + 1) << "row runs into the totals: " << lines[row].text;
    EXPECT_EQ(lines[kScoreRowsShown].text, "   41   40");
    EXPECT_EQ(lines[lines.size() - 2].text, "  600  600");
}

}  // namespace
}  // namespace pellow
