#pragma once
// The pictures the game rendered for one screen size, kept on disk so that the next start at
// that size renders nothing. Each entry is one file, written whole under a temporary name and
// renamed; it is read back only when its header, sizes and checksum all hold and it was made
// from the same sources. A damaged, foreign or outdated entry is simply not used (and is
// replaced by the next store). The folder keeps a bounded number of entries and bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pellow {

// One picture in the display's 16-bit format, rows top first, no padding.
struct CachedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint16_t> pixels;
    bool operator==(const CachedPicture&) const = default;
};

struct PictureCacheKey {
    // The entry's name: letters, digits, '-' and '.', at most 64 characters.
    std::string name;
    // What the pictures were made from (the sources' identity and the renderer's version): an
    // entry made from other sources is not used.
    std::uint64_t source = 0;
};

class PictureCache {
public:
    // folder: where the entries live; empty keeps nothing. The folder is made (private to the
    // user) when the first entry is stored.
    explicit PictureCache(std::string folder, int maxEntries = 8, std::uint64_t maxBytes = 320ull << 20)
        : folder_(std::move(folder)), maxEntries_(maxEntries), maxBytes_(maxBytes) {}

    // The entry's pictures, or nothing when there is no usable entry.
    std::optional<std::vector<CachedPicture>> Load(const PictureCacheKey& key) const;
    // Stores the pictures, then removes the oldest entries beyond the bounds. A failure is one
    // "Pellow: " line on notes; the game goes on without the entry.
    bool Store(const PictureCacheKey& key, const std::vector<CachedPicture>& pictures, std::ostream& notes) const;

    const std::string& folder() const { return folder_; }

private:
    void Prune(int folderFd, const std::string& keep) const;

    std::string folder_;
    int maxEntries_;
    std::uint64_t maxBytes_;
};

// $XDG_CACHE_HOME/pellow, or ~/.cache/pellow; empty when neither can be told.
std::string DefaultCacheFolder();
// Whether a key's name is one the cache will use as a file name.
bool ValidCacheName(const std::string& name);

}  // namespace pellow
