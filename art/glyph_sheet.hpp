#pragma once
// The game's three bitmap fonts: 20 columns of 19 x 27 cells, cell k holding the character of
// code k + 32 in the Windows-1252 code page, on the key colour.
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

struct GlyphSheet {
    Image image;
    int baseline = 0;  // row of the cell that the letters stand on
};

// Throws std::runtime_error when a font file cannot be read.
GlyphSheet RenderGlyphSheet(const GlyphStyle& style);

// Draws text the way the game does: left to right, one cell per character at the game's
// advance, keyed; for previews of the fonts.
void DrawSheetText(Image& target, const Image& sheet, int x, int y, const std::string& text);

}  // namespace pellow::art
