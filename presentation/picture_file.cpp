#include "presentation/picture_file.hpp"

#include "presentation/dx_internal.hpp"

namespace pellow::modDX {

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

}  // namespace pellow::modDX
