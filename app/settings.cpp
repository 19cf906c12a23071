#include "app/settings.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <utility>
#include <vector>

#include "engine/dealing.hpp"

namespace pellow {

namespace {

// Larger than any file this program writes by far: anything bigger is not ours.
constexpr std::size_t kLargestFile = 16 * 1024;

constexpr const char* kOptionsHeader = "pellow-settings 1";
constexpr const char* kRecordHeader = "pellow-record 1";
constexpr const char* kMatchHeader = "pellow-match 1";

using Values = std::map<std::string, std::string>;

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

// The file's values, or nothing (the defaults apply) with at most one line on `err`.
std::optional<Values> Load(const std::string& folder, const char* name, const char* header,
                           const std::vector<std::string>& known, std::ostream& err,
                           const char* otherwise = "the defaults apply") {
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

// The folder, open and locked for as long as this lives, so that the saves of games running at
// once, and the record's read, add and write, take turns. The folder itself is locked rather
// than a lock file, so that it holds nothing but the game's two files; flock on a folder works
// on NFS too (between the games of one machine).
class LockedFolder {
public:
    // `make`: makes the folder first when needed.
    LockedFolder(const std::string& folder, bool make) {
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
    ~LockedFolder() {
        if (fd_ >= 0) ::close(fd_);
    }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;
    int fd() const { return fd_; }
    // What failed, and its errno, when fd() is negative.
    const char* step() const { return step_; }
    int error() const { return error_; }

private:
    void Fail(const char* step) {
        error_ = errno;
        step_ = step;
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }
    int fd_ = -1;
    const char* step_ = "";
    int error_ = 0;
};

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

// The record's keys; a file without the last four (every older game's) has no chosen deals.
constexpr std::array<std::pair<const char*, long long MatchRecord::*>, 8> kRecordKeys{{
    {"matches-played", &MatchRecord::matchesPlayed},
    {"matches-won", &MatchRecord::matchesWon},
    {"deals", &MatchRecord::deals},
    {"points", &MatchRecord::points},
    {"chosen-matches-played", &MatchRecord::chosenMatchesPlayed},
    {"chosen-matches-won", &MatchRecord::chosenMatchesWon},
    {"chosen-deals", &MatchRecord::chosenDeals},
    {"chosen-points", &MatchRecord::chosenPoints},
}};
constexpr std::size_t kFirstChosenKey = 4;

std::string RecordText(const MatchRecord& r) {
    std::ostringstream text;
    text << kRecordHeader << "\n";
    // The chosen deals' lines only when there are any, so that an older game, which refuses keys
    // it does not know, still reads a record that has none.
    bool chosen = false;
    for (std::size_t k = kFirstChosenKey; k < kRecordKeys.size(); ++k) chosen = chosen || r.*kRecordKeys[k].second != 0;
    for (std::size_t k = 0; k < (chosen ? kRecordKeys.size() : kFirstChosenKey); ++k)
        text << kRecordKeys[k].first << " = " << r.*kRecordKeys[k].second << "\n";
    return text.str();
}

MatchRecord ReadRecord(const std::string& folder, std::ostream& err) {
    std::vector<std::string> known;
    for (const auto& [key, field] : kRecordKeys) known.emplace_back(key);
    const auto values = Load(folder, "record", kRecordHeader, known, err);
    if (!values) return {};
    MatchRecord r;
    bool ok = true;
    for (const auto& [key, value] : *values)
        for (const auto& [name, field] : kRecordKeys)
            if (key == name) ok = ok && ParseCount(value, r.*field);
    // Every deal holds 80 points and no match is won that was not played.
    ok = ok && r.matchesWon <= r.matchesPlayed && r.points <= 80 * r.deals;
    ok = ok && r.chosenMatchesWon <= r.chosenMatchesPlayed && r.chosenPoints <= 80 * r.chosenDeals;
    if (!ok) {
        err << "Pellow: " << folder << "/record was not used (a value is not understood); the defaults apply\n";
        return {};
    }
    return r;
}

// ---- The saved match ----

// Suit codes 0 to 3 as the file names them.
constexpr std::array<const char*, 4> kSuitNames{"clubs", "hearts", "spades", "diamonds"};
// Far more than a match reaches, however long its ties: a larger total is not ours.
constexpr long long kMostMatchPoints = 80'000'000;

const char* LevelName(ComputerLevel level) { return level == ComputerLevel::Expert ? "expert" : "classic"; }

bool ParseLevel(const std::string& v, ComputerLevel& out) {
    if (v == "classic") out = ComputerLevel::Classic;
    else if (v == "expert") out = ComputerLevel::Expert;
    else return false;
    return true;
}

// A count from 0 to `most`.
bool ParseUpTo(const std::string& v, long long most, int& out) {
    long long n = 0;
    if (!ParseCount(v, n) || n > most) return false;
    out = static_cast<int>(n);
    return true;
}

std::vector<std::string> Words(const std::string& v) {
    std::istringstream in(v);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

bool MatchOver(int ours, int theirs) {
    return (ours > kWinThreshold && ours > theirs) || (theirs > kWinThreshold && theirs > ours);
}

const std::vector<std::string> kMatchKeys = {"partner",      "opponents",   "deal",  "first-deal-done", "chosen-deals",
                                             "match-points", "deal-points", "cards", "trumps",          "hand-sorted"};

std::string MatchText(const SavedMatch& s) {
    const auto yesNo = [](bool b) { return b ? "yes" : "no"; };
    const MatchScore& score = s.score;
    std::ostringstream text;
    text << kMatchHeader << "\n"
         << "partner = " << LevelName(s.partner) << "\n"
         << "opponents = " << LevelName(s.opponents) << "\n"
         << "deal = " << s.deal << "\n"
         << "first-deal-done = " << yesNo(score.firstDealDone) << "\n"
         << "chosen-deals = " << yesNo(score.chosenDeals) << "\n"
         << "match-points = " << score.ourMatchPoints << " " << score.theirMatchPoints << "\n"
         << "deal-points =";
    for (int i = 0; i < score.dealHistoryCount; ++i)
        text << " " << score.ourDealPoints[i] << ":" << score.theirDealPoints[i];
    text << "\ncards =";
    for (const int code : s.cards) text << " " << code;
    text << "\ntrumps = " << (s.trumps >= 0 && s.trumps < 4 ? kSuitNames[s.trumps] : "none") << "\n"
         << "hand-sorted = " << yesNo(s.userHandSorted) << "\n";
    return text.str();
}

// Every value checked as the hostile input it may be: within its range, and together a match
// that CaptureMatch could have given. Whether the cards can be played in that deal is
// ResumeMatch's to find out, by playing them.
bool ReadMatch(const Values& v, SavedMatch& s) {
    if (v.size() != kMatchKeys.size()) return false;
    if (!ParseLevel(v.at("partner"), s.partner) || !ParseLevel(v.at("opponents"), s.opponents)) return false;
    const std::optional<DealNumber> deal = ParseDealNumber(v.at("deal"));
    if (!deal) return false;
    s.deal = *deal;
    MatchScore& score = s.score;
    if (!ParseBool(v.at("first-deal-done"), score.firstDealDone) ||
        !ParseBool(v.at("chosen-deals"), score.chosenDeals) || !ParseBool(v.at("hand-sorted"), s.userHandSorted))
        return false;
    // Each deal's two sides add up to 80; the score page keeps the latest kDealHistory.
    const std::vector<std::string> deals = Words(v.at("deal-points"));
    if (deals.size() > static_cast<std::size_t>(kDealHistory)) return false;
    long long ourSum = 0, theirSum = 0;
    for (const std::string& d : deals) {
        const auto colon = d.find(':');
        int& ours = score.ourDealPoints[static_cast<std::size_t>(score.dealHistoryCount)];
        int& theirs = score.theirDealPoints[static_cast<std::size_t>(score.dealHistoryCount)];
        if (colon == std::string::npos || !ParseUpTo(d.substr(0, colon), 80, ours) ||
            !ParseUpTo(d.substr(colon + 1), 80, theirs) || ours + theirs != 80)
            return false;
        ourSum += ours;
        theirSum += theirs;
        ++score.dealHistoryCount;
    }
    // The totals hold at least the deals listed (older ones may have left the page), whole deals
    // of 80 points, and no match already won.
    const std::vector<std::string> totals = Words(v.at("match-points"));
    if (totals.size() != 2 || !ParseUpTo(totals[0], kMostMatchPoints, score.ourMatchPoints) ||
        !ParseUpTo(totals[1], kMostMatchPoints, score.theirMatchPoints))
        return false;
    if (score.ourMatchPoints < ourSum || score.theirMatchPoints < theirSum ||
        (score.ourMatchPoints + score.theirMatchPoints) % 80 != 0 ||
        MatchOver(score.ourMatchPoints, score.theirMatchPoints))
        return false;
    const std::vector<std::string> cards = Words(v.at("cards"));
    if (cards.size() > static_cast<std::size_t>(kCards)) return false;
    std::array<bool, kCards> seen{};
    for (const std::string& c : cards) {
        int code = 0;
        if (!ParseUpTo(c, kCards - 1, code) || seen[static_cast<std::size_t>(code)]) return false;
        seen[static_cast<std::size_t>(code)] = true;
        s.cards.push_back(code);
    }
    const std::string& trumps = v.at("trumps");
    const auto named = std::find(kSuitNames.begin(), kSuitNames.end(), trumps);
    s.trumps = named == kSuitNames.end() ? -1 : static_cast<int>(named - kSuitNames.begin());
    if (s.trumps < 0 && trumps != "none") return false;
    return s.trumps == (s.cards.empty() ? -1 : SuitOf(s.cards[0]));
}

}  // namespace

void CountDeal(MatchRecord& record, int ourDealPoints, const MatchScore& score) {
    const bool apart = score.chosenDeals;
    ++(apart ? record.chosenDeals : record.deals);
    (apart ? record.chosenPoints : record.points) += ourDealPoints;
    if (!score.matchOver) return;
    ++(apart ? record.chosenMatchesPlayed : record.matchesPlayed);
    if (score.ourMatchPoints > score.theirMatchPoints) ++(apart ? record.chosenMatchesWon : record.matchesWon);
}

std::string RecordLine(const MatchRecord& r) {
    char average[32];
    std::snprintf(average, sizeof average, "%.1f", r.AveragePoints());
    return "Matches: " + std::to_string(r.matchesPlayed) + " played, " + std::to_string(r.matchesWon) +
           " won    Deals: " + std::to_string(r.deals) + "    Average points: " + average;
}

std::string ConfigFolder() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    // The base directory rules: a relative path is ignored.
    if (xdg && xdg[0] == '/') return std::string(xdg) + "/pellow";
    const char* home = std::getenv("HOME");
    if (home && home[0] == '/') return std::string(home) + "/.config/pellow";
    return "";
}

PlayerOptions LoadOptions(const std::string& folder, std::ostream& err) {
    TidyBeforeLoad(folder);
    PlayerOptions o;
    const auto values = Load(folder, "settings", kOptionsHeader,
                             {"deck", "slow-animation", "play-in-window", "show-playable", "partner", "opponents",
                              "table-information", "sound-volume", "sound-muted", "window-size"},
                             err);
    if (!values) return o;
    PlayerOptions read;
    bool ok = true;
    for (const auto& [key, value] : *values) {
        if (key == "deck") {
            // Compared through a reference of its own: clang 14 cannot capture a structured binding.
            const std::string& saved = value;
            const auto named = std::find_if(kDecks.begin(), kDecks.end(),
                                            [&saved](const DeckFacts& d) { return saved == d.savedName; });
            ok = ok && named != kDecks.end();
            if (named != kDecks.end()) read.deck = named->deck;
        } else if (key == "slow-animation") {
            ok = ok && ParseBool(value, read.slowAnimation);
        } else if (key == "play-in-window") {
            ok = ok && ParseBool(value, read.playInWindow);
        } else if (key == "show-playable") {
            ok = ok && ParseBool(value, read.showPlayable);
        } else if (key == "table-information") {
            ok = ok && ParseBool(value, read.tableInformation);
        } else if (key == "sound-volume") {
            long long volume = -1;
            ok = ok && ParseCount(value, volume) && volume <= 100;
            if (ok) read.soundVolume = static_cast<int>(volume);
        } else if (key == "sound-muted") {
            ok = ok && ParseBool(value, read.soundMuted);
        } else if (key == "window-size") {
            // "1200x900": each side a count no screen exceeds.
            const std::size_t x = value.find('x');
            long long w = 0, h = 0;
            ok = ok && x != std::string::npos && ParseCount(value.substr(0, x), w) &&
                 ParseCount(value.substr(x + 1), h) && w >= 1 && h >= 1 && w <= kLargestWindowSide &&
                 h <= kLargestWindowSide;
            if (ok) read.windowWidth = static_cast<int>(w), read.windowHeight = static_cast<int>(h);
        } else if (key == "partner" || key == "opponents") {
            ComputerLevel& level = key == "partner" ? read.partner : read.opponents;
            ok = ok && (value == "classic" || value == "expert");
            level = value == "expert" ? ComputerLevel::Expert : ComputerLevel::Classic;
        }
    }
    if (!ok) {
        err << "Pellow: " << folder << "/settings was not used (a value is not understood); the defaults apply\n";
        return o;
    }
    return read;
}

MatchRecord LoadRecord(const std::string& folder, std::ostream& err) {
    TidyBeforeLoad(folder);
    return ReadRecord(folder, err);
}

bool SaveOptions(const std::string& folder, const PlayerOptions& o, std::ostream& err) {
    const auto yesNo = [](bool b) { return b ? "yes" : "no"; };
    const auto levelName = [](ComputerLevel l) { return l == ComputerLevel::Expert ? "expert" : "classic"; };
    std::ostringstream text;
    text << kOptionsHeader << "\n"
         << "deck = " << FactsOf(FactsOf(o.deck) ? o.deck : Deck::Royal)->savedName << "\n"
         << "slow-animation = " << yesNo(o.slowAnimation) << "\n"
         << "play-in-window = " << yesNo(o.playInWindow) << "\n"
         << "show-playable = " << yesNo(o.showPlayable) << "\n"
         << "partner = " << levelName(o.partner) << "\n"
         << "opponents = " << levelName(o.opponents) << "\n"
         << "table-information = " << yesNo(o.tableInformation) << "\n"
         << "sound-volume = " << std::clamp(o.soundVolume, 0, 100) << "\n"
         << "sound-muted = " << yesNo(o.soundMuted) << "\n";
    if (o.windowWidth > 0 && o.windowHeight > 0 && o.windowWidth <= kLargestWindowSide &&
        o.windowHeight <= kLargestWindowSide)
        text << "window-size = " << o.windowWidth << "x" << o.windowHeight << "\n";
    return Save(folder, "settings", text.str(), err);
}

bool SaveRecord(const std::string& folder, const MatchRecord& r, std::ostream& err) {
    return Save(folder, "record", RecordText(r), err);
}

bool AddToRecord(const std::string& folder, const MatchRecord& result, MatchRecord& record, std::ostream& err) {
    if (!folder.empty()) {
        const LockedFolder dir(folder, true);
        if (ReadyToSave(dir, folder, "record", err)) {
            // Read again under the lock: another game may have added to it, or the dialog reset it.
            MatchRecord total = ReadRecord(folder, err);
            total += result;
            if (WriteLocked(dir, folder, "record", RecordText(total), err)) {
                record = total;
                return true;
            }
        }
    }
    record += result;
    return false;
}

bool SaveMatch(const std::string& folder, const SavedMatch& match, std::ostream& err) {
    if (folder.empty()) return false;
    if (!ValidDealNumber(match.deal)) {
        err << "Pellow: " << folder << "/match was not saved (its deal has no number)\n";
        return false;
    }
    return Save(folder, "match", MatchText(match), err);
}

std::optional<SavedMatch> LoadMatch(const std::string& folder, std::ostream& err) {
    TidyBeforeLoad(folder);
    const auto values = Load(folder, "match", kMatchHeader, kMatchKeys, err, "there is no match to resume");
    if (!values) return std::nullopt;
    SavedMatch s;
    if (!ReadMatch(*values, s)) {
        err << "Pellow: " << folder << "/match was not used (a value is not understood); there is no match to resume\n";
        return std::nullopt;
    }
    return s;
}

void ForgetMatch(const std::string& folder) {
    if (folder.empty()) return;
    const LockedFolder dir(folder, false);
    if (dir.fd() < 0) return;
    ClearLeftovers(dir.fd());
    ::unlinkat(dir.fd(), "match", 0);
}

}  // namespace pellow
