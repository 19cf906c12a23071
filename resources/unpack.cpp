#include "resources/unpack.hpp"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <future>
#include <algorithm>
#include <cctype>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "resources/posix_file.hpp"
#include "resources/zulpak.hpp"

namespace pellow {

namespace {

namespace fs = std::filesystem;
using detail::Quoted;
using detail::UniqueFd;
using detail::WithErrno;

// Its presence means a whole tree was unpacked before; it is the first sound the game loads.
constexpr std::string_view kUnpackedMarker = "res\\Sounds\\CARD_FLIP.WAV";
constexpr std::string_view kJpegBackground = "Back_800x600.jpg";
constexpr std::string_view kBitmapBackground = "Back_800x600.bmp";
// The only size at which the game draws it: the small table's.
constexpr int kBackgroundWidth = 800;
constexpr int kBackgroundHeight = 600;

// A private folder: one start's own, below the per-user place (or, failing that, made alone in
// the temporary folder). Its open descriptor is its lock, held while the start lives; the
// system lets go of it however the start ends.
struct PrivateFolder {
    std::string path;   // ends in '/'
    std::string place;  // the per-user place it is in, without the '/'; empty when none
    UniqueFd lock;
};

constexpr std::string_view kPrivatePrefix = "files-";

// Private folders made by UnpackResources and not yet removed: only these may be removed as a
// whole by DeleteUnpackedFiles.
std::mutex privateFoldersMutex;
std::map<std::string, PrivateFolder> privateFolders;

bool IsRealFolder(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool IsFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

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
            if (name.empty() || name == "." || name == ".." || name.find_first_of("/\\") != std::string::npos)
                throw ResourceError("The resource archive " + Quoted(pak.FileLoaded()) + " is damaged: " +
                                    EntryLabel(id, field) + " does not name a file inside its folder.");
            if (Wanted(wanted, kResourceFolders[f].folder, name)) plan.push_back({id, f, std::move(name)});
            break;
        }
    }
    return plan;
}

UniqueFd OpenFolder(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

// The folder at path, opened and locked, provided it is still the one at path once the lock is
// held: the last start out removes the per-user place, and another may make it anew.
UniqueFd LockFolderAt(const std::string& path) {
    UniqueFd fd = OpenFolder(path);
    struct stat held {}, now {};
    if (!fd || ::flock(fd.get(), LOCK_EX) != 0 || ::fstat(fd.get(), &held) != 0 || ::lstat(path.c_str(), &now) != 0 ||
        held.st_dev != now.st_dev || held.st_ino != now.st_ino)
        return {};
    return fd;
}

// The per-user place where private folders go, made when missing and locked: "pellow" in the
// session's runtime folder, else "pellow-<uid>" in the temporary folder. Empty when it is not
// a folder of this user's alone.
std::pair<std::string, UniqueFd> LockPlace() {
    std::string place;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    if (runtime != nullptr && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) &&
        st.st_uid == ::geteuid()) {
        place = std::string(runtime) + "/pellow";
    } else {
        std::error_code ec;
        const fs::path tmp = fs::temp_directory_path(ec);
        if (ec) return {};
        place = (tmp / ("pellow-" + std::to_string(::geteuid()))).string();
    }
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (::mkdir(place.c_str(), 0700) != 0 && errno != EEXIST) return {};
        if (::lstat(place.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::geteuid() ||
            (st.st_mode & 077) != 0)
            return {};
        if (UniqueFd fd = LockFolderAt(place)) return {place, std::move(fd)};
    }
    return {};
}

// Removes the private folders of starts that ended without removing them (killed, or the power
// went): nobody holds their lock. Called with the place locked, so none is half made.
void RemoveLeftovers(const std::string& place) {
    std::vector<std::string> found;
    std::error_code ec;
    for (fs::directory_iterator it(place, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, kPrivatePrefix.size(), kPrivatePrefix) == 0) found.push_back(it->path().string());
    }
    for (const std::string& folder : found) {
        const UniqueFd fd = OpenFolder(folder);
        if (!fd || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;  // in use by a running start
        fs::remove_all(folder, ec);
    }
}

// The place goes when the last private folder in it has gone, leaving nothing behind.
void RemovePlaceWhenEmpty(const std::string& place) {
    if (place.empty()) return;
    const UniqueFd fd = LockFolderAt(place);
    if (fd) ::rmdir(place.c_str());  // fails, as it should, while another start's folder is there
}

