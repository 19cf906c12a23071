// The builder's own pieces: archive writing (checked with the game's reader), keying of soft
// shapes, colour reduction, the dialog's pictures, and a second run of the builder.
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
    const std::vector<DeckSpec> specs = DeckSpecs(src);
    ASSERT_EQ(d.previews.size(), specs.size());
    for (std::size_t i = 0; i < specs.size(); ++i) {
        SCOPED_TRACE(specs[i].prefix);
        const Image& p = d.previews[i];
        for (std::size_t other = 0; other < specs.size(); ++other) {
            const Image drawn = RenderCardOver(specs[other], kPreviews[i].card, p.Width(), p.Height(), kDialogGrey);
            EXPECT_EQ(drawn.Bytes() == p.Bytes(), other == i) << "drawn with " << specs[other].prefix;
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
