#pragma once
// The banner and the two deck previews, built into the program because the dialog runs before
// anything is unpacked. Pixels are 8-bit red, green, blue, rows top to bottom, no padding.
namespace pellow {

struct DialogPicture {
    int width;
    int height;
    const unsigned char* rgb;
};

extern const DialogPicture kBannerPicture;       // Image1
extern const DialogPicture kPreviewPictures[2];  // Image2(0), Image2(1)

}  // namespace pellow
