#include "pak_writer.hpp"

#include <limits>
#include <set>
#include <stdexcept>

namespace pellow::pack {

namespace {

constexpr std::size_t kNameLength = 56;
constexpr std::size_t kHeaderLength = 12;

void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v[at + i] = static_cast<std::uint8_t>(x >> (8 * i));
}

}  // namespace

std::vector<std::uint8_t> BuildPak(const std::vector<PakEntry>& entries) {
    std::set<std::string> seen;
    std::size_t total = kHeaderLength + entries.size() * 64;
    for (const PakEntry& e : entries) {
        if (e.name.empty() || e.name.size() > kNameLength)
            throw std::invalid_argument("archive entry name must be 1 to 56 bytes: \"" + e.name + "\"");
        if (!seen.insert(e.name).second) throw std::invalid_argument("archive entry named twice: " + e.name);
        total += e.bytes.size();
    }
    if (total > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::invalid_argument("archive too large for 32-bit offsets");

    std::vector<std::uint8_t> out(kHeaderLength, 0);
    out[0] = 'P';
    out[1] = 'A';
    out[2] = 'C';
    out[3] = 'K';
    std::vector<std::uint32_t> offsets;
    for (const PakEntry& e : entries) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    }
    const std::size_t dirOffset = out.size();
    out.resize(dirOffset + entries.size() * 64, 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t at = dirOffset + i * 64;
        std::copy(entries[i].name.begin(), entries[i].name.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
        Put32(out, at + 56, offsets[i]);
        Put32(out, at + 60, static_cast<std::uint32_t>(entries[i].bytes.size()));
    }
    Put32(out, 4, static_cast<std::uint32_t>(dirOffset));
    Put32(out, 8, static_cast<std::uint32_t>(entries.size() * 64));
    return out;
}

}  // namespace pellow::pack
