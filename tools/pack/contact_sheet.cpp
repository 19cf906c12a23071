#include "contact_sheet.hpp"

#include <algorithm>
#include <string>

#include "art/table_art.hpp"

namespace pellow::pack {

namespace {

constexpr int kGap = 8;

// Five right-aligned columns, as the score page pads its numbers.
std::string Pad(int n) {
    std::string s = std::to_string(n);
    return std::string(5 - s.size(), ' ') + s;
}

}  // namespace

Image MakeContactSheet(const Artwork& art) {
    // Each deck as four rows of thirteen with the back at the end of the first row.
    int width = 0, height = kGap;
    for (const Deck& d : art.decks) {
        width = std::max(width, kGap + 14 * (d.back.Width() + kGap));
        height += 4 * (d.back.Height() + kGap) + kGap;
    }
    const int fontsY = height;
    height += art.digitFont.image.Height() + kGap;
    const int samplesY = height;
    height += 4 * 34 + kGap;
    width = std::max(width, kGap + 3 * (art.digitFont.image.Width() + kGap));

    Image sheet(width, height, {60, 60, 64});
    const Image felt = art.largeBackground;
    // Keyed pictures go over the felt, the way the game shows them.
    auto place = [&](const Image& img, int x, int y) {
        for (int yy = 0; yy < img.Height(); ++yy)
            for (int xx = 0; xx < img.Width(); ++xx) {
                const Rgb c = img.At(xx, yy);
                sheet.Set(x + xx, y + yy,
                          c == kMagenta ? felt.At((x + xx) % felt.Width(), (y + yy) % felt.Height()) : c);
            }
    };
    int y = kGap;
    for (const Deck& d : art.decks) {
        const int cw = d.back.Width() + kGap, ch = d.back.Height() + kGap;
        // one suit to a row, ace to king
        for (int code = 0; code < 52; ++code) place(d.faces[code], kGap + (code / 4) * cw, y + (code % 4) * ch);
        place(d.back, kGap + 13 * cw, y);
        y += 4 * ch + kGap;
    }
    int x = kGap;
    for (const GlyphSheet* f : {&art.digitFont, &art.deluxeFont}) {
        place(f->image, x, fontsY);
        x += f->image.Width() + kGap;
    }
    // The handwriting goes on paper, like on the score page.
    Image paper(art.handFont.image.Width(), art.handFont.image.Height(), kPaper);
    paper.Paste(art.handFont.image, 0, 0, &kMagenta);
    sheet.Paste(paper, x, fontsY);

    // Sample lines at the game's 17-pixel advance, and the pointer and pen lines.
    Image strip(width - 2 * kGap, 4 * 34, {0, 0, 0});
    for (int yy = 0; yy < strip.Height(); ++yy)
        for (int xx = 0; xx < strip.Width(); ++xx)
            strip.Set(xx, yy, felt.At(xx % felt.Width(), (yy + 600) % felt.Height()));
    DrawSheetText(strip, art.digitFont, 4, 4, "12:45 PM  09:07 AM  0123456789");
    DrawSheetText(strip, art.deluxeFont, 4, 38, "Pellow 1.0.0  Deal: We lead  Trumps are Hearts!");
    Image pad(800, 64, kPaper);
    DrawSheetText(pad, art.handFont, 4, 2, "   We   They    45   35 We Won!");
    DrawSheetText(pad, art.handFont, 4, 33, "We lost!  0123456789 Qq Ww Mm");
    pad.Paste(art.horizontalLine, 560, 30, &kMagenta);
    pad.Paste(art.verticalLine.Crop(0, 0, 5, 60), 790, 2, &kMagenta);
    strip.Paste(pad, 4, 72);
    strip.Paste(art.pointer, 830, 80, &kMagenta);
    sheet.Paste(strip, kGap, samplesY);
    return sheet;
}

Image MakeTablePreview(const Artwork& art, bool large) {
    const int shift = large ? kLargeScreenShift : 0;  // where the cards beside the page go
    Image screen = large ? art.largeBackground : art.smallBackground;
    const ScorePageLayout L = ScorePageFor(large ? ScreenSize::Large1024x768 : ScreenSize::Small800x600);
    const Image& page = large ? art.largeScorePage : art.smallScorePage;
    screen.Paste(page, L.pageX, L.pageY, &kMagenta);
    screen.Paste(art.horizontalLine, L.HeadLineX(), L.HeadLineY(), &kMagenta);
    screen.Paste(art.verticalLine, L.VertLineX(), L.VertLineY(), &kMagenta);
    screen.Paste(art.horizontalLine, L.TotalsLineX(), L.TotalsLineY(), &kMagenta);
    const int deals[][2] = {{45, 35}, {40, 40}, {80, 0},  {15, 65}, {30, 50},
                            {52, 28}, {0, 80},  {35, 45}, {41, 39}, {44, 36}};
    const GlyphSheet& hand = art.handFont;
    DrawSheetText(screen, hand, L.RowTextX(), L.rowY, "   We   They ");
    int we = 0, they = 0;
    for (int k = 0; k < 10; ++k) {
        DrawSheetText(screen, hand, L.RowTextX(), L.rowY + (k + 1) * L.rowStep, Pad(deals[k][0]) + Pad(deals[k][1]));
        we += deals[k][0];
        they += deals[k][1];
    }
    DrawSheetText(screen, hand, L.TotalTextX(), L.totalY, Pad(we) + Pad(they));
    DrawSheetText(screen, hand, L.ResultTextX(), L.resultY, "We lost!");
    DrawSheetText(screen, art.digitFont, L.ClockX(8), L.clockY, "09:41 PM");
    DrawSheetText(screen, art.deluxeFont, 5, L.clockY, "Pellow  1.0.0");
    screen.Paste(art.pointer, 520 + shift - 16, 300 + shift - 16, &kMagenta);
    // A few cards on the table beside the page.
    const Deck& deck = art.decks[large ? 2 : 0];
    const int cw = deck.back.Width();
    for (int i = 0; i < 4; ++i) screen.Paste(deck.faces[8 * 4 + i], 500 + shift + i * (cw / 3), 330 + shift, &kMagenta);
    screen.Paste(deck.back, 500 + shift + 2 * cw, 120 + shift, &kMagenta);
    return screen;
}

}  // namespace pellow::pack
