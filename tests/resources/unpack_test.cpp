#include "resources/unpack.hpp"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SDL.h>
#include <gtest/gtest.h>

#include "resources/jpeg_picture.hpp"
#include "resources/zulpak.hpp"
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
        // The per-user place, where a tree goes that cannot go beside the program.
        runtime = dir / "runtime";
        fs::create_directory(runtime);
        fs::permissions(runtime, fs::perms::owner_all);
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        if (old != nullptr) oldRuntime = old;
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    void TearDown() override {
        if (oldRuntime) {
            ::setenv("XDG_RUNTIME_DIR", oldRuntime->c_str(), 1);
        } else {
            ::unsetenv("XDG_RUNTIME_DIR");
        }
        test::ScratchTest::TearDown();
    }
    void WritePak(const std::vector<PakItem>& items) { WriteBytes(program / "res002.pak", PakBytes(items)); }
    UnpackedTree Unpack() { return UnpackResources(program.string(), "res002.pak"); }
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
    // The message of the ResourceError that removal throws, or a failure when none comes.
    static std::string RemoveError(UnpackedTree& tree) {
        try {
            tree.Remove();
        } catch (const ResourceError& e) {
            return e.what();
        }
        ADD_FAILURE() << "removal reported nothing";
        return {};
    }
    // A start that unpacks and is killed before it removes anything; true when it was killed.
    bool UnpackAndGetKilled() {
        const pid_t child = ::fork();
        if (child == 0) {
            try {
                UnpackedTree tree = Unpack();
                ::raise(SIGKILL);
            } catch (...) {
            }
            ::_exit(1);
        }
        int status = 0;
        return child > 0 && ::waitpid(child, &status, 0) == child && WIFSIGNALED(status);
    }
    bool InPrivateFolder(const UnpackedTree& tree) const {
        return tree.base().rfind((runtime / "pellow/files-").string(), 0) == 0;
    }

    fs::path program;
    std::string base;
    fs::path runtime;
    std::optional<std::string> oldRuntime;
};

// Every name below root, by path relative to it, with what it is: a file's contents and link
// count, a link's target, or a folder.
std::map<std::string, std::string> TreeBelow(const fs::path& root) {
    std::map<std::string, std::string> tree;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        const std::string rel = fs::relative(e.path(), root).string();
        if (e.is_symlink()) {
            tree[rel] = "link to " + fs::read_symlink(e.path()).string();
        } else if (e.is_directory()) {
            tree[rel] = "folder";
        } else {
            tree[rel] = ReadBytes(e.path()) + " (" + std::to_string(fs::hard_link_count(e.path())) + " links)";
        }
    }
    return tree;
}

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
              {"Art_hand.otf", "hand"},
              {"Extras_readme.txt", "skipped: unknown"}});
    UnpackedTree tree = Unpack();
    EXPECT_EQ(tree.base(), base);
    const std::map<std::string, std::string> expected{
        {"Royal/AC.BMP", "royal ace"},  {"Sounds/CARD_FLIP.WAV", "flip"},
        {"Roya2/KS.BMP", "roya2 king"}, {"Vintage/S_cardback.bmp", "vintage back"},
        {"Worn/2C.BMP", "worn two"},    {"fntFonts/fntDigit.bmp", "digits"},
        {"Bitmaps/mouse.bmp", "mouse"},     {"Art/hand.otf", "hand"},
    };
    std::map<std::string, std::string> files = FilesBelow(program / "res");
    EXPECT_EQ(files.erase(".pellow-unpacked"), 1u);  // the record of the names, written first
    EXPECT_EQ(files, expected);
    EXPECT_EQ(NamesIn(program / "res"), (std::vector<std::string>{".pellow-unpacked", "Art", "Bitmaps", "Roya2",
                                                                  "Royal", "Sounds", "Vintage", "Worn", "fntFonts"}));
    EXPECT_EQ(NamesIn(program), (std::vector<std::string>{"res", "res002.pak"}));
}

