#include "resources/unpack.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include "resources/jpeg_picture.hpp"
#include "resources/pak_bytes.hpp"

namespace pellow {
namespace {

namespace fs = std::filesystem;
using test::PakBytes;
using test::PakItem;
using test::ReadBytes;
using test::WriteBytes;

// Every file below root, by path relative to it, with its contents.
std::map<std::string, std::string> FilesBelow(const fs::path& root) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) files[fs::relative(e.path(), root).string()] = ReadBytes(e.path());
    }
    return files;
}

std::vector<std::string> NamesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class UnpackTest : public test::ScratchTest {
protected:
    void SetUp() override {
        test::ScratchTest::SetUp();
        program = dir / "game";
        fs::create_directory(program);
        base = program.string() + "/";
    }
    void WritePak(const std::vector<PakItem>& items) { WriteBytes(program / "res002.pak", PakBytes(items)); }
    std::string Unpack() { return UnpackResources(program.string(), "res002.pak"); }
    // The message of the ResourceError that unpacking throws, or a failure when none comes.
    std::string UnpackError() {
        try {
            Unpack();
        } catch (const ResourceError& e) {
            return e.what();
        }
        ADD_FAILURE() << "unpacking succeeded";
        return {};
    }

    fs::path program;
    std::string base;
};

TEST_F(UnpackTest, PrefixesChooseFoldersCaseSensitively) {
    WritePak({{"Royal_AC.BMP", "royal ace"},
              {"sounds_SHUFFLE.WAV", "skipped: lower case"},
              {"Sounds_CARD_FLIP.WAV", "flip"},
              {"ROYAL_KS.BMP", "skipped"},
              {"Royal", "skipped: no separator"},
              {"Roya2_KS.BMP", "roya2 king"},
              {"Vintage_S_cardback.bmp", "vintage back"},
              {"Worn_2C.BMP", "worn two"},
              {"fntFonts_fntDigit.bmp", "digits"},
              {"Bitmaps_mouse.bmp", "mouse"},
              {"Extras_readme.txt", "skipped: unknown"}});
    EXPECT_EQ(Unpack(), base);
    const std::map<std::string, std::string> expected{
        {"Royal/AC.BMP", "royal ace"},     {"Sounds/CARD_FLIP.WAV", "flip"},
        {"Roya2/KS.BMP", "roya2 king"},    {"Vintage/S_cardback.bmp", "vintage back"},
        {"Worn/2C.BMP", "worn two"},       {"fntFonts/fntDigit.bmp", "digits"},
        {"Bitmaps/mouse.bmp", "mouse"},
    };
    EXPECT_EQ(FilesBelow(program / "res"), expected);
    EXPECT_EQ(NamesIn(program / "res"),
              (std::vector<std::string>{"Bitmaps", "Roya2", "Royal", "Sounds", "Vintage", "Worn", "fntFonts"}));
    EXPECT_EQ(NamesIn(program), (std::vector<std::string>{"res", "res002.pak"}));
}

TEST_F(UnpackTest, NamesEndAtTheFirstNulAndLoseSurroundingSpaces) {
    const std::string longName(56 - 7, 'L');  // fills the field: no terminator at all
    WritePak({{std::string("Sounds_  SHUFFLE.WAV \0junk after", 32), "shuffle"},
              {"Bitmaps_line_horz.bmp", "line", ' '},
              {"Sounds_CARD_FLIP.WAV", "flip"},
              {"Sounds_" + longName, "long"}});
    Unpack();
    EXPECT_EQ(NamesIn(program / "res/Sounds"), (std::vector<std::string>{"CARD_FLIP.WAV", longName, "SHUFFLE.WAV"}));
    EXPECT_EQ(ReadBytes(program / "res/Sounds/SHUFFLE.WAV"), "shuffle");
    EXPECT_EQ(ReadBytes(program / "res/Bitmaps/line_horz.bmp"), "line");
    EXPECT_EQ(ReadBytes(program / "res/Sounds" / longName), "long");
}

TEST_F(UnpackTest, EntriesAreWrittenInDirectoryOrder) {
    const std::string jpeg = test::EncodeTestCardJpeg(800, 600);
    WritePak({{"Sounds_CARD_FLIP.WAV", "first"},
              {"Bitmaps_Back_800x600.jpg", jpeg},
              {"Bitmaps_Back_800x600.bmp", "stored after the picture"},
              {"Sounds_CARD_FLIP.WAV", "second"},
              {"Royal_Back_800x600.bmp", "stored before the picture"},
              {"Royal_Back_800x600.jpg", jpeg}});
    Unpack();
    EXPECT_EQ(ReadBytes(program / "res/Sounds/CARD_FLIP.WAV"), "second");
    EXPECT_EQ(ReadBytes(program / "res/Bitmaps/Back_800x600.bmp"), "stored after the picture");
    EXPECT_EQ(ReadBytes(program / "res/Royal/Back_800x600.bmp").substr(0, 2), "BM");
}

