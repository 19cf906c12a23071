#pragma once
// Pictures for people to look at: every card, back, font and pointer on one sheet, and the
// table and score page as the game will show them.
#include <string>

#include "pack_contents.hpp"

namespace pellow::pack {

Image MakeContactSheet(const Artwork& art);
// The score page at the end of a match over the table, with sample scores, the clock, the
// caption line and the pointer, as the game draws them at 800 x 600 (shift 0) or 1024 x 768.
Image MakeTablePreview(const Artwork& art, bool large);

}  // namespace pellow::pack