TEST_F(UnpackTest, NamesEndAtTheFirstNulAndLoseSurroundingSpaces) {
    const std::string longName(56 - 7, 'L');  // fills the field: no terminator at all
    WritePak({{std::string("Sounds_  SHUFFLE.WAV \0junk after", 32), "shuffle"},
              {"Bitmaps_line_horz.bmp", "line", ' '},
              {"Sounds_CARD_FLIP.WAV", "flip"},
              {"Sounds_" + longName, "long"}});
    const UnpackedTree tree = Unpack();
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
    const UnpackedTree tree = Unpack();
    EXPECT_EQ(ReadBytes(program / "res/Sounds/CARD_FLIP.WAV"), "second");
    EXPECT_EQ(ReadBytes(program / "res/Bitmaps/Back_800x600.bmp"), "stored after the picture");
    EXPECT_EQ(ReadBytes(program / "res/Royal/Back_800x600.bmp").substr(0, 2), "BM");
}

// A "res" beside the program that this start did not make is the player's: whatever is in it
// (their own files, an edited card, a link, a hard link to a file elsewhere) is neither used,
// written through nor removed, and the game's files go to the per-user place instead, with one
// sentence saying why. A folder of another letter case is no "res" of the game's either.
TEST_F(UnpackTest, TreeTheStartDidNotMakeIsLeftExactlyAsItIs) {
    WritePak({{"Sounds_CARD_FLIP.WAV", "flip"},
              {"Sounds_mysound.wav", "the game's"},
              {"Royal_AC.BMP", "ace"},
              {"Bitmaps_mouse.bmp", "mouse"}});
    WriteBytes(dir / "precious.txt", "the player's");
    WriteBytes(dir / "outside.txt", "keep me");
    fs::create_directories(program / "res/Bitmaps");
    fs::create_directories(program / "res/Sounds");
    fs::create_directories(program / "res/Royal");
    WriteBytes(program / "res/Bitmaps/notes.txt", "notes");
    WriteBytes(program / "res/Sounds/mysound.wav", "a sound of the player's");
    WriteBytes(program / "res/README-mod.txt", "my deck");
    fs::create_hard_link(dir / "precious.txt", program / "res/Royal/AC.BMP");
    fs::create_symlink(dir / "outside.txt", program / "res/Bitmaps/mouse.bmp");
    fs::create_directories(program / "Res/sounds");
    WriteBytes(program / "Res/sounds/mine.wav", "mine");
    const auto before = TreeBelow(dir);

    UnpackedTree tree = Unpack();
    EXPECT_TRUE(InPrivateFolder(tree)) << tree.base();
    EXPECT_NE(tree.notice().find("\"" + base + "res\" was not made by this start of the game"), std::string::npos)
        << tree.notice();
    EXPECT_EQ(ReadBytes(tree.base() + "res/Royal/AC.BMP"), "ace");
    EXPECT_EQ(ReadBytes(tree.base() + "res/Sounds/mysound.wav"), "the game's");
    tree.Remove();
    EXPECT_EQ(TreeBelow(dir), before);

    // Without the player's "res", the game makes its own beside the program; "Res" stays.
    fs::remove_all(program / "res");
    const auto withoutRes = TreeBelow(dir);
    UnpackedTree own = Unpack();
    EXPECT_EQ(own.base(), base);
    EXPECT_TRUE(own.notice().empty()) << own.notice();
    EXPECT_EQ(ReadBytes(program / "res/Sounds/mysound.wav"), "the game's");
    own.Remove();
    EXPECT_EQ(TreeBelow(dir), withoutRes);

    // Something that is not a folder where the tree goes is left too.
    WriteBytes(program / "res", "a file where the tree goes");
    UnpackedTree beside = Unpack();
    EXPECT_TRUE(InPrivateFolder(beside)) << beside.base();
    beside.Remove();
    EXPECT_EQ(ReadBytes(program / "res"), "a file where the tree goes");
    EXPECT_TRUE(NamesIn(runtime).empty());
}

