#pragma once
// Test pictures: an RGB test card and its JPEG encoding.
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace pellow::test {

struct Rgb {
    unsigned char r, g, b;
};

// Four flat quadrants (red, green / blue, yellow) that survive JPEG coding almost unchanged and
// show at once whether a picture was mirrored, flipped or had its channels swapped.
inline Rgb TestCardColour(int x, int y, int width, int height) {
    const bool right = x >= width / 2;
    const bool bottom = y >= height / 2;
    if (!bottom) return right ? Rgb{0, 200, 0} : Rgb{220, 0, 0};
    return right ? Rgb{230, 230, 0} : Rgb{0, 0, 210};
}

inline std::string EncodeTestCardJpeg(int width, int height) {
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const Rgb c = TestCardColour(x, y, width, height);
            unsigned char* p = &rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            p[0] = c.r;
            p[1] = c.g;
            p[2] = c.b;
        }
    }
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long outSize = 0;
    jpeg_mem_dest(&cinfo, &out, &outSize);
    cinfo.image_width = static_cast<JDIMENSION>(width);
    cinfo.image_height = static_cast<JDIMENSION>(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = &rgb[static_cast<std::size_t>(cinfo.next_scanline) * width * 3];
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::string bytes(reinterpret_cast<const char*>(out), outSize);
    std::free(out);
    return bytes;
}

// jpeg with its frame header changed to declare width x height: a picture of a few hundred
// bytes that claims to be as large as wanted.
inline std::string DeclareJpegSize(std::string jpeg, int width, int height) {
    for (std::size_t at = 2; at + 9 <= jpeg.size(); ++at) {
        const auto marker = static_cast<unsigned char>(jpeg[at + 1]);
        if (static_cast<unsigned char>(jpeg[at]) != 0xff || marker < 0xc0 || marker > 0xc2) continue;
        // FF Cn, length (2), precision (1), height (2), width (2), all big-endian.
        jpeg[at + 5] = static_cast<char>(height >> 8);
        jpeg[at + 6] = static_cast<char>(height);
        jpeg[at + 7] = static_cast<char>(width >> 8);
        jpeg[at + 8] = static_cast<char>(width);
        return jpeg;
    }
    throw std::invalid_argument("no frame header in the JPEG");
}

}  // namespace pellow::test
