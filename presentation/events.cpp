#include "presentation/display.hpp"

#include <utility>

#include "presentation/dx_internal.hpp"

namespace pellow::modDX {

namespace detail {

bool EventsRunning() { return SDL_WasInit(SDL_INIT_EVENTS) != 0; }

}  // namespace detail

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
                case SDL_WINDOWEVENT_SIZE_CHANGED: redrawWanted_ = true; break;
                default: break;
            }
            break;
        case SDL_KEYDOWN:
        case SDL_MOUSEBUTTONDOWN:
            if (pressHandler_) pressHandler_(event);
            break;
        default: break;
    }
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
    if (!detail::EventsRunning()) {
        SDL_Delay(static_cast<Uint32>(milliseconds));
        return;
    }
    // What the window system sent may already have been read off its connection (a present
    // that syncs with the server reads it), where the wait below, watching the connection,
    // would not see it: a quick click would then show only when the wait ran out. Pumped now,
    // it is in the queue and there is nothing to wait for.
    SDL_PumpEvents();
    if (SDL_HasEvents(SDL_FIRSTEVENT, SDL_LASTEVENT)) return;
    SDL_WaitEventTimeout(nullptr, milliseconds);
}

void Display::SetCloseHandler(std::function<void()> handler) { closeHandler_ = std::move(handler); }

void Display::SetPressHandler(std::function<void(const SDL_Event&)> handler) { pressHandler_ = std::move(handler); }

}  // namespace pellow::modDX