// A start killed while unpacking, or before it removed its files, leaves its tree with the
// record of the names it writes first. The next start removes exactly that, damaged files and
// half-written ones among them, and unpacks anew; a tree where anything else has appeared is
// the player's again.
TEST_F(UnpackTest, TreeAKilledStartLeftIsMadeAnew) {
    const std::string jpeg = test::EncodeTestCardJpeg(800, 600);
    WritePak({{"Sounds_CARD_FLIP.WAV", "flip"}, {"Bitmaps_Back_800x600.jpg", jpeg}, {"Royal_AC.BMP", "ace"}});
    const auto leaveTree = [this] {
        ASSERT_TRUE(UnpackAndGetKilled());
        ASSERT_TRUE(fs::exists(program / "res/Royal/AC.BMP"));
    };
    leaveTree();
    // Killed part-way: a background cut short, a file under its temporary name.
    fs::resize_file(program / "res/Bitmaps/Back_800x600.bmp", 1000);
    WriteBytes(program / "res/Royal/.AC.BMP.part", "a");
    {
        UnpackedTree tree = Unpack();
        EXPECT_EQ(tree.base(), base);
        EXPECT_TRUE(tree.notice().empty()) << tree.notice();
        EXPECT_EQ(fs::file_size(program / "res/Bitmaps/Back_800x600.bmp"), 54u + 800 * 3 * 600);
        EXPECT_FALSE(fs::exists(program / "res/Royal/.AC.BMP.part"));
        tree.Remove();
    }
    EXPECT_EQ(NamesIn(program), std::vector<std::string>{"res002.pak"});

    // Killed before the record or while writing it: an empty folder, or nothing but a record
    // cut short.
    fs::create_directory(program / "res");
    Unpack().Remove();
    EXPECT_EQ(NamesIn(program), std::vector<std::string>{"res002.pak"});
    fs::create_directory(program / "res");
    WriteBytes(program / "res/.pellow-unpacked", "pellow unp");
    Unpack().Remove();
    EXPECT_EQ(NamesIn(program), std::vector<std::string>{"res002.pak"});

    // Anything the record does not name, or a file linked from elsewhere, makes it the player's.
    for (const std::string added : {"res/README-mod.txt", "res/Royal/notes.txt", "hard link"}) {
        SCOPED_TRACE(added);
        leaveTree();
        if (added == "hard link") {
            fs::create_hard_link(program / "res/Royal/AC.BMP", dir / "kept.BMP");
        } else {
            WriteBytes(program / added, "the player's");
        }
        const auto before = TreeBelow(program);
        UnpackedTree tree = Unpack();
        EXPECT_TRUE(InPrivateFolder(tree)) << tree.base();
        tree.Remove();
        EXPECT_EQ(TreeBelow(program), before);
        fs::remove_all(program / "res");
        fs::remove(dir / "kept.BMP");
    }
}

// The removal works on the folders the unpacking made, not on their names: a folder swapped in
// under the same name (a second user of a folder writable by all can do that) keeps its files.
TEST_F(UnpackTest, RemovalNeverEmptiesAFolderSwappedInUnderTheTreesNames) {
    WritePak({{"Sounds_CARD_FLIP.WAV", "flip"}, {"Sounds_SHUFFLE.WAV", "shuffle"}});
    UnpackedTree tree = Unpack();
    fs::rename(program / "res/Sounds", dir / "moved");
    fs::create_directory(program / "res/Sounds");
    WriteBytes(program / "res/Sounds/CARD_FLIP.WAV", "the player's");
    WriteBytes(program / "res/Sounds/SHUFFLE.WAV", "the player's too");
    EXPECT_NE(RemoveError(tree).find("/res/Sounds"), std::string::npos);
    EXPECT_EQ(ReadBytes(program / "res/Sounds/CARD_FLIP.WAV"), "the player's");
    EXPECT_EQ(ReadBytes(program / "res/Sounds/SHUFFLE.WAV"), "the player's too");
    // What the game wrote went with the folder it made, wherever that now is.
    EXPECT_TRUE(NamesIn(dir / "moved").empty());
}

// One launch reads one deck at one screen size: only those files are written, in any letter case
// the game names them, the JPEG background when its bitmap is wanted.
TEST_F(UnpackTest, WantedFilesAloneAreWritten) {
    WritePak({{"Sounds_CARD_FLIP.WAV", "flip"},
              {"Bitmaps_Back_800x600.jpg", test::EncodeTestCardJpeg(800, 600)},
              {"Bitmaps_Back_1024x768.bmp", "large"},
              {"Royal_AC.BMP", "royal ace"},
              {"Worn_AC.BMP", "worn ace"}});
    const std::vector<std::string> royal{"res\\sounds\\CARD_FLIP.WAV", "res\\bitmaps\\Back_800x600.bmp",
                                         "res\\Royal\\AC.BMP"};
    UnpackedTree first = UnpackResources(program.string(), "res002.pak", royal);
    EXPECT_EQ(first.base(), base);
    EXPECT_EQ(NamesIn(program / "res/Bitmaps"), (std::vector<std::string>{"Back_800x600.bmp", "Back_800x600.jpg"}));
    EXPECT_EQ(NamesIn(program / "res/Royal"), std::vector<std::string>{"AC.BMP"});
    EXPECT_TRUE(NamesIn(program / "res/Worn").empty());
    first.Remove();

    const std::vector<std::string> worn{"res\\sounds\\CARD_FLIP.WAV", "res\\bitmaps\\Back_1024x768.bmp",
                                        "res\\Worn\\AC.BMP"};
    UnpackedTree second = UnpackResources(program.string(), "res002.pak", worn);
    EXPECT_EQ(ReadBytes(program / "res/Worn/AC.BMP"), "worn ace");
    EXPECT_EQ(NamesIn(program / "res/Bitmaps"), std::vector<std::string>{"Back_1024x768.bmp"});
    EXPECT_TRUE(NamesIn(program / "res/Royal").empty());
}

