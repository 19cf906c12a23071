// The pictures compiled into the dialog must be the pack builder's pictures, pixel for pixel.
#include "app/dialog/dialog_pictures.hpp"

#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace pellow {
namespace {

void ExpectSamePicture(const DialogPicture& embedded, const std::string& file, int width, int height) {
    SCOPED_TRACE(file);
    EXPECT_EQ(embedded.width, width);
    EXPECT_EQ(embedded.height, height);
    SDL_Surface* bmp = SDL_LoadBMP((std::string(PELLOW_DIALOG_PICTURES) + "/" + file).c_str());
    ASSERT_NE(bmp, nullptr) << SDL_GetError();
    ASSERT_EQ(bmp->w, embedded.width);
    ASSERT_EQ(bmp->h, embedded.height);
    ASSERT_EQ(SDL_LockSurface(bmp), 0);
    const int bpp = bmp->format->BytesPerPixel;
    int mismatches = 0;
    int differentFromFirst = 0;
    for (int y = 0; y < bmp->h; ++y) {
        for (int x = 0; x < bmp->w; ++x) {
            const auto* p = static_cast<const Uint8*>(bmp->pixels) + y * bmp->pitch + x * bpp;
            Uint32 value = 0;
            for (int b = 0; b < bpp; ++b) value |= static_cast<Uint32>(p[b]) << (8 * b);
            Uint8 r, g, b;
            SDL_GetRGB(value, bmp->format, &r, &g, &b);
            const std::uint32_t e = embedded.pixels[y * embedded.width + x];
            if (e != ((static_cast<std::uint32_t>(r) << 16) | (g << 8) | b)) ++mismatches;
            if (e != embedded.pixels[0]) ++differentFromFirst;
        }
    }
    SDL_UnlockSurface(bmp);
    SDL_FreeSurface(bmp);
    EXPECT_EQ(mismatches, 0);
    EXPECT_GT(differentFromFirst, width * height / 10) << "a picture, not a flat fill";
}

TEST(DialogPictures, BannerAndPreviewsAreThePackBuildersPictures) {
    ExpectSamePicture(kBannerPicture, "banner.bmp", 435, 254);
    ExpectSamePicture(kPreviewPictures[0], "preview0.bmp", 119, 156);
    ExpectSamePicture(kPreviewPictures[1], "preview1.bmp", 115, 152);
    ExpectSamePicture(kPreviewPictures[2], "preview2.bmp", 119, 156);
    ExpectSamePicture(kPreviewPictures[3], "preview3.bmp", 119, 156);
}

// Every deck has a picture of its own: no two previews show the same pixels.
TEST(DialogPictures, EachDeckHasItsOwnPreview) {
    for (int a = 0; a < 4; ++a) {
        for (int b = a + 1; b < 4; ++b) {
            const DialogPicture& p = kPreviewPictures[a];
            const DialogPicture& q = kPreviewPictures[b];
            const int w = std::min(p.width, q.width), h = std::min(p.height, q.height);
            int differ = 0;
            for (int y = 0; y < h; ++y)
                for (int x = 0; x < w; ++x)
                    if (p.pixels[y * p.width + x] != q.pixels[y * q.width + x]) ++differ;
            EXPECT_GT(differ, w * h / 4) << "previews " << a << " and " << b << " look alike";
        }
    }
}

}  // namespace
}  // namespace pellow
