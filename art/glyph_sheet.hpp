#pragma once
// The game's three bitmap fonts: 20 columns of 19 x 27 cells (at the design's size), cell k
// holding the character of code k + 32 in the Windows-1252 code page, on the key colour.
#include <string>
#include <vector>

#include "art/raster.hpp"

namespace pellow::art {

inline constexpr int kGlyphCellWidth = 19;
inline constexpr int kGlyphCellHeight = 27;
inline constexpr int kGlyphColumns = 20;
inline constexpr int kGlyphAdvance = kGlyphCellWidth - 2;  // how far the game moves per character
inline constexpr int kFirstGlyph = 32;
inline constexpr int kLastGlyph = 255;

struct GlyphStyle {
    std::vector<std::string> faces;        // font files, each character taken from the first that has it
    std::vector<std::string> letterFaces;  // tried first for the letters A-Z and a-z
    Rgb ink;
    Rgb backdrop;         // what the text is drawn on; soft glyph edges are blended with it
    bool shadow = false;  // a dark copy one pixel down and right, for text on the felt
    Rgb shadowInk{};
    float keepCoverage = 0.5f;  // pixels covered less than this are keyed out
    // The characters the size is chosen for; others are shrunk to fit their cell if needed.
    std::string sizingSet = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
};

// The cells of a sheet drawn `scale` times the design's size: round(19 * scale) x
// round(27 * scale), and the advance round(17 * scale), kept two pixels inside the cell.
struct GlyphGrid {
    int cellWidth = kGlyphCellWidth, cellHeight = kGlyphCellHeight, advance = kGlyphAdvance;
};
GlyphGrid GlyphGridAt(double scale);

struct GlyphSheet {
    Image image;
    int baseline = 0;  // row of the cell that the letters stand on
    GlyphGrid grid;
};

// Throws std::runtime_error when a font file cannot be read. Ink stays within columns
// 1..advance and rows 1..cellHeight - 2 of its cell (a shadow included), so neighbours at the
// advance never touch.
GlyphSheet RenderGlyphSheet(const GlyphStyle& style, double scale = 1.0);

// Draws text the way the game does: left to right, one cell per character at the sheet's
// advance, keyed; for previews of the fonts.
void DrawSheetText(Image& target, const GlyphSheet& sheet, int x, int y, const std::string& text);

}  // namespace pellow::art
