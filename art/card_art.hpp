#pragma once
// The four card decks, rendered from the SVG card art that Debian ships.
#include <cstdint>
#include <string>
#include <vector>

#include "art/raster.hpp"

typedef struct _cairo cairo_t;
typedef struct _RsvgHandle RsvgHandle;

namespace pellow::art {

enum class CardFinish {
    Clean,    // as printed
    Vintage,  // ivory paper and softened ink of an old but kept deck
    Worn,     // yellowed, grimy edges, stains, creases and chipped borders of a played deck
};

struct DeckArt {
    std::string prefix;   // archive prefix, for example "Royal_"
    std::string svgPath;  // .svg or .svgz whose card elements are named "club_1" .. "spade_king", "back"
    int width = 0, height = 0;
    CardFinish finish = CardFinish::Clean;
    std::uint32_t seed = 0;  // for the finish's randomness
};

struct Deck {
    std::vector<Image> faces;  // 52, by card code: rank-major (A, 2..10, J, Q, K), suits C, D, H, S
    Image back;
};

// The element id of card code 0..51 in the SVG decks we use.
std::string CardElementId(int code);

// The code that stands for a deck's back.
inline constexpr int kCardBackCode = 52;

// Throws std::runtime_error when the deck cannot be read or an element is missing.
Deck RenderDeck(const DeckArt& deckArt);
// Several decks at once on `threads` threads; the same pictures whatever the number.
std::vector<Deck> RenderDecks(const std::vector<DeckArt>& deckArts, int threads);
// One card (code 0..51, or 52 for the back) at any size, its edges blended with `surround`
// instead of keyed: for the start-up dialog's previews.
Image RenderCardOver(const DeckArt& deckArt, int code, int width, int height, Rgb surround);

// Draws cards of one deck into any cairo drawing (rotated, scaled), each card filling the
// rectangle (0, 0, width, height) of the current transformation. Throws like RenderDeck.
class CardPainter {
public:
    explicit CardPainter(const std::string& svgPath);
    ~CardPainter();
    CardPainter(const CardPainter&) = delete;
    CardPainter& operator=(const CardPainter&) = delete;
    void Draw(cairo_t* cr, int code, double width, double height);

private:
    RsvgHandle* handle_ = nullptr;
};

// One card (code 0..51, or the back) of the deck as RenderDecks draws it, keyed.
Image RenderDeckCard(CardPainter& painter, const DeckArt& deckArt, int code);

// Table felt colour that card edges are blended with, so the rounded corners look smooth on
// the table without a pink fringe.
inline constexpr Rgb kCardEdgeBackdrop{38, 92, 52};

}  // namespace pellow::art
