#pragma once
// The words of the start-up dialog: captions, the keys, the rules and the credits. Kept apart
// from the widgets so that the rules can be checked against the game's own card rules.
#include <array>
#include <string>
#include <vector>

namespace pellow {

inline constexpr const char* kStartupCaption = "Pellow (Freeware)";
// What the game needs to run: the pointer's mapping onto a scaled picture came with SDL 2.0.18.
inline constexpr const char* kRequirementLine = "Requires SDL 2.0.18 or above";
inline constexpr const char* kPlayCaption = "Play Pellow";
inline constexpr const char* kExitCaption = "Exit";
// The X window class of the dialog: the desktop entry's name (pellow.desktop) and the game
// window's class, which SDL takes from the program's name.
inline constexpr const char* kWindowClass = "pellow";
inline constexpr const char* kSlowAnimationCaption = "Slow animation";
inline constexpr const char* kSlowAnimationHelp =
    "Click for slower card animation. Useful when learning the game or in fast computers.";

inline constexpr const char* kWindowCaption = "Play in a window";
inline constexpr const char* kWindowHelp =
    "F11 or Alt+Enter switches while playing.";
inline constexpr const char* kPlayableCaption = "Show playable cards";
inline constexpr const char* kPlayableHelp = "Cards you may not play are dimmed.";
inline constexpr const char* kInformationCaption = "Show table information";
inline constexpr const char* kInformationHelp = "Whose turn, trumps and the points.";
inline constexpr const char* kClassicCaption = "Classic table (800 x 600 / 1024 x 768, scaled)";
inline constexpr const char* kResetRecordCaption = "Reset record";
// The computer's level for each team, Classic or Expert (in ComputerLevel order).
inline constexpr const char* kPartnerCaption = "Partner";
inline constexpr const char* kOpponentsCaption = "Opponents";
inline constexpr std::array<const char*, 2> kLevelCaptions = {"Classic", "Expert"};
inline constexpr const char* kLevelsHelp = "Expert searches ahead and is much harder to beat than Classic.";

inline constexpr int kTabCount = 5;
inline constexpr std::array<const char*, kTabCount> kTabCaptions = {"Deck", "Keys", "Rules", "Credits", "Options"};

// Indexed by option number 1..4 (index 0 unused), as the option buttons are numbered.
inline constexpr std::array<const char*, 5> kDeckCaptions = {
    "",
    "Worn Classic [1024x768 resolution]",
    "Royal Celtic [800x600 resolution]",
    "Vintage 1900s [1024x768 resolution]",
    "Royal Standard [800x600 resolution]",
};
inline constexpr std::array<const char*, 5> kDeckDescriptions = {
    "",
    "German-made French deck with used cards.",
    "French-suited deck (Celtic pattern)",
    "Old German-made French deck of early 1900's.",
    "French-suited deck (standard pattern)",
};

// Every key and button the table answers to, as the Keys tab and the README list them.
inline constexpr std::array<const char*, 8> kKeyLines = {
    "Left click a card on your turn to play it; cards you may not play stay put.",
    "Left and Right arrows pick a card you may play; Enter or Space plays it.",
    "R at your first turn sorts your hand; H hints, and held shows the points.",
    "Hold L or the right mouse button to see the last trick; the winner is framed.",
    "P pauses and resumes; M turns the sound off and on; F1 shows rules and keys.",
    "F10 or the Menu button opens the menu. A click or Space hurries the deal.",
    "F11 or Alt+Enter switches between a window and full screen.",
    "Score page: click, Enter, Space or N deals. Escape quits, keeping the match.",
};

// One line of a read-only text page. Headings stand out, table rows keep their columns.
struct TextLine {
    enum class Kind { Heading, Body, Table };
    Kind kind;
    std::string text;
};

// A row of the card points table as the rules state it.
struct PointsRow {
    const char* name;
    int rank;  // face rank: 1 ace, 2..10, 11 jack, 12 queen, 13 king
    int inTrumps;
    int otherwise;
};
inline constexpr std::array<PointsRow, 6> kPointsTable = {{
    {"Nine", 9, 18, 9},
    {"Five", 5, 10, 5},
    {"Ace", 1, 4, 0},
    {"King", 13, 3, 0},
    {"Queen", 12, 2, 0},
    {"Jack", 11, 1, 0},
}};

std::vector<TextLine> RulesText();
std::vector<TextLine> CreditsText();

// The line below the rules, "About Pellow 1.0.0", and what clicking it shows: what the game is,
// its licence and where its manual, licence and credits are. The game has no web page.
std::string AboutLinkText();
std::string AboutText();

}  // namespace pellow
