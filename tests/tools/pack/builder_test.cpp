// The builder's own pieces: archive writing (checked with the game's reader), keying of soft
// shapes, colour reduction, the dialog's pictures, a second run of the builder, and the art
// drawn at a screen's own size as the game asks for it.
#include <cairo.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "art/raster.hpp"
#include "art/score_page_layout.hpp"
#include "art/table_art_set.hpp"
#include "resources/zulpak.hpp"
#include "tools/pack/dialog_art.hpp"
#include "tools/pack/pack_contents.hpp"
#include "tools/pack/pak_writer.hpp"
#include "tools/pack/pictures.hpp"

namespace {

using namespace pellow::pack;

class TempDir {
public:
    TempDir() {
        char dir[] = "/tmp/pellow-pack-builder-XXXXXX";
        if (!mkdtemp(dir)) throw std::runtime_error("mkdtemp");
        path_ = dir;
    }
    ~TempDir() { std::filesystem::remove_all(path_); }
    std::string operator/(const std::string& name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

TEST(PakWriter, ArchiveReadsBackThroughTheGameReader) {
    const std::string longest(56, 'n');  // fills the field: no terminator follows
    const std::vector<PakEntry> entries = {
        {"Sounds_SHUFFLE.WAV", {1, 2, 3, 4, 5}}, {longest, {42}}, {"Royal_AC.BMP", std::vector<std::uint8_t>(1000, 7)}};
    TempDir dir;
    WriteFile(dir / "a.pak", BuildPak(entries));

    pellow::zulPAK pak;
    pak.OpenQ2Pak(dir / "a.pak");
    ASSERT_EQ(pak.FileLoaded(), dir / "a.pak");
    ASSERT_EQ(pak.NumEntrys(), 2);
    EXPECT_EQ(pak.EntryName(0), "Sounds_SHUFFLE.WAV" + std::string(38, '\0'));
    EXPECT_EQ(pak.EntryName(1), longest);
    for (int id = 0; id < 3; ++id) {
        pak.SaveFileFromPAK(id, dir / "out");
        EXPECT_EQ(ReadAll(dir / "out"), entries[id].bytes) << id;
    }
}

TEST(PakWriter, RefusesNamesTheArchiveCannotHold) {
    EXPECT_THROW(BuildPak({{std::string(57, 'n'), {1}}}), std::invalid_argument);
    EXPECT_THROW(BuildPak({{"", {1}}}), std::invalid_argument);
    EXPECT_THROW(BuildPak({{"Royal_AC.BMP", {1}}, {"Royal_AC.BMP", {2}}}), std::invalid_argument);
}

// A ring: opaque band, a hole in the middle, soft edges all round.
RgbaImage Ring(float edgeCoverage) {
    RgbaImage img;
    img.width = img.height = 9;
    img.px.resize(81);
    for (int y = 1; y < 8; ++y)
        for (int x = 1; x < 8; ++x)
            img.At(x, y) = {250, 250, 250, (x == 1 || x == 7 || y == 1 || y == 7) ? edgeCoverage : 1.0f};
    img.At(4, 4) = {0, 0, 0, 0};  // the hole
    return img;
}

TEST(KeyShape, KeysOnlyTheOutsideAndMakesEveryOtherPixelOpaque) {
    const Rgb felt{20, 90, 40}, paper{240, 240, 230};
    const Image mostly = KeyShape(Ring(0.75f), felt, paper);
    EXPECT_EQ(mostly.At(0, 0), kMagenta);
    EXPECT_EQ(mostly.At(8, 4), kMagenta);
    EXPECT_EQ(mostly.At(4, 4), paper) << "a hole inside the shape must not become see-through";
    // A mostly covered edge pixel stays, blended with what the shape lands on, not with magenta.
    const Rgb edge = mostly.At(1, 4);
    EXPECT_EQ(edge, (Rgb{193, 210, 198}));
    EXPECT_EQ(mostly.At(4, 2), (Rgb{250, 250, 250}));

    const Image faint = KeyShape(Ring(0.25f), felt, paper);
    EXPECT_EQ(faint.At(1, 4), kMagenta);
    EXPECT_EQ(KeyShape(Ring(0.25f), felt, paper, 0.2f).At(1, 4), (Rgb{78, 130, 93}));
}

TEST(KeyShape, NeverLeavesAKeyLikeColourInsideTheShape) {
    RgbaImage img;
    img.width = img.height = 3;
    img.px.assign(9, {252, 3, 251, 1.0f});  // magenta-ish art
    const Image out = KeyShape(img, {0, 0, 0}, {0, 0, 0});
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 3; ++x) EXPECT_FALSE(LooksLikeKey(out.At(x, y)));
}

TEST(Quantize, KeepsAFewColoursExactlyAndAManyColouredPictureClose) {
    Image few(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            few.Set(x, y, {static_cast<std::uint8_t>(x * 16), static_cast<std::uint8_t>(y * 16), 77});
    const IndexedImage q = Quantize(few);
    ASSERT_LE(q.palette.size(), 256u);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) EXPECT_EQ(q.palette[q.index[y * 16 + x]], few.At(x, y));

    Image many(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x)
            many.Set(x, y,
                     {static_cast<std::uint8_t>(x * 2), static_cast<std::uint8_t>(y * 2),
                      static_cast<std::uint8_t>((x + y))});
    const IndexedImage m = Quantize(many);
    ASSERT_LE(m.palette.size(), 256u);
    double err = 0;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const Rgb a = many.At(x, y), b = m.palette[m.index[y * 128 + x]];
            err += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
        }
    EXPECT_LT(err / (128 * 128 * 3), 6.0);
}

TEST(DialogImages, BannerHas256ColoursAndPreviewsBlendIntoTheDialog) {
    const DialogImages d = RenderDialogImages(InstalledSources());
    const std::vector<std::uint8_t> banner = EncodeBmp8(d.banner);
    SDL_Surface* s = SDL_LoadBMP_RW(SDL_RWFromConstMem(banner.data(), static_cast<int>(banner.size())), 1);
    ASSERT_NE(s, nullptr) << SDL_GetError();
    EXPECT_EQ(s->w, 435);
    EXPECT_EQ(s->h, 254);
    EXPECT_EQ(s->format->BitsPerPixel, 8);
    ASSERT_NE(s->format->palette, nullptr);
    EXPECT_EQ(s->format->palette->ncolors, 256);
    SDL_FreeSurface(s);

    ASSERT_EQ(d.previews.size(), 4u);
    for (const auto& [img, w, h] : {std::tuple{&d.previews[0], 119, 156}, std::tuple{&d.previews[1], 115, 152},
                                    std::tuple{&d.previews[2], 119, 156}, std::tuple{&d.previews[3], 119, 156}}) {
        const auto pic = pellow::pack_test::LoadBmp(EncodeBmp24(*img));
        ASSERT_EQ(pic.width, w);
        ASSERT_EQ(pic.height, h);
        // The dialog has no colour key: the rounded corners show its grey, not magenta.
        const auto& corner = pic.At(0, 0);
        EXPECT_NEAR(corner.r, 192, 12);
        EXPECT_NEAR(corner.g, 192, 12);
        EXPECT_NEAR(corner.b, 192, 12);
    }
    EXPECT_FALSE(d.previews[0].Crop(0, 0, 115, 152).Bytes() == d.previews[1].Bytes()) << "both previews show one deck";
}

// Each deck's preview is a card of that deck as the game draws it, not another deck's card.
TEST(DialogImages, EachDecksPreviewIsACardOfThatDeck) {
    const ArtSources src = InstalledSources();
    const DialogImages d = RenderDialogImages(src);
    const std::vector<DeckArt> deckArts = DeckArts(src);
    ASSERT_EQ(d.previews.size(), deckArts.size());
    for (std::size_t i = 0; i < deckArts.size(); ++i) {
        SCOPED_TRACE(deckArts[i].prefix);
        const Image& p = d.previews[i];
        for (std::size_t other = 0; other < deckArts.size(); ++other) {
            const Image drawn = RenderCardOver(deckArts[other], kPreviews[i].card, p.Width(), p.Height(), kDialogGrey);
            EXPECT_EQ(drawn.Bytes() == p.Bytes(), other == i) << "drawn with " << deckArts[other].prefix;
        }
    }
}

// The game window's icon is the desktop icon at half its size.
TEST(DialogImages, WindowIconIsTheDesktopIconHalved) {
    const ArtSources src = InstalledSources();
    const Image icon = RenderIcon(src);
    const Image small = RenderWindowIcon(src);
    ASSERT_EQ(small.Width(), 64);
    ASSERT_EQ(small.Height(), 64);
    double err = 0;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const Rgb a = small.At(x, y), b = icon.At(2 * x, 2 * y);
            err += std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b);
        }
    EXPECT_LT(err / (64 * 64 * 3), 12.0);
    EXPECT_EQ(small.At(0, 0), icon.At(0, 0)) << "the felt corner keeps its colour";
}

