#include "presentation/dx.hpp"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <utility>

#include "presentation/dx_internal.hpp"
#include "presentation/input.hpp"
#include "presentation/sound.hpp"

namespace pellow::modDX {

Surface backBuffer;
int screenWidth = 0;
int screenHeight = 0;
Rect backRect;
std::int32_t clipLeft = 0, clipTop = 0, clipRight = 0, clipBottom = 0;

namespace {

SDL_Window* window = nullptr;
SDL_Renderer* renderer = nullptr;
SDL_Texture* texture = nullptr;
bool videoStarted = false;
bool textureLost = false;
int refreshRate = 60;
Uint64 lastFlip = 0;

bool shuttingDown = false;
std::string nestedReport;
std::function<void()> closeHandler;

void DefaultEnd(int status) {
    SDL_Quit();
    std::exit(status);
}

ShutDownHooks DefaultHooks() { return {ShowMessageBox, DefaultEnd}; }

ShutDownHooks hooks = DefaultHooks();

bool AllZero(const Rect& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }

// The copy underneath BltSurface. Like the hardware copy it replaces, it never clips: a
// rectangle that is empty, inverted, outside the source, or a copy that would not fit inside
// the destination, draws nothing and reports nothing.
void BltFast(Surface& destination, std::int64_t x, std::int64_t y, Surface& source,
             std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
             bool useColorKey) {
    if (!source.exists() || !destination.exists()) return;
    if (left == 0 && top == 0 && right == 0 && bottom == 0) {
        right = source.width();
        bottom = source.height();
    }
    if (left >= right || top >= bottom) return;
    if (left < 0 || top < 0 || right > source.width() || bottom > source.height()) return;
    const std::int64_t w = right - left;
    const std::int64_t h = bottom - top;
    if (x < 0 || y < 0 || x + w > destination.width() || y + h > destination.height()) return;

    source.useColorKey(useColorKey);
    SDL_Rect from{static_cast<int>(left), static_cast<int>(top), static_cast<int>(w),
                  static_cast<int>(h)};
    SDL_Rect to{static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h)};
    // Everything is already inside both surfaces, so the unclipped copy is enough.
    SDL_LowerBlit(source.raw(), &from, destination.raw(), &to);
}

bool MakeTexture() {
    if (texture) SDL_DestroyTexture(texture);
    texture = SDL_CreateTexture(renderer, detail::kBackBufferFormat, SDL_TEXTUREACCESS_STREAMING,
                                screenWidth, screenHeight);
    return texture != nullptr;
}

bool MakeRenderer() {
    if (texture) SDL_DestroyTexture(texture);
    texture = nullptr;
    if (renderer) SDL_DestroyRenderer(renderer);
    // The picture is composed in system memory anyway, so the software renderer presents it
    // without loading a 3D driver: far less memory, and no slower for one copy per frame. A
    // player can still ask for another driver through SDL's environment variables.
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_PRESENTVSYNC);
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    if (!renderer) return false;
    // The back buffer keeps its own size; the window shows it scaled, aspect kept.
    SDL_RenderSetLogicalSize(renderer, screenWidth, screenHeight);
    return MakeTexture();
}

void ReleaseDisplay() {
    if (texture) SDL_DestroyTexture(texture);
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    texture = nullptr;
    renderer = nullptr;
    window = nullptr;
    backBuffer.reset();
    if (videoStarted) SDL_QuitSubSystem(SDL_INIT_VIDEO);
    videoStarted = false;
    textureLost = false;
    lastFlip = 0;
    backRect = Rect{};
    clipLeft = clipTop = clipRight = clipBottom = 0;
}

// Where the driver does not wait for the retrace, wait out the rest of the refresh period
// here, so a movement takes the same number of visible frames everywhere and the loop never
// spins. A present that did wait leaves (almost) nothing to wait for.
void PaceFrame() {
    const Uint64 frequency = SDL_GetPerformanceFrequency();
    const Uint64 period = frequency / static_cast<Uint64>(refreshRate);
    const Uint64 slack = frequency / 500;  // 2 ms: retrace timing jitter
    Uint64 now = SDL_GetPerformanceCounter();
    if (lastFlip != 0) {
        const Uint64 elapsed = now - lastFlip;
        if (elapsed + slack < period) {
            SDL_Delay(static_cast<Uint32>((period - elapsed) * 1000 / frequency));
            now = SDL_GetPerformanceCounter();
        }
    }
    lastFlip = now;
}

}  // namespace

// ---- Surface ----

Surface::~Surface() { reset(); }

