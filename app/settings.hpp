#pragma once
// What the player chose last time and how their matches went, kept in the player's
// configuration folder ($XDG_CONFIG_HOME/pellow, else ~/.config/pellow) as small text files:
// "settings", "record", and "match" while a match the player quit waits to be taken up. A file is written whole to a
// temporary file beside it and renamed into place, so an interrupted save never leaves half a file; a save holds a lock
// on the folder, so games running at once take turns, and what a killed save left is removed at the next load or save.
// A file that cannot be read, is not a plain file or is not understood gives the defaults and one line on the error
// stream, and is replaced whole at the next save. Nothing here touches the screen.
#include <array>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

#include "engine/match.hpp"
#include "engine/saved_match.hpp"

namespace pellow {

// The four decks the dialog offers, numbered as its options are. The dialog, the settings file,
// the pipe between the two processes and the launch all name a deck by this.
enum class Deck { Worn = 1, Roya2 = 2, Vintage = 3, Royal = 4 };

struct DeckFacts {
    Deck deck;
    std::string_view folder;     // below the unpacked resources; part of file paths
    ScreenSize screen;           // the screen the deck's cards are drawn for
    std::string_view savedName;  // its word in the settings file, as every older game wrote it
};
inline constexpr std::array<DeckFacts, 4> kDecks{{
    {Deck::Worn, "Worn", ScreenSize::Large1024x768, "worn"},
    {Deck::Roya2, "Roya2", ScreenSize::Small800x600, "roya2"},
    {Deck::Vintage, "Vintage", ScreenSize::Large1024x768, "vintage"},
    {Deck::Royal, "Royal", ScreenSize::Small800x600, "royal"},
}};

// Null for a value that is none of the four.
constexpr const DeckFacts* FactsOf(Deck deck) {
    for (const DeckFacts& facts : kDecks)
        if (facts.deck == deck) return &facts;
    return nullptr;
}
// The launch takes the deck as the folder its cards are read from and the screen they fit.
inline void ChooseDeck(LaunchSettings& settings, Deck deck) {
    if (const DeckFacts* facts = FactsOf(deck)) {
        settings.deckFolder = std::string(facts->folder);
        settings.screen = facts->screen;
    }
}
// The deck the launch settings were chosen for; none when no deck gives that folder and screen.
inline std::optional<Deck> DeckOf(const LaunchSettings& settings) {
    for (const DeckFacts& facts : kDecks)
        if (settings.deckFolder == facts.folder && settings.screen == facts.screen) return facts.deck;
    return std::nullopt;
}

// No screen is wider or taller than this; a window size past it is not one the game made.
inline constexpr int kLargestWindowSide = 16384;

struct PlayerOptions {
    Deck deck = Deck::Royal;
    bool slowAnimation = false;
    bool playInWindow = false;
    // On the player's turn the cards that may not be played are dimmed.
    bool showPlayable = true;
    ComputerLevel partner = ComputerLevel::Classic;
    ComputerLevel opponents = ComputerLevel::Classic;
    // Whose turn, trumps and the points on the table, and the menu button.
    bool tableInformation = true;
    // The table as first designed: 800 x 600 or 1024 x 768 (by the deck), scaled to the screen.
    // Otherwise it is drawn for the screen's own pixels and shape.
    bool classicTable = false;
    // The effects' loudness in percent, and whether they are silenced (M).
    int soundVolume = 100;
    bool soundMuted = false;
    // The game's window as the player last sized it; 0 for the table's own size.
    int windowWidth = 0;
    int windowHeight = 0;
    bool operator==(const PlayerOptions&) const = default;
};

// The player's matches over all launches.
struct MatchRecord {
    long long matchesPlayed = 0;
    long long matchesWon = 0;
    long long deals = 0;
    long long points = 0;  // the player's team's points over all those deals
    // The same for matches in which the player chose a deal's number (MatchScore::chosenDeals),
    // kept out of the figures above: a chosen deal may be one the player has seen before. A
    // match counts here from its first chosen deal on; its deals before that are counted above.
    long long chosenMatchesPlayed = 0;
    long long chosenMatchesWon = 0;
    long long chosenDeals = 0;
    long long chosenPoints = 0;
    double AveragePoints() const { return deals > 0 ? static_cast<double>(points) / static_cast<double>(deals) : 0.0; }
    bool operator==(const MatchRecord&) const = default;
    // Adds a result (a deal's, as CountDeal counts it into an empty record) to a total.
    MatchRecord& operator+=(const MatchRecord& more) {
        matchesPlayed += more.matchesPlayed;
        matchesWon += more.matchesWon;
        deals += more.deals;
        points += more.points;
        chosenMatchesPlayed += more.chosenMatchesPlayed;
        chosenMatchesWon += more.chosenMatchesWon;
        chosenDeals += more.chosenDeals;
        chosenPoints += more.chosenPoints;
        return *this;
    }
};

// Counts a deal that has just been scored, and the match when that deal ended it: apart when
// the match has had a chosen deal.
void CountDeal(MatchRecord& record, int ourDealPoints, const MatchScore& score);
// One line for the dialog: "Matches: 3 played, 1 won   Deals: 12   Average points: 41.5".
std::string RecordLine(const MatchRecord& record);

// The folder the files live in, from the environment; empty when neither XDG_CONFIG_HOME
// (absolute) nor HOME names one.
std::string ConfigFolder();

// Missing files give the defaults silently; unreadable or not understood ones with one line
// on `err`.
PlayerOptions LoadOptions(const std::string& folder, std::ostream& err);
MatchRecord LoadRecord(const std::string& folder, std::ostream& err);
// Makes the folder when needed. False, with one line on `err`, when the file could not be
// written; the old file then stays as it was. SaveRecord replaces the record whole (the
// dialog's reset); a game adds its results with AddToRecord.
bool SaveOptions(const std::string& folder, const PlayerOptions& options, std::ostream& err);
bool SaveRecord(const std::string& folder, const MatchRecord& record, std::ostream& err);
// Adds `result` to the record file as it stands under the lock, not to the total this game
// loaded at its start, so that the results of games played at once all count and a reset made
// meanwhile holds. `record` becomes the file's new total. False, with one line on `err`, when the
// file could not be written; `record` then has the result added in memory only. An empty
// folder writes nothing and says nothing.
bool AddToRecord(const std::string& folder, const MatchRecord& result, MatchRecord& record, std::ostream& err);

// The match the player quit, kept to offer at the next start. SaveMatch replaces it whole as the
// other files are saved; false, with one line on `err`, when it could not be written or its deal
// has no number. LoadMatch gives nothing when there is none, and nothing with one line on `err`
// when the file is not a plain one, is not understood, holds a value out of range or a match
// already over. ForgetMatch removes it once it is taken up, declined or played to its end.
bool SaveMatch(const std::string& folder, const SavedMatch& match, std::ostream& err);
std::optional<SavedMatch> LoadMatch(const std::string& folder, std::ostream& err);
void ForgetMatch(const std::string& folder);

}  // namespace pellow
