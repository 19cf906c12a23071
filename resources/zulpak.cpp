#include "resources/zulpak.hpp"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "engine/numeric.hpp"
#include "resources/file_formats.hpp"
#include "resources/posix_file.hpp"

namespace pellow {

namespace {

using detail::Quoted;
using detail::ReadAt;
using detail::UniqueFd;
using detail::WithErrno;

std::int32_t ReadLE32(const unsigned char* p) { return static_cast<std::int32_t>(format::ReadLE32(p)); }

PakError Damaged(const std::string& path, const std::string& problem) {
    return PakError("The resource archive " + Quoted(path) + " is damaged: " + problem + ".");
}

}  // namespace

std::string ReadableEntryName(const std::string& field) {
    std::string name = field.substr(0, field.find('\0'));
    name.erase(name.find_last_not_of(' ') + 1);
    for (char& c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7f) c = '?';
    }
    return name;
}

std::string EntryLabel(std::int32_t id, const std::string& field) {
    return "entry " + std::to_string(id) + " (\"" + ReadableEntryName(field) + "\")";
}

const zulPAK::PakEntry& zulPAK::Entry(std::int32_t id) const {
    if (id < 0 || static_cast<std::size_t>(id) >= entries_.size()) {
        const std::string what = fileLoaded_.empty() ? "no resource archive is loaded"
                                                     : "the resource archive " + Quoted(fileLoaded_) +
                                                           " has entries 0 to " + std::to_string(header_.NumEntrys);
        throw std::out_of_range("Entry " + std::to_string(id) + " does not exist: " + what + ".");
    }
    return entries_[static_cast<std::size_t>(id)];
}

std::string zulPAK::EntryName(std::int32_t id) const { return Entry(id).Name; }
std::int32_t zulPAK::EntryOffset(std::int32_t id) const { return Entry(id).Offset; }
std::int32_t zulPAK::EntrySize(std::int32_t id) const { return Entry(id).Size; }

