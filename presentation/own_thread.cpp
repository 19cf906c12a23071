#include "presentation/own_thread.hpp"

#include <SDL.h>

namespace pellow::modDX {

void ReleaseThreadState() { SDL_TLSCleanup(); }

}  // namespace pellow::modDX
