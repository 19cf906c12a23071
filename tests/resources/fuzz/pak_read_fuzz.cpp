// Fuzz target for the archive reader alone, in memory: nothing touches the disk, so it runs
// tens of thousands of inputs a second. Besides crashes, leaks and sanitizer reports, a finding
// is any broken promise of the reader about what it accepts or refuses.
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>

#include "fuzz/fuzz_support.hpp"
#include "resources/zulpak.hpp"

using pellow::fuzz::Finding;

namespace {

std::int32_t LE32(const std::uint8_t* p) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                                     (static_cast<std::uint32_t>(p[2]) << 16) |
                                     (static_cast<std::uint32_t>(p[3]) << 24));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const bool packMagic = size >= 4 && std::memcmp(data, "PACK", 4) == 0;
    pellow::zulPAK pak;
    try {
        pak.OpenQ2PakFromMemory("fuzz.pak", data, size);
    } catch (const pellow::PakError& e) {
        if (!packMagic) Finding("a file that is no archive was called a damaged one");
        if (!pak.FileLoaded().empty()) Finding("a refused archive stayed loaded");
        if (std::strstr(e.what(), "\"fuzz.pak\"") == nullptr)
            Finding(std::string("the message does not name the archive: ") + e.what());
        return 0;
    }
    if (pak.FileLoaded().empty()) {
        if (packMagic) Finding("an archive was neither loaded nor refused");
        try {
            pak.EntryName(0);
            Finding("an entry was read while no archive is loaded");
        } catch (const std::out_of_range&) {
        }
        return 0;
    }
    if (!packMagic) Finding("a file without the archive's magic was loaded");
    const auto fileSize = static_cast<std::int64_t>(size);
    const std::int64_t dirOffset = LE32(data + 4);
    for (std::int32_t id = 0; id <= pak.NumEntrys(); ++id) {
        const std::int64_t offset = pak.EntryOffset(id);
        const std::int64_t entrySize = pak.EntrySize(id);
        if (offset < 0 || entrySize < 0 || offset + entrySize > fileSize)
            Finding("an accepted entry lies outside the file");
        // The entry is the directory's record, read where the header says the directory is.
        const std::int64_t record = dirOffset + std::int64_t{id} * pellow::zulPAK::kEntryLength;
        if (record < 0 || record + pellow::zulPAK::kEntryLength > fileSize)
            Finding("an entry was read outside the file");
        const std::uint8_t* raw = data + record;
        if (pak.EntryName(id) != std::string(reinterpret_cast<const char*>(raw), pellow::zulPAK::kNameLength))
            Finding("an entry name is not its whole field");
        if (offset != LE32(raw + 56) || entrySize != LE32(raw + 60))
            Finding("an entry's placement is not its record's");
    }
    try {
        pak.EntryName(pak.NumEntrys() + 1);
        Finding("an entry past the last one was read");
    } catch (const std::out_of_range&) {
    }
    return 0;
}
