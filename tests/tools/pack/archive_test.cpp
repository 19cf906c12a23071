// The archive the build wrote, opened with the game's own reader, checked for every file the
// game's loaders need and for what a player would see go wrong.
#include <gtest/gtest.h>
#include <jpeglib.h>
#include <stdlib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "engine/cards.hpp"
#include "engine/match.hpp"
#include "resources/zulpak.hpp"
#include "tools/pack/pack_contents.hpp"
#include "tools/pack/pictures.hpp"

namespace {

using pellow::pack_test::LoadBmp;
using pellow::pack_test::LooksLikeKey;
using pellow::pack_test::OutsideOf;
using pellow::pack_test::Picture;
using pellow::pack_test::Pixel;

struct Entry {
    std::int32_t offset = 0, size = 0;
    std::vector<std::uint8_t> bytes;
};

std::vector<std::uint8_t> ReadAll(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

class PackArchive : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        pellow::zulPAK pak;
        pak.OpenQ2Pak(PELLOW_PAK_PATH);
        ASSERT_EQ(pak.FileLoaded(), PELLOW_PAK_PATH) << "the build did not write the archive";
        char dir[] = "/tmp/pellow-pack-test-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        for (std::int32_t id = 0; id <= pak.NumEntrys(); ++id) {
            const std::string field = pak.EntryName(id);
            rawNames_->push_back(field);
            const std::string name = field.substr(0, field.find('\0'));
            const std::string path = std::string(dir) + "/entry";
            pak.SaveFileFromPAK(id, path);
            (*entries_)[name] = {pak.EntryOffset(id), pak.EntrySize(id), ReadAll(path)};
        }
        std::filesystem::remove_all(dir);
    }

    static const Entry& Get(const std::string& name) {
        static const Entry missing;
        auto it = entries_->find(name);
        EXPECT_NE(it, entries_->end()) << name << " is not in the archive";
        return it == entries_->end() ? missing : it->second;
    }
    static Picture Bmp(const std::string& name) {
        Picture p = LoadBmp(Get(name).bytes);
        EXPECT_GT(p.width, 0) << name << " does not load as a BMP";
        return p;
    }

    static inline std::map<std::string, Entry>* entries_ = new std::map<std::string, Entry>;
    static inline std::vector<std::string>* rawNames_ = new std::vector<std::string>;
};

const std::vector<std::string> kDeckPrefixes = {"Royal_", "Roya2_", "Vintage_", "Worn_"};

std::vector<std::string> CardNames() {
    std::vector<std::string> names;
    for (int code = 0; code < pellow::kCards; ++code) names.push_back(pellow::CardFileName(code));
    names.push_back("S_cardback.bmp");
    return names;
}

