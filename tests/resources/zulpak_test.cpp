#include "resources/zulpak.hpp"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "resources/pak_bytes.hpp"

namespace pellow {
namespace {

namespace fs = std::filesystem;
using test::DirEntry;
using test::Header;
using test::LE32;
using test::PakBytes;
using test::ReadBytes;
using test::WriteBytes;

class ZulPakTest : public test::ScratchTest {};

// A directory of `physical` entries named E0, E1, ... declared as dirLength bytes.
std::string ArchiveWithDeclaredLength(int physical, std::int32_t dirLength) {
    std::string dir;
    for (int i = 0; i < physical; ++i) {
        std::string name = "E";
        name += std::to_string(i);
        dir += DirEntry(name, 0, 4);
    }
    return Header(16, dirLength) + dir;
}

TEST_F(ZulPakTest, EntryCountRoundsDirectoryLengthHalvesToEven) {
    struct Case {
        std::int32_t dirLength;
        std::int32_t numEntrys;
    };
    for (const Case c : {Case{640, 9}, Case{96, 0}, Case{160, 2}, Case{64, 0}}) {
        SCOPED_TRACE(c.dirLength);
        WriteBytes(Path("a.pak"), ArchiveWithDeclaredLength(12, c.dirLength));
        zulPAK pak;
        pak.OpenQ2Pak(Path("a.pak"));
        EXPECT_EQ(pak.NumEntrys(), c.numEntrys);
        // Entries are read in file order, the last one possibly beyond the declared length.
        EXPECT_EQ(pak.EntryName(c.numEntrys).substr(0, 3), std::string("E") + std::to_string(c.numEntrys) + '\0');
        EXPECT_THROW(pak.EntryName(c.numEntrys + 1), std::out_of_range);
    }
}

TEST_F(ZulPakTest, ReportsNameFieldWithPaddingAndEntryPlacement) {
    WriteBytes(Path("a.pak"), PakBytes({{"Sounds_SHUFFLE.WAV", "abc"}, {"Bitmaps_x.bmp", "defgh"}}));
    zulPAK pak;
    pak.OpenQ2Pak(Path("a.pak"));
    ASSERT_EQ(pak.FileLoaded(), Path("a.pak"));
    EXPECT_EQ(pak.NumEntrys(), 1);
    EXPECT_EQ(pak.EntryName(0), "Sounds_SHUFFLE.WAV" + std::string(38, '\0'));
    EXPECT_EQ(pak.EntryName(0).size(), 56u);
    EXPECT_EQ(pak.EntryOffset(0), 16);
    EXPECT_EQ(pak.EntrySize(0), 3);
    EXPECT_EQ(pak.EntryOffset(1), 19);
    EXPECT_EQ(pak.EntrySize(1), 5);
}

TEST_F(ZulPakTest, OnlyAnExactPackMagicLoadsAndReplacesTheDirectory) {
    WriteBytes(Path("one.pak"), PakBytes({{"A", "1"}, {"B", "2"}, {"C", "3"}}));
    WriteBytes(Path("two.pak"), PakBytes({{"Z", "zz"}}));
    WriteBytes(Path("lower.pak"), Header(16, 64, "pack") + DirEntry("x", 0, 1));
    WriteBytes(Path("short.pak"), "PAC");
    zulPAK pak;
    pak.OpenQ2Pak(Path("lower.pak"));
    EXPECT_EQ(pak.FileLoaded(), "");
    EXPECT_THROW(pak.EntryName(0), std::out_of_range);

    pak.OpenQ2Pak(Path("one.pak"));
    pak.OpenQ2Pak(Path("two.pak"));
    EXPECT_EQ(pak.FileLoaded(), Path("two.pak"));
    EXPECT_EQ(pak.NumEntrys(), 0);
    EXPECT_THROW(pak.EntryName(1), std::out_of_range);
    // Neither a non-archive nor a missing file (which is not created) disturbs what is loaded.
    for (const char* other : {"lower.pak", "short.pak", "missing.pak"}) pak.OpenQ2Pak(Path(other));
    EXPECT_FALSE(fs::exists(Path("missing.pak")));
    EXPECT_EQ(pak.FileLoaded(), Path("two.pak"));
    pak.SaveFileFromPAK(0, Path("out"));
    EXPECT_EQ(ReadBytes(Path("out")), "zz");

    // The same from memory: the bytes kept are what entries are copied from, until a file is
    // loaded again.
    const std::string one = ReadBytes(Path("one.pak"));
    pak.OpenQ2PakFromMemory("one in memory", reinterpret_cast<const unsigned char*>(one.data()), one.size());
    pak.OpenQ2PakFromMemory("short", reinterpret_cast<const unsigned char*>("PAC"), 3);
    EXPECT_EQ(pak.FileLoaded(), "one in memory");
    EXPECT_EQ(pak.NumEntrys(), 2);
    pak.SaveFileFromPAK(1, Path("out"));
    EXPECT_EQ(ReadBytes(Path("out")), "2");
    pak.OpenQ2Pak(Path("two.pak"));
    WriteBytes(Path("two.pak"), PakBytes({{"Z", "yy"}}));
    pak.SaveFileFromPAK(0, Path("out"));
    EXPECT_EQ(ReadBytes(Path("out")), "yy");
}

TEST_F(ZulPakTest, OutOfRangeIdsFailBeforeAnyFileIsTouched) {
    zulPAK pak;
    EXPECT_THROW(pak.SaveFileFromPAK(0, Path("out")), std::out_of_range);
    WriteBytes(Path("a.pak"), PakBytes({{"A", "1"}, {"B", "2"}}));
    pak.OpenQ2Pak(Path("a.pak"));
    for (const std::int32_t id : {-1, 2, 1 << 30}) {
        EXPECT_THROW(pak.EntryName(id), std::out_of_range);
        EXPECT_THROW(pak.EntryOffset(id), std::out_of_range);
        EXPECT_THROW(pak.EntrySize(id), std::out_of_range);
        EXPECT_THROW(pak.SaveFileFromPAK(id, Path("out")), std::out_of_range);
    }
    EXPECT_FALSE(fs::exists(Path("out")));
}

TEST_F(ZulPakTest, SavesExactlyTheEntryBytes) {
    const std::string binary("\0\xff\x01PACK\r\n", 9);
    WriteBytes(Path("a.pak"), PakBytes({{"one", "x"}, {"empty", ""}, {"bin", binary}}));
    zulPAK pak;
    pak.OpenQ2Pak(Path("a.pak"));
    pak.SaveFileFromPAK(0, Path("one"));
    EXPECT_EQ(ReadBytes(Path("one")), "x");
    EXPECT_EQ(fs::file_size(Path("one")), 1u);
    pak.SaveFileFromPAK(1, Path("empty"));
    EXPECT_TRUE(fs::exists(Path("empty")));
    EXPECT_EQ(fs::file_size(Path("empty")), 0u);
    // A longer file already at the target must not keep its tail.
    WriteBytes(Path("bin"), std::string(100, 'q'));
    pak.SaveFileFromPAK(2, Path("bin"));
    EXPECT_EQ(ReadBytes(Path("bin")), binary);
}

TEST_F(ZulPakTest, DamagedArchivesFailWithTheirNameAndKeepThePreviousOne) {
    const std::string good = PakBytes({{"A", "1"}});
    const std::string body = "0123456789";
    // Header + 10 bytes of data + one directory entry at offset 26: 90 bytes in all.
    auto withEntry = [&](std::int32_t offset, std::int32_t size) {
        return Header(26, 64) + body + DirEntry("Sounds_BAD.WAV", offset, size);
    };
    struct Case {
        const char* what;
        std::string bytes;
        const char* problem;
    };
    const Case cases[] = {
        {"header cut short", std::string("PACK\x10\0\0\0", 8), "header"},
        {"empty directory", Header(16, 0), "directory length"},
        {"directory below one entry", Header(16, 63) + DirEntry("A", 0, 1), "directory length"},
        {"negative directory length", Header(16, -640), "directory length"},
        {"directory past the end", Header(16, 640) + DirEntry("A", 0, 1), "directory ("},
        {"negative directory offset", Header(-64, 64) + DirEntry("A", 0, 1), "directory ("},
        {"huge directory offset", Header(0x7fffffff, 64), "directory ("},
        {"negative entry offset", withEntry(-1, 1), "negative offset"},
        {"negative entry size", withEntry(16, -5), "negative size"},
        {"absurd entry size", withEntry(16, 0x7fffffff), "past the end"},
        {"entry past the end", withEntry(85, 6), "past the end"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteBytes(Path("good.pak"), good);
        WriteBytes(Path("bad.pak"), c.bytes);
        zulPAK pak;
        pak.OpenQ2Pak(Path("good.pak"));
        try {
            pak.OpenQ2Pak(Path("bad.pak"));
            ADD_FAILURE() << "no error";
        } catch (const PakError& e) {
            const std::string msg = e.what();
            EXPECT_NE(msg.find(Path("bad.pak")), std::string::npos) << msg;
            EXPECT_NE(msg.find(c.problem), std::string::npos) << msg;
        }
        EXPECT_THROW(
            pak.OpenQ2PakFromMemory("bad", reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size()),
            PakError);
        EXPECT_EQ(pak.FileLoaded(), Path("good.pak"));
        EXPECT_EQ(pak.NumEntrys(), 0);
        EXPECT_EQ(pak.EntryName(0)[0], 'A');
    }
}

TEST_F(ZulPakTest, FailedCopiesLeaveNoFileAndNameTheProblem) {
    const std::string bytes = PakBytes({{"A", "first"}, {"B", "second entry"}});
    WriteBytes(Path("a.pak"), bytes);
    zulPAK pak;
    pak.OpenQ2Pak(Path("a.pak"));
    try {
        pak.SaveFileFromPAK(0, Path("no-such-folder/a"));
        ADD_FAILURE() << "no error";
    } catch (const PakError& e) {
        EXPECT_NE(std::string(e.what()).find(Path("no-such-folder/a")), std::string::npos) << e.what();
    }
    // The archive shrinks after its directory was read.
    WriteBytes(Path("a.pak"), bytes.substr(0, 25));
    EXPECT_THROW(pak.SaveFileFromPAK(1, Path("b")), PakError);
    EXPECT_FALSE(fs::exists(Path("b")));
    pak.SaveFileFromPAK(0, Path("a"));
    EXPECT_EQ(ReadBytes(Path("a")), "first");
}

}  // namespace
}  // namespace pellow