Surface::Surface(Surface&& other) noexcept
    : surface_(std::exchange(other.surface_, nullptr)),
      hasKey_(std::exchange(other.hasKey_, false)),
      key_(std::exchange(other.key_, 0)),
      keyActive_(std::exchange(other.keyActive_, false)) {}

Surface& Surface::operator=(Surface&& other) noexcept {
    if (this != &other) {
        reset();
        surface_ = std::exchange(other.surface_, nullptr);
        hasKey_ = std::exchange(other.hasKey_, false);
        key_ = std::exchange(other.key_, 0);
        keyActive_ = std::exchange(other.keyActive_, false);
    }
    return *this;
}

int Surface::width() const { return surface_ ? surface_->w : 0; }
int Surface::height() const { return surface_ ? surface_->h : 0; }

void Surface::reset() {
    if (surface_) SDL_FreeSurface(surface_);
    surface_ = nullptr;
    hasKey_ = false;
    key_ = 0;
    keyActive_ = false;
}

void Surface::adopt(SDL_Surface* surface) {
    reset();
    surface_ = surface;
}

void Surface::setColorKey(std::uint32_t key) {
    if (!surface_) return;
    if (hasKey_ && key != key_ && SDL_MUSTLOCK(surface_)) {
        // The run-length data was made with the old key and is only undone correctly while
        // that key is still set: take the plain pixels out first, then change the key.
        SDL_Surface* plain = SDL_CreateRGBSurfaceWithFormat(
            0, surface_->w, surface_->h, surface_->format->BitsPerPixel, surface_->format->format);
        if (!plain || SDL_LockSurface(surface_) != 0) {
            SDL_FreeSurface(plain);
            return;
        }
        const auto* from = static_cast<const std::uint8_t*>(surface_->pixels);
        auto* to = static_cast<std::uint8_t*>(plain->pixels);
        const std::size_t rowBytes = static_cast<std::size_t>(surface_->w) * surface_->format->BytesPerPixel;
        for (int y = 0; y < surface_->h; ++y)
            std::memcpy(to + static_cast<std::ptrdiff_t>(y) * plain->pitch,
                        from + static_cast<std::ptrdiff_t>(y) * surface_->pitch, rowBytes);
        SDL_UnlockSurface(surface_);
        SDL_FreeSurface(surface_);
        SDL_SetSurfaceBlendMode(plain, SDL_BLENDMODE_NONE);
        surface_ = plain;
    }
    hasKey_ = true;
    key_ = key;
    SDL_SetColorKey(surface_, SDL_TRUE, key);
    // Run-length encoding skips the transparent runs instead of testing every pixel.
    SDL_SetSurfaceRLE(surface_, 1);
    keyActive_ = true;
}

void Surface::useColorKey(bool use) {
    const bool want = use && hasKey_;
    if (!surface_ || want == keyActive_) return;
    SDL_SetColorKey(surface_, want ? SDL_TRUE : SDL_FALSE, key_);
    keyActive_ = want;
}

// ---- The layer's internals ----

namespace detail {

SDL_Window* Window() { return window; }
SDL_Renderer* Renderer() { return renderer; }
bool EventsRunning() { return SDL_WasInit(SDL_INIT_EVENTS) != 0; }

void HandleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            // The window manager's close: the game window's unload.
            if (closeHandler) {
                closeHandler();
            } else {
                ShutDown("");
            }
            break;
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET:
            textureLost = true;
            break;
        default:
            break;
    }
}

bool LoadPicture(Surface& surface, const std::string& path, const std::string& procedure) {
    SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
    if (!loaded) {
        ReportError(procedure, errPictureFile, SDL_GetError());
        return false;
    }
    // Converted once, so every copy is a plain 16-bit copy.
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, kBackBufferFormat, 0);
    SDL_FreeSurface(loaded);
    if (!converted) {
        ReportError(procedure, errPictureFormat, SDL_GetError());
        return false;
    }
    SDL_SetSurfaceBlendMode(converted, SDL_BLENDMODE_NONE);
    surface.adopt(converted);
    return true;
}

}  // namespace detail

// ---- Operations ----

