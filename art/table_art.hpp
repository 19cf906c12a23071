#pragma once
// The table's own pictures: the felt, the score pad and its pen lines, and the pointer.
#include <string>

#include "art/score_page_layout.hpp"
#include "art/raster.hpp"

namespace pellow::art {

// Felt with its nap, a soft light over the middle of the table and darker edges.
Image RenderFelt(int width, int height);

// The score pad as the game draws it over `background` at the layout's page position (shifted by
// `shift` on both axes): paper, printed header and rulings, with its shadow blended into the
// felt beneath it. `baseline` is the handwriting font's baseline within its cell; the pad's
// printed title is set in the font file `titleFont`.
Image RenderScorePage(const Image& background, int shift, int baseline, const std::string& titleFont);
// Pen lines drawn on the pad: under the heading and above the totals, and between the columns.
Image RenderHorizontalLine();
Image RenderVerticalLine();

// The 32 x 32 pointer, its tip at the centre (16, 16).
Image RenderPointer();

// Paper and pen colours of the pad, shared with the handwriting font.
inline constexpr Rgb kPaper{250, 246, 232};
inline constexpr Rgb kPenInk{30, 46, 118};

}  // namespace pellow::art
