// Fuzz target for the unpacking. The input is an archive as the game finds it beside itself; it
// is unpacked into a fresh folder and removed again (the CI script keeps TMPDIR on a memory file
// system). Besides crashes, leaks and sanitizer reports, a finding is any file left behind, any
// file written outside the game's folder, and any failure other than the game's own message.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "fuzz/fuzz_support.hpp"
#include "resources/unpack.hpp"

namespace {

namespace fs = std::filesystem;
using pellow::fuzz::Finding;

// The game's folder sits two levels below the scratch folder, so that a name climbing out of
// it still lands where it is seen.
struct GameFolder {
    pellow::fuzz::Scratch scratch;
    fs::path game = scratch.root / "a" / "b";
    GameFolder() { fs::create_directories(game); }
};

// Nothing may be below the scratch folder but the game's folder and the archive in it.
void ExpectOnlyTheArchive(const GameFolder& s) {
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(s.scratch.root)) {
        const fs::path rel = e.path().lexically_relative(s.scratch.root);
        if (rel == "a" || rel == "a/b" || rel == "a/b/res002.pak") continue;
        Finding("left behind or written outside the tree: " + rel.string());
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static GameFolder s;
    const fs::path archive = s.game / "res002.pak";
    {
        std::ofstream out(archive, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
        if (!out) Finding("the archive could not be written");
    }
    // Anything but ResourceError escaping here would end the game without its message.
    const std::string folder = s.game.string() + "/";
    std::optional<pellow::UnpackedTree> tree;
    try {
        tree = pellow::UnpackResources(folder, "res002.pak");
    } catch (const pellow::ResourceError&) {
        ExpectOnlyTheArchive(s);  // a refused archive leaves nothing
        fs::remove(archive);
        return 0;
    }
    if (tree->base() != folder) Finding("unpacked into " + tree->base() + " although the folder is writable");
    try {
        tree->Remove();
    } catch (const pellow::ResourceError& e) {
        Finding(std::string("the unpacked tree could not be removed: ") + e.what());
    }
    ExpectOnlyTheArchive(s);
    fs::remove(archive);
    return 0;
}
