#include "app/settings_file.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <utility>

namespace pellow::settings_file {

namespace {

// Larger than any file this program writes by far: anything bigger is not ours.
constexpr std::size_t kLargestFile = 16 * 1024;

std::string Trim(const std::string& s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string::npos) return "";
    const auto last = s.find_last_not_of(" \t");
    return s.substr(first, last - first + 1);
}

// "key = value" lines under one header line; blank lines and "#" comments allowed. Anything
// else (another header, a line without "=", a key not in `known`, a key given twice, a
// control character) refuses the whole file, naming the line.
std::optional<Values> Parse(const std::string& text, const char* header, const std::vector<std::string>& known,
                            std::string& why) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    bool headerSeen = false;
    Values values;
    while (std::getline(in, line)) {
        ++number;
        for (const char c : line)
            if (static_cast<unsigned char>(c) < 0x20 && c != '\t') {
                why = "line " + std::to_string(number) + " holds a control character";
                return std::nullopt;
            }
        const std::string t = Trim(line);
        if (t.empty() || t[0] == '#') continue;
        if (!headerSeen) {
            if (t != header) {
                why = "it does not begin with \"" + std::string(header) + "\"";
                return std::nullopt;
            }
            headerSeen = true;
            continue;
        }
        const auto eq = t.find('=');
        const std::string key = eq == std::string::npos ? "" : Trim(t.substr(0, eq));
        bool isKnown = false;
        for (const std::string& k : known) isKnown = isKnown || k == key;
        if (!isKnown || values.count(key)) {
            why = "line " + std::to_string(number) + " is not understood";
            return std::nullopt;
        }
        values[key] = Trim(t.substr(eq + 1));
    }
    if (!headerSeen) {
        why = "it is empty";
        return std::nullopt;
    }
    return values;
}

enum class ReadResult { Read, Missing, Failed };

// Only a plain file is read. O_NONBLOCK keeps a FIFO put in its place from holding the start up
// before anything shows; a link there is not followed.
ReadResult ReadWhole(const std::string& path, std::string& text, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return ReadResult::Missing;
        why = errno == ELOOP ? "it is a link" : std::strerror(errno);
        return ReadResult::Failed;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        why = "it is not a plain file";
        ::close(fd);
        return ReadResult::Failed;
    }
    text.clear();
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) why = std::strerror(errno);
        if (n <= 0) break;
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > kLargestFile) {
            why = "it is far too large";
            break;
        }
    }
    ::close(fd);
    return why.empty() ? ReadResult::Read : ReadResult::Failed;
}

// A file is written whole under this fixed name and then renamed over the old one. The name is
// fixed, not drawn by chance, so that what a killed save leaves can be found and removed: under
// the lock no other save is using it. (An unnamed O_TMPFILE file would leave nothing at all, but
// linkat cannot replace the old file, so it would still need a name between; and not every file
// system has O_TMPFILE.)
std::string TemporaryName(const char* name) { return std::string(".").append(name).append(".new"); }

// The game's releases before this one named the temporary file ".NAME-XXXXXX" (mkostemp).
bool IsOlderTemporaryName(const std::string& entry, const char* name) {
    const std::string prefix = std::string(".").append(name).append("-");
    if (entry.size() != prefix.size() + 6 || entry.compare(0, prefix.size(), prefix) != 0) return false;
    return std::all_of(entry.begin() + static_cast<std::ptrdiff_t>(prefix.size()), entry.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    });
}

// Whether `entry` in `dir` is what a killed save of the file under `header` leaves: a plain
// file of this user's with no other name, holding a beginning of such a file or the whole.
// Anything else there is somebody else's and stays.
bool LeftByAKilledSave(int dir, const std::string& entry, const char* header) {
    const int fd = ::openat(dir, entry.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    const bool plain = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && st.st_nlink == 1 &&
                       static_cast<std::size_t>(st.st_size) <= kLargestFile;
    std::string text;
    if (plain) {
        text.resize(static_cast<std::size_t>(st.st_size));
        const ssize_t n = ::pread(fd, text.data(), text.size(), 0);
        text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    }
    ::close(fd);
    if (!plain) return false;
    const std::string start = std::string(header) + "\n";
    const std::size_t common = std::min(start.size(), text.size());
    return text.compare(0, common, start, 0, common) == 0;
}

bool WriteAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

void SayNotSaved(std::ostream& err, const std::string& folder, const char* name, const char* step, int error) {
    err << "Pellow: " << folder << "/" << name << " was not saved (" << step << ": " << std::strerror(error) << ")\n";
}

}  // namespace

