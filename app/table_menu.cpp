#include "app/table_menu.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <vector>

#include "presentation/input.hpp"

namespace pellow {

namespace {

constexpr std::array<const char*, 7> kMainLines{
    "Resume", "New match", "Play deal number...", "Options", "Rules and keys", "Statistics", "Quit"};
enum MainLine { kResume, kNewMatch, kPlayDeal, kOptions, kRulesAndKeys, kStatistics, kQuit };

enum OptionLine {
    kVolume,
    kSound,
    kAnimation,
    kPlayable,
    kInformation,
    kPartner,
    kOpponents,
    kTable,
    kBack,
    kOptionLines
};

// Short enough for the small screen's panel: 44 characters a line.
const std::vector<std::string> kRules{
    "You and your partner (top) play against",     "Left and Right; all 52 cards are dealt.",
    "The first card led in a deal makes its",      "suit trumps. Follow the suit led if you",
    "can. A trick goes to the highest trump,",     "else to the highest card of the suit led;",
    "aces are high. Its winner leads next.",       "Each nine is worth 9 and each five 5; in",
    "trumps the nine 18, five 10, ace 4, king 3,", "queen 2, jack 1: 80 points in a deal.",
    "The team that passes 79 points over the",     "deals, and has more, wins the match.",
};
// The keys' words in a column of their own.
std::string KeyLine(std::string keys, const char* what) {
    keys.resize(std::max<std::size_t>(keys.size(), 16), ' ');
    return keys + what;
}
const std::vector<std::string> kKeys{
    "Click a card, or Left/Right, then Enter",
    KeyLine("R", "sort your hand"),
    KeyLine("H", "hint, with expected points"),
    KeyLine("L, right button", "the last trick"),
    KeyLine("P", "pause"),
    KeyLine("M", "sound on or off"),
    KeyLine("Space, click", "deal at once, next deal"),
    KeyLine("F1", "rules and keys"),
    KeyLine("F10", "menu"),
    KeyLine("F11, Alt+Enter", "full screen"),
    KeyLine("Escape", "quit; the match is kept"),
};

std::string Padded(std::string label, const std::string& value) {
    label.resize(std::max<std::size_t>(label.size(), 20), ' ');
    return label + value;
}
std::string LevelName(ComputerLevel l) { return l == ComputerLevel::Expert ? "Expert" : "Classic"; }
ComputerLevel OtherLevel(ComputerLevel l) {
    return l == ComputerLevel::Expert ? ComputerLevel::Classic : ComputerLevel::Expert;
}

}  // namespace

void TableMenu::Open(MenuPage page) {
    Go(page);
    // A page opened from the table (F1) goes back to the table, not to the menu.
    openedAt_ = page;
}

void TableMenu::Go(MenuPage page) {
    page_ = page;
    selected_ = 0;
    typed_.clear();
}

void TableMenu::Back() {
    if (page_ == MenuPage::Main || openedAt_ != MenuPage::Main) {
        Close();
        return;
    }
    // Back on the menu, at the line that led to the page.
    const MenuPage from = page_;
    Go(MenuPage::Main);
    switch (from) {
        case MenuPage::DealNumber: selected_ = kPlayDeal; break;
        case MenuPage::Options: selected_ = kOptions; break;
        case MenuPage::Rules:
        case MenuPage::Keys: selected_ = kRulesAndKeys; break;
        case MenuPage::Statistics: selected_ = kStatistics; break;
        default: break;
    }
}

int TableMenu::LineCount(const PlayerOptions& options, const MenuFacts& facts) const {
    switch (page_) {
        case MenuPage::Main: return static_cast<int>(kMainLines.size());
        case MenuPage::Options: return kOptionLines;
        default: return static_cast<int>(View(options, facts).lines.size());
    }
}

Panel TableMenu::View(const PlayerOptions& o, const MenuFacts& facts) const {
    Panel p;
    switch (page_) {
        case MenuPage::None: break;
        case MenuPage::Main:
            p.title = "Menu";
            p.lines.assign(kMainLines.begin(), kMainLines.end());
            p.selected = selected_;
            p.footer = facts.dealNumber ? "Deal number " + std::to_string(facts.dealNumber) : "F10 closes the menu";
            break;
        case MenuPage::Options:
            p.title = "Options";
            p.lines = {
                Padded("Sound volume", std::to_string(o.soundVolume) + "%"),
                Padded("Sound", o.soundMuted ? "muted" : "on"),
                Padded("Animation", o.slowAnimation ? "slow" : "fast"),
                Padded("Playable cards", o.showPlayable ? "shown" : "not shown"),
                Padded("Table information", o.tableInformation ? "shown" : "not shown"),
                Padded("Partner", LevelName(o.partner)),
                Padded("Opponents", LevelName(o.opponents)),
                // The display is made for one table at the start: the other one comes then.
                Padded("Table", std::string(o.classicTable ? "classic" : "sharp") +
                                    (o.classicTable != facts.classicTable ? " (next start)" : "")),
                "Back",
            };
            p.selected = selected_;
            p.footer = "Animation, levels: from the next deal";
            break;
        case MenuPage::Rules:
            p.title = "Rules";
            p.lines = kRules;
            p.footer = "Click or Enter: keys";
            break;
        case MenuPage::Keys:
            p.title = "Keys";
            p.lines = kKeys;
            p.footer = "Click or Enter: back";
            break;
        case MenuPage::Statistics: {
            const MatchRecord& r = facts.record;
            char average[32];
            std::snprintf(average, sizeof average, "%.1f", r.AveragePoints());
            p.title = "Statistics";
            p.lines = {Padded("Matches played", std::to_string(r.matchesPlayed)),
                       Padded("Matches won", std::to_string(r.matchesWon)), Padded("Deals", std::to_string(r.deals)),
                       Padded("Average points", average)};
            // Matches with a deal the player chose are kept apart: it may be one seen before.
            if (r.chosenMatchesPlayed > 0)
                p.lines.push_back("Matches with a chosen deal: " + std::to_string(r.chosenMatchesPlayed) + " (" +
                                  std::to_string(r.chosenMatchesWon) + " won)");
            p.footer = "Click or Enter: back";
            break;
        }
        case MenuPage::Resume:
            p.title = "Welcome back";
            p.lines = {"Resume the match", "Start a new match"};
            p.selected = selected_;
            p.footer = facts.keptMatch;
            break;
        case MenuPage::DealNumber:
            p.title = "Play deal number";
            p.lines = {typed_ + "_"};
            p.footer = "Enter deals it, Escape: back";
            break;
    }
    return p;
}

MenuCommand TableMenu::Choose(int direction, PlayerOptions& o, const MenuFacts& facts) {
    switch (page_) {
        case MenuPage::Main:
            switch (selected_) {
                case kResume: Close(); return MenuCommand::None;
                case kNewMatch: Close(); return MenuCommand::NewMatch;
                case kPlayDeal:
                    if (facts.dealsNumbered) Go(MenuPage::DealNumber);
                    return MenuCommand::None;
                case kOptions: Go(MenuPage::Options); return MenuCommand::None;
                case kRulesAndKeys: Go(MenuPage::Rules); return MenuCommand::None;
                case kStatistics: Go(MenuPage::Statistics); return MenuCommand::None;
                default: Close(); return MenuCommand::Quit;
            }
        case MenuPage::Options:
            switch (selected_) {
                case kVolume: {
                    // Steps of ten; clicking on from full comes round to silence.
                    const int v = o.soundVolume + 10 * direction;
                    o.soundVolume = v > 100 ? (direction > 0 && o.soundVolume == 100 ? 0 : 100) : std::max(v, 0);
                    break;
                }
                case kSound: o.soundMuted = !o.soundMuted; break;
                case kAnimation: o.slowAnimation = !o.slowAnimation; break;
                case kPlayable: o.showPlayable = !o.showPlayable; break;
                case kInformation: o.tableInformation = !o.tableInformation; break;
                case kPartner: o.partner = OtherLevel(o.partner); break;
                case kOpponents: o.opponents = OtherLevel(o.opponents); break;
                case kTable: o.classicTable = !o.classicTable; break;
                default: Back(); return MenuCommand::None;
            }
            return MenuCommand::OptionsChanged;
        case MenuPage::Rules: Go(MenuPage::Keys); return MenuCommand::None;
        case MenuPage::Resume: Close(); return selected_ == 0 ? MenuCommand::ResumeMatch : MenuCommand::DeclineResume;
        case MenuPage::DealNumber: {
            const std::string digits = typed_;
            if (digits.empty()) return MenuCommand::None;
            chosenDeal_ = static_cast<std::uint32_t>(std::stoul(digits));
            Close();
            return MenuCommand::PlayDeal;
        }
        default: Back(); return MenuCommand::None;
    }
}

MenuCommand TableMenu::Key(std::uint8_t key, PlayerOptions& options, const MenuFacts& facts) {
    using namespace modDX;
    const int lines = LineCount(options, facts);
    const bool choosing = page_ == MenuPage::Main || page_ == MenuPage::Options || page_ == MenuPage::Resume;
    if (key == keyEscape || key == keyF10) {
        // Back a page, and from the menu itself back to the table. F10 sets the offer to resume
        // aside unanswered: the kept match stays kept until this one is saved over it.
        if (page_ == MenuPage::Resume && key == keyEscape) return MenuCommand::Quit;
        if (page_ == MenuPage::Resume || key == keyF10) Close();
        else Back();
        return MenuCommand::None;
    }
    if (page_ == MenuPage::DealNumber) {
        if (key == keyBackspace && !typed_.empty()) typed_.pop_back();
        const int digit = DigitOfKey(key);
        // Nine digits: every number the deals use, and no more than a 32-bit value holds.
        if (digit >= 0 && typed_.size() < 9 && !(typed_.empty() && digit == 0))
            typed_ += static_cast<char>('0' + digit);
    }
    if (choosing && key == keyUp) selected_ = (selected_ + lines - 1) % lines;
    if (choosing && key == keyDown) selected_ = (selected_ + 1) % lines;
    if (page_ == MenuPage::Options && (key == keyLeft || key == keyRight))
        return Choose(key == keyLeft ? -1 : 1, options, facts);
    if (key == keyReturn || key == keyPadEnter || key == keySpace) return Choose(1, options, facts);
    return MenuCommand::None;
}

MenuCommand TableMenu::Click(int line, PlayerOptions& options, const MenuFacts& facts) {
    const bool choosing = page_ == MenuPage::Main || page_ == MenuPage::Options || page_ == MenuPage::Resume;
    if (line < 0) {
        // A click beside the menu closes it; beside a page, goes back. The offer to resume
        // waits for its answer.
        if (page_ != MenuPage::DealNumber && page_ != MenuPage::Resume) Back();
        return MenuCommand::None;
    }
    if (choosing) selected_ = line;
    return Choose(1, options, facts);
}

Panel PausePanel() { return Panel{"Paused", {"Press P to play on"}, -1, ""}; }

}  // namespace pellow