TEST_F(UnpackTest, BackgroundJpegBecomesTheSamePictureAsABitmap) {
    WritePak({{"Bitmaps_Back_800x600.jpg", test::EncodeTestCardJpeg(800, 600)}, {"Sounds_CARD_FLIP.WAV", "flip"}});
    const UnpackedTree tree = Unpack();
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
        EXPECT_NE(
            msg.find("Back_800x600.jpg\" cannot be converted to a bitmap: it is " + size + " pixels, not 800 x 600."),
            std::string::npos)
            << msg;
        EXPECT_EQ(NamesIn(program), std::vector<std::string>{"res002.pak"});
    }
    std::signal(SIGXFSZ, oldHandler);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &before), 0);
}

TEST_F(UnpackTest, UnsafeNamesStopTheUnpackingBeforeAnythingIsWritten) {
    for (const std::string bad :
         {"Sounds_../../escaped.WAV", "Sounds_..", "Sounds_.", "Bitmaps_sub/dir.bmp", "Royal_..\\AC.BMP",
          "Roya2_/etc/passwd", "Worn_   ", "Sounds_two\nlines.WAV", "Bitmaps_bell\a.bmp"}) {
        SCOPED_TRACE(bad);
        // The lower-case twin is no resource entry at all and is skipped silently.
        WritePak({{"Sounds_CARD_FLIP.WAV", "flip"}, {"sounds_../x", "skipped"}, {bad, "evil"}});
        const std::string msg = UnpackError();
        EXPECT_NE(msg.find("entry 2"), std::string::npos) << msg;
        const std::string shown = ReadableEntryName(bad);  // unprintable bytes shown as '?'
        EXPECT_NE(msg.find(shown.substr(0, shown.find_last_not_of(' ') + 1)), std::string::npos) << msg;
        EXPECT_NE(msg.find("res002.pak"), std::string::npos) << msg;
        EXPECT_EQ(NamesIn(program), std::vector<std::string>{"res002.pak"});
        EXPECT_EQ(NamesIn(dir), (std::vector<std::string>{"game", "runtime"}));
        EXPECT_TRUE(NamesIn(runtime).empty());
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

    // Beside a "res" of the player's, the private folder goes with the files written in it.
    fs::create_directories(program / "res/Royal");
    WriteBytes(program / "res/Royal/AC.BMP", "old");
    UnpackError();
    EXPECT_EQ(ReadBytes(program / "res/Royal/AC.BMP"), "old");
    EXPECT_TRUE(NamesIn(runtime).empty());
}

// The program's folder cannot be written: unpacking goes to a private folder in the per-user
// place, which the removal takes away again, the place with the last folder. A start killed
// before its removal leaves its folder; the next start removes that, never one in use. Root may
// write anywhere, so as root the work is done by a child process running as "nobody".
TEST_F(UnpackTest, ReadOnlyProgramFolderUnpacksIntoAPrivateFolder) {
    const fs::path tmp = dir / "tmp";
    fs::create_directory(tmp);
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
            UnpackedTree firstTree = Unpack();
            const std::string first = firstTree.base();
            if (!below(first, place + "files-")) fail("unpacked into " + first);
            if (ReadBytes(first + "res/Royal/AC.BMP") != "ace") fail("Royal/AC.BMP missing");
            if (!firstTree.notice().empty()) fail("a notice for a folder that cannot be written");

            // A start killed after unpacking: its lock goes with it, its folder stays.
            if (!UnpackAndGetKilled()) fail("no killed start");
            if (NamesIn(place).size() != 2) fail("the killed start left no folder");

            // The next start removes that folder but not the first's, which is still in use.
            UnpackedTree secondTree = Unpack();
            const std::string second = secondTree.base();
            if (!below(second, place + "files-") || second == first) fail("second start unpacked into " + second);
            std::vector<std::string> both{fs::path(first).parent_path().filename().string(),
                                          fs::path(second).parent_path().filename().string()};
            std::sort(both.begin(), both.end());
            if (NamesIn(place) != both) fail("not the two running starts' folders in the place");
            firstTree.Remove();
            if (!fs::exists(second + "res/Royal/AC.BMP")) fail("the first removal took the second's files");
            secondTree.Remove();
            if (fs::exists(place)) fail("the place was left when its last folder went");

            // No runtime folder: the place is in the temporary folder.
            ::unsetenv("XDG_RUNTIME_DIR");
            UnpackedTree third = Unpack();
            if (!below(third.base(), ownPlace + "files-"))
                fail("without a runtime folder, unpacked into " + third.base());
            third.Remove();

            // A place others may write in is no private place: a lone folder of its own instead.
            fs::create_directory(ownPlace);
            fs::permissions(ownPlace, fs::perms::all);
            UnpackedTree fourth = Unpack();
            const std::string lone = fourth.base();
            if (below(lone, ownPlace) || !below(lone, (tmp / "pellow-").string())) fail("unpacked into " + lone);
            fourth.Remove();
            if (fs::exists(lone)) fail("the lone folder was left behind");

            // A lone folder whose start was killed is removed by the next start too.
            if (!UnpackAndGetKilled()) fail("no killed lone start");
            if (NamesIn(tmp).size() != 2) fail("the killed lone start left no folder");
            Unpack().Remove();
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
        WritePak({{"Sounds_CARD_FLIP.WAV", "flip"},
                  {"Sounds_SHUFFLE.WAV", "shuffle"},
                  {"Bitmaps_mouse.bmp", "m"},
                  {"fntFonts_fntDigit.bmp", "d"},
                  {"Royal_AC.BMP", "a"},
                  {"Roya2_AC.BMP", "a"},
                  {"Vintage_AC.BMP", "a"},
                  {"Worn_AC.BMP", "a"}});
        tree = Unpack();
        ASSERT_EQ(tree->base(), base);
    }
    std::optional<UnpackedTree> tree;
};