TEST_F(UnpackTest, ExistingTreeIsUsedWithoutTheArchive) {
    // Found whatever the letter case; the archive is missing and must not be needed.
    fs::create_directories(program / "res/sounds");
    WriteBytes(program / "res/sounds/card_flip.wav", "left by an earlier start");
    EXPECT_EQ(Unpack(), base);
    EXPECT_EQ(NamesIn(program / "res"), std::vector<std::string>{"sounds"});
    EXPECT_EQ(NamesIn(program / "res/sounds"), std::vector<std::string>{"card_flip.wav"});
}

TEST_F(UnpackTest, HalfDeletedTreeIsCompleted) {
    fs::create_directories(program / "res/Bitmaps");
    fs::create_directories(program / "res/fntFonts");
    WriteBytes(program / "res/Bitmaps/mouse.bmp", "stale");
    WritePak({{"Sounds_CARD_FLIP.WAV", "flip"}, {"Bitmaps_mouse.bmp", "fresh"}, {"Worn_AC.BMP", "ace"}});
    EXPECT_EQ(Unpack(), base);
    EXPECT_EQ(ReadBytes(program / "res/Bitmaps/mouse.bmp"), "fresh");
    EXPECT_EQ(ReadBytes(program / "res/Sounds/CARD_FLIP.WAV"), "flip");
    EXPECT_EQ(ReadBytes(program / "res/Worn/AC.BMP"), "ace");
}

// One launch reads one deck at one screen size: only those files are written, in any letter case
// the game names them, the JPEG background when its bitmap is wanted; a tree left by a start
// with another deck is not taken as whole.
TEST_F(UnpackTest, WantedFilesAloneAreWrittenAndAnIncompleteTreeIsCompleted) {
    WritePak({{"Sounds_CARD_FLIP.WAV", "flip"},
              {"Bitmaps_Back_800x600.jpg", test::EncodeTestCardJpeg(800, 600)},
              {"Bitmaps_Back_1024x768.bmp", "large"},
              {"Royal_AC.BMP", "royal ace"},
              {"Worn_AC.BMP", "worn ace"}});
    const std::vector<std::string> royal{"res\\sounds\\CARD_FLIP.WAV", "res\\bitmaps\\Back_800x600.bmp",
                                         "res\\Royal\\AC.BMP"};
    EXPECT_EQ(UnpackResources(program.string(), "res002.pak", royal), base);
    EXPECT_EQ(NamesIn(program / "res/Bitmaps"), (std::vector<std::string>{"Back_800x600.bmp", "Back_800x600.jpg"}));
    EXPECT_EQ(NamesIn(program / "res/Royal"), std::vector<std::string>{"AC.BMP"});
    EXPECT_TRUE(NamesIn(program / "res/Worn").empty());

    const std::vector<std::string> worn{"res\\sounds\\CARD_FLIP.WAV", "res\\bitmaps\\Back_1024x768.bmp",
                                        "res\\Worn\\AC.BMP"};
    EXPECT_EQ(UnpackResources(program.string(), "res002.pak", worn), base);
    EXPECT_EQ(ReadBytes(program / "res/Worn/AC.BMP"), "worn ace");
    EXPECT_EQ(ReadBytes(program / "res/Bitmaps/Back_1024x768.bmp"), "large");

    fs::remove(program / "res002.pak");  // a complete tree needs no archive
    EXPECT_EQ(UnpackResources(program.string(), "res002.pak", royal), base);
}

