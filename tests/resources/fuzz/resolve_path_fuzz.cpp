// Fuzz target for the resolution of resource paths against a tree whose names differ in letter
// case. The input is the path as the game writes it. A finding is a result outside the base
// folder, or one whose names are not the path's own names, one for one, up to letter case.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/fuzz_support.hpp"
#include "resources/unpack.hpp"

namespace {

namespace fs = std::filesystem;
using pellow::fuzz::Finding;

struct Tree {
    pellow::fuzz::Scratch scratch;
    std::string base = scratch.root.string() + "/game/";
    Tree() {
        // Twins in letter case, a file where a folder could be, and a link leading back up.
        for (const char* folder : {"res/Sounds", "res/sounds", "res/Bitmaps", "RES/bitmaps", "res/Royal"})
            fs::create_directories(base + folder);
        for (const char* file :
             {"res/Sounds/CARD_FLIP.WAV", "res/sounds/card_flip.wav", "res/Royal/AC.BMP", "res/royal"})
            std::ofstream(base + file) << "x";
        fs::create_directory_symlink("..", base + "res/Royal/up");
    }
};

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find_first_of(separators, start);
        if (end == std::string_view::npos) end = text.size();
        if (end > start) parts.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static Tree tree;
    const std::string_view relative(reinterpret_cast<const char*>(data), size);
    const std::string resolved = pellow::ResolveResourcePath(tree.base, relative);
    if (resolved.compare(0, tree.base.size(), tree.base) != 0) Finding("the result is not below the base: " + resolved);

    const std::vector<std::string_view> wanted = Split(relative, "\\/");
    const std::string_view rest = std::string_view(resolved).substr(tree.base.size());
    const std::vector<std::string_view> got = Split(rest, "/");
    if (got.size() != wanted.size()) Finding("the result has another number of names: " + resolved);
    for (std::size_t i = 0; i < got.size(); ++i)
        if (!SameIgnoringCase(got[i], wanted[i])) Finding("a name is not the path's own: " + std::string(got[i]));
    const bool trailing = !wanted.empty() && (relative.back() == '\\' || relative.back() == '/');
    if (trailing != (!rest.empty() && rest.back() == '/')) Finding("the trailing separator was not kept as asked");
    if (rest.find("//") != std::string_view::npos || (!rest.empty() && rest.front() == '/'))
        Finding("the result has an empty name: " + resolved);
    return 0;
}
