#include "art/glyph_sheet.hpp"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cmath>
#include <memory>
#include <stdexcept>

namespace pellow::art {

namespace {

// Windows-1252 codes 0x80..0x9F; 0 where the code page has no character.
constexpr char32_t kCp1252High[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                      0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                      0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t FromCp1252(int code) {
    if (code >= 0x80 && code < 0xA0) return kCp1252High[code - 0x80];
    return static_cast<char32_t>(code);
}

class FreeType {
public:
    FreeType() {
        if (FT_Init_FreeType(&lib_)) throw std::runtime_error("cannot start FreeType");
    }
    ~FreeType() {
        for (FT_Face f : faces_) FT_Done_Face(f);
        FT_Done_FreeType(lib_);
    }
    FreeType(const FreeType&) = delete;
    FreeType& operator=(const FreeType&) = delete;

    FT_Face Open(const std::string& path) {
        FT_Face f = nullptr;
        if (FT_New_Face(lib_, path.c_str(), 0, &f)) throw std::runtime_error("cannot read font " + path);
        faces_.push_back(f);
        return f;
    }

private:
    FT_Library lib_ = nullptr;
    std::vector<FT_Face> faces_;
};

// A rendered glyph: coverage 0..1, its top-left relative to the pen on the baseline.
struct Glyph {
    int width = 0, rows = 0, left = 0, top = 0;
    std::vector<float> cover;
};

// Renders ch at the face's current size, squeezed by sx horizontally and s vertically.
Glyph RenderGlyph(FT_Face face, char32_t ch, double sx, double sy) {
    FT_Matrix m{static_cast<FT_Fixed>(sx * 65536), 0, 0, static_cast<FT_Fixed>(sy * 65536)};
    FT_Set_Transform(face, &m, nullptr);
    Glyph g;
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT)) return g;
    const FT_Bitmap& bm = face->glyph->bitmap;
    g.width = static_cast<int>(bm.width);
    g.rows = static_cast<int>(bm.rows);
    g.left = face->glyph->bitmap_left;
    g.top = face->glyph->bitmap_top;
    g.cover.resize(static_cast<std::size_t>(g.width) * g.rows);
    for (int y = 0; y < g.rows; ++y)
        for (int x = 0; x < g.width; ++x) g.cover[y * g.width + x] = bm.buffer[y * bm.pitch + x] / 255.0f;
    return g;
}

// The first face that draws something for ch: segment faces map some letters to blank glyphs.
FT_Face FaceFor(const std::vector<FT_Face>& faces, char32_t ch) {
    for (FT_Face f : faces) {
        if (!FT_Get_Char_Index(f, ch)) continue;
        FT_Set_Transform(f, nullptr, nullptr);
        if (FT_Load_Char(f, ch, FT_LOAD_DEFAULT) == 0 && f->glyph->outline.n_points > 0) return f;
    }
    return nullptr;
}

}  // namespace

GlyphGrid GlyphGridAt(double scale) {
    GlyphGrid g;
    g.cellWidth = std::max(4, static_cast<int>(std::lround(kGlyphCellWidth * scale)));
    g.cellHeight = std::max(4, static_cast<int>(std::lround(kGlyphCellHeight * scale)));
    g.advance = std::clamp(static_cast<int>(std::lround(kGlyphAdvance * scale)), 1, g.cellWidth - 2);
    return g;
}