PrivateFolder MakePrivateFolder() {
    auto [place, placeLock] = LockPlace();
    if (placeLock) {
        RemoveLeftovers(place);
        std::string pattern = place + "/" + std::string(kPrivatePrefix) + "XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr)
            throw ResourceError(WithErrno("The folder " + Quoted(pattern) + " for the game's files cannot be made", errno));
        UniqueFd lock = OpenFolder(pattern);
        if (!lock || ::flock(lock.get(), LOCK_EX | LOCK_NB) != 0) {
            const int err = errno;
            ::rmdir(pattern.c_str());
            throw ResourceError(WithErrno("The folder " + Quoted(pattern) + " for the game's files cannot be locked", err));
        }
        return {pattern + '/', place, std::move(lock)};
    }
    // A place shared with others: a folder of its own, which only this start removes.
    std::string pattern;
    try {
        pattern = (fs::temp_directory_path() / "pellow-XXXXXX").string();
    } catch (const fs::filesystem_error& e) {
        throw ResourceError(std::string("No folder for the game's files can be found: ") + e.what() + ".");
    }
    if (::mkdtemp(pattern.data()) == nullptr)
        throw ResourceError(WithErrno("The folder " + Quoted(pattern) + " for the game's files cannot be made", errno));
    return {pattern + '/', {}, {}};
}

// Where to unpack: the program's folder when it can be written, else a new private folder.
std::optional<PrivateFolder> ChoosePrivateFolder(const std::string& base) {
    if (::faccessat(AT_FDCWD, base.c_str(), W_OK | X_OK, AT_EACCESS) == 0) return std::nullopt;
    if (errno == EACCES || errno == EROFS || errno == EPERM) return MakePrivateFolder();
    throw ResourceError(WithErrno("The program folder " + Quoted(base) + " cannot be used", errno));
}

// One unpacking into target; remembers what it made so that a failure can take it back.
class Unpacking {
public:
    Unpacking(std::string target, bool privateFolder) : target_(std::move(target)), private_(privateFolder) {}

    // Makes the folders that are missing; folders left by an earlier run are used as they are.
    void MakeFolders() {
        MakeFolder("res");
        for (const ResourceFolder& f : kResourceFolders) {
            std::string relative = "res\\";
            relative += f.folder;
            folders_.push_back(MakeFolder(relative));
        }
    }

    void Write(zulPAK& pak, const PlannedFile& file) {
        const std::string folder = folders_[file.folder] + '/';
        const std::string path = folder + file.name;
        // A later entry of the same name wins, as it would written in order.
        if (Folded(path) == Folded(converting_)) Finish();
        Claim(path);
        try {
            pak.SaveFileFromPAK(file.id, path);
        } catch (const PakError& e) {
            throw ResourceError(e.what());
        }
        if (file.name == kJpegBackground) {
            const std::string bitmap = folder + std::string(kBitmapBackground);
            Claim(bitmap);
            // Decoded on another core while the files after it are written.
            Finish();
            converting_ = bitmap;
            conversion_ = std::async(std::launch::async, ConvertJpegToBitmap, path, bitmap, kBackgroundWidth,
                                     kBackgroundHeight);
        }
    }

    // Waits for the background's conversion; throws what it threw.
    void Finish() {
        converting_.clear();
        if (conversion_.valid()) conversion_.get();
    }

    // Takes back every file and folder this unpacking made; files it overwrote go too, so a
    // later start cannot mistake a partial tree for a whole one.
    void RollBack() noexcept {
        if (conversion_.valid()) conversion_.wait();
        for (auto it = files_.rbegin(); it != files_.rend(); ++it) ::unlink(it->c_str());
        for (auto it = madeFolders_.rbegin(); it != madeFolders_.rend(); ++it) ::rmdir(it->c_str());
        if (private_) ::rmdir(target_.c_str());
    }

private:
    std::string MakeFolder(const std::string& relative) {
        // A folder of another letter case left by an earlier run counts as the same folder.
        const std::string path = ResolveResourcePath(target_, relative);
        if (IsRealFolder(path)) return path;
        if (Exists(path))
            throw ResourceError("The resource folder " + Quoted(path) +
                                " cannot be made: something that is not a folder is in the way.");
        if (::mkdir(path.c_str(), 0755) != 0)
            throw ResourceError(WithErrno("The resource folder " + Quoted(path) + " cannot be made", errno));
        madeFolders_.push_back(path);
        return path;
    }

