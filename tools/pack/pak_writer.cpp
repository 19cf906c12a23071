#include "pak_writer.hpp"

#include <algorithm>

#include <limits>
#include <set>
#include <stdexcept>

#include "resources/file_formats.hpp"

namespace pellow::pack {

namespace {

constexpr std::size_t kNameLength = format::kPakNameLength;
constexpr std::size_t kHeaderLength = format::kPakHeaderLength;
constexpr std::size_t kEntryLength = format::kPakEntryLength;

void Put32(std::vector<std::uint8_t>& v, std::size_t at, std::uint32_t x) { format::PutLE32(&v[at], x); }

}  // namespace

std::vector<std::uint8_t> BuildPak(const std::vector<PakEntry>& entries) {
    std::set<std::string> seen;
    std::size_t total = kHeaderLength + entries.size() * kEntryLength;
    for (const PakEntry& e : entries) {
        if (e.name.empty() || e.name.size() > kNameLength)
            throw std::invalid_argument("archive entry name must be 1 to 56 bytes: \"" + e.name + "\"");
        if (!seen.insert(e.name).second) throw std::invalid_argument("archive entry named twice: " + e.name);
        total += e.bytes.size();
    }
    if (total > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max()))
        throw std::invalid_argument("archive too large for 32-bit offsets");

    std::vector<std::uint8_t> out(kHeaderLength, 0);
    std::copy(std::begin(format::kPakMagic), std::end(format::kPakMagic), out.begin());
    std::vector<std::uint32_t> offsets;
    for (const PakEntry& e : entries) {
        offsets.push_back(static_cast<std::uint32_t>(out.size()));
        out.insert(out.end(), e.bytes.begin(), e.bytes.end());
    }
    const std::size_t dirOffset = out.size();
    out.resize(dirOffset + entries.size() * kEntryLength, 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::size_t at = dirOffset + i * kEntryLength;
        std::copy(entries[i].name.begin(), entries[i].name.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
        Put32(out, at + kNameLength, offsets[i]);
        Put32(out, at + kNameLength + 4, static_cast<std::uint32_t>(entries[i].bytes.size()));
    }
    Put32(out, 4, static_cast<std::uint32_t>(dirOffset));
    Put32(out, 8, static_cast<std::uint32_t>(entries.size() * kEntryLength));
    return out;
}

}  // namespace pellow::pack
