#pragma once
// Test helpers: pictures loaded the way the game loads them (SDL_LoadBMP), as plain RGB pixels.
#include <SDL.h>

#include <cstdint>
#include <string>
#include <vector>

namespace pellow::pack_test {

struct Pixel {
    int r = 0, g = 0, b = 0;
};

struct Picture {
    int width = 0, height = 0;
    std::vector<Pixel> px;
    const Pixel& At(int x, int y) const { return px[static_cast<std::size_t>(y) * width + x]; }
    bool Keyed(int x, int y) const {
        const Pixel& p = At(x, y);
        return p.r == 255 && p.g == 0 && p.b == 255;
    }
};

// A 16-bit display would turn these into the key colour as well.
inline bool LooksLikeKey(const Pixel& p) { return p.r >= 248 && p.b >= 248 && p.g < 8; }

// Empty picture (width 0) when SDL cannot read the bytes as a BMP.
inline Picture LoadBmp(const std::vector<std::uint8_t>& bytes) {
    Picture pic;
    SDL_Surface* s = SDL_LoadBMP_RW(SDL_RWFromConstMem(bytes.data(), static_cast<int>(bytes.size())), 1);
    if (!s) return pic;
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(s, SDL_PIXELFORMAT_RGB24, 0);
    SDL_FreeSurface(s);
    if (!rgb) return pic;
    pic.width = rgb->w;
    pic.height = rgb->h;
    for (int y = 0; y < rgb->h; ++y) {
        const auto* row = static_cast<const std::uint8_t*>(rgb->pixels) + y * rgb->pitch;
        for (int x = 0; x < rgb->w; ++x) pic.px.push_back({row[x * 3], row[x * 3 + 1], row[x * 3 + 2]});
    }
    SDL_FreeSurface(rgb);
    return pic;
}

// Pixels that the key colour reaches from the border: the picture's transparent surround.
inline std::vector<bool> OutsideOf(const Picture& pic) {
    std::vector<bool> out(pic.px.size(), false);
    std::vector<int> stack;
    auto push = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= pic.width || y >= pic.height) return;
        const int i = y * pic.width + x;
        if (out[i] || !pic.Keyed(x, y)) return;
        out[i] = true;
        stack.push_back(i);
    };
    for (int x = 0; x < pic.width; ++x) {
        push(x, 0);
        push(x, pic.height - 1);
    }
    for (int y = 0; y < pic.height; ++y) {
        push(0, y);
        push(pic.width - 1, y);
    }
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        const int x = i % pic.width, y = i / pic.width;
        push(x + 1, y);
        push(x - 1, y);
        push(x, y + 1);
        push(x, y - 1);
    }
    return out;
}

}  // namespace pellow::pack_test
