// Getting the back buffer onto the screen: when it is drawn for the window's size, to the X
// server (x11_output.cpp) or else into the window's own picture; through the software
// renderer's texture when it is scaled (the classic table); pacing the frames where the driver
// does not wait for the retrace; screenshots; and what a lost window or renderer needs.
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "presentation/display.hpp"
#include "presentation/dx_internal.hpp"

namespace pellow::modDX {

namespace {

// Shown at its own size, the back buffer's format is the smallest texture. Scaled, the renderer
// stretches smoothly only from a texture in the screen's own format; from any other it makes a
// converted copy the back buffer's size on every frame, so the texture takes that format and
// the conversion happens as it is filled.
Uint32 WantedTextureFormat(Display::Platform& p, int width, int height) {
    int outW = 0, outH = 0;
    if (SDL_GetRendererOutputSize(p.renderer, &outW, &outH) != 0 || (outW == width && outH == height))
        return detail::kBackBufferFormat;
    const Uint32 screen = SDL_GetWindowPixelFormat(p.window);
    return SDL_BYTESPERPIXEL(screen) == 4 && !SDL_ISPIXELFORMAT_ALPHA(screen) && !SDL_ISPIXELFORMAT_INDEXED(screen) &&
                   screen != SDL_PIXELFORMAT_ARGB2101010
               ? screen
               : detail::kBackBufferFormat;
}

// Each channel stretched to 0..255 and rounded down (31 becomes 255, 4 becomes 32): the
// widening the renderer itself applies before it stretches the picture.
void MakeWidening(Display::Platform& p) {
    SDL_PixelFormat* f = SDL_AllocFormat(p.textureFormat);
    if (!f) return;
    for (int v = 0; v < 32; ++v) {
        const auto wide = static_cast<Uint8>(v * 255 / 31);
        p.widening.red[v] = SDL_MapRGB(f, wide, 0, 0);
        p.widening.blue[v] = SDL_MapRGB(f, 0, 0, wide);
    }
    for (int v = 0; v < 64; ++v) p.widening.green[v] = SDL_MapRGB(f, 0, static_cast<Uint8>(v * 255 / 63), 0);
    SDL_FreeFormat(f);
}

bool MakeTexture(Display::Platform& p, int width, int height) {
    if (p.texture) SDL_DestroyTexture(p.texture);
    p.textureFormat = WantedTextureFormat(p, width, height);
    if (p.textureFormat != detail::kBackBufferFormat) MakeWidening(p);
    p.texture = SDL_CreateTexture(p.renderer, p.textureFormat, SDL_TEXTUREACCESS_STREAMING, width, height);
    return p.texture != nullptr;
}

// The window's picture memory is new to the process, and the first present would fault it in
// a page at a time (1,280 times full screen, each a trap that is dear in a virtual machine).
// One call maps it whole beforehand; a kernel without the call ignores it.
}  // namespace

namespace detail {

void PrefaultWindowSurface(SDL_Window* window) {
    SDL_Surface* screen = SDL_GetWindowSurface(window);
    if (!screen || !screen->pixels) return;
    const auto page = static_cast<std::uintptr_t>(sysconf(_SC_PAGESIZE));
    const auto start = reinterpret_cast<std::uintptr_t>(screen->pixels);
    const auto begin = start & ~(page - 1);
    const auto end = start + static_cast<std::uintptr_t>(screen->pitch) * static_cast<std::uintptr_t>(screen->h);
    madvise(reinterpret_cast<void*>(begin), end - begin, MADV_POPULATE_WRITE);
}

bool MakeRenderer(Display::Platform& p, int width, int height) {
    if (p.texture) SDL_DestroyTexture(p.texture);
    p.texture = nullptr;
    if (p.renderer) SDL_DestroyRenderer(p.renderer);
    // The picture is composed in system memory anyway, so the software renderer presents it
    // without loading a 3D driver: far less memory, and no slower for one copy per frame. A
    // player can still ask for another driver through SDL's environment variables.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    p.renderer = SDL_CreateRenderer(p.window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!p.renderer) p.renderer = SDL_CreateRenderer(p.window, -1, SDL_RENDERER_SOFTWARE);
    if (!p.renderer) return false;
    // The back buffer keeps its own size; the window shows it scaled, aspect kept.
    SDL_RenderSetLogicalSize(p.renderer, width, height);
    return MakeTexture(p, width, height);
}

}  // namespace detail

using detail::MakeRenderer;

namespace {

// Where the driver does not wait for the retrace, wait out the rest of the refresh period
// here, so a movement takes the same number of visible frames everywhere and the loop never
// spins. A present that did wait leaves (almost) nothing to wait for.
void PaceFrame(Display::Platform& p) {
    const Uint64 frequency = SDL_GetPerformanceFrequency();
    const Uint64 period = frequency / static_cast<Uint64>(p.refreshRate);
    const Uint64 slack = frequency / 500;  // 2 ms: retrace timing jitter
    Uint64 now = SDL_GetPerformanceCounter();
    if (p.lastFlip != 0) {
        const Uint64 elapsed = now - p.lastFlip;
        if (elapsed + slack < period) {
            SDL_Delay(static_cast<Uint32>((period - elapsed) * 1000 / frequency));
            now = SDL_GetPerformanceCounter();
        }
    }
    p.lastFlip = now;
}

// Fills a 32-bit texture from the 16-bit back buffer through the texture's widening tables.
void WidenInto(const SDL_Surface* from, const Display::Platform::Widening& w, void* pixels, int pitch) {
    for (int y = 0; y < from->h; ++y) {
        const auto* in = reinterpret_cast<const Uint16*>(static_cast<const Uint8*>(from->pixels) + y * from->pitch);
        auto* out = reinterpret_cast<Uint32*>(static_cast<Uint8*>(pixels) + y * pitch);
        for (int x = 0; x < from->w; ++x) {
            const Uint16 v = in[x];
            out[x] = w.red[v >> 11] | w.green[(v >> 5) & 63] | w.blue[v & 31];
        }
    }
}

// The back buffer drawn into the window's texture and the renderer's output, not yet shown.
void Compose(Display::Platform& p, const Surface& backBuffer) {
    const SDL_Surface* b = backBuffer.raw();
    if (p.textureFormat == detail::kBackBufferFormat) {
        SDL_UpdateTexture(p.texture, nullptr, b->pixels, b->pitch);
    } else {
        void* pixels = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(p.texture, nullptr, &pixels, &pitch) == 0) {
            WidenInto(b, p.widening, pixels, pitch);
            SDL_UnlockTexture(p.texture);
        }
    }
    SDL_SetRenderDrawColor(p.renderer, 0, 0, 0, 255);
    SDL_RenderClear(p.renderer);
    SDL_RenderCopy(p.renderer, p.texture, nullptr, nullptr);
}

// The parts of the back buffer drawn since the last present, cut to it.
std::vector<SDL_Rect> UnshownParts(const SDL_Surface* b, const DrawnArea& area) {
    std::vector<SDL_Rect> parts;
    for (const Rect& r : area.unshown.rects) {
        SDL_Rect part{std::max(r.left, 0), std::max(r.top, 0), 0, 0};
        part.w = std::min(r.right, b->w) - part.x;
        part.h = std::min(r.bottom, b->h) - part.y;
        if (part.w > 0 && part.h > 0) parts.push_back(part);
    }
    return parts;
}

// On X11 the server holds the window's pixels: a new back buffer or a new window size is
// shown whole, with the rest of the window black.
bool PresentToX11(Display::Platform& p, const Surface& backBuffer) {
    const SDL_Surface* b = backBuffer.raw();
    DrawnArea* area = backBuffer.drawnArea();
    int windowW = 0, windowH = 0;
    SDL_GetWindowSize(p.window, &windowW, &windowH);
    const bool whole = !area || area->unshown.all || p.shownPixels != b->pixels || p.shownWindowW != windowW ||
                       p.shownWindowH != windowH;
    const std::vector<SDL_Rect> parts = whole ? std::vector<SDL_Rect>{SDL_Rect{0, 0, b->w, b->h}} : UnshownParts(b, *area);
    // Nothing changed: no round trip to the server.
    if (parts.empty()) {
        area->unshown.Clear();
        return true;
    }
    if (!detail::ShowOnX11(*p.x11, b, parts.data(), static_cast<int>(parts.size()), windowW, windowH)) return false;
    p.shownPixels = b->pixels;
    p.shownWindowW = windowW;
    p.shownWindowH = windowH;
    if (area) area->unshown.Clear();
    return true;
}

// The back buffer converted into the window's own picture, which the window system then shows:
// the parts changed since the last time, or all of it. Between a resize and the frame that
// follows it the two differ in size: the rest is black.
bool PresentDirect(Display::Platform& p, const Surface& backBuffer) {
    if (p.x11) return PresentToX11(p, backBuffer);
    SDL_Surface* screen = SDL_GetWindowSurface(p.window);
    if (!screen) return false;
    SDL_Surface* b = backBuffer.raw();
    DrawnArea* area = backBuffer.drawnArea();
    const bool sameSize = b->w == screen->w && b->h == screen->h;
    // A new picture of the window (a new size, or the first) holds nothing yet.
    if (!sameSize || !area || area->unshown.all || p.shownSurface != screen) {
        if (!sameSize) SDL_FillRect(screen, nullptr, 0);
        SDL_Rect all{0, 0, std::min(b->w, screen->w), std::min(b->h, screen->h)};
        SDL_Rect to = all;
        if (SDL_LowerBlit(b, &all, screen, &to) != 0 || SDL_UpdateWindowSurface(p.window) != 0) return false;
        p.shownSurface = screen;
        if (area) area->unshown.Clear();
        return true;
    }
    std::vector<SDL_Rect> parts = UnshownParts(b, *area);
    for (SDL_Rect part : parts) {
        SDL_Rect to = part;
        if (SDL_LowerBlit(b, &part, screen, &to) != 0) return false;
    }
    area->unshown.Clear();
    return parts.empty() ||
           SDL_UpdateWindowSurfaceRects(p.window, parts.data(), static_cast<int>(parts.size())) == 0;
}

}  // namespace