TEST_F(PackArchive, HoldsEveryFileTheLoadersOpenAndNothingElse) {
    std::set<std::string> expected = {"fntFonts_fntDigit.bmp",      "fntFonts_fntDeluxe.bmp",
                                      "fntFonts_fntHandParker.bmp", "Sounds_CARD_FLIP.WAV",
                                      "Sounds_CARD_FLIP2.WAV",      "Sounds_CARD_FLIP3.WAV",
                                      "Sounds_SIGN1.WAV",           "Sounds_SIGN2.WAV",
                                      "Sounds_SIGN3.WAV",           "Sounds_SHUFFLE.WAV",
                                      "Sounds_INTRO.WAV",           "Sounds_WIN_GAME.WAV",
                                      "Sounds_LOSE_GAME.WAV",       "Bitmaps_Back_800x600.jpg",
                                      "Bitmaps_Back_1024x768.bmp",  "Bitmaps_Scorepage_800x600.bmp",
                                      "Bitmaps_Scorepage.bmp",      "Bitmaps_line_horz.bmp",
                                      "Bitmaps_line_vert.bmp",      "Bitmaps_mouse.bmp",
                                      "Art_Royal.svgz",             "Art_Roya2.svgz",
                                      "Art_Vintage.svgz",           "Art_Worn.svgz",
                                      "Art_digit.ttf",              "Art_digitLetters.ttf",
                                      "Art_deluxe.otf",             "Art_hand.otf"};
    for (const std::string& prefix : kDeckPrefixes)
        for (const std::string& card : CardNames()) expected.insert(prefix + card);

    std::set<std::string> found;
    for (const auto& [name, entry] : *entries_) found.insert(name);
    EXPECT_EQ(found, expected);
    EXPECT_EQ(rawNames_->size(), expected.size()) << "an entry is stored twice";

    // The unpacker cuts each 56-character field at its first NUL: nothing may follow it.
    for (const std::string& field : *rawNames_) {
        ASSERT_EQ(field.size(), 56u);
        const std::size_t end = field.find('\0');
        ASSERT_NE(end, std::string::npos) << field;
        EXPECT_EQ(field.find_first_not_of('\0', end), std::string::npos) << field;
    }
    // The game takes a tree holding the first card sound as completely unpacked, so that entry
    // must come last.
    ASSERT_FALSE(rawNames_->empty());
    EXPECT_EQ(rawNames_->back().substr(0, rawNames_->back().find('\0')), "Sounds_CARD_FLIP.WAV");
}

// The game draws its own sizes from these: each must be its own file, unchanged.
TEST_F(PackArchive, CarriesEachSourceFileAsItIs) {
    const pellow::pack::ArtSources src = pellow::pack::InstalledSources();
    const std::pair<const char*, std::string> sources[] = {
        {"Art_Royal.svgz", src.royalDeck},    {"Art_Roya2.svgz", src.roya2Deck},
        {"Art_Vintage.svgz", src.vintageDeck}, {"Art_Worn.svgz", src.wornDeck},
        {"Art_digit.ttf", src.digitFont},     {"Art_digitLetters.ttf", src.digitLetterFont},
        {"Art_deluxe.otf", src.deluxeFont},   {"Art_hand.otf", src.handFont}};
    for (const auto& [name, path] : sources) EXPECT_EQ(Get(name).bytes, ReadAll(path)) << name;
}

TEST_F(PackArchive, EntriesTileTheFileWithoutOverlapOrGaps) {
    std::vector<std::pair<std::int32_t, std::int32_t>> spans;
    std::uint64_t total = 0;
    for (const auto& [name, e] : *entries_) {
        EXPECT_EQ(static_cast<std::size_t>(e.size), e.bytes.size()) << name;
        EXPECT_GT(e.size, 0) << name;
        spans.push_back({e.offset, e.size});
        total += e.size;
    }
    std::sort(spans.begin(), spans.end());
    EXPECT_GE(spans.front().first, 12);
    for (std::size_t i = 1; i < spans.size(); ++i)
        EXPECT_GE(spans[i].first, spans[i - 1].first + spans[i - 1].second) << "entries overlap";
    const auto fileSize = std::filesystem::file_size(PELLOW_PAK_PATH);
    EXPECT_EQ(fileSize, 12 + total + 64 * entries_->size()) << "the archive holds bytes no entry owns";
}

