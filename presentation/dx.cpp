#include "presentation/dx.hpp"

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

#include "presentation/dx_internal.hpp"
#include "presentation/environment.hpp"
#include "presentation/without_compose.hpp"

#include <SDL_syswm.h>
#include <X11/Xatom.h>

// The start-up dialog says which SDL the game needs; a build against an older one must fail.
static_assert(SDL_VERSION_ATLEAST(2, 0, 18), "Pellow needs SDL 2.0.18 or newer");

namespace pellow::modDX {

namespace {

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

}  // namespace

LoadError::LoadError(std::string procedure, long number, const std::string& description)
    : std::runtime_error("Error in function " + procedure + "() \nError Number: " +
                         std::to_string(number) + "\n" + description),
      procedure_(std::move(procedure)),
      number_(number) {}

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

void Surface::setColorKey(std::uint32_t key, bool runLength) {
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
    SDL_SetSurfaceRLE(surface_, runLength ? 1 : 0);
    keyActive_ = true;
}

void Surface::useColorKey(bool use) {
    const bool want = use && hasKey_;
    if (!surface_ || want == keyActive_) return;
    SDL_SetColorKey(surface_, want ? SDL_TRUE : SDL_FALSE, key_);
    keyActive_ = want;
}

namespace detail {

bool EventsRunning() { return SDL_WasInit(SDL_INIT_EVENTS) != 0; }

}  // namespace detail

// ---- Pictures ----

void CreateSurfaceFromFile(Surface& surface, const std::string& path, const std::string& procedure) {
    SDL_Surface* loaded = SDL_LoadBMP(path.c_str());
    if (!loaded) throw LoadError(procedure, errPictureFile, SDL_GetError());
    // Converted once, so every copy is a plain 16-bit copy.
    SDL_Surface* converted = SDL_ConvertSurfaceFormat(loaded, detail::kBackBufferFormat, 0);
    SDL_FreeSurface(loaded);
    if (!converted) throw LoadError(procedure, errPictureFormat, SDL_GetError());
    SDL_SetSurfaceBlendMode(converted, SDL_BLENDMODE_NONE);
    surface.adopt(converted);
}

void SetColorKey(Surface& surface, int mode, bool runLength) {
    if (!surface.exists()) return;
    if (mode == 1) {
        surface.setColorKey(0, runLength);
    } else if (mode == 2) {
        // Red mask plus blue mask: pure magenta in whatever format the surface has.
        const SDL_PixelFormat* format = surface.raw()->format;
        surface.setColorKey(format->Rmask + format->Bmask, runLength);
    }
}

namespace {

// Whether a window manager runs that will answer a full-screen request. SDL waits up to 100 ms
// for that answer; with no manager there is none, and a borderless window the desktop's size is
// all full screen can be. Outside X11 a manager is taken to be there.
bool WindowManagerAnswers(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return true;
    ::Display* x = info.info.x11.display;
    const Atom check = XInternAtom(x, "_NET_SUPPORTING_WM_CHECK", True);
    if (check == None) return false;
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    const bool found = XGetWindowProperty(x, DefaultRootWindow(x), check, 0, 1, False, XA_WINDOW, &type, &format,
                                          &count, &after, &data) == Success &&
                       type == XA_WINDOW && count == 1;
    if (data) XFree(data);
    return found;
}

}  // namespace

// ---- Display ----

Display::Display() : platform_(std::make_unique<Platform>()) {}

Display::~Display() {
    Release();
    if (videoPrepared_) SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

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

}  // namespace

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

void Display::DirectX(int width, int height, DisplayKind kind) {
    Release();
    closeRequested_ = false;
    width_ = width;
    height_ = height;
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
            if (p.window && WindowManagerAnswers(p.window))
                SDL_SetWindowFullscreen(p.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
        } else {
            p.window = SDL_CreateWindow("Pellow", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                        width, height, SDL_WINDOW_SHOWN);
        }
        if (!p.window) throw LoadError("DirectX", errWindow, SDL_GetError());
        fullScreen_ = kind == DisplayKind::FullScreen;
        SDL_EnableScreenSaver();
        // Keys are read as keys: no text is typed, so no input method is asked for.
        SDL_StopTextInput();
        if (!MakeRenderer(p, width, height))
            throw LoadError("DirectX", errRenderer, SDL_GetError());
        PrefaultWindowSurface(p.window);
        SDL_DisplayMode mode{};
        const int display = SDL_GetWindowDisplayIndex(p.window);
        p.refreshRate = (display >= 0 && SDL_GetCurrentDisplayMode(display, &mode) == 0 &&
                         mode.refresh_rate > 0)
                            ? mode.refresh_rate
                            : 60;
    }

