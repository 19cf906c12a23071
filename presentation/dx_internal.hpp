#pragma once
// Shared between the layer's own .cpp files only: the display's platform state and the helpers
// that touch the platform directly. Nothing outside presentation/ includes this.
#include <SDL.h>

#include "presentation/display.hpp"

namespace pellow::modDX {

namespace detail {
struct X11Output;
}

// Everything of the platform a display holds, kept out of the public header.
struct Display::Platform {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* texture = nullptr;
    Uint32 textureFormat = SDL_PIXELFORMAT_UNKNOWN;
    // For a 32-bit texture: each 16-bit channel value's pixel bits in textureFormat.
    struct Widening {
        Uint32 red[32], green[64], blue[32];
    } widening{};
    bool videoStarted = false;
    // Drawn for the window's own size, the back buffer goes straight to the window: no
    // renderer, no texture.
    bool direct = false;
    // The window's picture the back buffer was last shown in whole.
    SDL_Surface* shownSurface = nullptr;
    // On X11 the back buffer goes to the X server a part at a time instead (x11_output.cpp);
    // the back buffer's pixels and the window's size when it was last shown whole.
    detail::X11Output* x11 = nullptr;
    const void* shownPixels = nullptr;
    int shownWindowW = 0, shownWindowH = 0;
    bool textureLost = false;
    int refreshRate = 60;
    Uint64 lastFlip = 0;
};

namespace detail {

// True while the window system's event queue is running, for a display or the input system
// (events.cpp).
bool EventsRunning();

// Whether a window manager runs that will answer a full-screen request (x11_probe.cpp, the one
// file that speaks Xlib).
bool WindowManagerAnswers(SDL_Window* window);

// A way to show a back buffer drawn for the window's size in an X11 window of a 32-bit true
// colour visual, or null (not X11, or another visual): the window's SDL picture serves then.
X11Output* OpenX11Output(SDL_Window* window);
void CloseX11Output(X11Output* out);
// The pixel format the X server is sent.
Uint32 X11OutputFormat(const X11Output& out);
// Sends the parts of the back buffer, paints what of the window lies beyond it black, and
// waits until the server has them.
bool ShowOnX11(X11Output& out, const SDL_Surface* from, const SDL_Rect* parts, int count, int windowW, int windowH);

inline constexpr Uint32 kBackBufferFormat = SDL_PIXELFORMAT_RGB565;

// The window's picture memory mapped whole at once rather than a page at a time (present.cpp).
void PrefaultWindowSurface(SDL_Window* window);
// A software renderer showing a back buffer of width x height scaled into the window, with its
// texture (present.cpp). False when either cannot be made.
bool MakeRenderer(Display::Platform& p, int width, int height);

}  // namespace detail
}  // namespace pellow::modDX
