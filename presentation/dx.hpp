#pragma once
// The platform layer's display side in one include, for the game and its tests: each part has
// its own header, named for what it holds.
#include "presentation/display.hpp"       // Display, DisplayKind: window, back buffer, frames, events
#include "presentation/load_error.hpp"    // LoadError, ErrorNumber: how set-up steps fail
#include "presentation/message_box.hpp"   // ShowMessageBox
#include "presentation/own_thread.hpp"    // OnOwnThread, ReleaseThreadState: work on other cores
#include "presentation/picture_file.hpp"  // CreateSurfaceFromFile, SetColorKey: BMP pictures
#include "presentation/surface.hpp"       // Surface, Rect and the pixel helpers
