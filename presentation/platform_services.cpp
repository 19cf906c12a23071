#include "presentation/platform_services.hpp"

#include <SDL.h>

#include "presentation/dx.hpp"

namespace pellow::modDX {

std::uint32_t DXTickClock::TickCount() { return SDL_GetTicks(); }

void DXMessageRequests::ShowMessage(const std::string& text) { ShowMessageBox(text); }

}  // namespace pellow::modDX
