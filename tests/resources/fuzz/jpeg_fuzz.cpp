// Fuzz target for the conversion of the background picture. The first two bytes give the size
// the caller wants (1 to 64 pixels each way, so that accepted pictures stay cheap to decode);
// the rest is the JPEG file. A finding is a bitmap left by a refused picture, or an accepted one
// that is not a whole 24-bit bitmap of the size wanted.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "fuzz/fuzz_support.hpp"
#include "resources/unpack.hpp"

namespace {

namespace fs = std::filesystem;
using pellow::fuzz::Finding;

std::uint32_t LE(const std::string& b, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b[at + static_cast<std::size_t>(i)]);
    return v;
}

void ExpectBitmap(const fs::path& path, int width, int height) {
    std::ifstream in(path, std::ios::binary);
    const std::string b{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    const std::uint32_t rowBytes = (static_cast<std::uint32_t>(width) * 3 + 3) / 4 * 4;
    const std::uint32_t total = 54 + rowBytes * static_cast<std::uint32_t>(height);
    if (b.size() != total)
        Finding("the bitmap has " + std::to_string(b.size()) + " bytes, not " + std::to_string(total));
    if (b.compare(0, 2, "BM") != 0 || LE(b, 2, 4) != total || LE(b, 10, 4) != 54 || LE(b, 14, 4) != 40 ||
        LE(b, 18, 4) != static_cast<std::uint32_t>(width) || LE(b, 22, 4) != static_cast<std::uint32_t>(height) ||
        LE(b, 26, 2) != 1 || LE(b, 28, 2) != 24 || LE(b, 30, 4) != 0)
        Finding("the bitmap's header does not describe it");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static pellow::fuzz::Scratch s;
    if (size < 2) return 0;
    const int width = 1 + data[0] % 64;
    const int height = 1 + data[1] % 64;
    const fs::path jpeg = s.root / "in.jpg";
    const fs::path bitmap = s.root / "out.bmp";
    {
        std::ofstream out(jpeg, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 2), static_cast<std::streamsize>(size - 2));
        if (!out) Finding("the picture could not be written");
    }
    try {
        pellow::ConvertJpegToBitmap(jpeg.string(), bitmap.string(), width, height);
    } catch (const pellow::ResourceError&) {
        if (fs::exists(bitmap)) Finding("a refused picture left a bitmap");
        return 0;
    }
    ExpectBitmap(bitmap, width, height);
    fs::remove(bitmap);
    return 0;
}