TEST_F(PackArchive, CardsFillTheirPicturesWithKeyedCornersAndNoKeyInside) {
    for (const std::string& prefix : kDeckPrefixes) {
        const bool large = prefix == "Vintage_" || prefix == "Worn_";
        for (const std::string& card : CardNames()) {
            const std::string name = prefix + card;
            SCOPED_TRACE(name);
            const Picture p = Bmp(name);
            ASSERT_EQ(p.width, large ? 138 : 108);
            ASSERT_EQ(p.height, large ? 193 : 151);
            // Rounded corners show the table; the card itself reaches all four edges.
            EXPECT_TRUE(p.Keyed(0, 0) && p.Keyed(p.width - 1, 0) && p.Keyed(0, p.height - 1) &&
                        p.Keyed(p.width - 1, p.height - 1));
            EXPECT_FALSE(p.Keyed(p.width / 2, 0) || p.Keyed(p.width / 2, p.height - 1) || p.Keyed(0, p.height / 2) ||
                         p.Keyed(p.width - 1, p.height / 2));
            const std::vector<bool> outside = OutsideOf(p);
            int keyInside = 0, pinkEdge = 0;
            for (int y = 0; y < p.height; ++y)
                for (int x = 0; x < p.width; ++x) {
                    if (outside[y * p.width + x]) continue;
                    const Pixel& c = p.At(x, y);
                    if (LooksLikeKey(c)) ++keyInside;
                    const bool edge = (x > 0 && outside[y * p.width + x - 1]) ||
                                      (x + 1 < p.width && outside[y * p.width + x + 1]) ||
                                      (y > 0 && outside[(y - 1) * p.width + x]) ||
                                      (y + 1 < p.height && outside[(y + 1) * p.width + x]);
                    // half-keyed pixels would show as a pink rim around the card
                    if (edge && c.r > 150 && c.b > 150 && c.g + 60 < std::min(c.r, c.b)) ++pinkEdge;
                }
            EXPECT_EQ(keyInside, 0);
            EXPECT_EQ(pinkEdge, 0);
        }
    }
    // Four decks, not one deck four times.
    for (std::size_t a = 0; a < kDeckPrefixes.size(); ++a)
        for (std::size_t b = a + 1; b < kDeckPrefixes.size(); ++b)
            EXPECT_FALSE(Get(kDeckPrefixes[a] + "KH.BMP").bytes == Get(kDeckPrefixes[b] + "KH.BMP").bytes)
                << kDeckPrefixes[a] << " " << kDeckPrefixes[b];
}

TEST_F(PackArchive, BackgroundsFillTheScreenWithLitFeltNotAFlatColour) {
    // The 800 x 600 one travels as JPEG and is converted while unpacking.
    const Entry& jpeg = Get("Bitmaps_Back_800x600.jpg");
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg.bytes.data(), jpeg.bytes.size());
    ASSERT_EQ(jpeg_read_header(&cinfo, TRUE), JPEG_HEADER_OK);
    EXPECT_EQ(cinfo.image_width, 800u);
    EXPECT_EQ(cinfo.image_height, 600u);
    EXPECT_EQ(cinfo.num_components, 3);
    jpeg_destroy_decompress(&cinfo);

    const Picture big = Bmp("Bitmaps_Back_1024x768.bmp");
    ASSERT_EQ(big.width, 1024);
    ASSERT_EQ(big.height, 768);
    auto brightness = [&](int x0, int y0) {
        double sum = 0;
        for (int y = y0; y < y0 + 64; ++y)
            for (int x = x0; x < x0 + 64; ++x) sum += big.At(x, y).r + big.At(x, y).g + big.At(x, y).b;
        return sum;
    };
    const double centre = brightness(480, 320);
    const double corner = brightness(0, 0) + brightness(960, 0) + brightness(0, 704) + brightness(960, 704);
    EXPECT_GT(centre, corner / 4 * 1.1) << "no light over the middle of the table";
    // Felt has a grain from pixel to pixel; a flat colour or a smooth gradient has none.
    double grain = 0;
    for (int y = 300; y < 364; ++y)
        for (int x = 400; x < 463; ++x) {
            const Pixel &a = big.At(x, y), &b = big.At(x + 1, y);
            grain += std::abs(a.r + a.g + a.b - b.r - b.g - b.b);
        }
    EXPECT_GT(grain / (64 * 63), 3.0) << "no texture in the felt";
}

