// Opens the real display, draws a table (background, cards, text, pointer) from pictures made
// here, and keeps presenting it for a few seconds. At the end it saves what it presented and
// prints where the pointer was, so a script under a virtual X server can check both. `native`
// draws for the screen's own size, frame by frame only where things changed, with a card that
// jumps clear of where it was for the first frames and then rests.
//
//   presentation_demo OUT.bmp SECONDS [window|native]
#include <SDL.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "presentation/bitmap_font.hpp"
#include "presentation/dx.hpp"
#include "presentation/dx_internal.hpp"
#include "presentation/input.hpp"

namespace {

using namespace pellow;
using namespace pellow::modDX;

constexpr int kScreenW = 800, kScreenH = 600;
const std::uint16_t kMagenta = Rgb565(255, 0, 255);

// 5 x 7 glyphs, row by row, '#' set.
const std::map<char, const char*> kGlyphs = {
    {'0', " ### #   ##  ### # ###  ##   # ### "}, {'1', "  #   ##    #    #    #    #   ### "},
    {'2', " ### #   #    #   #   #   #   #####"}, {'3', "#####   #   #     #     ##   # ### "},
    {'4', "   #   ##  # # #  # #####   #    # "}, {'5', "######    ####     #    ##   # ### "},
    {'6', "  ##  #   #    #### #   ##   # ### "}, {'7', "#####    #   #   #   #    #    #   "},
    {'8', " ### #   ##   # ### #   ##   # ### "}, {'9', " ### #   ##   # ####    #   #  ##  "},
    {':', "      ##   ##        ##   ##       "}, {'A', " ### #   ##   #######   ##   ##   #"},
    {'C', " ### #   ##    #    #    #   # ### "}, {'D', "#### #   ##   ##   ##   ##   ##### "},
    {'E', "######    #    #### #    #    #####"}, {'H', "#   ##   ##   #######   ##   ##   #"},
    {'K', "#   ##  # # #  ##   # #  #  # #   #"}, {'L', "#    #    #    #    #    #    #####"},
    {'M', "#   ### ### # ##   ##   ##   ##   #"}, {'O', " ### #   ##   ##   ##   ##   # ### "},
    {'P', "#### #   ##   ##### #    #    #    "}, {'Q', " ### #   ##   ##   ## # ##  #  ## #"},
    {'R', "#### #   ##   ##### # #  #  # #   #"}, {'S', " #####    #     ###     #    ##### "},
    {'T', "#####  #    #    #    #    #    #  "}, {'W', "#   ##   ##   ## # ## # ## # # # # "},
    {'Y', "#   ##   # # #   #    #    #    #  "},
};

// A font picture in the game's layout: 19 x 27 cells, 20 to a row, magenta where empty,
// written to a file and loaded the way the game loads its fonts.
void MakeFont(clsDXBitmapFont& font, const std::string& file) {
    Surface picture;
    CreateSurface(picture, 19 * 20, 27 * 5);
    FillRect(picture, Rect{0, 0, 19 * 20, 27 * 5}, kMagenta);
    for (const auto& [c, bits] : kGlyphs) {
        const int cell = c - 32;
        const int cx = 19 * (cell % 20) + 2, cy = 27 * (cell / 20) + 3;
        for (int pass = 0; pass < 2; ++pass) {  // a dark shadow first, then the glyph
            const int off = pass == 0 ? 1 : 0;
            const std::uint16_t colour = pass == 0 ? Rgb565(20, 20, 20) : Rgb565(255, 230, 120);
            for (int i = 0; bits[i] && i < 35; ++i) {
                if (bits[i] != '#') continue;
                const int x = cx + 3 * (i % 5) + off, y = cy + 3 * (i / 5) + off;
                FillRect(picture, Rect{x, y, x + 3, y + 3}, colour);
            }
        }
    }
    SDL_SaveBMP(picture.raw(), file.c_str());
    font.CreateSpriteFromFile(file, 19, 27, 20);
    font.SetTransColor(2);
}

void Diamond(Surface& s, int cx, int cy, int r, std::uint16_t colour) {
    for (int dy = -r; dy <= r; ++dy) {
        const int half = (r - std::abs(dy)) * 2 / 3;
        FillRect(s, Rect{cx - half, cy + dy, cx + half + 1, cy + dy + 1}, colour);
    }
}

void Blob(Surface& s, int cx, int cy, int r, std::uint16_t colour) {
    for (int dy = -r; dy <= r; ++dy)
        for (int dx = -r; dx <= r; ++dx)
            if (dx * dx + dy * dy <= r * r) FillRect(s, Rect{cx + dx, cy + dy, cx + dx + 1, cy + dy + 1}, colour);
}

// A 108 x 151 card with cut (transparent) corners and a border.
void CardBlank(Surface& card, std::uint16_t face) {
    CreateSurface(card, 108, 151);
    FillRect(card, Rect{0, 0, 108, 151}, kMagenta);
    FillRect(card, Rect{3, 0, 105, 151}, Rgb565(40, 40, 40));
    FillRect(card, Rect{0, 3, 108, 148}, Rgb565(40, 40, 40));
    FillRect(card, Rect{4, 1, 104, 150}, face);
    FillRect(card, Rect{1, 4, 107, 147}, face);
}

void MakeCardFace(const Display& display, Surface& card, clsDXBitmapFont& font, char rank, bool red) {
    const std::uint16_t ink = red ? Rgb565(200, 20, 20) : Rgb565(20, 20, 20);
    CardBlank(card, Rgb565(250, 250, 245));
    const int pips[][2] = {{34, 40}, {74, 40}, {54, 75}, {34, 110}, {74, 110}};
    for (const auto& p : pips) {
        if (red) Diamond(card, p[0], p[1], 13, ink);
        else Blob(card, p[0], p[1], 9, ink);
    }
    font.XPos = 4;
    font.YPos = 4;
    font.DrawText(display, card, std::string(1, rank), true);
    SetColorKey(card, 2);
}

void MakeCardBack(Surface& card) {
    CardBlank(card, Rgb565(30, 60, 160));
    for (int y = 8; y < 143; y += 8)
        for (int x = 8 + (y / 8 % 2) * 4; x < 100; x += 8)
            FillRect(card, Rect{x, y, x + 3, y + 3}, Rgb565(200, 210, 240));
    SetColorKey(card, 2);
}

void MakeBackground(Surface& bg, int w, int h) {
    CreateSurface(bg, w, h);
    for (int y = 0; y < h; ++y) {
        const int shade = 90 + 50 * y / h;
        FillRect(bg, Rect{0, y, w, y + 1}, Rgb565(10, shade, 40));
    }
}

// An arrow pointer whose tip is the hot spot (16, 16) of a 32 x 32 sprite.
void MakePointer(Surface& pointer) {
    CreateSurface(pointer, 32, 32);
    FillRect(pointer, Rect{0, 0, 32, 32}, kMagenta);
    for (int row = 0; row < 14; ++row) {
        const int w = row < 10 ? row + 1 : 4;
        FillRect(pointer, Rect{16, 16 + row, 16 + w + 1, 17 + row}, Rgb565(0, 0, 0));
        if (w > 1) FillRect(pointer, Rect{17, 16 + row, 16 + w, 17 + row}, Rgb565(255, 255, 255));
    }
    SetColorKey(pointer, 2);
}

}  // namespace

