#include "art/table_art.hpp"

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <vector>

#include "art/prng.hpp"
#include "art/texture.hpp"

namespace pellow::art {

namespace {

double SmoothStep(double e0, double e1, double x) {
    const double t = std::clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3 - 2 * t);
}

std::uint8_t ToByte(double v) { return static_cast<std::uint8_t>(std::clamp(std::lround(v), 0L, 255L)); }

// Three passes of a box blur approximate a gaussian.
void BlurAlpha(std::vector<float>& a, int w, int h, int radius) {
    std::vector<float> tmp(a.size());
    for (int pass = 0; pass < 3; ++pass) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float s = 0;
                for (int k = -radius; k <= radius; ++k) s += a[y * w + std::clamp(x + k, 0, w - 1)];
                tmp[y * w + x] = s / (2 * radius + 1);
            }
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                float s = 0;
                for (int k = -radius; k <= radius; ++k) s += tmp[std::clamp(y + k, 0, h - 1) * w + x];
                a[y * w + x] = s / (2 * radius + 1);
            }
    }
}

// A ruled ink line from (x0, y0) to (x1, y1): straight, its ink a little uneven along the way.
void PenStroke(cairo_t* cr, double x0, double y0, double x1, double y1, double width) {
    cairo_pattern_t* ink = cairo_pattern_create_linear(x0, y0, x1, y1);
    const double density[] = {0.85, 0.95, 0.9, 1.0, 0.88, 0.97, 0.86};
    for (int i = 0; i < 7; ++i)
        cairo_pattern_add_color_stop_rgba(ink, i / 6.0, kPenInk.r / 255.0, kPenInk.g / 255.0, kPenInk.b / 255.0,
                                          density[i]);
    cairo_set_source(cr, ink);
    cairo_set_line_cap(cr, CAIRO_LINE_CAP_ROUND);
    cairo_set_line_width(cr, width);
    cairo_move_to(cr, x0, y0);
    cairo_line_to(cr, x1, y1);
    cairo_stroke(cr);
    cairo_pattern_destroy(ink);
}

int Scaled(double units, double scale) { return std::max(1, static_cast<int>(std::lround(units * scale))); }

// A line picture keyed around its ink; its soft edges are blended with the paper it lies on.
Image PenLine(int width, int height, bool horizontal, double scale) {
    const int pw = Scaled(width, scale), ph = Scaled(height, scale);
    cairo_surface_t* s = NewSurface(pw, ph);
    cairo_t* cr = cairo_create(s);
    if (scale != 1.0) cairo_scale(cr, scale, scale);
    const double w = pw / scale, h = ph / scale;  // the picture in units
    if (horizontal) PenStroke(cr, 2, h / 2.0, w - 2, h / 2.0, 1.8);
    else PenStroke(cr, w / 2.0, 2, w / 2.0, h - 2, 1.8);
    cairo_destroy(cr);
    RgbaImage img = FromSurface(s);
    cairo_surface_destroy(s);
    return KeyShape(img, kPaper, kPaper, 0.08f);
}

constexpr int kPageWidth = 320;
constexpr int kPageHeight = 530;
constexpr int kShadowRight = 12, kShadowBottom = 14;
constexpr int kBandHeight = 40;

}  // namespace

Image RenderFelt(int width, int height, double scale) {
    const double s = scale > 0 ? scale : width / 1024.0;
    // The weave is a pixel's size at the design's sizes and grows with a larger table.
    const double weaveSize = 1.4 * std::max(1.0, s);
    const std::size_t n = static_cast<std::size_t>(width) * height;
    // The nap: short fibres lying every way, a little lighter or darker than the cloth.
    std::vector<float> nap(n, 0.0f);
    Prng rng(0x7E17u + static_cast<std::uint64_t>(width));
    const int fibres = static_cast<int>(n / 18);
    for (int i = 0; i < fibres; ++i) {
        const double x = rng.Range(0, width), y = rng.Range(0, height);
        const double angle = rng.Range(0, M_PI), len = rng.Range(2.0, 7.0) * std::max(s, 0.8);
        const float delta = static_cast<float>(rng.Range(-0.06, 0.06));
        const double dx = std::cos(angle), dy = std::sin(angle);
        for (double t = 0; t <= len; t += 0.7) {
            const int px = static_cast<int>(x + dx * t), py = static_cast<int>(y + dy * t);
            if (px < 0 || py < 0 || px >= width || py >= height) continue;
            nap[static_cast<std::size_t>(py) * width + px] += delta * static_cast<float>(1.0 - 0.5 * t / len);
        }
    }
    Image img(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            // Light from above the middle of the table, falling off to the edges.
            const double nx = (x - 0.5 * width) / (0.5 * width), ny = (y - 0.45 * height) / (0.5 * height);
            const double r2 = nx * nx * 0.85 + ny * ny;
            const double light = 1.12 - 0.42 * SmoothStep(0.0, 1.9, r2);
            const double mottle = 0.965 + 0.07 * ValueNoise(11, x / (110.0 * s), y / (110.0 * s), 4);
            const double weave = 0.05 * (ValueNoise(23, x / weaveSize, y / weaveSize, 1) - 0.5);
            const double grain = 1.0 + weave + 0.028 * rng.Gauss() + nap[static_cast<std::size_t>(y) * width + x];
            const double f = light * mottle * grain;
            // Brighter cloth turns a little yellower, darker a little bluer, as dyed wool does.
            const double warm = std::clamp((light - 0.9) * 0.6, -0.1, 0.1);
            img.Set(x, y, {ToByte(31 * f * (1 + warm)), ToByte(100 * f), ToByte(57 * f * (1 - warm))});
        }
    return img;
}

