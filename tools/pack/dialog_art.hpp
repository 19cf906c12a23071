#pragma once
// Pictures of the start-up dialog: the banner and the two deck previews.
#include <string>

#include "card_art.hpp"
#include "raster.hpp"

namespace pellow::pack {

// The dialog's background, which the previews' rounded corners blend into.
inline constexpr Rgb kDialogGrey{192, 192, 192};
// King of hearts and queen of spades: court cards show a deck's style best.
inline constexpr int kPreviewCard0 = 48 + 2;
inline constexpr int kPreviewCard1 = 44 + 3;

// 435 x 254: the game's name over the felt beside a fan of the first deck's nines and fives.
Image RenderBanner(const DeckSpec& deck, const std::string& titleFont);

}  // namespace pellow::pack
