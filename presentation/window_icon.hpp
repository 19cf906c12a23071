#pragma once
// The game window's icon: the desktop icon (pellow.png) at half its size, compiled in so that
// opening the window reads no file. A pixel is 0xRRGGBB, rows top to bottom, no padding.
#include <cstdint>

namespace pellow::modDX {

struct WindowIcon {
    int width;
    int height;
    const std::uint32_t* pixels;
};

extern const WindowIcon kWindowIcon;

}  // namespace pellow::modDX
