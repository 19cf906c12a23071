// The window: started with the video, opened full screen or in a window, resized and switched
// between the two, and the back buffer made for it. Getting the back buffer onto the screen is
// present.cpp's; the surfaces and the copies between them are surface.cpp's.
#include "presentation/display.hpp"

#include <algorithm>
#include <cstdint>
#include <utility>

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
    detail::CloseX11Output(p.x11);
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
            p.direct = true;
            p.x11 = detail::OpenX11Output(p.window);
            if (!p.x11) {
                // The window's picture in system memory, not a texture of a 3D driver's.
                SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
                if (!SDL_GetWindowSurface(p.window)) throw LoadError("DirectX", errRenderer, SDL_GetError());
                detail::PrefaultWindowSurface(p.window);
            }
        } else if (!detail::MakeRenderer(p, width_, height_)) {
            throw LoadError("DirectX", errRenderer, SDL_GetError());
        } else {
            detail::PrefaultWindowSurface(p.window);
        }
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

bool Display::DisplayReady() const {
    if (!platform_->window) return true;
    const Uint32 flags = SDL_GetWindowFlags(platform_->window);
    return (flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) == 0;
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
