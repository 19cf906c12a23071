#include "resources/picture_cache.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "resources/posix_file.hpp"

namespace pellow {

namespace {

using detail::UniqueFd;

constexpr char kMagic[8] = {'P', 'E', 'L', 'P', 'I', 'C', 'S', '1'};
constexpr const char* kSuffix = ".pics";
constexpr std::uint32_t kMaxPictures = 1024;
constexpr std::uint32_t kMaxSide = 16384;

// magic, source, picture count; then width and height of each; then the pixels; then the
// CRC-32 of everything before it. Little-endian, as every machine the game runs on.
struct Header {
    char magic[8];
    std::uint64_t source;
    std::uint32_t count;
    std::uint32_t reserved;
};
static_assert(sizeof(Header) == 24);

std::uint32_t Crc(std::uint32_t crc, const void* data, std::size_t size) {
    const auto* p = static_cast<const Bytef*>(data);
    // zlib takes a uInt length: feed it in pieces.
    while (size > 0) {
        const auto piece = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = static_cast<std::uint32_t>(crc32(crc, p, piece));
        p += piece;
        size -= piece;
    }
    return crc;
}

std::string FileName(const std::string& name) { return name + kSuffix; }

bool OurName(const char* entry) {
    const std::string n = entry;
    const std::size_t suffix = std::strlen(kSuffix);
    return n.size() > suffix && n.compare(n.size() - suffix, suffix, kSuffix) == 0 &&
           ValidCacheName(n.substr(0, n.size() - suffix));
}

// The cache folder, made when asked (private to the user), opened without following a link.
UniqueFd OpenFolder(const std::string& folder, bool make) {
    if (folder.empty()) return UniqueFd{};
    if (make) {
        const std::size_t slash = folder.find_last_of('/');
        if (slash != std::string::npos && slash > 0) mkdir(folder.substr(0, slash).c_str(), 0700);
        mkdir(folder.c_str(), 0700);
    }
    return UniqueFd{open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
}

// A regular file of ours at name in the folder, opened without following a link.
UniqueFd OpenEntry(int folderFd, const std::string& fileName, struct stat& st) {
    UniqueFd fd{openat(folderFd, fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK)};
    if (!fd || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return UniqueFd{};
    return fd;
}

bool HasOurMagic(int fd) {
    char magic[sizeof kMagic];
    return detail::ReadAt(fd, magic, sizeof magic, 0) == static_cast<std::int64_t>(sizeof magic) &&
           std::memcmp(magic, kMagic, sizeof magic) == 0;
}

}  // namespace

bool ValidCacheName(const std::string& name) {
    if (name.empty() || name.size() > 64 || name[0] == '.') return false;
    return std::all_of(name.begin(), name.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    });
}

std::string DefaultCacheFolder() {
    // A relative XDG_CACHE_HOME is invalid and is ignored, as the desktop's rules say.
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/pellow";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.cache/pellow";
    return {};
}

std::optional<std::vector<CachedPicture>> PictureCache::Load(const PictureCacheKey& key) const {
    if (!ValidCacheName(key.name)) return std::nullopt;
    const UniqueFd folder = OpenFolder(folder_, false);
    if (!folder) return std::nullopt;
    struct stat st {};
    const UniqueFd fd = OpenEntry(folder.get(), FileName(key.name), st);
    if (!fd || st.st_size < static_cast<off_t>(sizeof(Header) + 4) ||
        static_cast<std::uint64_t>(st.st_size) > maxBytes_)
        return std::nullopt;
    std::vector<unsigned char> bytes(static_cast<std::size_t>(st.st_size));
    if (detail::ReadAt(fd.get(), bytes.data(), bytes.size(), 0) != static_cast<std::int64_t>(bytes.size()))
        return std::nullopt;

    // Everything is checked before a pixel is trusted: the file may be damaged, cut short or
    // not ours at all.
    const std::size_t body = bytes.size() - 4;
    std::uint32_t storedCrc = 0;
    std::memcpy(&storedCrc, bytes.data() + body, 4);
    if (Crc(0, bytes.data(), body) != storedCrc) return std::nullopt;
    Header h{};
    std::memcpy(&h, bytes.data(), sizeof h);
    if (std::memcmp(h.magic, kMagic, sizeof kMagic) != 0 || h.source != key.source || h.count == 0 ||
        h.count > kMaxPictures)
        return std::nullopt;
    std::size_t at = sizeof h;
    if (body - at < static_cast<std::size_t>(h.count) * 8) return std::nullopt;
    std::vector<CachedPicture> pictures(h.count);
    std::uint64_t pixelBytes = 0;
    for (CachedPicture& p : pictures) {
        std::uint32_t wh[2];
        std::memcpy(wh, bytes.data() + at, 8);
        at += 8;
        if (wh[0] == 0 || wh[1] == 0 || wh[0] > kMaxSide || wh[1] > kMaxSide) return std::nullopt;
        p.width = static_cast<int>(wh[0]);
        p.height = static_cast<int>(wh[1]);
        pixelBytes += std::uint64_t{wh[0]} * wh[1] * 2;
    }
    if (pixelBytes != body - at) return std::nullopt;
    for (CachedPicture& p : pictures) {
        p.pixels.resize(static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height));
        std::memcpy(p.pixels.data(), bytes.data() + at, p.pixels.size() * 2);
        at += p.pixels.size() * 2;
    }
    return pictures;
}

bool PictureCache::Store(const PictureCacheKey& key, const std::vector<CachedPicture>& pictures,
                         std::ostream& notes) const {
    if (folder_.empty() || !ValidCacheName(key.name) || pictures.empty() || pictures.size() > kMaxPictures)
        return false;
    std::vector<unsigned char> bytes(sizeof(Header));
    Header h{};
    std::memcpy(h.magic, kMagic, sizeof kMagic);
    h.source = key.source;
    h.count = static_cast<std::uint32_t>(pictures.size());
    std::memcpy(bytes.data(), &h, sizeof h);
    for (const CachedPicture& p : pictures) {
        if (p.width <= 0 || p.height <= 0 || p.width > static_cast<int>(kMaxSide) ||
            p.height > static_cast<int>(kMaxSide) ||
            p.pixels.size() != static_cast<std::size_t>(p.width) * static_cast<std::size_t>(p.height))
            return false;
        const std::uint32_t wh[2] = {static_cast<std::uint32_t>(p.width), static_cast<std::uint32_t>(p.height)};
        bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(wh),
                     reinterpret_cast<const unsigned char*>(wh) + 8);
    }
    for (const CachedPicture& p : pictures) {
        const auto* px = reinterpret_cast<const unsigned char*>(p.pixels.data());
        bytes.insert(bytes.end(), px, px + p.pixels.size() * 2);
    }
    const std::uint32_t crc = Crc(0, bytes.data(), bytes.size());
    bytes.insert(bytes.end(), reinterpret_cast<const unsigned char*>(&crc),
                 reinterpret_cast<const unsigned char*>(&crc) + 4);
    if (bytes.size() > maxBytes_) return false;

