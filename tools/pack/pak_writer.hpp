#pragma once
// Writes the game's resource archive: "PACK", the directory's offset and length, the entries'
// bytes, then the directory of 64-byte entries (56-byte NUL-padded name, offset, size), every
// integer 32-bit little-endian.
#include <cstdint>
#include <string>
#include <vector>

namespace pellow::pack {

struct PakEntry {
    std::string name;  // at most 56 bytes
    std::vector<std::uint8_t> bytes;
};

// The whole archive in memory. Throws std::invalid_argument for a name longer than 56 bytes,
// two entries of the same name, or an archive too large for 32-bit offsets.
std::vector<std::uint8_t> BuildPak(const std::vector<PakEntry>& entries);

}  // namespace pellow::pack
