#pragma once
// The byte layouts the game reads and the pack builder writes: the resource archive and the
// uncompressed bitmap. One definition, so the two can never drift apart.
#include <array>
#include <cstdint>

namespace pellow::format {

// Archive: "PACK", the directory's offset and length, the entries' bytes, then the directory of
// 64-byte entries (56-byte NUL-padded name, offset, size); every integer 32-bit little-endian.
inline constexpr char kPakMagic[4] = {'P', 'A', 'C', 'K'};
inline constexpr int kPakHeaderLength = 12;
inline constexpr int kPakNameLength = 56;
inline constexpr int kPakEntryLength = 64;

inline std::uint32_t ReadLE32(const unsigned char* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

inline void PutLE16(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v);
    p[1] = static_cast<unsigned char>(v >> 8);
}

inline void PutLE32(unsigned char* p, std::uint32_t v) {
    PutLE16(p, v);
    PutLE16(p + 2, v >> 16);
}

// Bitmap: the file header and BITMAPINFOHEADER of an uncompressed bottom-up picture, followed by
// `colours` palette entries and rows padded to four bytes.
inline constexpr int kBmpHeaderLength = 14 + 40;

inline std::uint32_t BmpRowBytes(std::uint32_t width, int bits) { return (width * bits / 8 + 3) & ~3u; }

inline std::array<unsigned char, kBmpHeaderLength> BmpHeader(std::uint32_t width, std::uint32_t height, int bits,
                                                             int colours = 0) {
    const std::uint32_t imageSize = BmpRowBytes(width, bits) * height;
    const std::uint32_t pixelOffset = kBmpHeaderLength + static_cast<std::uint32_t>(colours) * 4;
    std::array<unsigned char, kBmpHeaderLength> h{'B', 'M'};
    PutLE32(&h[2], pixelOffset + imageSize);
    PutLE32(&h[10], pixelOffset);
    PutLE32(&h[14], 40);
    PutLE32(&h[18], width);
    PutLE32(&h[22], height);  // positive: rows stored bottom-up
    PutLE16(&h[26], 1);       // planes
    PutLE16(&h[28], static_cast<std::uint32_t>(bits));
    PutLE32(&h[34], imageSize);  // compression 0 (BI_RGB) at 30 stays zero
    PutLE32(&h[38], 2835);       // 72 dots per inch
    PutLE32(&h[42], 2835);
    PutLE32(&h[46], static_cast<std::uint32_t>(colours));
    return h;
}

}  // namespace pellow::format
