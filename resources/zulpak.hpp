#pragma once
// Reader of the game's resource archive: a 12-byte header ("PACK", directory offset, directory
// length), a directory of 64-byte entries (56-byte name, offset, size) and the entries' bytes,
// all integers 32-bit little-endian. The directory is loaded once; entries are copied out to
// files on request. No file stays open between calls.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/fatal_error.hpp"
#include "resources/file_formats.hpp"

namespace pellow {

// An archive that starts with "PACK" but cannot be used as one, or a file that cannot be read or
// written. The message names the file and the problem.
class PakError : public FatalError {
public:
    using FatalError::FatalError;
};

// An entry's name field as a player can read it in a message: up to the first NUL, without
// trailing padding, anything unprintable shown as '?'.
std::string ReadableEntryName(const std::string& field);
// "entry <id> ("<readable name>")", how messages point at one entry.
std::string EntryLabel(std::int32_t id, const std::string& field);

class zulPAK {
public:
    static constexpr std::int32_t kNameLength = format::kPakNameLength;
    static constexpr std::int32_t kEntryLength = format::kPakEntryLength;

    // The stored name field of entry id, all 56 characters, padding included.
    // Every accessor throws std::out_of_range for an id outside 0..NumEntrys() or while no
    // archive is loaded.
    std::string EntryName(std::int32_t id) const;
    std::int32_t EntryOffset(std::int32_t id) const;
    std::int32_t EntrySize(std::int32_t id) const;
    // Index of the last entry (entries minus one); 0 before any archive is loaded.
    std::int32_t NumEntrys() const { return header_.NumEntrys; }
    // Path of the archive last loaded, empty while none is.
    const std::string& FileLoaded() const { return fileLoaded_; }

    // Loads the directory of PAKpath. A path naming no file, or a file that does not begin with
    // "PACK" (case-sensitive), loads nothing and leaves the object as it was. A "PACK" file whose
    // directory or entries do not fit the file throws PakError, also leaving the object as it was.
    void OpenQ2Pak(const std::string& PAKpath);
    // The same for an archive already in memory (copied); name stands for its path in messages
    // and in FileLoaded, and SaveFileFromPAK copies entries out of the bytes kept.
    void OpenQ2PakFromMemory(const std::string& name, const unsigned char* data, std::size_t size);

    // The bytes of entry id. Throws std::out_of_range for a bad id, and PakError when the entry
    // cannot be read.
    std::vector<unsigned char> ReadEntry(std::int32_t id) const;
    // Writes entry id to SaveToPath (created, or replaced if it exists: written under a
    // temporary name and renamed, so whatever was at the name is never written through).
    // Throws std::out_of_range for a bad id before touching any file, and PakError when the
    // entry cannot be read or the file cannot be written; nothing is left of a file it could
    // not finish.
    void SaveFileFromPAK(std::int32_t id, const std::string& SaveToPath);

private:
    struct PakHeader {
        char Magic[4] = {};
        std::int32_t DirOffset = 0;
        std::int32_t DirLength = 0;
        std::int32_t NumEntrys = 0;
    };
    struct PakEntry {
        std::string Name;  // exactly kNameLength bytes
        std::int32_t Offset = 0;
        std::int32_t Size = 0;
    };

    const PakEntry& Entry(std::int32_t id) const;
    // Reads up to size bytes at offset of the archive being loaded; -1 with errno on failure.
    using ReadFn = std::function<std::int64_t(void* data, std::size_t size, std::int64_t offset)>;
    // The checks and the directory of OpenQ2Pak, whatever holds the bytes. False when they do
    // not begin with "PACK"; nothing is changed then or when it throws.
    bool Load(const std::string& name, std::int64_t size, const ReadFn& readAt);

    PakHeader header_;
    std::vector<PakEntry> entries_;
    std::string fileLoaded_;
    std::vector<unsigned char> memory_;  // the bytes of an archive loaded from memory
    bool inMemory_ = false;
};

}  // namespace pellow
