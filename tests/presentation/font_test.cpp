#include <gtest/gtest.h>

#include "presentation/bitmap_font.hpp"
#include "presentation/test_support.hpp"

namespace pellow::testing {
namespace {

using modDX::GetPixel;

// The game's font layout: 19 x 27 cells, 20 to a row, characters 32..131 (five rows). Each
// cell is one solid colour of its own with a magenta column at either side.
constexpr int kW = 19, kH = 27, kCols = 20, kRows = 5;

Rgb CellColour(int cell) { return {8 * (cell % 32), 4 * (cell / 32) + 128, 64}; }

class FontTest : public DisplayFixture {
protected:
    void SetUp() override {
        OpenDisplay(800, 600);
        const auto file = Scratch() / "font.bmp";
        WriteBmp(file, kW * kCols, kH * kRows, [](int x, int y) {
            if (x % kW == 0 || x % kW == kW - 1) return kMagenta;
            return CellColour((y / kH) * kCols + x / kW);
        });
        font.CreateSpriteFromFile(file.string(), kW, kH, kCols);
        font.SetTransColor(2);
    }
    static std::uint16_t Glyph(char c) { return To565(CellColour(c - 32)); }

    clsDXBitmapFont font;
};

TEST_F(FontTest, GlyphsAdvanceTwoPixelsLessThanACellAndOverlapThroughTheKey) {
    font.XPos = 100;
    font.YPos = 50;
    font.DrawText(display, backBuffer(), "AB", true);
    EXPECT_EQ(GetPixel(backBuffer(), 100, 50), 0) << "A's magenta edge lets the table through";
    EXPECT_EQ(GetPixel(backBuffer(), 101, 50), Glyph('A'));
    EXPECT_EQ(GetPixel(backBuffer(), 117, 76), Glyph('A')) << "under B's transparent left edge";
    EXPECT_EQ(GetPixel(backBuffer(), 118, 50), Glyph('B'));
    EXPECT_EQ(GetPixel(backBuffer(), 134, 50), Glyph('B'));
    EXPECT_EQ(GetPixel(backBuffer(), 135, 50), 0);
    EXPECT_EQ(GetPixel(backBuffer(), 101, 77), 0);
    EXPECT_EQ(PaintedPixels(), (17 + 17) * kH);
}

TEST_F(FontTest, EmptyTextDrawsNothing) {
    font.DrawText(display, backBuffer(), "", true);
    EXPECT_EQ(PaintedPixels(), 0);
}

TEST_F(FontTest, PositionsRoundHalvesToEven) {
    font.XPos = 100.5f;  // -> 100
    font.YPos = 10.5f;   // -> 10
    font.DrawText(display, backBuffer(), "A", true);
    EXPECT_EQ(GetPixel(backBuffer(), 101, 10), Glyph('A'));
    EXPECT_EQ(GetPixel(backBuffer(), 101, 9), 0);
    display.ClearBackBuffer();
    font.XPos = 101.5f;  // -> 102
    font.YPos = 11.5f;   // -> 12
    font.DrawText(display, backBuffer(), "A", true);
    EXPECT_EQ(GetPixel(backBuffer(), 102, 12), 0);
    EXPECT_EQ(GetPixel(backBuffer(), 103, 12), Glyph('A'));
    EXPECT_EQ(GetPixel(backBuffer(), 103, 11), 0);
}

TEST_F(FontTest, TextIsCutAtTheClipEdgesAndGlyphsBeyondThemAreNotDrawn) {
    font.XPos = 790;
    font.YPos = 590;
    font.DrawText(display, backBuffer(), "AB", true);  // A cut to 10 x 10, B wholly off screen
    EXPECT_EQ(GetPixel(backBuffer(), 791, 590), Glyph('A'));
    EXPECT_EQ(GetPixel(backBuffer(), 799, 599), Glyph('A'));
    EXPECT_EQ(PaintedPixels(), 9 * 10);
}

TEST_F(FontTest, CharactersWithoutACellDrawNothing) {
    font.XPos = 10;
    font.YPos = 10;
    font.DrawText(display, backBuffer(), std::string("\n\x1f") + "\xe9" + "\xff", true);
    EXPECT_EQ(PaintedPixels(), 0);
    font.DrawText(display, backBuffer(), "\x83", true);  // cell 99, the last of the picture
    EXPECT_EQ(GetPixel(backBuffer(), 11, 10), To565(CellColour(99)));
}

TEST_F(FontTest, MissingFontFileIsReportedUnderTheClassName) {
    clsDXBitmapFont missing;
    try {
        missing.CreateSpriteFromFile((Scratch() / "none.bmp").string(), kW, kH, kCols);
        FAIL() << "no error";
    } catch (const modDX::LoadError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Error in function clsDXBitmapFont.CreateSpriteFromFile() \n", 0), 0u);
    }
}

}  // namespace
}  // namespace pellow::testing