void DirectX(int width, int height, DisplayKind kind) {
    systemCursorShown = true;
    if (window || backBuffer.exists()) ReleaseDisplay();
    screenWidth = width;
    screenHeight = height;

    if (kind != DisplayKind::Memory) {
        if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
            ReportError("DirectX", errDisplayStart, SDL_GetError());
            return;
        }
        videoStarted = true;
        SDL_SetHint(SDL_HINT_RENDER_SCALE_QUALITY, "linear");
        if (kind == DisplayKind::FullScreen) {
            // Full screen takes the desktop as it is: the player's display mode is never
            // switched. The window is also made at the desktop's own size and place, so it
            // covers the screen even where no window manager applies the full-screen state.
            SDL_Rect desktop{SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, width, height};
            SDL_GetDisplayBounds(0, &desktop);
            window = SDL_CreateWindow("Pellow", desktop.x, desktop.y, desktop.w, desktop.h,
                                      SDL_WINDOW_FULLSCREEN_DESKTOP | SDL_WINDOW_BORDERLESS);
        } else {
            window = SDL_CreateWindow("Pellow", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                      width, height, SDL_WINDOW_SHOWN);
        }
        if (!window) {
            ReportError("DirectX", errWindow, SDL_GetError());
            return;
        }
        if (!MakeRenderer()) {
            ReportError("DirectX", errRenderer, SDL_GetError());
            return;
        }
        SDL_DisplayMode mode{};
        const int display = SDL_GetWindowDisplayIndex(window);
        refreshRate = (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 &&
                       mode.refresh_rate > 0)
                          ? mode.refresh_rate
                          : 60;
    }

    SDL_Surface* buffer =
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, detail::kBackBufferFormat);
    if (!buffer) {
        ReportError("DirectX", errBackBuffer, SDL_GetError());
        return;
    }
    backBuffer.adopt(buffer);
    ClearBackBuffer();
    backRect = Rect{0, 0, width, height};
}

void CreateSurfaceFromFile(Surface& surface, const std::string& path) {
    detail::LoadPicture(surface, path, "CreateSurfaceFromFile");
}

void SetColorKey(Surface& surface, int mode) {
    if (!surface.exists()) return;
    if (mode == 1) {
        surface.setColorKey(0);
    } else if (mode == 2) {
        // Red mask plus blue mask: pure magenta in whatever format the surface has.
        const SDL_PixelFormat* format = surface.raw()->format;
        surface.setColorKey(format->Rmask + format->Bmask);
    }
}

void BltSurface(Surface& source, Surface& destination, const Rect& rect, int x, int y,
                bool useColorKey) {
    std::int64_t left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    std::int64_t px = x, py = y;
    const std::int64_t w = right - left;
    const std::int64_t h = bottom - top;
    if (px + w > clipRight) right = left + clipRight - px;
    if (py + h > clipBottom) bottom = top + clipBottom - py;
    if (px < clipLeft) {
        left = left + clipLeft - px;
        px = clipLeft;
    }
    if (py < clipTop) {
        top = top + clipTop - py;
        py = clipTop;
    }
    BltFast(destination, px, py, source, left, top, right, bottom, useColorKey);
}

void ClearBackBuffer() {
    if (!backBuffer.exists()) return;
    if (AllZero(backRect)) {
        SDL_FillRect(backBuffer.raw(), nullptr, 0);
    } else {
        FillRect(backBuffer, backRect, 0);
    }
}

void SetClipRect() {
    clipLeft = 0;
    clipTop = 0;
    clipRight = screenWidth;
    clipBottom = screenHeight;
}

void FlipScreen() {
    if (!window || !backBuffer.exists()) return;
    if (!texture && !MakeTexture() && !MakeRenderer()) return;
    SDL_UpdateTexture(texture, nullptr, backBuffer.raw()->pixels, backBuffer.raw()->pitch);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    SDL_RenderPresent(renderer);
    PaceFrame();
}

bool DisplayReady() {
    if (!window) return true;
    const Uint32 flags = SDL_GetWindowFlags(window);
    return (flags & (SDL_WINDOW_MINIMIZED | SDL_WINDOW_HIDDEN)) == 0;
}

void RecoverSurfaces() {
    // Surfaces live in system memory and keep their pictures, so nothing is reloaded: a hidden
    // or minimised window is waited for (sleeping on the event queue), and a renderer that
    // lost its textures gets them made again.
    while (!DisplayReady()) {
        SDL_Event event;
        if (SDL_WaitEventTimeout(&event, 100)) detail::HandleEvent(event);
    }
    DoEvents();
    if (textureLost && window) {
        textureLost = false;
        if (!MakeTexture()) MakeRenderer();
    }
}

void ShutDown(const std::string& message) {
    if (shuttingDown) {
        // A failure while shutting down is reported by the shutdown already under way.
        if (!message.empty()) nestedReport += (nestedReport.empty() ? "" : "\n\n") + message;
        return;
    }
    shuttingDown = true;
    nestedReport.clear();

    ShowSystemCursor(true);
    UnAcquireMouse();
    UnAcquireKeyBoard();
    CloseSound();
    ReleaseDisplay();
    CloseInput();

    std::string shown = message;
    if (!nestedReport.empty()) shown += (shown.empty() ? "" : "\n\n") + nestedReport;
    if (!shown.empty()) hooks.showMessage(shown);
    // A report that arrives while the message is up still makes the exit a failure.
    const int status = (shown.empty() && nestedReport.empty()) ? 0 : 1;
    nestedReport.clear();
    shuttingDown = false;
    hooks.endProcess(status);
}