Image RenderScorePage(const Image& background, int shift, int baseline, const std::string& titleFont) {
    const ScorePageLayout L = ScorePageFor(ScreenSize::Small800x600);
    return RenderScorePageAt(background, L.pageX + shift, L.pageY + shift, baseline, titleFont, 1.0);
}

Image RenderScorePageAt(const Image& background, int ox, int oy, int baseline, const std::string& titleFont,
                        double scale) {
    const ScorePageLayout L = ScorePageFor(ScreenSize::Small800x600);
    const int w = Scaled(kPageWidth + kShadowRight, scale), h = Scaled(kPageHeight + kShadowBottom, scale);
    if (ox < 0 || oy < 0 || ox + w > background.Width() || oy + h > background.Height())
        throw std::runtime_error("score page does not fit on the screen");

    const CairoFont font(titleFont);
    // The page's shadow: a soft dark patch below and right of the paper.
    std::vector<float> shade(static_cast<std::size_t>(w) * h, 0.0f);
    for (int y = Scaled(7, scale); y < std::min(h, Scaled(kPageHeight + 5, scale)); ++y)
        for (int x = Scaled(5, scale); x < std::min(w, Scaled(kPageWidth + 3, scale)); ++x) shade[y * w + x] = 0.55f;
    BlurAlpha(shade, w, h, Scaled(3, scale));

    cairo_surface_t* surf = NewSurface(w, h);
    cairo_t* cr = cairo_create(surf);
    // Drawn in the design's units; the game writes the rows at the same scale.
    if (scale != 1.0) cairo_scale(cr, scale, scale);
    // Paper, lit a little from the top left.
    RoundedRectPath(cr, 0.5, 0.5, kPageWidth - 1, kPageHeight - 1, 5);
    cairo_pattern_t* paper = cairo_pattern_create_linear(0, 0, kPageWidth, kPageHeight);
    cairo_pattern_add_color_stop_rgb(paper, 0, 1.0, 0.992, 0.95);
    cairo_pattern_add_color_stop_rgb(paper, 1, kPaper.r / 255.0 * 0.985, kPaper.g / 255.0 * 0.98,
                                     kPaper.b / 255.0 * 0.97);
    cairo_set_source(cr, paper);
    cairo_fill_preserve(cr);
    cairo_pattern_destroy(paper);
    cairo_set_source_rgba(cr, 0.55, 0.5, 0.42, 0.6);
    cairo_set_line_width(cr, 1);
    cairo_stroke(cr);

    // Blue rulings under every row the game writes on, a red margin on the left.
    const double ruleLeft = 40, ruleRight = kPageWidth - 10;
    auto rule = [&](int textTopOnScreen) {
        const double y = (textTopOnScreen - L.pageY) + baseline / scale + 2.5;
        cairo_move_to(cr, ruleLeft, y);
        cairo_line_to(cr, ruleRight, y);
    };
    cairo_set_source_rgba(cr, 0.45, 0.6, 0.82, 0.55);
    cairo_set_line_width(cr, 1);
    for (int k = 1; k <= kScoreRowsShown; ++k) rule(L.rowY + k * L.rowStep);
    rule(L.totalY);
    rule(L.resultY);
    cairo_stroke(cr);
    const double margin = L.ResultTextX() - L.pageX - 9.5;
    cairo_set_source_rgba(cr, 0.85, 0.3, 0.3, 0.7);
    for (double mx : {margin - 3, margin}) {
        cairo_move_to(cr, mx, kBandHeight + 1);
        cairo_line_to(cr, mx, kPageHeight - 1);
    }
    cairo_stroke(cr);

    // The glued band at the top with the pad's printed title.
    cairo_save(cr);
    RoundedRectPath(cr, 0.5, 0.5, kPageWidth - 1, kPageHeight - 1, 5);
    cairo_clip(cr);
    cairo_pattern_t* band = cairo_pattern_create_linear(0, 0, 0, kBandHeight);
    cairo_pattern_add_color_stop_rgb(band, 0, 0.55, 0.12, 0.15);
    cairo_pattern_add_color_stop_rgb(band, 1, 0.38, 0.06, 0.09);
    cairo_set_source(cr, band);
    cairo_rectangle(cr, 0, 0, kPageWidth, kBandHeight);
    cairo_fill(cr);
    cairo_pattern_destroy(band);
    cairo_restore(cr);
    cairo_set_source_rgba(cr, 0, 0, 0, 0.18);
    cairo_rectangle(cr, 1, kBandHeight, kPageWidth - 2, 2);
    cairo_fill(cr);
    cairo_set_source_rgb(cr, 0.83, 0.69, 0.36);
    cairo_rectangle(cr, 6, kBandHeight - 5, kPageWidth - 12, 1);
    cairo_fill(cr);

    cairo_set_font_face(cr, font.Face());
    cairo_set_font_size(cr, 25);
    const char* title = "P E L L O W";
    cairo_text_extents_t te;
    cairo_text_extents(cr, title, &te);
    const double tx = (kPageWidth - te.width) / 2 - te.x_bearing, ty = 27;
    cairo_set_source_rgba(cr, 0, 0, 0, 0.45);
    cairo_move_to(cr, tx + 1, ty + 1);
    cairo_show_text(cr, title);
    cairo_set_source_rgb(cr, 0.93, 0.8, 0.47);
    cairo_move_to(cr, tx, ty);
    cairo_show_text(cr, title);
    cairo_destroy(cr);

    RgbaImage page = FromSurface(surf);
    cairo_surface_destroy(surf);

    // Paper grain, then the page over its shadow over the very felt it lies on.
    const double grainSize = 1.7 * scale;
    Image out(w, h, kMagenta);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            RgbaPixel p = page.At(x, y);
            const float sh = shade[y * w + x];
            if (p.a < 0.02f && sh < 0.03f) continue;
            const Rgb felt = background.At(ox + x, oy + y);
            const float grain =
                static_cast<float>(0.985 + 0.03 * ValueNoise(5, x / grainSize, y / grainSize, 2));
            const float under[3] = {felt.r * (1 - sh), felt.g * (1 - sh), felt.b * (1 - sh)};
            const float fg[3] = {p.r * grain, p.g * grain, p.b * grain};
            Rgb c;
            c.r = ToByte(under[0] + (fg[0] - under[0]) * p.a);
            c.g = ToByte(under[1] + (fg[1] - under[1]) * p.a);
            c.b = ToByte(under[2] + (fg[2] - under[2]) * p.a);
            if (LooksLikeKey(c)) c.g = 8;
            out.Set(x, y, c);
        }
    return out;
}

