#include "presentation/platform_services.hpp"

#include <SDL.h>

namespace pellow::modDX {

std::uint32_t DXTickClock::TickCount() { return SDL_GetTicks(); }

}  // namespace pellow::modDX