bool Display::TakeRedrawRequest() {
    if (!redrawWanted_) return false;
    redrawWanted_ = false;
    // What the window system lost is shown whole, not only what the next frame changes.
    if (DrawnArea* area = backBuffer_.drawnArea()) area->unshown.MarkAll();
    return true;
}

void Display::FlipScreen() {
    if (Present()) PaceFrame(*platform_);
}

void Display::PrimeScreen() { Present(); }

bool Display::Present() {
    Platform& p = *platform_;
    if (!p.window || !backBuffer_.exists()) return false;
    if (p.direct) return PresentDirect(p, backBuffer_);
    // The window may have changed between its own size and the screen's.
    if (p.texture && WantedTextureFormat(p, width_, height_) != p.textureFormat) {
        SDL_DestroyTexture(p.texture);
        p.texture = nullptr;
    }
    if (!p.texture && !MakeTexture(p, width_, height_) && !MakeRenderer(p, width_, height_)) return false;
    Compose(p, backBuffer_);
    SDL_RenderPresent(p.renderer);
    return true;
}

void Display::RecoverSurfaces() {
    // Surfaces live in system memory and keep their pictures, so nothing is reloaded: a hidden
    // or minimised window is waited for (sleeping on the event queue), and a renderer that
    // lost its textures gets them made again.
    while (!DisplayReady() && !closeRequested_) {
        redrawWanted_ = true;
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, 100)) HandleEvent(event);
    }
    DoEvents();
    Platform& p = *platform_;
    if (p.textureLost && p.window && !p.direct) {
        p.textureLost = false;
        if (!MakeTexture(p, width_, height_)) MakeRenderer(p, width_, height_);
    }
}