// The art for a 21:9 screen at 1.25 pixels per table unit: cards, felt, fonts, pad and pointer
// drawn once for all the cases.
class ScaledArt : public ::testing::Test {
protected:
    static constexpr double kScale = 1.25;
    static void SetUpTestSuite() {
        const ArtSources src = InstalledSources();
        request_ = {};
        request_.files = {src.wornDeck, src.digitFont, src.digitLetterFont, src.deluxeFont, src.handFont};
        const DeckLook look = DeckLookFor("Worn");
        request_.finish = look.finish;
        request_.seed = look.seed;
        request_.scale = kScale;
        request_.tableWidth = 1680;
        request_.tableHeight = 720;
        request_.pageX = 600;
        request_.pageY = 20;
        art_ = new TableArt(RenderTableArt(request_, 2));
    }
    static void TearDownTestSuite() {
        delete art_;
        art_ = nullptr;
    }
    static int Luma(Rgb c) { return c.r * 3 + c.g * 6 + c.b; }
    static double MeanLuma(const Image& img, int x0, int y0, int w, int h) {
        double sum = 0;
        for (int y = y0; y < y0 + h; ++y)
            for (int x = x0; x < x0 + w; ++x) sum += Luma(img.At(x, y));
        return sum / (w * h);
    }
    static ArtRequest request_;
    static TableArt* art_;
};
ArtRequest ScaledArt::request_;
TableArt* ScaledArt::art_ = nullptr;

