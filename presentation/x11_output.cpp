// Showing a back buffer drawn for the window's size in an X11 window. The X server keeps the
// window's pixels itself, so the game keeps no second copy of the screen: each changed part is
// converted a band at a time into a small buffer and sent. (The window's own SDL picture would
// be a shared-memory copy of the whole screen, 33 MB at 3840 x 2160.)
#include <SDL_syswm.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <algorithm>
#include <vector>

#include "presentation/dx_internal.hpp"

namespace pellow::modDX::detail {

struct X11Output {
    ::Display* display = nullptr;
    ::Window window = 0;
    GC gc = nullptr;
    Visual* visual = nullptr;
    int depth = 0;
    Uint32 format = SDL_PIXELFORMAT_UNKNOWN;
    std::vector<Uint32> band;
};

namespace {

// 256 KB: a few rows of the widest screen, small enough to stay in the cache while it is sent.
constexpr std::size_t kBandPixels = 64 * 1024;

bool ThirtyTwoBitPixels(::Display* x, int depth) {
    int count = 0;
    XPixmapFormatValues* formats = XListPixmapFormats(x, &count);
    bool found = false;
    for (int i = 0; formats && i < count; ++i)
        if (formats[i].depth == depth) found = formats[i].bits_per_pixel == 32;
    if (formats) XFree(formats);
    return found;
}

}  // namespace

X11Output* OpenX11Output(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return nullptr;
    ::Display* x = info.info.x11.display;
    const ::Window w = info.info.x11.window;
    XWindowAttributes attributes{};
    // SDL may give the window a direct-colour visual, whose colour map it sets to the identity:
    // its pixels mean what a true-colour visual's do.
    if (!XGetWindowAttributes(x, w, &attributes) || !attributes.visual ||
        (attributes.visual->c_class != TrueColor && attributes.visual->c_class != DirectColor) ||
        !ThirtyTwoBitPixels(x, attributes.depth))
        return nullptr;
    // Only a format SDL converts to: the conversion is the same one the window's SDL picture had.
    const Uint32 format =
        SDL_MasksToPixelFormatEnum(32, static_cast<Uint32>(attributes.visual->red_mask),
                                   static_cast<Uint32>(attributes.visual->green_mask),
                                   static_cast<Uint32>(attributes.visual->blue_mask), 0);
    if (format == SDL_PIXELFORMAT_UNKNOWN) return nullptr;
    auto* out = new X11Output;
    out->display = x;
    out->window = w;
    out->visual = attributes.visual;
    out->depth = attributes.depth;
    out->format = format;
    out->gc = XCreateGC(x, w, 0, nullptr);
    if (!out->gc) {
        delete out;
        return nullptr;
    }
    out->band.resize(kBandPixels);
    return out;
}

void CloseX11Output(X11Output* out) {
    if (!out) return;
    XFreeGC(out->display, out->gc);
    delete out;
}

Uint32 X11OutputFormat(const X11Output& out) { return out.format; }

bool ShowOnX11(X11Output& out, const SDL_Surface* from, const SDL_Rect* parts, int count, int windowW, int windowH) {
    for (int i = 0; i < count; ++i) {
        const SDL_Rect& r = parts[i];
        if (r.w <= 0 || static_cast<std::size_t>(r.w) > kBandPixels) return false;
        const int rowsPerBand = static_cast<int>(kBandPixels / static_cast<std::size_t>(r.w));
        for (int top = r.y; top < r.y + r.h; top += rowsPerBand) {
            const int rows = std::min(rowsPerBand, r.y + r.h - top);
            const auto* source = static_cast<const Uint8*>(from->pixels) + top * from->pitch + r.x * 2;
            if (SDL_ConvertPixels(r.w, rows, from->format->format, source, from->pitch, out.format, out.band.data(),
                                  r.w * 4) != 0)
                return false;
            XImage* image = XCreateImage(out.display, out.visual, static_cast<unsigned>(out.depth), ZPixmap, 0,
                                         reinterpret_cast<char*>(out.band.data()), static_cast<unsigned>(r.w),
                                         static_cast<unsigned>(rows), 32, r.w * 4);
            if (!image) return false;
            // Written in this machine's order; Xlib swaps if the server's differs.
            image->byte_order = SDL_BYTEORDER == SDL_LIL_ENDIAN ? LSBFirst : MSBFirst;
            XPutImage(out.display, out.window, out.gc, image, 0, 0, r.x, top, static_cast<unsigned>(r.w),
                      static_cast<unsigned>(rows));
            image->data = nullptr;  // the band is ours
            XDestroyImage(image);
        }
    }
    // Between a resize and the frame drawn for it, the rest of the window is black.
    XSetForeground(out.display, out.gc, BlackPixel(out.display, DefaultScreen(out.display)));
    if (windowW > from->w)
        XFillRectangle(out.display, out.window, out.gc, from->w, 0, static_cast<unsigned>(windowW - from->w),
                       static_cast<unsigned>(windowH));
    if (windowH > from->h)
        XFillRectangle(out.display, out.window, out.gc, 0, from->h, static_cast<unsigned>(std::min(windowW, from->w)),
                       static_cast<unsigned>(windowH - from->h));
    // Shown before the next frame is drawn, as the window's own picture would be.
    XSync(out.display, False);
    return true;
}

}  // namespace pellow::modDX::detail
