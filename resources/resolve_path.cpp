#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>

#include "resources/unpack.hpp"

namespace pellow {

namespace {

namespace fs = std::filesystem;

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// The name in folder that matches part: part itself when it exists, else the first (in byte
// order, so the choice does not depend on the order of the listing) that differs only in case.
std::optional<std::string> MatchInFolder(const std::string& folder, std::string_view part) {
    if (part == "." || part == "..") return std::string(part);
    std::error_code ec;
    if (fs::exists(fs::symlink_status(folder + std::string(part), ec))) return std::string(part);
    std::optional<std::string> best;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::string name = it->path().filename().string();
        if (SameIgnoringCase(name, part) && (!best || name < *best)) best = std::move(name);
    }
    return best;
}

}  // namespace

std::string BaseFolder(const std::string& programFolder) {
    if (programFolder.empty()) return "./";
    if (programFolder.back() == '/') return programFolder;
    return programFolder + '/';
}

std::string ResolveResourcePath(const std::string& base, std::string_view relative) {
    std::string path = BaseFolder(base);
    bool matching = true;
    bool firstPart = true;
    std::size_t start = 0;
    while (start < relative.size()) {
        std::size_t end = relative.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = relative.size();
        const std::string_view part = relative.substr(start, end - start);
        start = end + 1;
        if (part.empty()) continue;
        if (!firstPart) path += '/';
        std::string name(part);
        if (matching) {
            if (auto found = MatchInFolder(path, part)) {
                name = std::move(*found);
            } else {
                matching = false;  // nothing below a missing name can exist either
            }
        }
        path += name;
        firstPart = false;
    }
    // A folder asked for with a trailing separator keeps it, ready for a file name.
    if (!firstPart && (relative.back() == '\\' || relative.back() == '/')) path += '/';
    return path;
}

}  // namespace pellow