TEST_F(PackArchive, FontsHoldEveryCharacterInsideItsSeventeenPixelAdvance) {
    const std::string kClock = "0123456789: APM";
    for (const std::string name : {"fntFonts_fntDigit.bmp", "fntFonts_fntDeluxe.bmp", "fntFonts_fntHandParker.bmp"}) {
        SCOPED_TRACE(name);
        const Picture p = Bmp(name);
        ASSERT_EQ(p.width, 20 * 19);
        ASSERT_EQ(p.height % 27, 0);
        ASSERT_GE(p.height, 5 * 27) << "characters up to '~' need five rows";
        const bool digits = name == std::string("fntFonts_fntDigit.bmp");
        for (int code = 32; code < 32 + 20 * (p.height / 27); ++code) {
            const int cx = (code - 32) % 20 * 19, cy = (code - 32) / 20 * 27;
            int ink = 0;
            bool clear = true;
            for (int y = 0; y < 27; ++y)
                for (int x = 0; x < 19; ++x) {
                    if (p.Keyed(cx + x, cy + y)) continue;
                    ++ink;
                    // the next character starts 17 pixels on and the row above ends at y 0
                    if (x == 0 || x == 18 || y == 0) clear = false;
                }
            EXPECT_TRUE(clear) << "character " << code << " reaches into its neighbour's cell";
            if (code == ' ') {
                EXPECT_EQ(ink, 0);
            }
            const bool needed = digits ? kClock.find(static_cast<char>(code)) != std::string::npos && code != ' '
                                       : code > 32 && code < 127;
            if (needed) {
                EXPECT_GT(ink, 2) << "character " << static_cast<char>(code) << " is blank";
            }
        }
    }
}

TEST_F(PackArchive, PointerTipIsTheCentreOfItsPicture) {
    // The game draws the 32 x 32 pointer centred on the mouse position.
    const Picture p = Bmp("Bitmaps_mouse.bmp");
    ASSERT_EQ(p.width, 32);
    ASSERT_EQ(p.height, 32);
    int left = 32, top = 32, count = 0;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (!p.Keyed(x, y)) {
                left = std::min(left, x);
                top = std::min(top, y);
                ++count;
            }
    EXPECT_FALSE(p.Keyed(16, 16));
    EXPECT_GE(left, 15);
    EXPECT_GE(top, 15);
    EXPECT_GT(count, 60) << "too small to see";
}

TEST_F(PackArchive, ScorePagesCarryEveryRowAndLineOnPaperAndFitTheScreen) {
    const Picture horz = Bmp("Bitmaps_line_horz.bmp"), vert = Bmp("Bitmaps_line_vert.bmp");
    ASSERT_GT(horz.width, 0);
    ASSERT_GT(vert.width, 0);
    for (const bool large : {false, true}) {
        const std::string name = large ? "Bitmaps_Scorepage.bmp" : "Bitmaps_Scorepage_800x600.bmp";
        SCOPED_TRACE(name);
        const Picture page = Bmp(name);
        const int shift = large ? 112 : 0, screenW = large ? 1024 : 800, screenH = large ? 768 : 600;
        const int px = 156 + shift, py = 4 + shift;
        ASSERT_LE(px + page.width, screenW) << "the game skips a page that does not fit";
        ASSERT_LE(py + page.height, screenH);
        auto onPaper = [&](int sx, int sy) {
            const int x = sx - px, y = sy - py;
            return x >= 0 && y >= 0 && x < page.width && y < page.height && !page.Keyed(x, y);
        };
        // Every cell the texts may use, at 17 pixels a character.
        auto textOnPaper = [&](int x, int y, int chars) {
            for (int yy = y; yy < y + 27; ++yy)
                for (int xx = x; xx < x + 17 * (chars - 1) + 19; ++xx)
                    if (!onPaper(xx, yy)) return false;
            return true;
        };
        EXPECT_TRUE(textOnPaper(233 + shift, 94 + shift, 13)) << "heading";
        for (int k = 1; k <= 10; ++k) EXPECT_TRUE(textOnPaper(233 + shift, 94 + 31 * k + shift, 10)) << "deal " << k;
        EXPECT_TRUE(textOnPaper(233 + shift, 438 + shift, 10)) << "totals";
        EXPECT_TRUE(textOnPaper(213 + shift, 469 + shift, 8)) << "result";
        auto lineOnPaper = [&](const Picture& line, int x, int y) {
            for (int yy = 0; yy < line.height; ++yy)
                for (int xx = 0; xx < line.width; ++xx)
                    if (!line.Keyed(xx, yy) && !onPaper(x + xx, y + yy)) return false;
            return true;
        };
        EXPECT_TRUE(lineOnPaper(horz, 223 + shift, 117 + shift));
        EXPECT_TRUE(lineOnPaper(horz, 223 + shift, 430 + shift));
        EXPECT_TRUE(lineOnPaper(vert, 336 + shift, 64 + shift));
    }
    // The vertical line ends above the result text, which runs past it ("We lost!").
    EXPECT_LE(64 + vert.height, 469);
    // The line under the heading reaches past its last letter.
    EXPECT_GE(223 + horz.width, 233 + 17 * 11 + 19);
}

