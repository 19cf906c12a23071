#pragma once
// Pictures read from BMP files, and the colour keys the game gives them.
#include <string>

#include "presentation/load_error.hpp"
#include "presentation/surface.hpp"

namespace pellow::modDX {

// Loads a BMP file into a new surface in the back buffer's pixel format; a failure is reported
// under `procedure`.
void CreateSurfaceFromFile(Surface& surface, const std::string& path,
                           const std::string& procedure = "CreateSurfaceFromFile");
// Mode 1: pure black transparent; mode 2: pure magenta transparent; other modes: nothing.
void SetColorKey(Surface& surface, int mode, bool runLength = true);

}  // namespace pellow::modDX
