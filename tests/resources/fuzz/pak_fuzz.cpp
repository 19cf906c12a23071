// Fuzz target for the archive reader and the unpacking. The input is an archive as the game
// finds it beside itself; it is read, unpacked into a fresh folder and removed again. Besides
// crashes, leaks and sanitizer reports, a finding is any broken promise of the reader, any file
// left behind, and any file written outside the game's folder.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>

#include "resources/unpack.hpp"
#include "resources/zulpak.hpp"

namespace {

namespace fs = std::filesystem;

[[noreturn]] void Finding(const std::string& what) {
    std::fprintf(stderr, "FINDING: %s\n", what.c_str());
    std::abort();
}

// The game's folder sits two levels below a private scratch folder, so that a name climbing out
// of it still lands where it is seen.
struct Scratch {
    fs::path root;
    fs::path game;

    Scratch() {
        std::string pattern = (fs::temp_directory_path() / "pellow-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) Finding("no scratch folder");
        root = pattern;
        game = root / "a" / "b";
        fs::create_directories(game);
    }
    ~Scratch() {
        std::error_code ec;
        fs::remove_all(root, ec);
    }
};

Scratch& TheScratch() {
    static Scratch scratch;
    return scratch;
}

// Nothing may be below the scratch folder but the game's folder and the archive in it.
void ExpectOnlyTheArchive(const Scratch& s) {
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(s.root)) {
        const fs::path rel = e.path().lexically_relative(s.root);
        if (rel == "a" || rel == "a/b" || rel == "a/b/res002.pak") continue;
        Finding("left behind or written outside the tree: " + rel.string());
    }
}

// What the reader promises about any file it accepts or refuses.
void CheckReader(const std::string& path, std::int64_t fileSize) {
    pellow::zulPAK pak;
    try {
        pak.OpenQ2Pak(path);
    } catch (const pellow::PakError&) {
        if (!pak.FileLoaded().empty()) Finding("a refused archive stayed loaded");
        return;
    }
    if (pak.FileLoaded().empty()) {
        try {
            pak.EntryName(0);
            Finding("an entry was read while no archive is loaded");
        } catch (const std::out_of_range&) {
        }
        return;
    }
    for (std::int32_t id = 0; id <= pak.NumEntrys(); ++id) {
        const std::int64_t offset = pak.EntryOffset(id);
        const std::int64_t size = pak.EntrySize(id);
        if (offset < 0 || size < 0 || offset + size > fileSize) Finding("an accepted entry lies outside the file");
        if (pak.EntryName(id).size() != static_cast<std::size_t>(pellow::zulPAK::kNameLength))
            Finding("an entry name is not its whole field");
    }
    try {
        pak.EntryName(pak.NumEntrys() + 1);
        Finding("an entry past the last one was read");
    } catch (const std::out_of_range&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Scratch& s = TheScratch();
    const fs::path archive = s.game / "res002.pak";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) Finding("the archive could not be written");
    }
    CheckReader(archive.string(), static_cast<std::int64_t>(size));

    // Anything but ResourceError escaping here would end the game without its message.
    const std::string folder = s.game.string() + "/";
    std::string base;
    try {
        base = pellow::UnpackResources(folder, "res002.pak");
    } catch (const pellow::ResourceError&) {
        ExpectOnlyTheArchive(s);  // a refused archive leaves nothing
        fs::remove(archive);
        return 0;
    }
    if (base != folder) Finding("unpacked into " + base + " although the folder is writable");
    try {
        pellow::DeleteUnpackedFiles(base);
    } catch (const pellow::ResourceError& e) {
        Finding(std::string("the unpacked tree could not be removed: ") + e.what());
    }
    ExpectOnlyTheArchive(s);
    fs::remove(archive);
    return 0;
}
