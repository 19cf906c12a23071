#include "app/settings.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <ostream>
#include <sstream>
#include <vector>

namespace pellow {

namespace {

// Larger than any file this program writes by far: anything bigger is not ours.
constexpr std::size_t kLargestFile = 16 * 1024;

constexpr const char* kOptionsHeader = "pellow-settings 1";
constexpr const char* kRecordHeader = "pellow-record 1";

constexpr const char* kDeckNames[5] = {"", "worn", "roya2", "vintage", "royal"};

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
std::optional<Values> Parse(const std::string& text, const char* header,
                            const std::vector<std::string>& known, std::string& why) {
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

ReadResult ReadWhole(const std::string& path, std::string& text, std::string& why) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT) return ReadResult::Missing;
        why = std::strerror(errno);
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
                           const std::vector<std::string>& known, std::ostream& err) {
    if (folder.empty()) return std::nullopt;
    const std::string path = folder + "/" + name;
    std::string text, why;
    const ReadResult read = ReadWhole(path, text, why);
    if (read == ReadResult::Missing) return std::nullopt;
    std::optional<Values> values;
    if (read == ReadResult::Read) values = Parse(text, header, known, why);
    if (!values) err << "Pellow: " << path << " was not used (" << why << "); the defaults apply\n";
    return values;
}

bool MakeFolders(const std::string& folder) {
    for (std::size_t slash = folder.find('/', 1);; slash = folder.find('/', slash + 1)) {
        const std::string part = folder.substr(0, slash);
        if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
        if (slash == std::string::npos) return true;
    }
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

bool Save(const std::string& folder, const char* name, const std::string& text, std::ostream& err) {
    if (folder.empty()) return false;
    const std::string path = folder + "/" + name;
    std::string temp = folder + "/." + name + "-XXXXXX";
    const char* step = "its folder could not be made";
    bool saved = false;
    if (MakeFolders(folder)) {
        step = "a temporary file could not be made";
        const int fd = ::mkostemp(temp.data(), O_CLOEXEC);
        if (fd >= 0) {
            step = "it could not be written";
            const bool written = WriteAll(fd, text) && ::fsync(fd) == 0;
            const bool closed = ::close(fd) == 0;
            if (written && closed) {
                step = "it could not be put in place";
                saved = ::rename(temp.c_str(), path.c_str()) == 0;
            }
            if (!saved) ::unlink(temp.c_str());
        }
    }
    if (!saved) err << "Pellow: " << path << " was not saved (" << step << ": " << std::strerror(errno) << ")\n";
    return saved;
}

}  // namespace

void CountDeal(MatchRecord& record, int ourDealPoints, const MatchScore& score) {
    ++record.deals;
    record.points += ourDealPoints;
    if (!score.matchOver) return;
    ++record.matchesPlayed;
    if (score.ourMatchPoints > score.theirMatchPoints) ++record.matchesWon;
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
    PlayerOptions o;
    const auto values = Load(folder, "settings", kOptionsHeader,
                             {"deck", "slow-animation", "play-in-window", "show-playable", "partner", "opponents"}, err);
    if (!values) return o;
    PlayerOptions read;
    bool ok = true;
    for (const auto& [key, value] : *values) {
        if (key == "deck") {
            int found = 0;
            for (int n = 1; n <= 4; ++n)
                if (value == kDeckNames[n]) found = n;
            ok = ok && found > 0;
            read.deck = found > 0 ? found : read.deck;
        } else if (key == "slow-animation") {
            ok = ok && ParseBool(value, read.slowAnimation);
        } else if (key == "play-in-window") {
            ok = ok && ParseBool(value, read.playInWindow);
        } else if (key == "show-playable") {
            ok = ok && ParseBool(value, read.showPlayable);
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
    const auto values = Load(folder, "record", kRecordHeader,
                             {"matches-played", "matches-won", "deals", "points"}, err);
    if (!values) return {};
    MatchRecord r;
    bool ok = true;
    for (const auto& [key, value] : *values) {
        long long& field = key == "matches-played" ? r.matchesPlayed
                         : key == "matches-won"    ? r.matchesWon
                         : key == "deals"          ? r.deals
                                                   : r.points;
        ok = ok && ParseCount(value, field);
    }
    // Every deal holds 80 points and no match is won that was not played.
    ok = ok && r.matchesWon <= r.matchesPlayed && r.points <= 80 * r.deals;
    if (!ok) {
        err << "Pellow: " << folder << "/record was not used (a value is not understood); the defaults apply\n";
        return {};
    }
    return r;
}

bool SaveOptions(const std::string& folder, const PlayerOptions& o, std::ostream& err) {
    const auto yesNo = [](bool b) { return b ? "yes" : "no"; };
    const auto levelName = [](ComputerLevel l) { return l == ComputerLevel::Expert ? "expert" : "classic"; };
    std::ostringstream text;
    text << kOptionsHeader << "\n"
         << "deck = " << kDeckNames[o.deck >= 1 && o.deck <= 4 ? o.deck : 4] << "\n"
         << "slow-animation = " << yesNo(o.slowAnimation) << "\n"
         << "play-in-window = " << yesNo(o.playInWindow) << "\n"
         << "show-playable = " << yesNo(o.showPlayable) << "\n"
         << "partner = " << levelName(o.partner) << "\n"
         << "opponents = " << levelName(o.opponents) << "\n";
    return Save(folder, "settings", text.str(), err);
}

bool SaveRecord(const std::string& folder, const MatchRecord& r, std::ostream& err) {
    std::ostringstream text;
    text << kRecordHeader << "\n"
         << "matches-played = " << r.matchesPlayed << "\n"
         << "matches-won = " << r.matchesWon << "\n"
         << "deals = " << r.deals << "\n"
         << "points = " << r.points << "\n";
    return Save(folder, "record", text.str(), err);
}

}  // namespace pellow
