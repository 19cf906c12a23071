#pragma once
// The settings folder's files as files: a header line and "key = value" lines, read whole and
// refused whole, written whole to a fixed temporary name and renamed into place under a lock on
// the folder, and what a killed save left cleared away. What the files hold is app/settings.
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace pellow::settings_file {

// The three files' first lines.
inline constexpr const char* kOptionsHeader = "pellow-settings 1";
inline constexpr const char* kRecordHeader = "pellow-record 1";
inline constexpr const char* kMatchHeader = "pellow-match 1";

using Values = std::map<std::string, std::string>;

bool ParseBool(const std::string& v, bool& out);
// Digits only, at most 15 of them.
bool ParseCount(const std::string& v, long long& out);

bool MakeFolders(const std::string& folder);

// The folder, open and locked for as long as this lives, so that the saves of games running at
// once, and the record's read, add and write, take turns. The folder itself is locked rather
// than a lock file, so that it holds nothing but the game's two files; flock on a folder works
// on NFS too (between the games of one machine).
class LockedFolder {
public:
    // `make`: makes the folder first when needed.
    LockedFolder(const std::string& folder, bool make);
    ~LockedFolder();
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;
    int fd() const { return fd_; }
    // What failed, and its errno, when fd() is negative.
    const char* step() const { return step_; }
    int error() const { return error_; }

private:
    void Fail(const char* step);
    int fd_ = -1;
    const char* step_ = "";
    int error_ = 0;
};

// The file's values, or nothing (the defaults apply) with at most one line on `err`.
std::optional<Values> Load(const std::string& folder, const char* name, const char* header,
                           const std::vector<std::string>& known, std::ostream& err,
                           const char* otherwise = "the defaults apply");
// Checks the locked folder can take the file, and says why not on `err`.
bool ReadyToSave(const LockedFolder& dir, const std::string& folder, const char* name, std::ostream& err);
// Writes `text` as `name` in the locked folder.
bool WriteLocked(const LockedFolder& dir, const std::string& folder, const char* name, const std::string& text,
                 std::ostream& err);
// Locks the folder (made when needed) and writes the file; false with one line on `err`.
bool Save(const std::string& folder, const char* name, const std::string& text, std::ostream& err);
// Removes what killed saves left in the locked folder.
void ClearLeftovers(int dir);
// Clears what killed saves left before a load, when the folder is there to lock.
void TidyBeforeLoad(const std::string& folder);

}  // namespace pellow::settings_file