void zulPAK::OpenQ2Pak(const std::string& PAKpath) {
    UniqueFd fd(::open(PAKpath.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        // No such file is not an error: the caller sees through FileLoaded that nothing loaded.
        if (errno == ENOENT || errno == ENOTDIR) return;
        throw PakError(WithErrno("The resource archive " + Quoted(PAKpath) + " cannot be opened", errno));
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw PakError(WithErrno("The resource archive " + Quoted(PAKpath) + " cannot be read", errno));
    if (!S_ISREG(st.st_mode)) throw PakError("The resource archive " + Quoted(PAKpath) + " is not a file.");
    const int raw = fd.get();
    if (Load(PAKpath, st.st_size,
             [raw](void* data, std::size_t size, std::int64_t offset) { return ReadAt(raw, data, size, offset); })) {
        memory_.clear();
        inMemory_ = false;
    }
}

void zulPAK::OpenQ2PakFromMemory(const std::string& name, const unsigned char* data, std::size_t size) {
    std::vector<unsigned char> bytes(data, data + size);
    const auto readAt = [&bytes](void* out, std::size_t want, std::int64_t offset) -> std::int64_t {
        if (offset < 0 || static_cast<std::uint64_t>(offset) >= bytes.size()) return 0;
        const std::size_t n = std::min(want, bytes.size() - static_cast<std::size_t>(offset));
        std::memcpy(out, bytes.data() + offset, n);
        return static_cast<std::int64_t>(n);
    };
    if (Load(name, static_cast<std::int64_t>(size), readAt)) {
        memory_ = std::move(bytes);
        inMemory_ = true;
    }
}

bool zulPAK::Load(const std::string& PAKpath, std::int64_t fileSize, const ReadFn& readAt) {
    unsigned char head[16] = {};
    const std::int64_t got = readAt(head, sizeof head, 0);
    if (got < 0) throw PakError(WithErrno("The resource archive " + Quoted(PAKpath) + " cannot be read", errno));
    if (got < 4 || std::memcmp(head, format::kPakMagic, 4) != 0) return false;  // not an archive: keep what we had
    if (got < format::kPakHeaderLength) throw Damaged(PAKpath, "its header is cut short");

    PakHeader header;
    std::memcpy(header.Magic, head, 4);
    header.DirOffset = ReadLE32(head + 4);
    header.DirLength = ReadLE32(head + 8);
    // Fewer than 64 bytes cannot hold one entry; the rounding below would otherwise ask for a
    // directory of no or minus one entries.
    if (header.DirLength < kEntryLength)
        throw Damaged(PAKpath, "its directory length (" + std::to_string(header.DirLength) +
                                   " bytes) is too small to hold one entry");
    header.NumEntrys = RoundHalfEven(header.DirLength / 64.0 - 1.0);

    // The rounding may read one entry beyond the declared length; what counts is what is read.
    const std::int64_t count = std::int64_t{header.NumEntrys} + 1;
    const std::int64_t dirEnd = std::int64_t{header.DirOffset} + count * kEntryLength;
    if (header.DirOffset < 0 || dirEnd > fileSize)
        throw Damaged(PAKpath, "its directory (" + std::to_string(count) + " entries at offset " +
                                   std::to_string(header.DirOffset) + ") runs past the end of the file (" +
                                   std::to_string(fileSize) + " bytes)");

    std::vector<unsigned char> dir(static_cast<std::size_t>(count * kEntryLength));
    const std::int64_t dirGot = readAt(dir.data(), dir.size(), header.DirOffset);
    if (dirGot < 0) throw PakError(WithErrno("The resource archive " + Quoted(PAKpath) + " cannot be read", errno));
    if (dirGot != static_cast<std::int64_t>(dir.size())) throw Damaged(PAKpath, "its directory is cut short");

    std::vector<PakEntry> entries(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const unsigned char* raw = dir.data() + i * kEntryLength;
        PakEntry& e = entries[i];
        e.Name.assign(reinterpret_cast<const char*>(raw), kNameLength);
        e.Offset = ReadLE32(raw + kNameLength);
        e.Size = ReadLE32(raw + kNameLength + 4);
        // Checked here, before anything is copied out, so that unpacking fails before it writes.
        const std::string label = EntryLabel(static_cast<std::int32_t>(i), e.Name);
        if (e.Offset < 0) throw Damaged(PAKpath, label + " has a negative offset");
        if (e.Size < 0) throw Damaged(PAKpath, label + " has a negative size");
        if (std::int64_t{e.Offset} + e.Size > fileSize)
            throw Damaged(PAKpath, label + " runs past the end of the file");
    }

    header_ = header;
    entries_ = std::move(entries);
    fileLoaded_ = PAKpath;
    return true;
}

std::vector<unsigned char> zulPAK::ReadEntry(std::int32_t id) const {
    const PakEntry& e = Entry(id);
    std::vector<unsigned char> buffer(static_cast<std::size_t>(e.Size));

    if (inMemory_) {
        // Checked against these very bytes when loaded.
        std::memcpy(buffer.data(), memory_.data() + e.Offset, buffer.size());
    } else {
        UniqueFd in(::open(fileLoaded_.c_str(), O_RDONLY | O_CLOEXEC));
        if (!in) throw PakError(WithErrno("The resource archive " + Quoted(fileLoaded_) + " cannot be opened", errno));
        const std::int64_t got = ReadAt(in.get(), buffer.data(), buffer.size(), e.Offset);
        if (got < 0)
            throw PakError(WithErrno("The resource archive " + Quoted(fileLoaded_) + " cannot be read", errno));
        // The file may have changed since its directory was checked.
        if (got != e.Size) throw Damaged(fileLoaded_, EntryLabel(id, e.Name) + " runs past the end of the file");
    }

    return buffer;
}

void zulPAK::SaveFileFromPAK(std::int32_t id, const std::string& SaveToPath) {
    const std::vector<unsigned char> buffer = ReadEntry(id);
    detail::NewFile out(AT_FDCWD, SaveToPath);
    if (!out.Create() || !detail::WriteAt(out.get(), buffer.data(), buffer.size(), 0) || !out.Commit())
        throw PakError(WithErrno("The file " + Quoted(SaveToPath) + " cannot be written", errno));
}

}  // namespace pellow