bool ParseBool(const std::string& v, bool& out) {
    if (v == "yes") out = true;
    else if (v == "no") out = false;
    else return false;
    return true;
}

bool ParseCount(const std::string& v, long long& out) {
    if (v.empty() || v.size() > 15 || v.find_first_not_of("0123456789") != std::string::npos) return false;
    out = std::stoll(v);
    return true;
}

// The file's values, or nothing (the defaults apply) with at most one line on `err`.
std::optional<Values> Load(const std::string& folder, const char* name, const char* header,
                           const std::vector<std::string>& known, std::ostream& err, const char* otherwise) {
    if (folder.empty()) return std::nullopt;
    const std::string path = folder + "/" + name;
    std::string text, why;
    const ReadResult read = ReadWhole(path, text, why);
    if (read == ReadResult::Missing) return std::nullopt;
    std::optional<Values> values;
    if (read == ReadResult::Read) values = Parse(text, header, known, why);
    if (!values) err << "Pellow: " << path << " was not used (" << why << "); " << otherwise << "\n";
    return values;
}

bool MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
}

LockedFolder::LockedFolder(const std::string& folder, bool make) {
    if (make && !MakeFolders(folder)) {
        Fail("its folder could not be made");
        return;
    }
    fd_ = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd_ < 0) {
        Fail("its folder could not be opened");
        return;
    }
    while (::flock(fd_, LOCK_EX) != 0)
        if (errno != EINTR) {
            Fail("its folder could not be locked");
            return;
        }
}

LockedFolder::~LockedFolder() {
    if (fd_ >= 0) ::close(fd_);
}

void LockedFolder::Fail(const char* step) {
    error_ = errno;
    step_ = step;
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

// Removes what killed saves left in the locked folder.
void ClearLeftovers(int dir) {
    const int listFd = ::dup(dir);
    if (listFd < 0) return;
    DIR* list = ::fdopendir(listFd);
    if (!list) {
        ::close(listFd);
        return;
    }
    std::vector<std::pair<std::string, const char*>> found;
    for (const auto& [name, header] : {std::pair{"settings", kOptionsHeader}, std::pair{"record", kRecordHeader},
                                       std::pair{"match", kMatchHeader}}) {
        found.emplace_back(TemporaryName(name), header);
        if (header == kMatchHeader) continue;  // no older release saved a match
        ::rewinddir(list);
        while (const dirent* e = ::readdir(list))
            if (IsOlderTemporaryName(e->d_name, name)) found.emplace_back(e->d_name, header);
    }
    ::closedir(list);
    for (const auto& [entry, header] : found)
        if (LeftByAKilledSave(dir, entry, header)) ::unlinkat(dir, entry.c_str(), 0);
}

// Clears what killed saves left in the folder once it is locked; when it could not be, says so.
bool ReadyToSave(const LockedFolder& dir, const std::string& folder, const char* name, std::ostream& err) {
    if (dir.fd() < 0) {
        SayNotSaved(err, folder, name, dir.step(), dir.error());
        return false;
    }
    ClearLeftovers(dir.fd());
    return true;
}

// Writes `text` as `name` in the locked folder. The temporary file is made afresh (O_EXCL,
// O_NOFOLLOW), so nothing is written through a link or into a file the game did not make.
bool WriteLocked(const LockedFolder& dir, const std::string& folder, const char* name, const std::string& text,
                 std::ostream& err) {
    const std::string temp = TemporaryName(name);
    const char* step = "a temporary file could not be made";
    const int fd = ::openat(dir.fd(), temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    int error = errno;
    bool saved = false;
    if (fd >= 0) {
        step = "it could not be written";
        const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
        error = errno;
        const bool closed = ::close(fd) == 0;
        if (written && !closed) error = errno;
        if (written && closed) {
            step = "it could not be put in place";
            saved = ::renameat(dir.fd(), temp.c_str(), dir.fd(), name) == 0;
            error = errno;
        }
        if (!saved) ::unlinkat(dir.fd(), temp.c_str(), 0);
    }
    if (!saved) SayNotSaved(err, folder, name, step, error);
    return saved;
}

bool Save(const std::string& folder, const char* name, const std::string& text, std::ostream& err) {
    if (folder.empty()) return false;
    const LockedFolder dir(folder, true);
    return ReadyToSave(dir, folder, name, err) && WriteLocked(dir, folder, name, text, err);
}

// Clears what killed saves left before a load, when the folder is there to lock.
void TidyBeforeLoad(const std::string& folder) {
    if (folder.empty()) return;
    const LockedFolder dir(folder, false);
    if (dir.fd() >= 0) ClearLeftovers(dir.fd());
}

}  // namespace pellow::settings_file
