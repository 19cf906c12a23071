#include "pack_contents.hpp"

#include "engine/cards.hpp"

#include <algorithm>
#include <fstream>
#include <future>
#include <iterator>
#include <stdexcept>
#include <thread>

#include "art/table_art.hpp"
#include "art/table_art_set.hpp"
#include "dialog_art.hpp"

namespace pellow::pack {

ArtSources InstalledSources() {
    return {PELLOW_DECK_ROYAL, PELLOW_DECK_ROYA2,         PELLOW_DECK_VINTAGE, PELLOW_DECK_WORN,
            PELLOW_FONT_DIGIT, PELLOW_FONT_DIGIT_LETTERS, PELLOW_FONT_DELUXE,  PELLOW_FONT_HAND};
}

namespace {

// The font files, for the art library's glyph styles.
ArtFiles FontFiles(const ArtSources& src) { return {"", src.digitFont, src.digitLetterFont, src.deluxeFont, src.handFont}; }

DeckArt DeckArtFor(const std::string& folder, const std::string& svgPath, int width, int height) {
    const DeckLook look = DeckLookFor(folder);
    return {folder + "_", svgPath, width, height, look.finish, look.seed};
}

PakEntry SourceFile(const std::string& name, const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
    if (bytes.empty()) throw std::runtime_error("cannot read " + path);
    return {"Art_" + name, std::move(bytes)};
}

std::vector<PakEntry> SourceFiles(const ArtSources& src) {
    return {SourceFile("Royal.svgz", src.royalDeck),         SourceFile("Roya2.svgz", src.roya2Deck),
            SourceFile("Vintage.svgz", src.vintageDeck),     SourceFile("Worn.svgz", src.wornDeck),
            SourceFile("digit.ttf", src.digitFont),          SourceFile("digitLetters.ttf", src.digitLetterFont),
            SourceFile("deluxe.otf", src.deluxeFont),        SourceFile("hand.otf", src.handFont)};
}

}  // namespace

std::vector<DeckArt> DeckArts(const ArtSources& src) {
    return {
        DeckArtFor("Royal", src.royalDeck, 108, 151),
        DeckArtFor("Roya2", src.roya2Deck, 108, 151),
        DeckArtFor("Vintage", src.vintageDeck, kCardUnitsWide, kCardUnitsHigh),
        DeckArtFor("Worn", src.wornDeck, kCardUnitsWide, kCardUnitsHigh),
    };
}

Artwork RenderArtwork(const ArtSources& src) {
    Artwork art;
    const std::vector<DeckArt> deckArts = DeckArts(src);
    for (const DeckArt& deckArt : deckArts) art.deckPrefixes.push_back(deckArt.prefix);
    const int threads = static_cast<int>(std::max(2u, std::thread::hardware_concurrency()));
    auto decks = std::async(std::launch::async, [&deckArts, threads] { return RenderDecks(deckArts, threads); });
    auto sounds = std::async(std::launch::async, [] { return SynthesiseSounds(); });
    auto fonts = std::async(std::launch::async, [files = FontFiles(src)] {
        return std::vector<GlyphSheet>{RenderGlyphSheet(DigitStyle(files)), RenderGlyphSheet(DeluxeStyle(files)),
                                       RenderGlyphSheet(HandStyle(files))};
    });
    auto small = std::async(std::launch::async, [] { return RenderFelt(800, 600); });
    art.largeBackground = RenderFelt(1024, 768);
    art.horizontalLine = RenderHorizontalLine();
    art.verticalLine = RenderVerticalLine();
    art.pointer = RenderPointer();

    const Image felt800 = small.get();
    art.smallBackgroundJpeg = EncodeJpeg(felt800, 92);
    art.smallBackground = DecodeJpeg(art.smallBackgroundJpeg);
    std::vector<GlyphSheet> sheets = fonts.get();
    art.digitFont = std::move(sheets[0]);
    art.deluxeFont = std::move(sheets[1]);
    art.handFont = std::move(sheets[2]);
    art.smallScorePage = RenderScorePage(art.smallBackground, 0, art.handFont.baseline, src.deluxeFont);
    art.largeScorePage = RenderScorePage(art.largeBackground, kLargeScreenShift, art.handFont.baseline, src.deluxeFont);
    art.sounds = sounds.get();
    art.decks = decks.get();
    art.sourceFiles = SourceFiles(src);
    return art;
}

std::vector<PakEntry> ArchiveEntries(const Artwork& art) {
    std::vector<PakEntry> e;
    e.push_back({"fntFonts_fntDigit.bmp", EncodeBmp24(art.digitFont.image)});
    e.push_back({"fntFonts_fntDeluxe.bmp", EncodeBmp24(art.deluxeFont.image)});
    e.push_back({"fntFonts_fntHandParker.bmp", EncodeBmp24(art.handFont.image)});
    // The first card sound goes last: the game takes an unpacked tree that holds it as complete,
    // so a start that was cut off while unpacking must not leave it behind early.
    const SoundFile* marker = nullptr;
    for (const SoundFile& s : art.sounds) {
        if (s.name == "CARD_FLIP.WAV") marker = &s;
        else e.push_back({"Sounds_" + s.name, s.bytes});
    }
    e.push_back({"Bitmaps_Back_800x600.jpg", art.smallBackgroundJpeg});
    e.push_back({"Bitmaps_Back_1024x768.bmp", EncodeBmp24(art.largeBackground)});
    e.push_back({"Bitmaps_Scorepage_800x600.bmp", EncodeBmp24(art.smallScorePage)});
    e.push_back({"Bitmaps_Scorepage.bmp", EncodeBmp24(art.largeScorePage)});
    e.push_back({"Bitmaps_line_horz.bmp", EncodeBmp24(art.horizontalLine)});
    e.push_back({"Bitmaps_line_vert.bmp", EncodeBmp24(art.verticalLine)});
    e.push_back({"Bitmaps_mouse.bmp", EncodeBmp24(art.pointer)});
    for (std::size_t d = 0; d < art.decks.size(); ++d) {
        const std::string& prefix = art.deckPrefixes[d];
        e.push_back({prefix + "S_cardback.bmp", EncodeBmp24(art.decks[d].back)});
        for (int code = 0; code < 52; ++code)
            e.push_back({prefix + CardFileName(code), EncodeBmp24(art.decks[d].faces[code])});
    }
    e.insert(e.end(), art.sourceFiles.begin(), art.sourceFiles.end());
    if (marker) e.push_back({"Sounds_" + marker->name, marker->bytes});
    return e;
}

DialogImages RenderDialogImages(const ArtSources& src) {
    const std::vector<DeckArt> deckArts = DeckArts(src);
    DialogImages d;
    d.banner = Quantize(RenderBanner(deckArts[0], src.deluxeFont));
    for (std::size_t i = 0; i < kPreviews.size(); ++i) {
        const PreviewArt& p = kPreviews[i];
        d.previews.push_back(RenderCardOver(deckArts[i], p.card, p.width, p.height, kDialogGrey));
    }
    return d;
}

Image RenderIcon(const ArtSources& src) {
    const std::vector<DeckArt> deckArts = DeckArts(src);
    const Rgb felt{28, 102, 52};
    Image icon(128, 128, felt);
    constexpr int kNineOfHearts = 4 * 8 + 2, kFiveOfSpades = 4 * 4 + 3;
    icon.Paste(RenderCardOver(deckArts[0], kNineOfHearts, 80, 112, felt), 8, 6);
    icon.Paste(RenderCardOver(deckArts[0], kFiveOfSpades, 80, 112, felt), 40, 10);
    return icon;
}

Image RenderWindowIcon(const ArtSources& src) { return HalveImage(RenderIcon(src)); }

}  // namespace pellow::pack