int main(int argc, char** argv) try {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s OUT.bmp SECONDS [window|native]\n", argv[0]);
        return 2;
    }
    const std::string out = argv[1];
    const double seconds = std::atof(argv[2]);
    const bool windowed = argc > 3 && std::string(argv[3]) == "window";
    const bool native = argc > 3 && std::string(argv[3]) == "native";

    Display display;
    Input input(display);
    display.DirectX(kScreenW, kScreenH, windowed ? DisplayKind::Window : DisplayKind::FullScreen, native);
    input.GiveMeInput();
    input.KeyBoard();
    input.Mouse();

    display.SetClipRect();
    clsDXBitmapFont font;
    MakeFont(font, out + ".font.bmp");
    Surface background, back, pointer, faces[4];
    MakeBackground(background, display.width(), display.height());
    MakeCardBack(back);
    MakePointer(pointer);
    MakeCardFace(display, faces[0], font, 'A', true);
    MakeCardFace(display, faces[1], font, 'K', false);
    MakeCardFace(display, faces[2], font, 'Q', true);
    MakeCardFace(display, faces[3], font, '9', false);
    input.ShowSystemCursor(false);

    SDL_RendererInfo info{};
    if (display.platform().x11) std::printf("shown through x11\n");
    else if (SDL_GetRendererInfo(display.platform().renderer, &info) == 0)
        std::printf("renderer %s%s\n", info.name, (info.flags & SDL_RENDERER_PRESENTVSYNC) ? " vsync" : "");
    else std::printf("shown through the window's picture\n");
    const Uint64 end = SDL_GetTicks64() + static_cast<Uint64>(seconds * 1000);
    Surface& backBuffer = display.backBuffer();
    int frames = 0;
    while (SDL_GetTicks64() < end && !display.CloseRequested()) {
        input.ReadKeyBoard();
        input.ReadMouse();
        if (input.KeyDown(keyEscape)) break;
        display.RecoverSurfaces();
        if (native) {
            display.LayFelt(background);
            display.BltSurface(back, backBuffer, Rect{}, 40 + 150 * std::min(frames, 5), 240, true);
        } else {
            display.BltSurface(background, backBuffer, Rect{}, 0, 0, false);
        }
        for (int i = 0; i < 4; ++i) display.BltSurface(faces[i], backBuffer, Rect{}, 200 + 110 * i, 380, true);
        display.BltSurface(back, backBuffer, Rect{}, 346, 120, true);
        display.BltSurface(back, backBuffer, Rect{}, 360, 126, true);
        display.BltSurface(faces[1], backBuffer, Rect{}, 740, 40, true);  // runs off the right: not drawn
        font.XPos = 5;
        font.YPos = 572;
        font.DrawText(display, backBuffer, "PELLOW", true);
        font.XPos = 700;
        font.DrawText(display, backBuffer, "12:34 PM", true);  // cut at the right edge
        input.DrawMouseCursor(pointer, 16, 16, 32, 32, true);
        display.FlipScreen();
        display.DoEvents();
        ++frames;
    }
    const bool saved = display.SaveScreenshot(out);
    std::printf("frames %d\nmouse %d %d\nsaved %s\n", frames, input.mouseX(), input.mouseY(), saved ? "yes" : "no");
    std::fflush(stdout);
    input.ShowSystemCursor(true);
} catch (const LoadError& e) {
    ShowMessageBox(e.what());
    return 1;
}
