#include "resources/unpack.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <future>
#include <set>
#include <utility>
#include <vector>

#include "resources/posix_file.hpp"
#include "resources/unpacked_tree.hpp"
#include "resources/zulpak.hpp"

namespace pellow {

namespace {

using detail::Quoted;
using detail::UniqueFd;
using detail::WithErrno;

constexpr std::string_view kJpegBackground = "Back_800x600.jpg";
constexpr std::string_view kBitmapBackground = "Back_800x600.bmp";
// The only size at which the game draws it: the small table's.
constexpr int kBackgroundWidth = 800;
constexpr int kBackgroundHeight = 600;

struct PlannedFile {
    std::int32_t id;
    std::size_t folder;  // index into kResourceFolders
    std::string name;
};

// A resource path as the game writes it, in one letter case, for matching names the way
// ResolveResourcePath finds them.
std::string Folded(std::string_view relative) {
    std::string s(relative);
    for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

// Whether the entry unpacked as folder/name is one the launch reads: wanted empty means all.
// The JPEG background is wanted when the bitmap made from it is.
bool Wanted(const std::set<std::string>& wanted, std::string_view folder, const std::string& name) {
    if (wanted.empty()) return true;
    const std::string made = name == kJpegBackground ? std::string(kBitmapBackground) : name;
    return wanted.count(Folded("res\\" + std::string(folder) + "\\" + made)) > 0;
}

// Every entry that will be written, in directory order. A name that could land outside its
// folder stops the whole unpacking before anything is written.
std::vector<PlannedFile> PlanEntries(const zulPAK& pak, const std::set<std::string>& wanted) {
    std::vector<PlannedFile> plan;
    const std::int32_t last = pak.NumEntrys();
    for (std::int32_t id = 0; id <= last; ++id) {
        const std::string field = pak.EntryName(id);
        for (std::size_t f = 0; f < kResourceFolders.size(); ++f) {
            const std::string_view prefix = kResourceFolders[f].prefix;
            if (field.compare(0, prefix.size(), prefix) != 0) continue;
            std::string name = field.substr(prefix.size());
            name.erase(std::min(name.find('\0'), name.size()));
            name.erase(0, std::min(name.find_first_not_of(' '), name.size()));
            name.erase(name.find_last_not_of(' ') + 1);
            const bool control = std::any_of(name.begin(), name.end(),
                                             [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
            if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos ||
                control)
                throw ResourceError("The resource archive " + Quoted(pak.FileLoaded()) + " is damaged: " +
                                    EntryLabel(id, field) + " does not name a file inside its folder.");
            if (Wanted(wanted, kResourceFolders[f].folder, name)) plan.push_back({id, f, std::move(name)});
            break;
        }
    }
    return plan;
}

// One unpacking into the tree it made; a failure part-way takes back all it wrote.
class Unpacking {
public:
    explicit Unpacking(UnpackedTree::Handles& tree) : tree_(tree) {}

    void Write(const zulPAK& pak, const PlannedFile& file) {
        // A later entry of the same name wins, as it would written in order.
        if (Folded(file.name) == Folded(converting_.second) && file.folder == converting_.first) Finish();
        const std::string shownFolder = tree_.base + "res/" + std::string(kResourceFolders[file.folder].folder) + "/";
        std::vector<unsigned char> bytes;
        try {
            bytes = pak.ReadEntry(file.id);
        } catch (const PakError& e) {
            throw ResourceError(e.what());
        }
        const int folder = tree_.folders[file.folder].get();
        detail::NewFile out(folder, file.name);
        if (!out.Create() || !detail::WriteAt(out.get(), bytes.data(), bytes.size(), 0) || !out.Commit())
            throw ResourceError(WithErrno("The file " + Quoted(shownFolder + file.name) + " cannot be written", errno));
        Written(file.folder, file.name);
        if (file.name == kJpegBackground) {
            const std::string bitmap(kBitmapBackground);
            Finish();
            converting_ = {file.folder, bitmap};
            // Decoded on another core while the files after it are written.
            conversion_ = std::async(std::launch::async, ConvertJpegToBitmapAt, folder, shownFolder, file.name, bitmap,
                                     kBackgroundWidth, kBackgroundHeight);
        }
    }

    // Waits for the background's conversion; throws what it threw.
    void Finish() {
        const auto bitmap = std::exchange(converting_, {});
        if (!conversion_.valid()) return;
        conversion_.get();
        Written(bitmap.first, bitmap.second);
    }

    // Waits for the conversion, whatever it did, so nothing is written after the removal, and
    // a bitmap it finished is removed with the rest.
    void Abandon() noexcept {
        try {
            Finish();
        } catch (...) {
        }
    }

private:
    // The removal takes exactly the names written, each once.
    void Written(std::size_t folder, const std::string& name) {
        if (written_.emplace(folder, name).second) tree_.files.emplace_back(folder, name);
    }

    UnpackedTree::Handles& tree_;
    std::set<std::pair<std::size_t, std::string>> written_;
    std::future<void> conversion_;
    std::pair<std::size_t, std::string> converting_;  // the bitmap being written beside, if any
};

// The folder the tree goes in: the program's when it can be written and holds no "res" that
// this start did not make (one a killed start left is cleared first), else a private one.
void PlaceTree(UnpackedTree::Handles& tree, const std::string& base,
               const std::vector<std::pair<std::size_t, std::string>>& names) {
    if (::faccessat(AT_FDCWD, base.c_str(), W_OK | X_OK, AT_EACCESS) == 0) {
        tree.base = base;
        tree.baseFd = UniqueFd(::open(base.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (!tree.baseFd)
            throw ResourceError(WithErrno("The program folder " + Quoted(base) + " cannot be used", errno));
        if (MakeTree(tree, names)) return;
        const int err = errno;
        if (err == EEXIST) {
            if (RemoveLeftoverTree(tree.baseFd.get(), "res") && MakeTree(tree, names)) return;
            tree.notice = "The folder " + Quoted(base + "res") +
                          " was not made by this start of the game, so it is left as it is";
        } else if (err != EACCES && err != EROFS && err != EPERM) {
            throw ResourceError(WithErrno("The resource folder " + Quoted(base + "res") + " cannot be made", err));
        }
        tree.baseFd = UniqueFd();
    } else if (errno != EACCES && errno != EROFS && errno != EPERM) {
        throw ResourceError(WithErrno("The program folder " + Quoted(base) + " cannot be used", errno));
    }
    MakePrivateFolder(tree);
    if (!tree.notice.empty()) tree.notice += "; the game's files are unpacked in " + Quoted(tree.base) + " instead.";
    if (!MakeTree(tree, names))
        throw ResourceError(WithErrno("The resource folder " + Quoted(tree.base + "res") + " cannot be made", errno));
}

}  // namespace

UnpackedTree::UnpackedTree(std::unique_ptr<Handles> handles) : handles_(std::move(handles)) {}
UnpackedTree::UnpackedTree(UnpackedTree&&) noexcept = default;
UnpackedTree& UnpackedTree::operator=(UnpackedTree&& other) noexcept {
    if (this != &other) {
        if (handles_) handles_->RemoveAll();
        handles_ = std::move(other.handles_);
    }
    return *this;
}
UnpackedTree::~UnpackedTree() {
    if (handles_) handles_->RemoveAll();
}

const std::string& UnpackedTree::base() const { return handles_->base; }
const std::string& UnpackedTree::notice() const { return handles_->notice; }

void UnpackedTree::Remove() {
    if (!handles_) return;
    const std::string problem = handles_->RemoveAll();
    if (!problem.empty()) throw ResourceError(problem);
}

UnpackedTree UnpackResources(const std::string& resourceBase, const std::string& packFileName,
                             const std::vector<std::string>& wantedFiles) {
    const std::string base = BaseFolder(resourceBase);
    std::set<std::string> wanted;
    for (const std::string& file : wantedFiles) wanted.insert(Folded(file));

    // Everything about the archive is checked before the first folder is made.
    const std::string archive = base + packFileName;
    zulPAK pak;
    try {
        pak.OpenQ2Pak(archive);
    } catch (const PakError& e) {
        throw ResourceError(e.what());
    }
    if (pak.FileLoaded().empty()) {
        if (::faccessat(AT_FDCWD, archive.c_str(), F_OK, AT_SYMLINK_NOFOLLOW) == 0)
            throw ResourceError("The file " + Quoted(archive) + " is not a resource archive.");
        throw ResourceError("The resource archive " + Quoted(archive) + " is missing.");
    }
    const std::vector<PlannedFile> plan = PlanEntries(pak, wanted);
    // The names the tree will hold, each once (an archive may store a name again, and the later
    // entry wins).
    std::vector<std::pair<std::size_t, std::string>> names;
    std::set<std::pair<std::size_t, std::string>> named;
    const auto name = [&](std::size_t folder, const std::string& file) {
        if (named.emplace(folder, file).second) names.emplace_back(folder, file);
    };
    for (const PlannedFile& file : plan) {
        name(file.folder, file.name);
        if (file.name == kJpegBackground) name(file.folder, std::string(kBitmapBackground));
    }

    auto handles = std::make_unique<UnpackedTree::Handles>();
    Unpacking unpacking(*handles);
    try {
        PlaceTree(*handles, base, names);
        for (const PlannedFile& file : plan) unpacking.Write(pak, file);
        unpacking.Finish();
    } catch (...) {
        unpacking.Abandon();
        handles->RemoveAll();
        throw;
    }
    return UnpackedTree(std::move(handles));
}

}  // namespace pellow