TEST_F(UnpackTest, BackgroundJpegBecomesTheSamePictureAsABitmap) {
    WritePak({{"Bitmaps_Back_800x600.jpg", test::EncodeTestCardJpeg(800, 600)}, {"Sounds_CARD_FLIP.WAV", "flip"}});
    Unpack();
    ASSERT_TRUE(fs::exists(program / "res/Bitmaps/Back_800x600.jpg"));
    EXPECT_EQ(fs::file_size(program / "res/Bitmaps/Back_800x600.bmp"), 54u + 800 * 3 * 600);

    // An odd width makes every bitmap row carry padding.
    const int width = 803, height = 601;
    WriteBytes(dir / "odd.jpg", test::EncodeTestCardJpeg(width, height));
    ConvertJpegToBitmap(Path("odd.jpg"), Path("odd.bmp"), width, height);
    SDL_Surface* loaded = SDL_LoadBMP(Path("odd.bmp").c_str());
    ASSERT_NE(loaded, nullptr) << SDL_GetError();
    EXPECT_EQ(loaded->format->BitsPerPixel, 24);
    SDL_Surface* rgb = SDL_ConvertSurfaceFormat(loaded, SDL_PIXELFORMAT_RGB24, 0);
    SDL_FreeSurface(loaded);
    ASSERT_NE(rgb, nullptr);
    EXPECT_EQ(rgb->w, width);
    EXPECT_EQ(rgb->h, height);
    // Away from the quadrant edges, where JPEG coding blurs colours, the picture is unchanged.
    const auto* pixels = static_cast<const unsigned char*>(rgb->pixels);
    for (int y = 8; y < height - 8; y += 7) {
        for (int x = 8; x < width - 8; x += 5) {
            if (std::abs(x - width / 2) < 24 || std::abs(y - height / 2) < 24) continue;
            const test::Rgb want = test::TestCardColour(x, y, width, height);
            const unsigned char* p = pixels + y * rgb->pitch + x * 3;
            ASSERT_NEAR(p[0], want.r, 8) << x << "," << y;
            ASSERT_NEAR(p[1], want.g, 8) << x << "," << y;
            ASSERT_NEAR(p[2], want.b, 8) << x << "," << y;
        }
    }
    SDL_FreeSurface(rgb);
}

// A background of any other size is refused before a byte of bitmap is written, however large
// the size it declares: a few hundred bytes once made the unpacking write a gigabyte. Should the
// picture be decoded after all, the file size limit stops it long before that.
TEST_F(UnpackTest, BackgroundOfAnotherSizeIsRefusedBeforeItIsConverted) {
    const std::string bomb = test::DeclareJpegSize(test::EncodeTestCardJpeg(16, 8), 5648, 65280);
    const std::string small = test::EncodeTestCardJpeg(640, 480);
    struct rlimit before {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &before), 0);
    struct rlimit limited = before;
    limited.rlim_cur = 16 << 20;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    for (const auto& [jpeg, size] : {std::pair{bomb, std::string("5648 x 65280")}, {small, "640 x 480"}}) {
        SCOPED_TRACE(size);
        WritePak({{"Sounds_CARD_FLIP.WAV", "flip"}, {"Bitmaps_Back_800x600.jpg", jpeg}});
        EXPECT_LT(fs::file_size(program / "res002.pak"), 100000u);
        const std::string msg = UnpackError();
        EXPECT_NE(msg.find("Back_800x600.jpg\" cannot be converted to a bitmap: it is " + size +
                           " pixels, not 800 x 600."),
                  std::string::npos)
            << msg;
        EXPECT_EQ(NamesIn(program), std::vector<std::string>{"res002.pak"});
    }
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &before), 0);
}

TEST_F(UnpackTest, UnsafeNamesStopTheUnpackingBeforeAnythingIsWritten) {
    for (const std::string bad : {"Sounds_../../escaped.WAV", "Sounds_..", "Sounds_.", "Bitmaps_sub/dir.bmp",
                                  "Royal_..\\AC.BMP", "Roya2_/etc/passwd", "Worn_   "}) {
        SCOPED_TRACE(bad);
        // The lower-case twin is no resource entry at all and is skipped silently.
        WritePak({{"Sounds_CARD_FLIP.WAV", "flip"}, {"sounds_../x", "skipped"}, {bad, "evil"}});
        const std::string msg = UnpackError();
        EXPECT_NE(msg.find("entry 2"), std::string::npos) << msg;
        EXPECT_NE(msg.find(bad.substr(0, bad.find_last_not_of(' ') + 1)), std::string::npos) << msg;
        EXPECT_NE(msg.find("res002.pak"), std::string::npos) << msg;
        EXPECT_EQ(NamesIn(program), std::vector<std::string>{"res002.pak"});
        EXPECT_EQ(NamesIn(dir), std::vector<std::string>{"game"});
    }
}

TEST_F(UnpackTest, MissingOrDamagedArchiveLeavesNothingBehind) {
    EXPECT_NE(UnpackError().find("\"" + base + "res002.pak\" is missing"), std::string::npos);
    EXPECT_TRUE(NamesIn(program).empty());

    WriteBytes(program / "res002.pak", "just some text");
    EXPECT_NE(UnpackError().find("is not a resource archive"), std::string::npos);

    std::string cut = PakBytes({{"Sounds_CARD_FLIP.WAV", "flip"}});
    cut.resize(cut.size() - 1);
    WriteBytes(program / "res002.pak", cut);
    EXPECT_NE(UnpackError().find("res002.pak\" is damaged"), std::string::npos);
    EXPECT_EQ(NamesIn(program), std::vector<std::string>{"res002.pak"});
}

