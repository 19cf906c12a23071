#pragma once
// The file formats the game and its dialog read (uncompressed BMP, JPEG), and the dialog's
// 256-colour banner.
#include <cstdint>
#include <string>
#include <vector>

#include "art/raster.hpp"

namespace pellow::pack {

// The pack is made of the art library's pictures.
using namespace pellow::art;

// A 256-colour picture: one palette index per pixel.
struct IndexedImage {
    int width = 0, height = 0;
    std::vector<Rgb> palette;         // at most 256 colours
    std::vector<std::uint8_t> index;  // width * height, top row first
};

std::vector<std::uint8_t> EncodeBmp24(const Image& img);
std::vector<std::uint8_t> EncodeBmp8(const IndexedImage& img);
std::vector<std::uint8_t> EncodeJpeg(const Image& img, int quality);
Image DecodeJpeg(const std::vector<std::uint8_t>& bytes);
// Throws std::runtime_error when the file cannot be written.
void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Reduces a picture to at most 256 colours (median cut, then error diffusion).
IndexedImage Quantize(const Image& img);

}  // namespace pellow::pack