    // Only plain files are ever replaced: a link or folder in the way could lead outside the tree.
    void Claim(const std::string& path) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode))
            throw ResourceError("The file " + Quoted(path) +
                                " cannot be written: something that is not a plain file is in the way.");
        files_.push_back(path);
    }

    std::string target_;
    bool private_;
    std::vector<std::string> folders_;  // per kResourceFolders entry, as found or made
    std::vector<std::string> madeFolders_;
    std::vector<std::string> files_;
    std::future<void> conversion_;
    std::string converting_;  // the bitmap being written beside, if any
};

}  // namespace

std::string UnpackResources(const std::string& resourceBase, const std::string& packFileName,
                            const std::vector<std::string>& wantedFiles) {
    const std::string base = BaseFolder(resourceBase);
    // A tree found beside the program is used as it is, provided it holds what this launch reads
    // (a start killed while unpacking another deck leaves one that does not).
    const auto present = [&base](const std::string& file) { return IsFile(ResolveResourcePath(base, file)); };
    if (IsFile(ResolveResourcePath(base, kUnpackedMarker)) &&
        std::all_of(wantedFiles.begin(), wantedFiles.end(), present))
        return base;
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
        if (Exists(archive)) throw ResourceError("The file " + Quoted(archive) + " is not a resource archive.");
        throw ResourceError("The resource archive " + Quoted(archive) + " is missing.");
    }
    const std::vector<PlannedFile> plan = PlanEntries(pak, wanted);

    std::optional<PrivateFolder> privateFolder = ChoosePrivateFolder(base);
    const std::string target = privateFolder ? privateFolder->path : base;
    Unpacking unpacking(target, privateFolder.has_value());
    try {
        unpacking.MakeFolders();
        for (const PlannedFile& file : plan) unpacking.Write(pak, file);
        unpacking.Finish();
    } catch (...) {
        unpacking.RollBack();
        if (privateFolder) {
            privateFolder->lock.close();
            RemovePlaceWhenEmpty(privateFolder->place);
        }
        throw;
    }
    if (privateFolder) {
        const std::lock_guard lock(privateFoldersMutex);
        privateFolders[target] = std::move(*privateFolder);
    }
    return target;
}

void DeleteUnpackedFiles(const std::string& baseFolder) {
    const std::string base = BaseFolder(baseFolder);
    std::string problem;  // the first one; the removal goes on past it
    auto note = [&problem](std::string text) {
        if (problem.empty()) problem = std::move(text);
    };
    auto removeFolder = [&](const std::string& path) {
        if (::rmdir(path.c_str()) != 0) note(WithErrno("The folder " + Quoted(path) + " cannot be removed", errno));
    };

    const std::string res = ResolveResourcePath(base, "res");
    if (IsRealFolder(res)) {
        for (const std::string_view name : kRemovalOrder) {
            std::string relative = "res\\";
            relative += name;
            const std::string folder = ResolveResourcePath(base, relative);
            if (!Exists(folder)) continue;
            if (!IsRealFolder(folder)) {
                note("The resource folder " + Quoted(folder) + " is not a folder; it was left in place.");
                continue;
            }
            std::error_code ec;
            for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
                std::error_code statusError;
                const fs::file_type type = it->symlink_status(statusError).type();
                const std::string path = it->path().string();
                if (type == fs::file_type::regular || type == fs::file_type::symlink) {
                    if (::unlink(path.c_str()) != 0) note(WithErrno("The file " + Quoted(path) + " cannot be removed", errno));
                } else {
                    note("The resource folder " + Quoted(folder) + " holds " + Quoted(path) +
                         ", which the game did not put there; it was left in place.");
                }
            }
            if (ec) note("The resource folder " + Quoted(folder) + " cannot be listed: " + ec.message() + ".");
            removeFolder(folder);
        }
        removeFolder(res);
    } else if (Exists(res)) {
        note("The resource folder " + Quoted(res) + " is not a folder; it was left in place.");
    }

    {
        const std::lock_guard lock(privateFoldersMutex);
        const auto it = privateFolders.find(base);
        if (it != privateFolders.end()) {
            if (::rmdir(base.c_str()) == 0) {
                const std::string place = it->second.place;
                privateFolders.erase(it);  // lets go of its lock
                RemovePlaceWhenEmpty(place);
            } else {
                note(WithErrno("The folder " + Quoted(base) + " cannot be removed", errno));
            }
        }
    }
    if (!problem.empty()) throw ResourceError(problem);
}

}  // namespace pellow