TEST_F(UnpackTest, FailureHalfWayTakesBackWhatItWrote) {
    // The marker file comes first: left behind, it would pass a partial tree off as whole.
    WritePak({{"Sounds_CARD_FLIP.WAV", "flip"}, {"Royal_AC.BMP", "ace"}, {"Bitmaps_Back_800x600.jpg", "not a JPEG"}});
    const std::string msg = UnpackError();
    EXPECT_NE(msg.find("Back_800x600.jpg\" cannot be converted"), std::string::npos) << msg;
    EXPECT_EQ(NamesIn(program), std::vector<std::string>{"res002.pak"});

    // In a tree left by an earlier run, folders found stay; files written go.
    fs::create_directories(program / "res/Royal");
    WriteBytes(program / "res/Royal/AC.BMP", "old");
    UnpackError();
    EXPECT_EQ(NamesIn(program / "res"), std::vector<std::string>{"Royal"});
    EXPECT_TRUE(NamesIn(program / "res/Royal").empty());
}

TEST_F(UnpackTest, NeverWritesThroughSomethingInTheWay) {
    WriteBytes(dir / "outside.txt", "keep me");
    fs::create_directories(program / "res/Bitmaps");
    fs::create_symlink(dir / "outside.txt", program / "res/Bitmaps/mouse.bmp");
    WritePak({{"Sounds_CARD_FLIP.WAV", "flip"}, {"Bitmaps_mouse.bmp", "overwrite?"}});
    EXPECT_NE(UnpackError().find("mouse.bmp\" cannot be written"), std::string::npos);
    EXPECT_EQ(ReadBytes(dir / "outside.txt"), "keep me");

    fs::remove_all(program / "res");
    WriteBytes(program / "res", "a file where the tree goes");
    EXPECT_NE(UnpackError().find("/res\" cannot be made"), std::string::npos);
    EXPECT_EQ(ReadBytes(program / "res"), "a file where the tree goes");
}

