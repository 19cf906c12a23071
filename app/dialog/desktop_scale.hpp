#pragma once
// The desktop's text scale and what the dialog makes of it, without the toolkit: the scale read
// from the X server's resource database, fitted to the screen, and the pictures resampled to it.
#include <cstdint>
#include <string_view>
#include <vector>

#include "app/dialog/dialog_pictures.hpp"

namespace pellow {

// The scale the desktop asks of text, from the resource database's Xft.dpi (96 is 1), the
// way the toolkit's neighbours read it. Anything else than a usable number (missing, malformed,
// not positive, beyond any real screen) leaves 1; a usable one is held to 1 .. 3.
double TextScaleFromResources(std::string_view resources);

// The largest scale up to the one asked for at which a window of width x height at scale 1 fits
// the area; never below 1, where the window is as it always was.
double ScaleToFit(double scale, int width, int height, int areaWidth, int areaHeight);

// A coordinate at the scale: both edges of a widget are rounded alike, so widgets that meet at
// scale 1 still meet.
int ScaledEdge(int value, double scale);

// The picture resampled to width x height (bilinear, pixel centres aligned), for scales above 1:
// smooth where a plain repeat of every pixel would show blocks.
std::vector<std::uint32_t> ResamplePicture(const DialogPicture& picture, int width, int height);

}  // namespace pellow