std::string ErrorReport(const std::string& procedure, long number, const std::string& description) {
    return "Error in function " + procedure + "() \nError Number: " + std::to_string(number) +
           "\n" + description;
}

void ReportError(const std::string& procedure, long number, const std::string& description) {
    ShutDown(ErrorReport(procedure, number, description));
}

void DoEvents() {
    if (!detail::EventsRunning()) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        detail::HandleEvent(event);
        if (!detail::EventsRunning()) break;  // the event shut the game down
    }
}

void PauseWait() {
    if (detail::EventsRunning()) {
        // Leaves the event queued for the pump at the end of the pass.
        SDL_WaitEventTimeout(nullptr, 10);
    } else {
        SDL_Delay(10);
    }
}

void WaitForEvent(int milliseconds) {
    if (milliseconds <= 0) return;
    if (detail::EventsRunning()) SDL_WaitEventTimeout(nullptr, milliseconds);
    else SDL_Delay(static_cast<Uint32>(milliseconds));
}

void SetCloseHandler(std::function<void()> handler) { closeHandler = std::move(handler); }

void SetShutDownHooks(ShutDownHooks newHooks) {
    ShutDownHooks defaults = DefaultHooks();
    if (!newHooks.showMessage) newHooks.showMessage = defaults.showMessage;
    if (!newHooks.endProcess) newHooks.endProcess = defaults.endProcess;
    hooks = std::move(newHooks);
}

void ResetShutDownHooks() { hooks = DefaultHooks(); }

// ---- Helpers ----

std::uint16_t Rgb565(int red, int green, int blue) {
    return static_cast<std::uint16_t>(((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3));
}

void CreateSurface(Surface& surface, int width, int height) {
    SDL_Surface* made =
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, detail::kBackBufferFormat);
    surface.adopt(made);
}

void FillRect(Surface& surface, const Rect& rect, std::uint16_t color) {
    if (!surface.exists() || rect.right <= rect.left || rect.bottom <= rect.top) return;
    SDL_Rect area{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    // A keyed surface may be run-length encoded; locking gives its plain pixels for the fill.
    SDL_Surface* s = surface.raw();
    const bool mustLock = SDL_MUSTLOCK(s);
    if (mustLock && SDL_LockSurface(s) != 0) return;
    SDL_FillRect(s, &area, color);
    if (mustLock) SDL_UnlockSurface(s);
}

std::uint16_t GetPixel(const Surface& surface, int x, int y) {
    if (!surface.exists() || x < 0 || y < 0 || x >= surface.width() || y >= surface.height())
        return 0;
    SDL_Surface* s = surface.raw();
    const bool mustLock = SDL_MUSTLOCK(s);
    if (mustLock) SDL_LockSurface(s);
    const auto* row = static_cast<const std::uint8_t*>(s->pixels) + static_cast<std::ptrdiff_t>(y) * s->pitch;
    const std::uint16_t value = reinterpret_cast<const std::uint16_t*>(row)[x];
    if (mustLock) SDL_UnlockSurface(s);
    return value;
}

bool SaveScreenshot(const std::string& bmpPath) {
    if (!window) {
        return backBuffer.exists() && SDL_SaveBMP(backBuffer.raw(), bmpPath.c_str()) == 0;
    }
    if (!texture) return false;
    SDL_UpdateTexture(texture, nullptr, backBuffer.raw()->pixels, backBuffer.raw()->pitch);
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    SDL_RenderCopy(renderer, texture, nullptr, nullptr);
    int w = 0, h = 0;
    if (SDL_GetRendererOutputSize(renderer, &w, &h) != 0) return false;
    SDL_Surface* shot = SDL_CreateRGBSurfaceWithFormat(0, w, h, 32, SDL_PIXELFORMAT_ARGB8888);
    if (!shot) return false;
    // Read the whole output, bars included: the logical viewport would hide them.
    SDL_RenderSetLogicalSize(renderer, 0, 0);
    SDL_RenderSetViewport(renderer, nullptr);
    const bool read = SDL_RenderReadPixels(renderer, nullptr, SDL_PIXELFORMAT_ARGB8888,
                                           shot->pixels, shot->pitch) == 0;
    SDL_RenderSetLogicalSize(renderer, screenWidth, screenHeight);
    const bool saved = read && SDL_SaveBMP(shot, bmpPath.c_str()) == 0;
    SDL_FreeSurface(shot);
    return saved;
}

}  // namespace pellow::modDX