    SDL_Surface* buffer =
        SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, detail::kBackBufferFormat);
    if (!buffer) throw LoadError("DirectX", errBackBuffer, SDL_GetError());
    backBuffer_.adopt(buffer);
    ClearBackBuffer();
}

void Display::SetClipRect() { clip_ = Rect{0, 0, width_, height_}; }

void Display::BltSurface(Surface& source, Surface& destination, const Rect& rect, int x, int y,
                         bool useColorKey) const {
    std::int64_t left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    std::int64_t px = x, py = y;
    const std::int64_t w = right - left;
    const std::int64_t h = bottom - top;
    if (px + w > clip_.right) right = left + clip_.right - px;
    if (py + h > clip_.bottom) bottom = top + clip_.bottom - py;
    if (px < clip_.left) {
        left = left + clip_.left - px;
        px = clip_.left;
    }
    if (py < clip_.top) {
        top = top + clip_.top - py;
        py = clip_.top;
    }
    BltFast(destination, px, py, source, left, top, right, bottom, useColorKey);
}

void Display::ClearBackBuffer() {
    if (backBuffer_.exists()) SDL_FillRect(backBuffer_.raw(), nullptr, 0);
}

void Display::FlipScreen() {
    if (Present()) PaceFrame(*platform_);
}

void Display::PrimeScreen() { Present(); }

bool Display::Present() {
    Platform& p = *platform_;
    if (!p.window || !backBuffer_.exists()) return false;
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

void ReleaseThreadState() { SDL_TLSCleanup(); }

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
    if (p.textureLost && p.window) {
        p.textureLost = false;
        if (!MakeTexture(p, width_, height_)) MakeRenderer(p, width_, height_);
    }
}

bool Display::SaveScreenshot(const std::string& bmpPath) {
    Platform& p = *platform_;
    if (!p.window) {
        return backBuffer_.exists() && SDL_SaveBMP(backBuffer_.raw(), bmpPath.c_str()) == 0;
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
    const bool read = SDL_RenderReadPixels(p.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888,
                                           shot->pixels, shot->pitch) == 0;
    SDL_RenderSetLogicalSize(p.renderer, width_, height_);
    const bool saved = read && SDL_SaveBMP(shot, bmpPath.c_str()) == 0;
    SDL_FreeSurface(shot);
    return saved;
}

void Display::HandleEvent(const SDL_Event& event) {
    switch (event.type) {
        case SDL_QUIT:
            // The window manager's close: the game window's unload.
            closeRequested_ = true;
            if (closeHandler_) closeHandler_();
            break;
        case SDL_RENDER_TARGETS_RESET:
        case SDL_RENDER_DEVICE_RESET:
            platform_->textureLost = true;
            redrawWanted_ = true;
            break;
        case SDL_WINDOWEVENT:
            switch (event.window.event) {
                case SDL_WINDOWEVENT_EXPOSED:
                case SDL_WINDOWEVENT_SHOWN:
                case SDL_WINDOWEVENT_RESTORED:
                case SDL_WINDOWEVENT_MAXIMIZED:
                case SDL_WINDOWEVENT_SIZE_CHANGED:
                    redrawWanted_ = true;
                    break;
                default:
                    break;
            }
            break;
        default:
            break;
    }
}

void Display::SetFullScreen(bool fullScreen) {
    Platform& p = *platform_;
    if (!p.window || fullScreen == fullScreen_) return;
    if (fullScreen) {
        // As at start: the window takes the desktop's size and place itself first, so it
        // covers the screen even where no window manager applies the full-screen state.
        SDL_Rect desktop{0, 0, width_, height_};
        SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(p.window)), &desktop);
        SDL_SetWindowBordered(p.window, SDL_FALSE);
        SDL_SetWindowPosition(p.window, desktop.x, desktop.y);
        SDL_SetWindowSize(p.window, desktop.w, desktop.h);
        if (WindowManagerAnswers(p.window)) SDL_SetWindowFullscreen(p.window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        // A window opened full screen was made at the desktop's size without a border: give it
        // the border and the back buffer's own size, in the middle of the screen.
        SDL_SetWindowFullscreen(p.window, 0);
        SDL_SetWindowBordered(p.window, SDL_TRUE);
        SDL_SetWindowSize(p.window, width_, height_);
        SDL_SetWindowPosition(p.window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
    }
    fullScreen_ = fullScreen;
    redrawWanted_ = true;
}

void Display::DoEvents() {
    if (!detail::EventsRunning()) return;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        HandleEvent(event);
        if (!detail::EventsRunning()) break;  // the event ended the game
    }
}

