#pragma once
// Pictures of the start-up dialog: the banner and one preview for each deck, and the small
// icon the game's window carries.
#include <array>
#include <string>

#include "art/card_art.hpp"
#include "art/raster.hpp"

namespace pellow::pack {

using namespace pellow::art;

// The dialog's background, which the previews' rounded corners blend into.
inline constexpr Rgb kDialogGrey{192, 192, 192};

// Each deck's preview, in the order of DeckArts: a court card of that deck, which shows its
// style best, drawn as the game draws that deck (worn or aged paper included).
struct PreviewArt {
    int card;
    int width, height;
};
inline constexpr std::array<PreviewArt, 4> kPreviews{{
    {48 + 2, 119, 156},  // Royal Standard: king of hearts
    {44 + 3, 115, 152},  // Royal Celtic: queen of spades
    {40 + 1, 119, 156},  // Vintage 1900s: jack of diamonds
    {48 + 0, 119, 156},  // Worn Classic: king of clubs
}};

// 435 x 254: the game's name over the felt beside a fan of the first deck's nines and fives.
Image RenderBanner(const DeckArt& deck, const std::string& titleFont);

// Half the size, each pixel the mean of the four it replaces: the desktop icon made small
// enough for a window's title bar and task bar.
Image HalveImage(const Image& img);

}  // namespace pellow::pack
