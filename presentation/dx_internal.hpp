#pragma once
// Shared between the layer's own .cpp files only: the window, the renderer and the helpers
// that touch the platform directly. Nothing outside presentation/ includes this.
#include <SDL.h>

#include <string>

#include "presentation/dx.hpp"

namespace pellow::modDX::detail {

SDL_Window* Window();
SDL_Renderer* Renderer();
// True while the window system's event queue is running (a display or the input system).
bool EventsRunning();
// Handles one window-system event the way the message pump does.
void HandleEvent(const SDL_Event& event);
// Loads a BMP into the back buffer's format; on failure reports as `procedure` and returns false.
bool LoadPicture(Surface& surface, const std::string& path, const std::string& procedure);

inline constexpr Uint32 kBackBufferFormat = SDL_PIXELFORMAT_RGB565;

}  // namespace pellow::modDX::detail
