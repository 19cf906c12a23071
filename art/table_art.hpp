#pragma once
// The table's own pictures: the felt, the score pad and its pen lines, and the pointer.
#include <string>

#include "art/score_page_layout.hpp"
#include "art/raster.hpp"

namespace pellow::art {

// Felt with its nap, a soft light over the middle of the table and darker edges, at any shape.
// `scale` is the table's pixels per unit (the 1024 x 768 table has one), which sizes its
// mottling and nap; 0 takes the width's share of 1024.
Image RenderFelt(int width, int height, double scale = 0);

// The score pad as the game draws it over `background` at the layout's page position (shifted by
// `shift` on both axes): paper, printed header and rulings, with its shadow blended into the
// felt beneath it. `baseline` is the handwriting font's baseline within its cell; the pad's
// printed title is set in the font file `titleFont`.
Image RenderScorePage(const Image& background, int shift, int baseline, const std::string& titleFont);
// The same pad `scale` times the size, its top-left at (pageX, pageY) of `background`; the
// rulings lie where the game writes the rows at that scale (the 800 x 600 page's geometry,
// relative to the page), under a handwriting sheet of that scale whose baseline is `baseline`.
Image RenderScorePageAt(const Image& background, int pageX, int pageY, int baseline, const std::string& titleFont,
                        double scale);
// Pen lines drawn on the pad: under the heading and above the totals, and between the columns.
Image RenderHorizontalLine(double scale = 1.0);
Image RenderVerticalLine(double scale = 1.0);

// The pointer, round(32 * scale) square, its tip at the centre (16, 16 at the design's size).
Image RenderPointer(double scale = 1.0);

// Paper and pen colours of the pad, shared with the handwriting font.
inline constexpr Rgb kPaper{250, 246, 232};
inline constexpr Rgb kPenInk{30, 46, 118};

}  // namespace pellow::art
