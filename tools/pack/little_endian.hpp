#pragma once
// Appending little-endian integers, as the BMP, WAVE and archive formats store them.
#include <cstdint>
#include <vector>

namespace pellow::pack {

inline void Put16(std::vector<std::uint8_t>& v, std::uint32_t x) {
    v.push_back(static_cast<std::uint8_t>(x & 0xFF));
    v.push_back(static_cast<std::uint8_t>((x >> 8) & 0xFF));
}

inline void Put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    Put16(v, x & 0xFFFF);
    Put16(v, x >> 16);
}

}  // namespace pellow::pack
