#include "resources/unpacked_tree.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <set>

namespace pellow {

namespace {

namespace fs = std::filesystem;
using detail::Quoted;
using detail::UniqueFd;
using detail::WithErrno;

constexpr std::string_view kPrivatePrefix = "files-";
constexpr std::string_view kLonePrefix = "pellow-";
// A record longer than this is no record of the game's: the game's own archive names fit in
// 16 KiB, and a hundred thousand entries' names in 8 MiB.
constexpr off_t kLongestRecord = 8 << 20;

UniqueFd OpenFolderAt(int parent, const std::string& name) {
    return UniqueFd(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

bool Mine(const struct stat& st) { return st.st_uid == ::geteuid(); }

// Whether name below parent is still the folder held open as fd: a name can be swapped for
// another folder once made, and then the other one must not be removed in its place.
bool StillAt(int parent, const std::string& name, int fd) {
    struct stat there {
    }, held{};
    return ::fstatat(parent, name.c_str(), &there, AT_SYMLINK_NOFOLLOW) == 0 && ::fstat(fd, &held) == 0 &&
           there.st_dev == held.st_dev && there.st_ino == held.st_ino;
}

// The names in the open folder fd, without "." and "..". False when it cannot be listed.
bool NamesIn(int fd, std::vector<std::string>& names) {
    const int copy = ::dup(fd);
    if (copy < 0) return false;
    DIR* dir = ::fdopendir(copy);
    if (dir == nullptr) {
        ::close(copy);
        return false;
    }
    ::rewinddir(dir);
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string_view name = e->d_name;
        if (name != "." && name != "..") names.emplace_back(name);
    }
    const bool listed = errno == 0;
    ::closedir(dir);
    return listed;
}

std::string FolderName(std::size_t folder) { return std::string(kResourceFolders[folder].folder); }

std::string RecordText(const std::vector<std::pair<std::size_t, std::string>>& planned) {
    std::string text(kTreeRecordFormat);
    for (std::size_t f = 0; f < kResourceFolders.size(); ++f) text += "d " + FolderName(f) + '\n';
    for (const auto& [folder, name] : planned) text += "f " + FolderName(folder) + '/' + name + '\n';
    return text;
}

// What a record names: folders, and files by folder. False when the text is no record of the
// game's. A record cut short by a kill counts for the whole lines it has; its first line may
// itself be cut short, as long as what is there is the beginning of it.
bool ReadRecord(const std::string& text, std::set<std::string>& folders, std::set<std::string>& files) {
    if (text.size() < kTreeRecordFormat.size()) return kTreeRecordFormat.compare(0, text.size(), text) == 0;
    if (text.compare(0, kTreeRecordFormat.size(), kTreeRecordFormat) != 0) return false;
    std::size_t at = kTreeRecordFormat.size();
    for (std::size_t end; (end = text.find('\n', at)) != std::string::npos; at = end + 1) {
        const std::string line = text.substr(at, end - at);
        if (line.size() < 3 || line[1] != ' ') return false;
        const std::string name = line.substr(2);
        if (line[0] == 'd' && name.find('/') == std::string::npos) {
            folders.insert(name);
        } else if (line[0] == 'f' && name.find('/') != std::string::npos) {
            files.insert(name);
        } else {
            return false;
        }
    }
    return true;
}

bool ReadSmallFile(int fd, off_t size, std::string& text) {
    text.resize(static_cast<std::size_t>(size));
    const std::int64_t got = detail::ReadAt(fd, text.data(), text.size(), 0);
    if (got < 0) return false;
    text.resize(static_cast<std::size_t>(got));
    return true;
}

// Removes the private folder name below parent when a killed start left it: nobody holds its
// lock, it is the user's alone, and it holds a tree recognisably left (or nothing, where
// emptyIsLeft: in the per-user place, where nobody else makes folders).
void RemoveKilledPrivateFolder(int parent, const std::string& name, bool emptyIsLeft) {
    const UniqueFd fd = OpenFolderAt(parent, name);
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0 || !Mine(st) || (st.st_mode & 077) != 0) return;
    if (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) return;  // in use by a running start
    std::vector<std::string> names;
    if (!NamesIn(fd.get(), names) || (names.empty() && !emptyIsLeft)) return;
    for (const std::string& inside : names)
        if (inside != "res" || !RemoveLeftoverTree(fd.get(), inside)) return;
    if (StillAt(parent, name, fd.get())) ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

// The folder at name below parent, opened and locked, provided it is still the one at that name
// once the lock is held: the last start out removes the per-user place, and another may make it
// anew.
UniqueFd LockFolderAt(int parent, const std::string& name) {
    UniqueFd fd = OpenFolderAt(parent, name);
    if (!fd || ::flock(fd.get(), LOCK_EX) != 0 || !StillAt(parent, name, fd.get())) return {};
    return fd;
}

struct Place {
    std::string path;  // without a trailing '/'
    UniqueFd parent;   // the folder that holds it
    std::string name;  // its name there
    UniqueFd fd;       // open and locked
};

// The per-user place where private folders go, made when missing and locked: "pellow" in the
// session's runtime folder, else "pellow-<uid>" in the temporary folder. No fd when it is not a
// folder of this user's alone.
Place LockPlace(const std::string& tmp) {
    Place place;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    struct stat st {};
    std::string parent;
    if (runtime != nullptr && runtime[0] == '/' && ::stat(runtime, &st) == 0 && S_ISDIR(st.st_mode) && Mine(st)) {
        parent = runtime;
        place.name = "pellow";
    } else {
        parent = tmp;
        place.name = std::string(kLonePrefix) + std::to_string(::geteuid());
    }
    place.path = parent + "/" + place.name;
    place.parent = UniqueFd(::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!place.parent) return place;
    for (int attempt = 0; attempt < 8; ++attempt) {
        if (::mkdirat(place.parent.get(), place.name.c_str(), 0700) != 0 && errno != EEXIST) return place;
        if (::fstatat(place.parent.get(), place.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISDIR(st.st_mode) ||
            !Mine(st) || (st.st_mode & 077) != 0)
            return place;
        if ((place.fd = LockFolderAt(place.parent.get(), place.name))) return place;
    }
    return place;
}

std::string TemporaryFolder() {
    std::error_code ec;
    const fs::path tmp = fs::temp_directory_path(ec);
    if (ec) throw ResourceError("No folder for the game's files can be found: " + ec.message() + ".");
    std::string path = tmp.string();
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
}

// A new folder prefix + "XXXXXX" below parent (shown as parentPath), the user's alone, opened
// and locked.
std::pair<std::string, UniqueFd> MakeLockedFolder(int parent, const std::string& parentPath, std::string_view prefix) {
    std::string pattern = parentPath + "/" + std::string(prefix) + "XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr)
        throw ResourceError(WithErrno("The folder " + Quoted(pattern) + " for the game's files cannot be made", errno));
    const std::string name = pattern.substr(parentPath.size() + 1);
    UniqueFd fd = OpenFolderAt(parent, name);
    if (!fd || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
        throw ResourceError(WithErrno("The folder " + Quoted(pattern) + " for the game's files cannot be locked", err));
    }
    return {name, std::move(fd)};
}

// The lone folders "pellow-XXXXXX" in the temporary folder are found by their name's shape.
bool LoneFolderName(const std::string& name) {
    return name.size() == kLonePrefix.size() + 6 && name.compare(0, kLonePrefix.size(), kLonePrefix) == 0 &&
           name != std::string(kLonePrefix) + std::to_string(::geteuid());
}

}  // namespace

bool MakeTree(UnpackedTree::Handles& h, const std::vector<std::pair<std::size_t, std::string>>& planned) {
    const std::string res = h.base + "res";
    if (::mkdirat(h.baseFd.get(), "res", 0755) != 0) return false;
    h.resFd = OpenFolderAt(h.baseFd.get(), "res");
    struct stat st {};
    if (!h.resFd || ::fstat(h.resFd.get(), &st) != 0 || !Mine(st)) {
        // Swapped between its making and its opening: not ours to use or remove.
        h.resFd = UniqueFd();
        errno = EEXIST;
        return false;
    }
    const std::string text = RecordText(planned);
    // Written in place rather than renamed: a kill mid-way must still leave the record first.
    UniqueFd fd(::openat(h.resFd.get(), std::string(kTreeRecordName).c_str(),
                         O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
    if (!fd)
        throw ResourceError(
            WithErrno("The file " + Quoted(res + "/" + std::string(kTreeRecordName)) + " cannot be written", errno));
    h.recordWritten = true;
    if (!detail::WriteAt(fd.get(), text.data(), text.size(), 0) || !fd.close())
        throw ResourceError(
            WithErrno("The file " + Quoted(res + "/" + std::string(kTreeRecordName)) + " cannot be written", errno));
    for (std::size_t f = 0; f < kResourceFolders.size(); ++f) {
        const std::string name = FolderName(f);
        if (::mkdirat(h.resFd.get(), name.c_str(), 0755) != 0)
            throw ResourceError(
                WithErrno("The resource folder " + Quoted(res + "/" + name) + " cannot be made", errno));
        h.folders[f] = OpenFolderAt(h.resFd.get(), name);
        if (!h.folders[f])
            throw ResourceError(
                WithErrno("The resource folder " + Quoted(res + "/" + name) + " cannot be opened", errno));
    }
    return true;
}

std::string UnpackedTree::Handles::RemoveAll() {
    std::string problem;
    auto note = [&problem](std::string text) {
        if (problem.empty()) problem = std::move(text);
    };
    const std::string res = base + "res";
    for (const auto& [folder, name] : files) {
        if (::unlinkat(folders[folder].get(), name.c_str(), 0) != 0 && errno != ENOENT)
            note(WithErrno("The file " + Quoted(res + "/" + FolderName(folder) + "/" + name) + " cannot be removed",
                           errno));
    }
    files.clear();
    for (std::size_t f = 0; f < folders.size(); ++f) {
        if (!folders[f]) continue;
        const std::string name = FolderName(f);
        const std::string path = res + "/" + name;
        std::vector<std::string> left;
        NamesIn(folders[f].get(), left);
        if (!left.empty()) {
            note("The resource folder " + Quoted(path) + " holds " + Quoted(path + "/" + left.front()) +
                 ", which the game did not put there; it was left in place.");
        } else if (StillAt(resFd.get(), name, folders[f].get()) &&
                   ::unlinkat(resFd.get(), name.c_str(), AT_REMOVEDIR) != 0) {
            note(WithErrno("The folder " + Quoted(path) + " cannot be removed", errno));
        }
        folders[f] = UniqueFd();
    }
    if (recordWritten && ::unlinkat(resFd.get(), std::string(kTreeRecordName).c_str(), 0) != 0 && errno != ENOENT)
        note(WithErrno("The file " + Quoted(res + "/" + std::string(kTreeRecordName)) + " cannot be removed", errno));
    recordWritten = false;
    if (resFd) {
        std::vector<std::string> left;
        NamesIn(resFd.get(), left);
        if (!left.empty()) {
            note("The folder " + Quoted(res) + " holds " + Quoted(res + "/" + left.front()) +
                 ", which the game did not put there; it was left in place.");
        } else if (StillAt(baseFd.get(), "res", resFd.get()) && ::unlinkat(baseFd.get(), "res", AT_REMOVEDIR) != 0) {
            note(WithErrno("The folder " + Quoted(res) + " cannot be removed", errno));
        }
        resFd = UniqueFd();
    }
    if (!privateName.empty()) {
        const std::string shown = base.substr(0, base.size() - 1);
        if (StillAt(privateParentFd.get(), privateName, baseFd.get()) &&
            ::unlinkat(privateParentFd.get(), privateName.c_str(), AT_REMOVEDIR) != 0)
            note(WithErrno("The folder " + Quoted(shown) + " cannot be removed", errno));
        baseFd = UniqueFd();  // lets go of its lock
        // The place goes when the last private folder in it has gone, leaving nothing behind.
        if (!place.empty()) {
            const std::string placeName = fs::path(place).filename().string();
            const UniqueFd parent(::open(fs::path(place).parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
            if (parent) {
                const UniqueFd lock = LockFolderAt(parent.get(), placeName);
                // Fails, as it should, while another start's folder is there.
                if (lock) ::unlinkat(parent.get(), placeName.c_str(), AT_REMOVEDIR);
            }
        }
        privateName.clear();
        privateParentFd = UniqueFd();
    }
    baseFd = UniqueFd();
    return problem;
}

bool RemoveLeftoverTree(int parent, const std::string& name) {
    const UniqueFd res = OpenFolderAt(parent, name);
    struct stat st {};
    if (!res || ::fstat(res.get(), &st) != 0 || !Mine(st)) return false;

    // Killed between making the folder and its record: an empty folder of the user's loses
    // nothing by going (the system removes none that holds anything).
    std::vector<std::string> found;
    if (NamesIn(res.get(), found) && found.empty())
        return StillAt(parent, name, res.get()) && ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;

    const std::string recordName(kTreeRecordName);
    const UniqueFd record(::openat(res.get(), recordName.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    std::string text;
    std::set<std::string> folders, files;
    if (!record || ::fstat(record.get(), &st) != 0 || !S_ISREG(st.st_mode) || !Mine(st) || st.st_nlink != 1 ||
        st.st_size > kLongestRecord || !ReadSmallFile(record.get(), st.st_size, text) ||
        !ReadRecord(text, folders, files))
        return false;

    // Everything is checked before anything is removed.
    std::vector<std::string> inRes;
    if (!NamesIn(res.get(), inRes)) return false;
    std::vector<std::pair<UniqueFd, std::string>> subfolders;
    std::vector<std::pair<int, std::string>> doomed;  // folder handle, name
    for (const std::string& entry : inRes) {
        if (entry == recordName) continue;
        if (folders.count(entry) == 0) return false;
        UniqueFd sub = OpenFolderAt(res.get(), entry);
        if (!sub || ::fstat(sub.get(), &st) != 0 || !Mine(st)) return false;
        std::vector<std::string> inSub;
        if (!NamesIn(sub.get(), inSub)) return false;
        for (const std::string& file : inSub) {
            const bool named = files.count(entry + "/" + file) > 0 ||
                               (file.size() > 6 && file.front() == '.' &&
                                file.compare(file.size() - 5, 5, ".part") == 0 &&
                                files.count(entry + "/" + file.substr(1, file.size() - 6)) > 0);
            if (!named || ::fstatat(sub.get(), file.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode) ||
                !Mine(st) || st.st_nlink != 1)
                return false;
            doomed.emplace_back(sub.get(), file);
        }
        subfolders.emplace_back(std::move(sub), entry);
    }
    for (const auto& [folder, file] : doomed)
        if (::unlinkat(folder, file.c_str(), 0) != 0) return false;
    for (const auto& [sub, entry] : subfolders)
        if (::unlinkat(res.get(), entry.c_str(), AT_REMOVEDIR) != 0) return false;
    if (::unlinkat(res.get(), recordName.c_str(), 0) != 0) return false;
    return StillAt(parent, name, res.get()) && ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
}

void MakePrivateFolder(UnpackedTree::Handles& h) {
    const std::string tmp = TemporaryFolder();
    Place place = LockPlace(tmp);
    if (place.fd) {
        std::vector<std::string> names;
        NamesIn(place.fd.get(), names);
        for (const std::string& name : names)
            if (name.compare(0, kPrivatePrefix.size(), kPrivatePrefix) == 0)
                RemoveKilledPrivateFolder(place.fd.get(), name, true);
        auto [name, fd] = MakeLockedFolder(place.fd.get(), place.path, kPrivatePrefix);
        h.base = place.path + "/" + name + "/";
        h.privateName = std::move(name);
        h.baseFd = std::move(fd);
        h.privateParentFd = std::move(place.fd);  // the place's lock goes once the folder is made
        ::flock(h.privateParentFd.get(), LOCK_UN);
        h.place = place.path;
        return;
    }
    // A place shared with others: a lone folder of its own in the temporary folder, locked the
    // same way, so that a later start can tell it was killed.
    UniqueFd parent(::open(tmp.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!parent) throw ResourceError(WithErrno("The temporary folder " + Quoted(tmp) + " cannot be opened", errno));
    std::vector<std::string> names;
    NamesIn(parent.get(), names);
    for (const std::string& name : names)
        if (LoneFolderName(name)) RemoveKilledPrivateFolder(parent.get(), name, false);
    auto [name, fd] = MakeLockedFolder(parent.get(), tmp, kLonePrefix);
    h.base = tmp + "/" + name + "/";
    h.privateName = std::move(name);
    h.baseFd = std::move(fd);
    h.privateParentFd = std::move(parent);
}

}  // namespace pellow
