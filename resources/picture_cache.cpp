#include "resources/picture_cache.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
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
    UniqueFd fd{open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC)};
    // Only a folder of the player's that no one else may write into: another user could put
    // files there under the entries' names, or swap them while they are read.
    struct stat st {};
    if (fd && (fstat(fd.get(), &st) != 0 || st.st_uid != geteuid() || (st.st_mode & 022) != 0)) {
        errno = EACCES;
        return UniqueFd{};
    }
    return fd;
}

// A regular file of ours at name in the folder, opened without following a link.
UniqueFd OpenEntry(int folderFd, const std::string& fileName, struct stat& st) {
    UniqueFd fd{openat(folderFd, fileName.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK)};
    if (!fd || fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return UniqueFd{};
    return fd;
}

// The entry's temporary file, made with O_EXCL: one that a killed write left would refuse every
// later write of that entry. An old plain file of that name in the cache's own folder is that
// leftover and is removed; a recent one may be another game's write under way, and stays.
bool CreateOverLeftover(detail::NewFile& file, int folderFd, const std::string& fileName) {
    if (file.Create(0600)) return true;
    if (errno != EEXIST) return false;
    const std::string temporary = detail::NewFile::TemporaryName(fileName);
    struct stat st {};
    constexpr time_t kWriteTakesAtMost = 60;
    if (fstatat(folderFd, temporary.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
        st.st_nlink != 1 || st.st_mtime + kWriteTakesAtMost > time(nullptr)) {
        errno = EEXIST;
        return false;
    }
    unlinkat(folderFd, temporary.c_str(), 0);
    return file.Create(0600);
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

std::uint16_t* PictureSet::Add(int width, int height) {
    sizes_.push_back({width, height});
    offsets_.push_back(pixels_.size());
    pixels_.resize(pixels_.size() + static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    return pixels_.data() + offsets_.back();
}

bool PictureSet::operator==(const PictureSet& o) const {
    return sizes_ == o.sizes_ && PixelCount() == o.PixelCount() &&
           std::equal(Base(), Base() + PixelCount(), o.Base());
}

std::optional<PictureSet> PictureCache::Load(const PictureCacheKey& key) const {
    if (!ValidCacheName(key.name)) return std::nullopt;
    const UniqueFd folder = OpenFolder(folder_, false);
    if (!folder) return std::nullopt;
    struct stat st {};
    const UniqueFd fd = OpenEntry(folder.get(), FileName(key.name), st);
    if (!fd || st.st_size < static_cast<off_t>(sizeof(Header) + 4) ||
        static_cast<std::uint64_t>(st.st_size) > maxBytes_)
        return std::nullopt;
    const auto fileSize = static_cast<std::size_t>(st.st_size);
    // Mapped whole and at once (MAP_POPULATE): the pixels are drawn from the file's own pages,
    // with no copy and no fault per page (reading 12 MB into fresh memory costs eight times as
    // much here). Entries are only ever replaced by a rename and removed by an unlink, which
    // leave a mapped file as it was; only a file cut short in place, by hand, in this private
    // folder, could end the game.
    void* at = mmap(nullptr, fileSize, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd.get(), 0);
    if (at == MAP_FAILED) return std::nullopt;
    std::shared_ptr<const void> mapping(at, [fileSize](const void* p) { munmap(const_cast<void*>(p), fileSize); });
    const auto* bytes = static_cast<const unsigned char*>(at);

    // Everything is checked before a pixel is trusted: the file may be damaged, cut short or
    // not ours at all.
    Header h{};
    std::memcpy(&h, bytes, sizeof h);
    if (std::memcmp(h.magic, kMagic, sizeof kMagic) != 0 || h.source != key.source || h.count == 0 ||
        h.count > kMaxPictures)
        return std::nullopt;
    const std::size_t sidesBytes = static_cast<std::size_t>(h.count) * 8;
    if (fileSize < sizeof h + sidesBytes + 4) return std::nullopt;
    PictureSet set;
    std::uint64_t pixelBytes = 0;
    for (std::size_t i = 0; i < h.count; ++i) {
        std::uint32_t wh[2];
        std::memcpy(wh, bytes + sizeof h + 8 * i, 8);
        if (wh[0] == 0 || wh[1] == 0 || wh[0] > kMaxSide || wh[1] > kMaxSide) return std::nullopt;
        set.offsets_.push_back(static_cast<std::size_t>(pixelBytes / 2));
        set.sizes_.push_back({static_cast<int>(wh[0]), static_cast<int>(wh[1])});
        pixelBytes += std::uint64_t{wh[0]} * wh[1] * 2;
    }
    if (sizeof h + sidesBytes + pixelBytes + 4 != fileSize) return std::nullopt;
    std::uint32_t storedCrc = 0;
    std::memcpy(&storedCrc, bytes + fileSize - 4, 4);
    if (Crc(0, bytes, fileSize - 4) != storedCrc) return std::nullopt;
    set.mapped_ = std::shared_ptr<const void>(mapping, bytes + sizeof h + sidesBytes);
    return set;
}

bool PictureCache::Store(const PictureCacheKey& key, const PictureSet& pictures, std::ostream& notes) const {
    if (folder_.empty() || !ValidCacheName(key.name) || pictures.size() == 0 || pictures.size() > kMaxPictures)
        return false;
    Header h{};
    std::memcpy(h.magic, kMagic, sizeof kMagic);
    h.source = key.source;
    h.count = static_cast<std::uint32_t>(pictures.size());
    std::vector<std::uint32_t> sides;
    for (const PictureSet::Size& p : pictures.sizes_) {
        if (p.width <= 0 || p.height <= 0 || p.width > static_cast<int>(kMaxSide) || p.height > static_cast<int>(kMaxSide))
            return false;
        sides.push_back(static_cast<std::uint32_t>(p.width));
        sides.push_back(static_cast<std::uint32_t>(p.height));
    }
    const std::size_t pixelBytes = pictures.PixelCount() * 2;
    const std::uint64_t total = sizeof h + sides.size() * 4 + pixelBytes + 4;
    if (total > maxBytes_) return false;
    std::uint32_t crc = Crc(0, &h, sizeof h);
    crc = Crc(crc, sides.data(), sides.size() * 4);
    crc = Crc(crc, pictures.Base(), pixelBytes);

    const UniqueFd folder = OpenFolder(folder_, true);
    if (!folder) {
        notes << "Pellow: " << detail::WithErrno("cannot keep pictures in " + detail::Quoted(folder_), errno) << '\n';
        return false;
    }
    detail::NewFile file(folder.get(), FileName(key.name));
    std::int64_t at = 0;
    const auto put = [&](const void* data, std::size_t size) {
        const bool ok = detail::WriteAt(file.get(), data, size, at);
        at += static_cast<std::int64_t>(size);
        return ok;
    };
    if (!CreateOverLeftover(file, folder.get(), FileName(key.name)) || !put(&h, sizeof h) || !put(sides.data(), sides.size() * 4) ||
        !put(pictures.Base(), pixelBytes) || !put(&crc, 4) || !file.Commit()) {
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
