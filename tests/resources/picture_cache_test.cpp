#include "resources/picture_cache.hpp"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

namespace pellow {
namespace {

namespace fs = std::filesystem;

class PictureCacheTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("pellow-cache-test-" + std::to_string(getpid()));
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    void TearDown() override { fs::remove_all(root_); }

    static PictureSet Pictures(int seed) {
        PictureSet pictures;
        for (int n = 0; n < 3; ++n) {
            const int width = 5 + n, height = 3 + 2 * n;
            std::uint16_t* px = pictures.Add(width, height);
            for (int i = 0; i < width * height; ++i) px[i] = static_cast<std::uint16_t>(seed * 977 + i * 31 + n);
        }
        return pictures;
    }
    fs::path Folder() const { return root_ / "cache" / "pellow"; }

    fs::path root_;
    std::ostringstream notes_;
};

TEST_F(PictureCacheTest, KeepsWhatWasStoredAndRefusesWhatDoesNotHold) {
    const PictureCache cache(Folder().string());
    const PictureCacheKey key{"Royal-1920x1080", 42};
    EXPECT_FALSE(cache.Load(key));
    ASSERT_TRUE(cache.Store(key, Pictures(1), notes_)) << notes_.str();
    EXPECT_EQ(fs::status(Folder()).permissions() & fs::perms::all, fs::perms::owner_all);
    ASSERT_EQ(cache.Load(key), Pictures(1));
    // Made from other sources: not used.
    EXPECT_FALSE(cache.Load({key.name, 43}));

    // One byte changed anywhere, or the file cut short, and the entry is not trusted.
    const fs::path file = Folder() / "Royal-1920x1080.pics";
    std::string bytes;
    {
        std::ifstream in(file, std::ios::binary);
        bytes.assign(std::istreambuf_iterator<char>(in), {});
    }
    for (const std::size_t at : {std::size_t{3}, std::size_t{30}, bytes.size() / 2, bytes.size() - 1}) {
        std::string damaged = bytes;
        damaged[at] = static_cast<char>(damaged[at] ^ 0x10);
        std::ofstream(file, std::ios::binary | std::ios::trunc) << damaged;
        EXPECT_FALSE(cache.Load(key)) << "byte " << at;
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << bytes.substr(0, bytes.size() - 9);
    EXPECT_FALSE(cache.Load(key));
    // A later store replaces it.
    ASSERT_TRUE(cache.Store(key, Pictures(2), notes_));
    EXPECT_EQ(cache.Load(key), Pictures(2));

    // Names that could leave the folder are never used.
    for (const char* bad : {"", "../x", ".hidden", "a/b", "with space"}) {
        EXPECT_FALSE(cache.Store({bad, 1}, Pictures(1), notes_)) << bad;
        EXPECT_FALSE(cache.Load({bad, 1})) << bad;
    }
}

TEST_F(PictureCacheTest, FollowsNoLinkAndRemovesOnlyItsOwnOldestEntries) {
    fs::create_directories(Folder());
    // A link where an entry would be is not read through.
    std::ofstream(root_ / "elsewhere") << "not pictures";
    fs::create_symlink(root_ / "elsewhere", Folder() / "Worn-800x600.pics");
    const PictureCache cache(Folder().string(), 2);
    EXPECT_FALSE(cache.Load({"Worn-800x600", 1}));

    // A file that merely has an entry's name, and any other file, stay.
    std::ofstream(Folder() / "Foreign-1x1.pics") << "somebody else's";
    std::ofstream(Folder() / "notes.txt") << "mine";
    for (int n = 0; n < 4; ++n) {
        ASSERT_TRUE(cache.Store({"Royal-" + std::to_string(n), 7}, Pictures(n), notes_));
        // Distinct times, oldest first.
        fs::last_write_time(Folder() / ("Royal-" + std::to_string(n) + ".pics"),
                            fs::file_time_type::clock::now() - std::chrono::hours(10 - n));
    }
    ASSERT_TRUE(cache.Store({"Royal-9", 7}, Pictures(9), notes_));
    EXPECT_TRUE(cache.Load({"Royal-9", 7}));
    EXPECT_TRUE(cache.Load({"Royal-3", 7}));
    for (const char* gone : {"Royal-0", "Royal-1", "Royal-2"}) EXPECT_FALSE(fs::exists(Folder() / (std::string(gone) + ".pics"))) << gone;
    EXPECT_TRUE(fs::exists(Folder() / "Foreign-1x1.pics"));
    EXPECT_TRUE(fs::exists(Folder() / "notes.txt"));
    EXPECT_TRUE(fs::is_symlink(Folder() / "Worn-800x600.pics"));
    EXPECT_TRUE(fs::exists(root_ / "elsewhere"));
}

TEST_F(PictureCacheTest, AWriteKilledLongAgoDoesNotBlockItsEntry) {
    const PictureCache cache(Folder().string());
    fs::create_directories(Folder());
    const fs::path part = Folder() / ".Royal-5.pics.part";
    // Just made: perhaps another game's write under way, so it stays and this store gives way.
    std::ofstream(part) << "half";
    EXPECT_FALSE(cache.Store({"Royal-5", 1}, Pictures(5), notes_));
    EXPECT_TRUE(fs::exists(part));
    // Left by a write killed long ago: removed, and the entry is written.
    fs::last_write_time(part, fs::file_time_type::clock::now() - std::chrono::hours(2));
    ASSERT_TRUE(cache.Store({"Royal-5", 1}, Pictures(5), notes_)) << notes_.str();
    EXPECT_EQ(cache.Load({"Royal-5", 1}), Pictures(5));
    EXPECT_FALSE(fs::exists(part));
    // A link of that name is never followed nor removed.
    std::ofstream(root_ / "target") << "someone's";
    fs::create_symlink(root_ / "target", Folder() / ".Royal-6.pics.part");
    EXPECT_FALSE(cache.Store({"Royal-6", 1}, Pictures(6), notes_));
    EXPECT_TRUE(fs::is_symlink(Folder() / ".Royal-6.pics.part"));
}

TEST_F(PictureCacheTest, AFolderThatCannotBeMadeIsOneNote) {
    std::ofstream(root_ / "cache") << "a file where the folder would go";
    const PictureCache cache(Folder().string());
    EXPECT_FALSE(cache.Store({"Royal-1", 1}, Pictures(1), notes_));
    EXPECT_EQ(notes_.str().rfind("Pellow: ", 0), 0u) << notes_.str();
    EXPECT_FALSE(PictureCache("").Store({"Royal-1", 1}, Pictures(1), notes_));
}

TEST_F(PictureCacheTest, AFolderOthersMayWriteIntoIsNotUsed) {
    const PictureCache cache(Folder().string());
    ASSERT_TRUE(cache.Store({"Royal-1", 1}, Pictures(1), notes_));
    fs::permissions(Folder(), fs::perms::others_write, fs::perm_options::add);
    EXPECT_FALSE(cache.Load({"Royal-1", 1}));
    EXPECT_FALSE(cache.Store({"Royal-2", 1}, Pictures(2), notes_));
    EXPECT_FALSE(fs::exists(Folder() / "Royal-2.pics"));
}

}  // namespace
}  // namespace pellow
