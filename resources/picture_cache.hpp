#pragma once
// The pictures the game rendered for one screen size, kept on disk so that the next start at
// that size renders nothing. Each entry is one file, written whole under a temporary name and
// renamed; it is read back only when its header, sizes and checksum all hold and it was made
// from the same sources. A damaged, foreign or outdated entry is simply not used (and is
// replaced by the next store). The folder keeps a bounded number of entries and bytes.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pellow {

// Pictures in the display's 16-bit format, one after another in one block (rows top first, no
// padding), so that they are read in one piece and drawn from where they were read.
class PictureSet {
public:
    struct Size {
        int width = 0, height = 0;
        bool operator==(const Size&) const = default;
    };
    // Appends a picture of that size (its pixels 0) and returns where its pixels are.
    std::uint16_t* Add(int width, int height);
    std::size_t size() const { return sizes_.size(); }
    const Size& SizeOf(std::size_t i) const { return sizes_[i]; }
    const std::uint16_t* Pixels(std::size_t i) const { return Base() + offsets_[i]; }
    // Every pixel, in order.
    std::size_t PixelCount() const { return offsets_.empty() ? 0 : offsets_.back() + Count(sizes_.back()); }
    bool operator==(const PictureSet& o) const;

private:
    friend class PictureCache;
    static std::size_t Count(const Size& s) { return static_cast<std::size_t>(s.width) * static_cast<std::size_t>(s.height); }
    const std::uint16_t* Base() const { return mapped_ ? static_cast<const std::uint16_t*>(mapped_.get()) : pixels_.data(); }

    std::vector<Size> sizes_;
    std::vector<std::size_t> offsets_;
    // Made here, or (read from the cache) the file's pixels mapped where they lie on disk.
    std::vector<std::uint16_t> pixels_;
    std::shared_ptr<const void> mapped_;
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
    std::optional<PictureSet> Load(const PictureCacheKey& key) const;
    // Stores the pictures, then removes the oldest entries beyond the bounds. A failure is one
    // "Pellow: " line on notes; the game goes on without the entry.
    bool Store(const PictureCacheKey& key, const PictureSet& pictures, std::ostream& notes) const;

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