bool Display::SaveScreenshot(const std::string& bmpPath) {
    Platform& p = *platform_;
    if (!p.window) {
        return backBuffer_.exists() && SDL_SaveBMP(backBuffer_.raw(), bmpPath.c_str()) == 0;
    }
    if (p.x11) {
        // What the server was sent: the back buffer over a black window, converted as it was.
        int w = 0, h = 0;
        SDL_GetWindowSize(p.window, &w, &h);
        SDL_Surface* shot = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, detail::X11OutputFormat(*p.x11));
        if (!shot) return false;
        SDL_FillRect(shot, nullptr, 0);
        const bool saved = SDL_BlitSurface(backBuffer_.raw(), nullptr, shot, nullptr) == 0 &&
                           SDL_SaveBMP(shot, bmpPath.c_str()) == 0;
        SDL_FreeSurface(shot);
        return saved;
    }
    if (p.direct) {
        // The window's picture as last presented.
        SDL_Surface* screen = SDL_GetWindowSurface(p.window);
        return screen && SDL_SaveBMP(screen, bmpPath.c_str()) == 0;
    }
    if (!p.texture) return false;
    Compose(p, backBuffer_);
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(p.renderer, &w, &h) != 0) return false;
    SDL_Surface* shot = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!shot) return false;
    // Read the whole output, bars included: the logical viewport would hide them.
    SDL_RenderSetLogicalSize(p.renderer, 0, 0);
    SDL_RenderSetViewport(p.renderer, nullptr);
    const bool read = SDL_RenderReadPixels(p.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, shot->pixels, shot->pitch) ==
                      0;
    SDL_RenderSetLogicalSize(p.renderer, width_, height_);
    const bool saved = read && SDL_SaveBMP(shot, bmpPath.c_str()) == 0;
    SDL_FreeSurface(shot);
    return saved;
}

}  // namespace pellow::modDX
