#pragma once
// Where the score page, its texts and pen lines, and the clock go on each screen. The table
// draws them here, and the art library prints the pad's rulings at the same places.
#include "engine/match.hpp"

namespace pellow {

// The deal rows the score page has room for above the totals.
inline constexpr int kScoreRowsShown = 10;

// The clock's font: glyph cells 19 pixels wide, drawn 17 pixels apart.
inline constexpr int kClockGlyphWidth = 19;
inline constexpr int kClockGlyphAdvance = 17;

struct ScorePageLayout {
    int pageX = 156, pageY = 4;               // the pad picture
    int rowX = 273, rowY = 94, rowStep = 31;  // the heading, then one row per deal
    int totalX = 273, totalY = 438;
    int resultX = 273, resultY = 469;
    // The clock ends this far left of the screen's right edge, whatever its text's length (the
    // designator comes from the locale).
    int clockRight = 792, clockY = 572;

    int ClockX(int glyphs) const {
        return clockRight - (glyphs > 0 ? (glyphs - 1) * kClockGlyphAdvance + kClockGlyphWidth : 0);
    }
    int RowTextX() const { return rowX - 40; }
    int TotalTextX() const { return totalX - 40; }
    int ResultTextX() const { return resultX - 60; }
    // Pen lines: under the heading, between the columns, and above the totals. The line above
    // the totals takes its height from the rows' x reference, as the page has always been drawn.
    int HeadLineX() const { return rowX - 50; }
    int HeadLineY() const { return rowY + 23; }
    int VertLineX() const { return pageX + 180; }
    int VertLineY() const { return rowY - 30; }
    int TotalsLineX() const { return rowX - 50; }
    int TotalsLineY() const { return rowX + 157; }
};

// The 1024 x 768 page keeps the small page's proportions (the font does not grow) and moves by
// the same amount in x and y: only then does the line above the totals, placed from rowX, stay
// eight pixels above them.
inline constexpr int kLargeScreenShift = 112;

inline ScorePageLayout ScorePageFor(ScreenSize screen) {
    ScorePageLayout l;
    if (screen == ScreenSize::Large1024x768) {
        const int d = kLargeScreenShift;
        l.pageX += d, l.pageY += d;
        l.rowX += d, l.rowY += d;
        l.totalX += d, l.totalY += d;
        l.resultX += d, l.resultY += d;
        l.clockRight = 1016;
        l.clockY = 732;
    }
    return l;
}

}  // namespace pellow