TEST_F(RemovalTest, RemovesTheWholeTreeAndNothingElse) {
    WriteBytes(dir / "outside.txt", "keep");
    fs::create_directory(program / "saves");
    WriteBytes(program / "saves/Sounds", "keep");
    UnpackFullTree();
    tree->Remove();
    EXPECT_EQ(NamesIn(program), (std::vector<std::string>{"res002.pak", "saves"}));
    EXPECT_EQ(ReadBytes(program / "saves/Sounds"), "keep");
    // Removing again does nothing.
    tree->Remove();

    // A file or link put among the unpacked ones while the game ran is not the game's: it
    // stays, with the folders that hold it, and the removal says so.
    UnpackFullTree();
    fs::create_symlink(dir / "outside.txt", program / "res/Sounds/link.WAV");
    WriteBytes(program / "res/Bitmaps/notes.txt", "notes");
    EXPECT_NE(RemoveError(*tree).find("res/Sounds/link.WAV\", which the game did not put there"), std::string::npos);
    EXPECT_EQ(NamesIn(program / "res"), (std::vector<std::string>{"Bitmaps", "Sounds"}));
    EXPECT_EQ(NamesIn(program / "res/Sounds"), std::vector<std::string>{"link.WAV"});
    EXPECT_EQ(ReadBytes(program / "res/Bitmaps/notes.txt"), "notes");
    EXPECT_EQ(ReadBytes(dir / "outside.txt"), "keep");
}

TEST_F(RemovalTest, ForeignFoldersInTheTreeAreLeftAndReported) {
    UnpackFullTree();
    fs::create_directories(program / "res/Royal/mine");
    WriteBytes(program / "res/Royal/mine/notes.txt", "keep");
    EXPECT_NE(RemoveError(*tree).find("res/Royal/mine\""), std::string::npos);
    EXPECT_EQ(NamesIn(program / "res"), std::vector<std::string>{"Royal"});
    EXPECT_EQ(NamesIn(program / "res/Royal"), std::vector<std::string>{"mine"});
    EXPECT_EQ(ReadBytes(program / "res/Royal/mine/notes.txt"), "keep");
}

}  // namespace
}  // namespace pellow
