#include "presentation/display.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <utility>
#include <vector>

#include "presentation/dx_internal.hpp"
#include "presentation/environment.hpp"
#include "presentation/without_compose.hpp"
#ifdef PELLOW_WINDOW_ICON
#include "presentation/window_icon.hpp"
#endif

// The start-up dialog says which SDL the game needs; a build against an older one must fail.
static_assert(SDL_VERSION_ATLEAST(2, 0, 18), "Pellow needs SDL 2.0.18 or newer");

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

// The back buffer converted into the window's own picture, which the window system then shows:
// the parts changed since the last time, or all of it. Between a resize and the frame that
// follows it the two differ in size: the rest is black.
bool PresentDirect(Display::Platform& p, const Surface& backBuffer) {
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
    std::vector<SDL_Rect> parts;
    for (const Rect& r : area->unshown.rects) {
        SDL_Rect part{std::max(r.left, 0), std::max(r.top, 0), 0, 0};
        part.w = std::min(r.right, b->w) - part.x;
        part.h = std::min(r.bottom, b->h) - part.y;
        if (part.w <= 0 || part.h <= 0) continue;
        SDL_Rect to = part;
        if (SDL_LowerBlit(b, &part, screen, &to) != 0) return false;
        parts.push_back(part);
    }
    area->unshown.Clear();
    return parts.empty() ||
           SDL_UpdateWindowSurfaceRects(p.window, parts.data(), static_cast<int>(parts.size())) == 0;
}

// Hints read when the video starts, however it is started.
void StartVideo(bool& started) {
    // A card game waits long for the player: the screen saver may run meanwhile.
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    const WithoutComposeTable keysOnly;
    // SDL joins the session bus when its video first starts, and never tries again once that has
    // failed. The game wants nothing from the bus (it reads keys, not text, and lets the screen
    // saver run), yet through it SDL's sound thread, which may not raise its own priority without
    // privileges, asks the desktop's portal to: the bus then starts xdg-desktop-portal with its
    // document and permission stores, and they outlive the game. So SDL is shown a bus that is not
    // there while it starts; the rest of the process keeps the player's.
    const WithStandIn noPortal{Variable::SessionBus};
    started = SDL_InitSubSystem(SDL_INIT_VIDEO) == 0;
}

// Pellow's icon for the title bar and the task bar, the desktop icon made small; compiled in, so
// opening the window reads no file.
void SetWindowIcon(SDL_Window* window) {
#ifdef PELLOW_WINDOW_ICON
    SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint32_t*>(kWindowIcon.pixels),
                                                           kWindowIcon.width, kWindowIcon.height, 32,
                                                           kWindowIcon.width * 4, SDL_PIXELFORMAT_RGB888);
    if (!icon) return;
    SDL_SetWindowIcon(window, icon);
    SDL_FreeSurface(icon);
#else
    (void)window;
#endif
}

}  // namespace

// ---- Display ----

Display::Display() : platform_(std::make_unique<Platform>()) {}

