// Fuzz target for the bitmap font's glyph placement with hostile cell pictures: a font picture
// of any size (none, smaller than a cell, not a whole number of cells) drawn with cells, columns
// and positions of any kind onto a small back buffer. A finding is any drawn pixel that is not
// where the font's cells say it goes, or any pixel of a glyph that should be there and is not.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <SDL.h>

#include "fuzz/fuzz_support.hpp"
#include "presentation/bitmap_font.hpp"

namespace {

using pellow::fuzz::Finding;
namespace dx = pellow::modDX;

constexpr int kScreenW = 64;
constexpr int kScreenH = 48;

// Never the colour key (0) except where a transparent pixel is wanted, and different at every
// place of a picture up to 256 pixels wide, so a pixel from the wrong cell shows.
std::uint16_t PatternAt(int x, int y) {
    if ((x * 3 + y) % 7 == 0) return 0;
    return static_cast<std::uint16_t>(1 + ((y * 256 + x) % 65535));
}

struct Input {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t at = 0;
    int Byte() { return at < size ? data[at++] : 0; }
    int Signed8() { return static_cast<std::int8_t>(Byte()); }
    int Signed16() { return static_cast<std::int16_t>(Byte() | (Byte() << 8)); }
};

dx::Display& TheDisplay() {
    static dx::Display display;
    if (!display.backBuffer().exists()) {
        display.DirectX(kScreenW, kScreenH, dx::DisplayKind::Memory);
        display.SetClipRect();
    }
    return display;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const pellow::fuzz::Scratch scratch;
    const std::string picture = (scratch.root / "font.bmp").string();
    dx::Display& display = TheDisplay();
    Input in{data, size};
    const int picW = in.Byte();
    const int picH = in.Byte();
    pellow::clsDXBitmapFont font;
    const int cellW = in.Signed8();
    const int cellH = in.Signed8();
    const int columns = in.Signed8();
    font.XPos = static_cast<float>(in.Signed16() % 512);
    font.YPos = static_cast<float>(in.Signed16() % 512);
    const bool keyed = (in.Byte() & 1) != 0;
    const std::string_view text(reinterpret_cast<const char*>(data + in.at), size - std::min(size, in.at));
    if (text.size() > 64) return 0;

    // The picture goes through the file and the loader as the game's does; then its pixels are
    // replaced by the pattern.
    SDL_Surface* file = SDL_CreateRGBSurfaceWithFormat(0, picW, picH, 24, SDL_PIXELFORMAT_BGR24);
    if (!file) Finding("no picture");
    const int saved = SDL_SaveBMP(file, picture.c_str());
    SDL_FreeSurface(file);
    if (saved != 0) Finding("the picture could not be written");
    try {
        font.CreateSpriteFromFile(picture, cellW, cellH, columns);
    } catch (const dx::LoadError&) {
        return 0;  // the game reports a font picture it cannot load, and ends
    }
    if (!font.dds.exists()) Finding("a font picture was neither loaded nor refused");
    SDL_Surface* pic = font.dds.raw();
    if (pic->w != picW || pic->h != picH) Finding("the picture changed size on loading");
    for (int y = 0; y < picH; ++y)
        for (int x = 0; x < picW; ++x)
            static_cast<std::uint16_t*>(pic->pixels)[y * pic->pitch / 2 + x] = PatternAt(x, y);
    font.SetTransColor(1);

    dx::FillRect(display.backBuffer(), {0, 0, kScreenW, kScreenH}, 0xffff);
    font.DrawText(display, display.backBuffer(), text, keyed);

    // Where every glyph must land: cell k of the picture for character k + 32, advancing by the
    // cell width less two, left out whole when the cell is not inside the picture, cut at the
    // screen's edges. Later glyphs cover earlier ones.
    std::vector<std::uint16_t> want(kScreenW * kScreenH, 0xffff);
    const int w = font.width, h = font.height;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int glyph = static_cast<unsigned char>(text[i]) - 32;
        if (glyph < 0 || columns <= 0 || w <= 0 || h <= 0) continue;
        const int left = w * (glyph % columns), top = h * (glyph / columns);
        if (left + w > picW || top + h > picH) continue;
        const long px = static_cast<long>(font.XPos) + static_cast<long>(w - 2) * static_cast<long>(i);
        const long py = static_cast<long>(font.YPos);
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const long sx = px + x, sy = py + y;
                if (sx < 0 || sy < 0 || sx >= kScreenW || sy >= kScreenH) continue;
                const std::uint16_t c = PatternAt(left + x, top + y);
                if (keyed && c == 0) continue;
                want[static_cast<std::size_t>(sy * kScreenW + sx)] = c;
            }
        }
    }
    const SDL_Surface* screen = display.backBuffer().raw();
    for (int y = 0; y < kScreenH; ++y)
        for (int x = 0; x < kScreenW; ++x)
            if (static_cast<const std::uint16_t*>(screen->pixels)[y * screen->pitch / 2 + x] !=
                want[static_cast<std::size_t>(y * kScreenW + x)])
                Finding("pixel " + std::to_string(x) + "," + std::to_string(y) + " is not the glyphs'");
    return 0;
}