    const UniqueFd folder = OpenFolder(folder_, true);
    if (!folder) {
        notes << "Pellow: " << detail::WithErrno("cannot keep pictures in " + detail::Quoted(folder_), errno) << '\n';
        return false;
    }
    detail::NewFile file(folder.get(), FileName(key.name));
    if (!file.Create(0600) || !detail::WriteAt(file.get(), bytes.data(), bytes.size(), 0) || !file.Commit()) {
        notes << "Pellow: " << detail::WithErrno("cannot keep pictures in " + detail::Quoted(folder_), errno) << '\n';
        return false;
    }
    Prune(folder.get(), FileName(key.name));
    return true;
}

void PictureCache::Prune(int folderFd, const std::string& keep) const {
    struct Entry {
        std::string name;
        struct timespec modified;
        std::uint64_t size;
    };
    std::vector<Entry> entries;
    const int listFd = openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listFd < 0) return;
    DIR* dir = fdopendir(listFd);
    if (!dir) {
        close(listFd);
        return;
    }
    while (const dirent* d = readdir(dir)) {
        if (!OurName(d->d_name)) continue;
        // Only files that are ours by their contents too count, and are ever removed.
        struct stat st {};
        const UniqueFd fd = OpenEntry(folderFd, d->d_name, st);
        if (!fd || !HasOurMagic(fd.get())) continue;
        entries.push_back({d->d_name, st.st_mtim, static_cast<std::uint64_t>(st.st_size)});
    }
    closedir(dir);
    // Newest first; the entry just stored always stays.
    std::sort(entries.begin(), entries.end(), [&keep](const Entry& a, const Entry& b) {
        if ((a.name == keep) != (b.name == keep)) return a.name == keep;
        if (a.modified.tv_sec != b.modified.tv_sec) return a.modified.tv_sec > b.modified.tv_sec;
        return a.modified.tv_nsec > b.modified.tv_nsec;
    });
    std::uint64_t total = 0;
    int kept = 0;
    for (const Entry& e : entries) {
        total += e.size;
        if (e.name == keep || (kept < maxEntries_ && total <= maxBytes_)) {
            ++kept;
            continue;
        }
        unlinkat(folderFd, e.name.c_str(), 0);
    }
}

}  // namespace pellow