Display::~Display() {
    Release();
    if (videoPrepared_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

void Display::PrepareVideo() {
    if (!videoPrepared_) StartVideo(videoPrepared_);
}

void Display::Release() {
    Platform& p = *platform_;
    if (p.texture) SDL_DestroyTexture(p.texture);
    if (p.renderer) SDL_DestroyRenderer(p.renderer);
    if (p.window) SDL_DestroyWindow(p.window);
    if (p.videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    p = Platform{};
    fullScreen_ = false;
    redrawWanted_ = false;
    backBuffer_.reset();
    clip_ = Rect{};
}

namespace {

// A size the player chose, kept to what the window may be: at least three quarters of the
// back buffer, at most the screen's usable area; the back buffer's own size when none was chosen.
std::pair<int, int> MinimumWindowSize(int width, int height, bool native) {
    // Drawn for its size, the table stays playable down to cards of 86 x 121 pixels.
    if (native) return {640, 480};
    return {width * 3 / 4, height * 3 / 4};
}

std::pair<int, int> FittedWindowSize(int chosenWidth, int chosenHeight, int width, int height, bool native) {
    if (chosenWidth <= 0 || chosenHeight <= 0) return {width, height};
    SDL_Rect usable{0, 0, chosenWidth, chosenHeight};
    if (SDL_GetDisplayUsableBounds(0, &usable) != 0) usable = {0, 0, chosenWidth, chosenHeight};
    const auto [minW, minH] = MinimumWindowSize(width, height, native);
    return {std::clamp(chosenWidth, minW, std::max(minW, usable.w)),
            std::clamp(chosenHeight, minH, std::max(minH, usable.h))};
}

bool MakeBackBuffer(Surface& backBuffer, int width, int height) {
    SDL_Surface* buffer = SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, detail::kBackBufferFormat);
    if (!buffer) return false;
    backBuffer.adopt(buffer);
    SDL_FillRect(buffer, nullptr, 0);
    return true;
}

}  // namespace

void Display::DirectX(int width, int height, DisplayKind kind, bool native) {
    Release();
    closeRequested_ = false;
    width_ = baseWidth_ = width;
    height_ = baseHeight_ = height;
    native_ = native;
    transform_ = TableTransform{};
    Platform& p = *platform_;

    if (kind != DisplayKind::Memory) {
        StartVideo(p.videoStarted);
        if (!p.videoStarted) throw LoadError("DirectX", errDisplayStart, SDL_GetError());
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
        if (kind == DisplayKind::FullScreen) {
            // Full screen takes the desktop as it is: the player's display mode is never
            // switched. The window is also made at the desktop's own size and place, so it
            // covers the screen even where no window manager applies the full-screen state.
            SDL_Rect desktop{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height};
            SDL_GetDisplayBounds(0, &desktop);
            p.window = SDL_CreateWindow("Pellow", desktop.x, desktop.y, desktop.w, desktop.h, SDL_WINDOW_BORDERLESS);
            if (p.window && detail::WindowManagerAnswers(p.window))
                SDL_SetWindowFullscreen(p.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        } else {
            const auto [w, h] = FittedWindowSize(windowWidth_, windowHeight_, width, height, native);
            p.window = SDL_CreateWindow("Pellow", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, w, h,
                                        SDL_WINDOW_SHOWN | SDL_WINDOW_RESIZABLE);
        }
        if (!p.window) throw LoadError("DirectX", errWindow, SDL_GetError());
        const auto [minW, minH] = MinimumWindowSize(width, height, native);
        SDL_SetWindowMinimumSize(p.window, minW, minH);
        // Native, the back buffer is the window's: as many pixels as it shows.
        if (native) SDL_GetWindowSize(p.window, &width_, &height_);
        SDL_SetWindowResizable(p.window, kind == DisplayKind::FullScreen ? SDL_FALSE : SDL_TRUE);
        SetWindowIcon(p.window);
        fullScreen_ = kind == DisplayKind::FullScreen;
        SDL_EnableScreenSaver();
        // Keys are read as keys: no text is typed, so no input method is asked for.
        SDL_StopTextInput();
        if (native) {
            // The window's picture in system memory, not a texture of a 3D driver's.
            SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
            p.direct = true;
            if (!SDL_GetWindowSurface(p.window)) throw LoadError("DirectX", errRenderer, SDL_GetError());
        } else if (!MakeRenderer(p, width_, height_)) {
            throw LoadError("DirectX", errRenderer, SDL_GetError());
        }
        PrefaultWindowSurface(p.window);
        SDL_DisplayMode mode{};
        const int display = SDL_GetWindowDisplayIndex(p.window);
        p.refreshRate = (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 && mode.refresh_rate > 0)
                            ? mode.refresh_rate
                            : 60;
    }

    // Without a window, a native back buffer takes the windowed size as the window's.
    if (native && kind == DisplayKind::Memory && windowWidth_ > 0 && windowHeight_ > 0) {
        width_ = windowWidth_;
        height_ = windowHeight_;
    }
    if (!MakeBackBuffer(backBuffer_, width_, height_)) throw LoadError("DirectX", errBackBuffer, SDL_GetError());
    if (native) backBuffer_.noteDrawing();
}

bool Display::FollowWindowSize() {
    Platform& p = *platform_;
    if (!native_ || !backBuffer_.exists()) return false;
    int w = windowWidth_, h = windowHeight_;
    if (p.window) SDL_GetWindowSize(p.window, &w, &h);
    if (w <= 0 || h <= 0 || (w == width_ && h == height_)) return false;
    Surface buffer;
    // Without memory for the new size the old picture stays, scaled by the renderer.
    if (!MakeBackBuffer(buffer, w, h)) return false;
    backBuffer_ = std::move(buffer);
    backBuffer_.noteDrawing();
    width_ = w;
    height_ = h;
    if (clip_.right != 0) SetClipRect();
    if (p.renderer) SDL_RenderSetLogicalSize(p.renderer, width_, height_);
    if (p.texture) SDL_DestroyTexture(p.texture);
    p.texture = nullptr;
    redrawWanted_ = true;
    return true;
}

void Display::ClearBackBuffer() {
    if (!backBuffer_.exists()) return;
    backBuffer_.noteDrawn(Rect{0, 0, width_, height_});
    SDL_FillRect(backBuffer_.raw(), nullptr, 0);
}

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

bool Display::DisplayReady() const {
    if (!platform_->window) return true;
    const Uint32 flags = SDL_GetWindowFlags(platform_->window);
    return (flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) == 0;
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

void Display::SetWindowedSize(int width, int height) {
    windowWidth_ = width;
    windowHeight_ = height;
}

std::pair<int, int> Display::WindowedSize() const {
    const Platform& p = *platform_;
    if (p.window && !fullScreen_) {
        int w = 0, h = 0;
        SDL_GetWindowSize(p.window, &w, &h);
        return {w, h};
    }
    return {windowWidth_, windowHeight_};
}

void Display::SetFullScreen(bool fullScreen) {
    Platform& p = *platform_;
    if (!p.window || fullScreen == fullScreen_) return;
    if (fullScreen) {
        SDL_GetWindowSize(p.window, &windowWidth_, &windowHeight_);
        SDL_SetWindowResizable(p.window, SDL_FALSE);
        // As at start: the window takes the desktop's size and place itself first, so it
        // covers the screen even where no window manager applies the full-screen state.
        SDL_Rect desktop{0, 0, baseWidth_, baseHeight_};
        SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(p.window)), &desktop);
        SDL_SetWindowBordered(p.window, SDL_FALSE);
        SDL_SetWindowPosition(p.window, desktop.x, desktop.y);
        SDL_SetWindowSize(p.window, desktop.w, desktop.h);
        if (detail::WindowManagerAnswers(p.window)) SDL_SetWindowFullscreen(p.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        // A window opened full screen was made at the desktop's size without a border: give it
        // the border and the back buffer's own size, in the middle of the screen.
        SDL_SetWindowFullscreen(p.window, 0);
        SDL_SetWindowBordered(p.window, SDL_TRUE);
        SDL_SetWindowResizable(p.window, SDL_TRUE);
        const auto [w, h] = FittedWindowSize(windowWidth_, windowHeight_, baseWidth_, baseHeight_, native_);
        SDL_SetWindowSize(p.window, w, h);
        SDL_SetWindowPosition(p.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    fullScreen_ = fullScreen;
    redrawWanted_ = true;
}

}  // namespace pellow::modDX
