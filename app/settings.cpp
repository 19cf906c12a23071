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

#include "app/settings_file.hpp"
#include "engine/dealing.hpp"

namespace pellow {

using namespace settings_file;

namespace {

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
                              "table-information", "classic-table", "sound-volume", "sound-muted", "window-size"},
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
        } else if (key == "classic-table") {
            ok = ok && ParseBool(value, read.classicTable);
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
         << "classic-table = " << yesNo(o.classicTable) << "\n"
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