TEST_F(ScaledArt, CardsAreTheTableUnitsScaledAndKeyedOnlyRoundTheirCorners) {
    const TableArt& art = *art_;
    ASSERT_EQ(art.faces.size(), 52u);
    std::vector<const Image*> cards;
    for (const Image& face : art.faces) cards.push_back(&face);
    cards.push_back(&art.back);
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const Image& card = *cards[i];
        ASSERT_EQ(card.Width(), 173) << i;  // round(138 * 1.25)
        ASSERT_EQ(card.Height(), 241) << i;  // round(193 * 1.25)
        EXPECT_EQ(card.At(0, 0), kMagenta) << i;
        EXPECT_EQ(card.At(card.Width() - 1, card.Height() - 1), kMagenta) << i;
        for (int x : {card.Width() / 4, card.Width() / 2, card.Width() * 3 / 4}) {
            EXPECT_NE(card.At(x, 0), kMagenta) << i << " top edge at " << x;
            EXPECT_NE(card.At(x, card.Height() / 2), kMagenta) << i;
        }
        EXPECT_NE(card.At(0, card.Height() / 2), kMagenta) << i << " left edge";
    }
    // Each face is its own card, not one picture repeated.
    EXPECT_NE(art.faces[0].Bytes(), art.faces[51].Bytes());
}