GlyphSheet RenderGlyphSheet(const GlyphStyle& style, double scale) {
    const GlyphGrid grid = GlyphGridAt(scale);
    const int cellW = grid.cellWidth, cellH = grid.cellHeight;
    FreeType ft;
    std::vector<FT_Face> faces, letterFaces;
    for (const std::string& path : style.letterFaces) letterFaces.push_back(ft.Open(path));
    for (const std::string& path : style.faces) faces.push_back(ft.Open(path));
    letterFaces.insert(letterFaces.end(), faces.begin(), faces.end());
    auto isLetter = [](char32_t c) { return (c >= U'A' && c <= U'Z') || (c >= U'a' && c <= U'z'); };

    // Ink may use columns 1..17 so that neighbours at the 17-pixel advance never touch, and
    // rows 1..25; a shadow takes one more of each (at the design's size).
    const int shadow = style.shadow ? std::max(1, static_cast<int>(std::lround(scale))) : 0;
    const int maxWidth = grid.advance - shadow;
    const int maxHeight = cellH - 2 - shadow;

    // Size: the sizing set must fit between the highest top and the lowest bottom.
    constexpr int kProbe = 200;
    for (FT_Face f : letterFaces) FT_Set_Pixel_Sizes(f, 0, kProbe);
    int probeTop = 0, probeBottom = 0;
    for (char c : style.sizingSet) {
        const char32_t ch = static_cast<unsigned char>(c);
        FT_Face f = FaceFor(isLetter(ch) ? letterFaces : faces, ch);
        if (!f) continue;
        const Glyph g = RenderGlyph(f, ch, 1, 1);
        probeTop = std::max(probeTop, g.top);
        probeBottom = std::max(probeBottom, g.rows - g.top);
    }
    const int pixelSize = std::max(6, kProbe * maxHeight / std::max(1, probeTop + probeBottom));
    for (FT_Face f : letterFaces) FT_Set_Pixel_Sizes(f, 0, pixelSize);
    const int baseline = 1 + static_cast<int>(std::lround(double(probeTop) * pixelSize / kProbe));

    // A glyph too tall for its room shrinks by the side it overflows. The sheets at the design's
    // size keep the rule the pack was first made with, which weighs both sides: in the clock's
    // font, with no room below the baseline, that leaves the degree sign blank; at other sizes,
    // where hinting may lift the digits a pixel above the room, it would blank the digits.
    const bool onlyTooTallSide = scale != 1.0;

    const int cells = kLastGlyph - kFirstGlyph + 1;
    const int rowsOfCells = (cells + kGlyphColumns - 1) / kGlyphColumns;
    Image sheet(kGlyphColumns * cellW, rowsOfCells * cellH, kMagenta);

    for (int code = kFirstGlyph; code <= kLastGlyph; ++code) {
        const char32_t ch = FromCp1252(code);
        FT_Face f = ch ? FaceFor(isLetter(ch) ? letterFaces : faces, ch) : nullptr;
        if (!f || ch == U' ' || ch == 0xA0) continue;
        Glyph g = RenderGlyph(f, ch, 1, 1);
        if (g.width == 0) continue;
        // Ink may use rows 1..maxHeight and columns 1..maxWidth: a glyph that is too wide is
        // squeezed, one that reaches too far above or below the baseline is shrunk evenly.
        const int roomAbove = baseline - 1, roomBelow = maxHeight + 1 - baseline;
        auto fits = [&](const Glyph& gl) {
            return gl.width <= maxWidth && gl.top <= roomAbove && gl.rows - gl.top <= roomBelow;
        };
        double sx = 1, sy = 1;
        for (int tries = 0; !fits(g) && tries < 30; ++tries) {
            if (g.top > roomAbove || g.rows - g.top > roomBelow) {
                const bool tooHigh = g.top > roomAbove || !onlyTooTallSide;
                const bool tooLow = g.rows - g.top > roomBelow || !onlyTooTallSide;
                const double above = tooHigh ? double(roomAbove) / std::max(1, g.top) : 1.0;
                const double below = tooLow ? double(roomBelow) / std::max(1, g.rows - g.top) : 1.0;
                const double v = std::min(above, below);
                sx *= std::min(0.97, v);
                sy *= std::min(0.97, v);
            } else {
                sx *= std::min(0.97, double(maxWidth) / g.width);
            }
            g = RenderGlyph(f, ch, sx, sy);
        }
        if (!fits(g)) continue;  // better a blank cell than ink in the neighbours'
        const int k = code - kFirstGlyph;
        const int cellX = (k % kGlyphColumns) * cellW;
        const int cellY = (k / kGlyphColumns) * cellH;
        const int originX = 1 + (maxWidth - g.width) / 2;
        const int originY = baseline - g.top;
        std::vector<float> ink(static_cast<std::size_t>(cellW) * cellH, 0.0f), dark(ink.size(), 0.0f);
        for (int y = 0; y < g.rows; ++y)
            for (int x = 0; x < g.width; ++x) {
                const int cx = originX + x, cy = originY + y;
                if (cx < 0 || cy < 0 || cx >= cellW - 1 || cy >= cellH - 1) continue;
                const float c = g.cover[y * g.width + x];
                ink[cy * cellW + cx] = c;
                if (shadow && cx + shadow < cellW && cy + shadow < cellH)
                    dark[(cy + shadow) * cellW + cx + shadow] = c;
            }
        for (int y = 0; y < cellH; ++y)
            for (int x = 0; x < cellW; ++x) {
                const float a = ink[y * cellW + x], d = dark[y * cellW + x];
                if (std::max(a, d) < style.keepCoverage) continue;
                auto mix = [](float fg, float bg, float t) { return bg + (fg - bg) * t; };
                float r = style.backdrop.r, gg = style.backdrop.g, b = style.backdrop.b;
                r = mix(style.shadowInk.r, r, d);
                gg = mix(style.shadowInk.g, gg, d);
                b = mix(style.shadowInk.b, b, d);
                r = mix(style.ink.r, r, a);
                gg = mix(style.ink.g, gg, a);
                b = mix(style.ink.b, b, a);
                Rgb c{static_cast<std::uint8_t>(std::lround(r)), static_cast<std::uint8_t>(std::lround(gg)),
                      static_cast<std::uint8_t>(std::lround(b))};
                if (LooksLikeKey(c)) c.g = 8;
                sheet.Set(cellX + x, cellY + y, c);
            }
    }
    return {std::move(sheet), baseline, grid};
}

void DrawSheetText(Image& target, const GlyphSheet& sheet, int x, int y, const std::string& text) {
    const GlyphGrid& g = sheet.grid;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int k = static_cast<unsigned char>(text[i]) - kFirstGlyph;
        if (k < 0) continue;
        const int sx = (k % kGlyphColumns) * g.cellWidth, sy = (k / kGlyphColumns) * g.cellHeight;
        if (sy + g.cellHeight > sheet.image.Height()) continue;
        const Image cell = sheet.image.Crop(sx, sy, g.cellWidth, g.cellHeight);
        target.Paste(cell, x + static_cast<int>(i) * g.advance, y, &kMagenta);
    }
}

}  // namespace pellow::art