TEST_F(PackArchive, PenLinesRunWithoutGaps) {
    const Picture horz = Bmp("Bitmaps_line_horz.bmp"), vert = Bmp("Bitmaps_line_vert.bmp");
    for (int x = 3; x < horz.width - 3; ++x) {
        bool ink = false;
        for (int y = 0; y < horz.height; ++y) ink = ink || !horz.Keyed(x, y);
        EXPECT_TRUE(ink) << "gap in the horizontal line at x " << x;
    }
    for (int y = 3; y < vert.height - 3; ++y) {
        bool ink = false;
        for (int x = 0; x < vert.width; ++x) ink = ink || !vert.Keyed(x, y);
        EXPECT_TRUE(ink) << "gap in the vertical line at y " << y;
    }
}

TEST_F(PackArchive, SoundsAre22050HzStereo16BitWithoutClicksOrClipping) {
    for (const std::string name : {"CARD_FLIP.WAV", "CARD_FLIP2.WAV", "CARD_FLIP3.WAV", "SIGN1.WAV", "SIGN2.WAV",
                                   "SIGN3.WAV", "SHUFFLE.WAV", "INTRO.WAV", "WIN_GAME.WAV", "LOSE_GAME.WAV"}) {
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t>& bytes = Get("Sounds_" + name).bytes;
        SDL_AudioSpec wavFormat{};
        Uint8* buf = nullptr;
        Uint32 len = 0;
        ASSERT_NE(
            SDL_LoadWAV_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1, &wavFormat, &buf, &len),
            nullptr)
            << SDL_GetError();
        EXPECT_EQ(wavFormat.freq, 22050);
        EXPECT_EQ(wavFormat.format, AUDIO_S16LSB);
        EXPECT_EQ(wavFormat.channels, 2);
        // The header's derived fields as the game's buffers are described.
        ASSERT_GE(bytes.size(), 44u);
        EXPECT_EQ(bytes[28] | bytes[29] << 8 | bytes[30] << 16 | bytes[31] << 24, 88200);
        EXPECT_EQ(bytes[32] | bytes[33] << 8, 4);

        const auto* s = reinterpret_cast<const Sint16*>(buf);
        const std::size_t n = len / 2;
        const double seconds = static_cast<double>(n) / 2 / 22050;
        EXPECT_GT(seconds, 0.1);
        EXPECT_LT(seconds, 4.0);
        int peak = 0;
        for (std::size_t i = 0; i < n; ++i) peak = std::max(peak, std::abs(static_cast<int>(s[i])));
        EXPECT_LT(peak, 32767) << "clipped";
        EXPECT_GT(peak, 8000) << "too quiet to hear";
        // Starting or stopping away from zero is heard as a click.
        for (std::size_t i : {std::size_t{0}, std::size_t{1}, n - 2, n - 1}) EXPECT_LT(std::abs(s[i]), 330) << i;
        SDL_FreeWAV(buf);
    }
}

}  // namespace
