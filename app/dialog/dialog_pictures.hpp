#pragma once
// The banner and the four deck previews, built into the program because the dialog runs before
// anything is unpacked. A pixel is 0xRRGGBB in the machine's own 32-bit integer, rows top to
// bottom, no padding: how nearly every display keeps its pixels, so they can go to it as they
// are.
#include <cstdint>

namespace pellow {

struct DialogPicture {
    int width;
    int height;
    const std::uint32_t* pixels;
};

extern const DialogPicture kBannerPicture;  // Image1
// Image2(i): one preview per deck, in the pack builder's deck order (kPreviewOfOption maps the
// option buttons onto it).
extern const DialogPicture kPreviewPictures[4];

}  // namespace pellow
