#pragma once
// Everything that goes into res002.pak, rendered once, and the archive's entries made from it.
#include <string>
#include <vector>

#include "art/card_art.hpp"
#include "art/glyph_sheet.hpp"
#include "art/raster.hpp"
#include "image_files.hpp"
#include "pak_writer.hpp"
#include "sound_synth.hpp"

namespace pellow::pack {

using namespace pellow::art;

// The Debian files the art is made from.
struct ArtSources {
    std::string royalDeck, roya2Deck, vintageDeck, wornDeck;
    std::string digitFont, digitLetterFont, deluxeFont, handFont;
};
// The files found when the build was configured.
ArtSources InstalledSources();

// The four decks as the game names their folders.
std::vector<DeckArt> DeckArts(const ArtSources& src);

struct Artwork {
    std::vector<Deck> decks;                // in the order of DeckArts
    std::vector<std::string> deckPrefixes;  // "Royal_", "Roya2_", "Vintage_", "Worn_"
    GlyphSheet digitFont, deluxeFont, handFont;
    std::vector<std::uint8_t> smallBackgroundJpeg;
    Image smallBackground;  // as the game sees it, decoded from the JPEG
    Image largeBackground;
    Image smallScorePage, largeScorePage, horizontalLine, verticalLine, pointer;
    std::vector<SoundFile> sounds;
    // The card art and font files as they are, for the game to draw its own sizes from:
    // "Art_Royal.svgz" .. "Art_Worn.svgz", "Art_digit.ttf", "Art_digitLetters.ttf",
    // "Art_deluxe.otf", "Art_hand.otf".
    std::vector<PakEntry> sourceFiles;
};

// Renders everything, in parallel where it can; the result does not depend on the order in
// which the parts finish. Throws std::runtime_error when a source file cannot be read.
Artwork RenderArtwork(const ArtSources& src);

// Archive entries: fonts, sounds, bitmaps, the decks, then the source files.
std::vector<PakEntry> ArchiveEntries(const Artwork& art);

struct DialogImages {
    IndexedImage banner;          // 435 x 254, 256 colours
    std::vector<Image> previews;  // a card of each deck, in the order of DeckArts
};
DialogImages RenderDialogImages(const ArtSources& src);
// The desktop icon: the two cards that carry the game, a nine and a five, on the felt.
Image RenderIcon(const ArtSources& src);
// The game window's icon, 64 x 64: the desktop icon at half its size.
Image RenderWindowIcon(const ArtSources& src);

}  // namespace pellow::pack