TEST_F(ScaledArt, FeltAtAWideShapeIsLitInTheMiddleAndDarkerAtEveryEdge) {
    const Image& felt = art_->felt;
    ASSERT_EQ(felt.Width(), 1680);
    ASSERT_EQ(felt.Height(), 720);
    const double middle = MeanLuma(felt, 740, 260, 200, 200);
    EXPECT_GT(middle, MeanLuma(felt, 0, 260, 60, 200) * 1.1) << "left";
    EXPECT_GT(middle, MeanLuma(felt, 1620, 260, 60, 200) * 1.1) << "right";
    EXPECT_GT(middle, MeanLuma(felt, 740, 0, 200, 40) * 1.05) << "top";
    EXPECT_GT(middle, MeanLuma(felt, 740, 680, 200, 40) * 1.05) << "bottom";
    EXPECT_GT(MeanLuma(felt, 0, 680, 60, 40), 0) << "corners stay cloth, not black";
}

TEST_F(ScaledArt, GlyphSheetsKeepTheirGridAndInkWithinEachCell) {
    const GlyphGrid grid = GlyphGridAt(kScale);
    EXPECT_EQ(grid.cellWidth, 24);
    EXPECT_EQ(grid.cellHeight, 34);
    EXPECT_EQ(grid.advance, 21);
    auto inkedCells = [](const GlyphSheet& sheet) {
        std::vector<bool> cells;
        for (int k = 0; k <= kLastGlyph - kFirstGlyph; ++k) {
            const int cx = (k % kGlyphColumns) * sheet.grid.cellWidth, cy = (k / kGlyphColumns) * sheet.grid.cellHeight;
            bool inked = false;
            for (int y = 0; y < sheet.grid.cellHeight; ++y)
                for (int x = 0; x < sheet.grid.cellWidth; ++x) inked = inked || sheet.image.At(cx + x, cy + y) != kMagenta;
            cells.push_back(inked);
        }
        return cells;
    };
    const GlyphSheet plain[] = {RenderGlyphSheet(DigitStyle(request_.files)),
                                RenderGlyphSheet(DeluxeStyle(request_.files)),
                                RenderGlyphSheet(HandStyle(request_.files))};
    const GlyphSheet* scaled[] = {&art_->digitFont, &art_->deluxeFont, &art_->handFont};
    for (int i = 0; i < 3; ++i) {
        const GlyphSheet* sheet = scaled[i];
        EXPECT_EQ(sheet->grid.cellWidth, grid.cellWidth);
        EXPECT_EQ(sheet->grid.advance, grid.advance);
        ASSERT_EQ(sheet->image.Width(), kGlyphColumns * grid.cellWidth);
        ASSERT_EQ(sheet->image.Height(), 12 * grid.cellHeight);
        // Every character the design's sheet has is drawn, none spilling out of its cell.
        const std::vector<bool> inked = inkedCells(*sheet), designed = inkedCells(plain[i]);
        for (std::size_t k = 0; k < designed.size(); ++k)
            EXPECT_TRUE(inked[k] || !designed[k]) << i << ": no character " << k + kFirstGlyph;
        for (int k = 0; k <= kLastGlyph - kFirstGlyph; ++k) {
            const int cx = (k % kGlyphColumns) * grid.cellWidth, cy = (k / kGlyphColumns) * grid.cellHeight;
            for (int y = 0; y < grid.cellHeight; ++y)
                for (int x = 0; x < grid.cellWidth; ++x) {
                    if (sheet->image.At(cx + x, cy + y) == kMagenta) continue;
                    EXPECT_TRUE(x >= 1 && x <= grid.advance && y >= 1 && y <= grid.cellHeight - 2)
                        << i << ": cell " << k << " has ink at " << x << "," << y;
                }
        }
        // The letters stand at the same height of their cell as at the design's size.
        EXPECT_NEAR(sheet->baseline, plain[i].baseline * kScale, 1.5) << i;
    }
}

