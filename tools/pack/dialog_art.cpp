#include "dialog_art.hpp"

#include <cairo.h>

#include <cmath>
#include <stdexcept>

#include "art/table_art.hpp"

namespace pellow::pack {

namespace {

void ShowCentred(cairo_t* cr, const char* text, double cx, double baseline, double r, double g, double b) {
    cairo_text_extents_t te;
    cairo_text_extents(cr, text, &te);
    const double x = cx - te.width / 2 - te.x_bearing;
    cairo_set_source_rgba(cr, 0, 0, 0, 0.5);
    cairo_move_to(cr, x + 2, baseline + 2);
    cairo_show_text(cr, text);
    cairo_set_source_rgb(cr, r, g, b);
    cairo_move_to(cr, x, baseline);
    cairo_show_text(cr, text);
}

}  // namespace

Image RenderBanner(const DeckArt& deck, const std::string& titleFont) {
    constexpr int kWidth = 435, kHeight = 254;
    const CairoFont font(titleFont);
    CardPainter painter(deck.svgPath);
    const Image felt = RenderFelt(kWidth, kHeight);
    cairo_surface_t* s = NewSurface(kWidth, kHeight);
    cairo_t* cr = cairo_create(s);

    // A fan of the cards that carry the points, held from below the right of the banner.
    const int fan[] = {32 + 3, 16 + 1, 32 + 0, 16 + 2, 32 + 2};  // 9S 5D 9C 5H 9H
    constexpr double kCardW = 92, kCardH = kCardW * 151 / 108;
    for (int i = 0; i < 5; ++i) {
        const double angle = (i - 2) * 0.17;
        cairo_save(cr);
        cairo_translate(cr, 338, 305);
        cairo_rotate(cr, angle);
        cairo_translate(cr, -kCardW / 2, -250);
        // each card casts a soft shadow on the one beneath
        for (int k = 3; k >= 1; --k) {
            cairo_set_source_rgba(cr, 0, 0, 0, 0.07);
            RoundedRectPath(cr, -k + 3, -k + 4, kCardW + 2 * k, kCardH + 2 * k, 5 + k);
            cairo_fill(cr);
        }
        painter.Draw(cr, fan[i], kCardW, kCardH);
        cairo_restore(cr);
    }

    cairo_set_font_face(cr, font.Face());
    cairo_set_font_size(cr, 92);
    ShowCentred(cr, "Pellow", 112, 128, 0.96, 0.84, 0.5);
    cairo_set_font_size(cr, 21);
    ShowCentred(cr, "nines and fives take the deal", 112, 166, 0.93, 0.93, 0.86);
    cairo_set_font_size(cr, 17);
    ShowCentred(cr, "a trick-taking game for four", 112, 192, 0.8, 0.86, 0.78);
    cairo_destroy(cr);

    const RgbaImage drawn = FromSurface(s);
    cairo_surface_destroy(s);
    Image out = felt;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const RgbaPixel& p = drawn.At(x, y);
            const Rgb bg = felt.At(x, y);
            auto mix = [&](float fg, std::uint8_t b) {
                return static_cast<std::uint8_t>(std::lround(b + (fg - b) * p.a));
            };
            out.Set(x, y, {mix(p.r, bg.r), mix(p.g, bg.g), mix(p.b, bg.b)});
        }
    return out;
}

Image HalveImage(const Image& img) {
    Image out(img.Width() / 2, img.Height() / 2);
    for (int y = 0; y < out.Height(); ++y)
        for (int x = 0; x < out.Width(); ++x) {
            const Rgb a = img.At(2 * x, 2 * y), b = img.At(2 * x + 1, 2 * y);
            const Rgb c = img.At(2 * x, 2 * y + 1), d = img.At(2 * x + 1, 2 * y + 1);
            auto mean = [](int p, int q, int r, int s) { return static_cast<std::uint8_t>((p + q + r + s + 2) / 4); };
            out.Set(x, y, {mean(a.r, b.r, c.r, d.r), mean(a.g, b.g, c.g, d.g), mean(a.b, b.b, c.b, d.b)});
        }
    return out;
}

}  // namespace pellow::pack