// The program's folder cannot be written: unpacking goes to a private folder in the per-user
// place, which the removal takes away again, the place with the last folder. A start killed
// before its removal leaves its folder; the next start removes that, never one in use. Root may
// write anywhere, so as root the work is done by a child process running as "nobody".
TEST_F(UnpackTest, ReadOnlyProgramFolderUnpacksIntoAPrivateFolder) {
    const fs::path tmp = dir / "tmp";
    const fs::path runtime = dir / "runtime";
    fs::create_directory(tmp);
    fs::create_directory(runtime);
    WritePak({{"Sounds_CARD_FLIP.WAV", "flip"}, {"Royal_AC.BMP", "ace"}});
    fs::permissions(dir, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    fs::permissions(tmp, fs::perms::all);
    fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                 fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    fs::permissions(program / "res002.pak", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    const uid_t player = ::geteuid() == 0 ? 65534 : ::geteuid();
    ASSERT_EQ(::chown(runtime.c_str(), player, static_cast<gid_t>(-1)), 0);
    fs::permissions(runtime, fs::perms::owner_all);
    const std::string ownPlace = (tmp / ("pellow-" + std::to_string(player))).string() + "/";

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto fail = [](const std::string& why) {
            std::fprintf(stderr, "in the child: %s\n", why.c_str());
            ::_exit(1);
        };
        auto below = [](const std::string& path, const std::string& folder) { return path.rfind(folder, 0) == 0; };
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) fail("cannot become nobody");
        ::setenv("TMPDIR", tmp.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        const std::string place = (runtime / "pellow").string() + "/";
        try {
            const std::string first = Unpack();
            if (!below(first, place + "files-")) fail("unpacked into " + first);
            if (ReadBytes(first + "res/Royal/AC.BMP") != "ace") fail("Royal/AC.BMP missing");

            // A start killed after unpacking: its lock goes with it, its folder stays.
            const pid_t killed = ::fork();
            if (killed == 0) {
                try {
                    Unpack();
                } catch (...) {
                }
                ::raise(SIGKILL);
            }
            int status = 0;
            if (killed < 0 || ::waitpid(killed, &status, 0) != killed) fail("no killed start");
            if (NamesIn(place).size() != 2) fail("the killed start left no folder");

            // The next start removes that folder but not the first's, which is still in use.
            const std::string second = Unpack();
            if (!below(second, place + "files-") || second == first) fail("second start unpacked into " + second);
            std::vector<std::string> both{fs::path(first).parent_path().filename().string(),
                                          fs::path(second).parent_path().filename().string()};
            std::sort(both.begin(), both.end());
            if (NamesIn(place) != both) fail("not the two running starts' folders in the place");
            DeleteUnpackedFiles(first);
            if (!fs::exists(second + "res/Royal/AC.BMP")) fail("the first removal took the second's files");
            DeleteUnpackedFiles(second);
            if (fs::exists(place)) fail("the place was left when its last folder went");

            // No runtime folder: the place is in the temporary folder.
            ::unsetenv("XDG_RUNTIME_DIR");
            const std::string third = Unpack();
            if (!below(third, ownPlace + "files-")) fail("without a runtime folder, unpacked into " + third);
            DeleteUnpackedFiles(third);

            // A place others may write in is no private place: a lone folder of its own instead.
            fs::create_directory(ownPlace);
            fs::permissions(ownPlace, fs::perms::all);
            const std::string fourth = Unpack();
            if (below(fourth, ownPlace) || !below(fourth, (tmp / "pellow-").string())) fail("unpacked into " + fourth);
            DeleteUnpackedFiles(fourth);
            if (fs::exists(fourth)) fail("the lone folder was left behind");
        } catch (const std::exception& e) {
            fail(e.what());
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "see the child's message above";
    EXPECT_EQ(NamesIn(program), std::vector<std::string>{"res002.pak"});
    EXPECT_TRUE(NamesIn(runtime).empty());
    // Only the place that others could write in, which the game did not make, is left.
    EXPECT_EQ(NamesIn(tmp), std::vector<std::string>{"pellow-" + std::to_string(player)});
}

class RemovalTest : public UnpackTest {
protected:
    void UnpackFullTree() {
        WritePak({{"Sounds_CARD_FLIP.WAV", "flip"}, {"Sounds_SHUFFLE.WAV", "shuffle"}, {"Bitmaps_mouse.bmp", "m"},
                  {"fntFonts_fntDigit.bmp", "d"}, {"Royal_AC.BMP", "a"}, {"Roya2_AC.BMP", "a"},
                  {"Vintage_AC.BMP", "a"}, {"Worn_AC.BMP", "a"}});
        ASSERT_EQ(Unpack(), base);
    }
};

TEST_F(RemovalTest, RemovesTheWholeTreeAndNothingElse) {
    WriteBytes(dir / "outside.txt", "keep");
    fs::create_directory(program / "saves");
    WriteBytes(program / "saves/Sounds", "keep");
    UnpackFullTree();
    // A link among the unpacked files goes, but what it points at stays.
    fs::create_symlink(dir / "outside.txt", program / "res/Sounds/link.WAV");
    DeleteUnpackedFiles(base);
    EXPECT_EQ(NamesIn(program), (std::vector<std::string>{"res002.pak", "saves"}));
    EXPECT_EQ(ReadBytes(program / "saves/Sounds"), "keep");
    EXPECT_EQ(ReadBytes(dir / "outside.txt"), "keep");
    // Nothing left to remove is no error.
    DeleteUnpackedFiles(program.string());
}

TEST_F(RemovalTest, ForeignFoldersInTheTreeAreLeftAndReported) {
    UnpackFullTree();
    fs::create_directories(program / "res/Royal/mine");
    WriteBytes(program / "res/Royal/mine/notes.txt", "keep");
    try {
        DeleteUnpackedFiles(base);
        ADD_FAILURE() << "no error";
    } catch (const ResourceError& e) {
        EXPECT_NE(std::string(e.what()).find("res/Royal/mine\""), std::string::npos) << e.what();
    }
    EXPECT_EQ(NamesIn(program / "res"), std::vector<std::string>{"Royal"});
    EXPECT_EQ(NamesIn(program / "res/Royal"), std::vector<std::string>{"mine"});
    EXPECT_EQ(ReadBytes(program / "res/Royal/mine/notes.txt"), "keep");
}

TEST_F(RemovalTest, PartialTreeWithoutTheMarkerIsRemovedToo) {
    fs::create_directories(program / "res/Bitmaps");
    fs::create_directories(program / "res/worn");
    WriteBytes(program / "res/worn/AC.BMP", "a");
    DeleteUnpackedFiles(base);
    EXPECT_EQ(NamesIn(program), std::vector<std::string>{});
}

}  // namespace
}  // namespace pellow