TEST_F(ScaledArt, PadRulingsLieUnderTheRowsTheGameWritesAtThatScale) {
    const Image& page = art_->scorePage;
    ASSERT_EQ(page.Width(), 415);   // round(332 * 1.25)
    ASSERT_EQ(page.Height(), 680);  // round(544 * 1.25)
    const pellow::ScorePageLayout L = pellow::ScorePageFor(pellow::ScreenSize::Small800x600);
    // A ruling is bluer than the paper a third of a row above it.
    const int x = static_cast<int>((L.rowX + 40 - L.pageX) * kScale);
    for (int k = 1; k <= pellow::kScoreRowsShown; ++k) {
        const double rowTop = (L.rowY + k * L.rowStep - L.pageY) * kScale;
        const int rule = static_cast<int>(rowTop + art_->handFont.baseline + 2.5 * kScale);
        const int paper = rule - static_cast<int>(L.rowStep * kScale / 3);
        const Rgb onRule = page.At(x, rule), onPaper = page.At(x, paper);
        EXPECT_LT(onRule.r + 20, onPaper.r) << "row " << k;
        EXPECT_GE(onRule.b, onRule.r) << "row " << k;
    }
    // The pen lines and pointer grow with the table; the pointer's tip is its centre.
    EXPECT_EQ(art_->horizontalLine.Width(), 278);  // round(222 * 1.25)
    EXPECT_EQ(art_->verticalLine.Height(), 503);   // round(402 * 1.25)
    const Image& pointer = art_->pointer;
    ASSERT_EQ(pointer.Width(), 40);
    ASSERT_EQ(pointer.Height(), 40);
    EXPECT_NE(pointer.At(20, 20), kMagenta);
    EXPECT_EQ(pointer.At(18, 18), kMagenta) << "nothing above and left of the tip";
    EXPECT_NE(pointer.At(22, 30), kMagenta) << "the arrow points up and left from below the tip";
}

// A source that cannot be read ends the whole rendering with its error, on every thread count,
// rather than leaving the pad waiting for a felt or a font that never comes.
TEST_F(ScaledArt, AnUnreadableSourceThrowsInsteadOfHanging) {
    EXPECT_THROW(DeckLookFor("Royal_"), std::invalid_argument);
    ArtRequest missing = request_;
    missing.files.deckSvg = "/nonexistent/deck.svgz";
    EXPECT_THROW(RenderTableArt(missing, 2), std::runtime_error);
    missing = request_;
    missing.files.handFont = "/nonexistent/hand.otf";
    for (int threads : {1, 2, 3}) EXPECT_THROW(RenderTableArt(missing, threads), std::runtime_error) << threads;
}

TEST(Builder, SecondRunWritesTheSameArchiveAndAContactSheet) {
    // Threads finish in any order and the clock moves on; the archive must not notice.
    TempDir dir;
    const std::string cmd = std::string(PELLOW_PACK_BINARY) + " --pak " + (dir / "again.pak") + " --contact-sheet " +
                            (dir / "sheet.png") + " > /dev/null";
    ASSERT_EQ(std::system(cmd.c_str()), 0);
    EXPECT_TRUE(ReadAll(dir / "again.pak") == ReadAll(PELLOW_PAK_PATH)) << "the archive differs between runs";

    cairo_surface_t* sheet = cairo_image_surface_create_from_png((dir / "sheet.png").c_str());
    ASSERT_EQ(cairo_surface_status(sheet), CAIRO_STATUS_SUCCESS);
    // Thirteen cards and the back across, four suits down, for each of the four decks.
    EXPECT_GE(cairo_image_surface_get_width(sheet), 14 * 138);
    EXPECT_GE(cairo_image_surface_get_height(sheet), 8 * 151 + 8 * 193);
    cairo_surface_destroy(sheet);

    EXPECT_NE(std::system((std::string(PELLOW_PACK_BINARY) + " --bogus x 2> /dev/null").c_str()), 0);
}

}  // namespace
