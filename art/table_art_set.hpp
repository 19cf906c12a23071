#pragma once
// Everything the table shows, drawn for one size of screen: the chosen deck, the felt, the
// score pad with its pen lines, the pointer and the three bitmap fonts. The game renders it from
// the source files the pack carries; the pack renders its fixed sizes from the same code.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "art/card_art.hpp"
#include "art/glyph_sheet.hpp"
#include "art/raster.hpp"

namespace pellow::art {

// The table's cards, in table units: one unit is a pixel of the 1024 x 768 table.
inline constexpr int kCardUnitsWide = 138;
inline constexpr int kCardUnitsHigh = 193;

struct ArtFiles {  // the sources, as files on disk
    std::string deckSvg;  // the deck's .svgz
    std::string digitFont, digitLetterFont, deluxeFont, handFont;
};

// How a deck is finished, for the deck folders the game knows ("Royal", "Roya2", "Vintage",
// "Worn"); the pack's decks take theirs from here too. Throws std::invalid_argument for
// another name.
struct DeckLook {
    CardFinish finish = CardFinish::Clean;
    std::uint32_t seed = 0;
};
DeckLook DeckLookFor(std::string_view deckFolder);

struct ArtRequest {
    ArtFiles files;
    CardFinish finish = CardFinish::Clean;
    std::uint32_t seed = 0;  // the finish's randomness, as the pack's DeckArt
    double scale = 1.0;      // pixels per table unit; the table's cards are 138 x 193 units
    int tableWidth = 1024, tableHeight = 768;  // the felt, in pixels
    int pageX = 268, pageY = 116;              // where the score pad's picture lies on the felt, in pixels
};

struct TableArt {
    std::vector<Image> faces;  // 52, by card code, each round(138 * scale) x round(193 * scale), keyed
    Image back;
    Image felt;       // tableWidth x tableHeight
    Image scorePage;  // the pad (with its shadow over the felt beneath it) at scale
    Image horizontalLine, verticalLine, pointer;  // at scale; pointer round(32 * scale) square, tip at its centre
    GlyphSheet digitFont, deluxeFont, handFont;   // cells round(19 * scale) x round(27 * scale), 20 columns
};

// The three fonts' looks, as the pack's sheets are drawn: the clock in lit segments and the
// caption on the felt, the score page's handwriting in blue ballpoint.
GlyphStyle DigitStyle(const ArtFiles& files);
GlyphStyle DeluxeStyle(const ArtFiles& files);
GlyphStyle HandStyle(const ArtFiles& files);

// Renders everything on `threads` threads; the same pictures whatever the number. Throws
// std::runtime_error when a source cannot be read.
TableArt RenderTableArt(const ArtRequest& request, int threads);

}  // namespace pellow::art