void Display::WaitForEvent(int milliseconds) {
    if (milliseconds <= 0) return;
    if (detail::EventsRunning()) SDL_WaitEventTimeout(nullptr, milliseconds);
    else SDL_Delay(static_cast<Uint32>(milliseconds));
}

void Display::SetCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }

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

namespace {

std::uint16_t Scaled565(std::uint16_t v, int percent) {
    const int r = ((v >> 11) & 31) * percent / 100;
    const int g = ((v >> 5) & 63) * percent / 100;
    const int b = (v & 31) * percent / 100;
    return static_cast<std::uint16_t>((r << 11) | (g << 5) | b);
}

std::uint16_t* Row(SDL_Surface* s, int y) {
    return reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(s->pixels) +
                                            static_cast<std::ptrdiff_t>(y) * s->pitch);
}

}  // namespace

void DimmedInto(Surface& source, Surface& scratch, int percent) {
    if (!source.exists() || source.raw()->format->BitsPerPixel != 16) {
        scratch.reset();
        return;
    }
    SDL_Surface* from = source.raw();
    const bool keyed = source.hasColorKey();
    const auto key = static_cast<std::uint16_t>(source.colorKey());
    if (!scratch.exists() || scratch.width() != from->w || scratch.height() != from->h ||
        scratch.raw()->format->format != from->format->format || scratch.hasColorKey() != keyed ||
        scratch.colorKey() != source.colorKey()) {
        SDL_Surface* made = SDL_CreateRGBSurfaceWithFormat(0, from->w, from->h, 16, from->format->format);
        if (!made) {
            scratch.reset();
            return;
        }
        SDL_SetSurfaceBlendMode(made, SDL_BLENDMODE_NONE);
        scratch.adopt(made);
        if (keyed) scratch.setColorKey(key, false);
    }
    SDL_Surface* to = scratch.raw();
    // A run-length encoded picture is decoded by the lock and encoded again by the unlock:
    // pictures drawn this way are best keyed without it.
    const bool mustLock = SDL_MUSTLOCK(from);
    if (mustLock && SDL_LockSurface(from) != 0) {
        scratch.reset();
        return;
    }
    for (int y = 0; y < from->h; ++y) {
        const std::uint16_t* in = Row(from, y);
        std::uint16_t* out = Row(to, y);
        for (int x = 0; x < from->w; ++x) out[x] = keyed && in[x] == key ? key : Scaled565(in[x], percent);
    }
    if (mustLock) SDL_UnlockSurface(from);
}

void Darken(Surface& surface, int percent) {
    if (!surface.exists() || surface.raw()->format->BitsPerPixel != 16) return;
    SDL_Surface* s = surface.raw();
    const bool mustLock = SDL_MUSTLOCK(s);
    if (mustLock && SDL_LockSurface(s) != 0) return;
    for (int y = 0; y < s->h; ++y) {
        std::uint16_t* row = Row(s, y);
        for (int x = 0; x < s->w; ++x) row[x] = Scaled565(row[x], percent);
    }
    if (mustLock) SDL_UnlockSurface(s);
}

void FrameRect(Surface& surface, const Rect& r, int thickness, std::uint16_t color) {
    FillRect(surface, Rect{r.left, r.top, r.right, r.top + thickness}, color);
    FillRect(surface, Rect{r.left, r.bottom - thickness, r.right, r.bottom}, color);
    FillRect(surface, Rect{r.left, r.top, r.left + thickness, r.bottom}, color);
    FillRect(surface, Rect{r.right - thickness, r.top, r.right, r.bottom}, color);
}

}  // namespace pellow::modDX
