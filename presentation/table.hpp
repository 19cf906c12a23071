#pragma once
// The game's pictures and fonts, and the drawing of the table and the score page from the
// match state. Drawing only reads the match.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "engine/match.hpp"
#include "presentation/bitmap_font.hpp"
#include "presentation/dx.hpp"
#include "presentation/score_page_layout.hpp"
#include "presentation/sound.hpp"

namespace pellow {

// ---- The game's pictures and fonts ----
extern modDX::Surface backgroundSurface;
extern modDX::Surface cardBackSurface;
extern std::array<modDX::Surface, 53> cardSurface;
extern modDX::Surface scorePageSurface;
// 0 and 1: the horizontal score line; 2: the vertical one; 3: the pointer.
extern std::array<modDX::Surface, 4> lineSurface;
extern clsDXBitmapFont digitFont;
extern clsDXBitmapFont deluxeFont;
// One handwriting font per score-page line: heading, ten deal rows (totals and result share 9, 10).
extern std::array<clsDXBitmapFont, 11> scoreFonts;

// The folder of the chosen deck's pictures, relative to the resource base ("res\\Royal\\").
std::string DeckFolder(const LaunchSettings& settings);

// Loads every picture and font for the chosen deck and screen.
void LoadBitmaps(const LaunchSettings& settings, const modDX::PathResolver& resolve);
// Frees them, in the order the game quits.
void ReleaseBitmaps();

// "hh:mm AM": the time on a 12-hour clock as the table shows it.
std::string ClockText(int hour24, int minute);
// The current local time as ClockText gives it.
std::string CurrentClockText();

// Five characters, right-aligned: the width of one score column.
std::string Pad5(int value);

// One text of the score page: which of scoreFonts draws it, where, and what.
struct ScoreLine {
    int font = 0;
    int x = 0;
    int y = 0;
    std::string text;
};
// The heading, the deal rows that fit (the most recent ones), the totals and the result.
std::vector<ScoreLine> ScoreTableLines(const MatchScore& score, const ScorePageLayout& l);

void DrawTable(const Match& m, std::string_view clockText, std::string_view caption);
void DrawScorePage(const MatchScore& score, const ScorePageLayout& l);
void DrawScoreTable(const MatchScore& score, const ScorePageLayout& l);

}  // namespace pellow