Image RenderHorizontalLine(double scale) {
    // From the left of the columns to past the end of the 13-character heading.
    return PenLine(222, 5, true, scale);
}

Image RenderVerticalLine(double scale) {
    const ScorePageLayout L = ScorePageFor(ScreenSize::Small800x600);
    // From above the heading down to just below the totals, clear of the result text.
    return PenLine(5, L.totalY + 28 - L.VertLineY(), false, scale);
}

Image RenderPointer(double scale) {
    const int size = Scaled(32, scale);
    cairo_surface_t* s = NewSurface(size, size);
    cairo_t* cr = cairo_create(s);
    // An arrow whose point is the hot spot: the game centres the picture on the mouse.
    cairo_translate(cr, size / 2.0 + 0.5, size / 2.0 + 0.5);
    if (scale != 1.0) cairo_scale(cr, scale, scale);
    const double pts[][2] = {{0, 0}, {0, 14.5}, {3.4, 11.2}, {5.9, 16.4}, {8.4, 15.2}, {6.0, 10.2}, {10.6, 10.2}};
    cairo_move_to(cr, pts[0][0], pts[0][1]);
    for (const auto& p : pts) cairo_line_to(cr, p[0], p[1]);
    cairo_close_path(cr);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_fill_preserve(cr);
    cairo_set_source_rgb(cr, 0, 0, 0);
    cairo_set_line_width(cr, 1.2);
    cairo_set_line_join(cr, CAIRO_LINE_JOIN_MITER);
    cairo_stroke(cr);
    cairo_destroy(cr);
    RgbaImage img = FromSurface(s);
    cairo_surface_destroy(s);
    return KeyShape(img, {24, 40, 28}, {255, 255, 255});
}

}  // namespace pellow::art
