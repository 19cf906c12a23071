#pragma once
// The menu the player opens while playing (F10, or the table's menu button) and its pages:
// options, rules and keys, statistics and a deal chosen by its number. It shows as a Panel over
// the table; keys and clicks move through it and change the player's options at once, and what
// the game itself must do comes back as a command.
#include <cstdint>
#include <string>

#include "app/settings.hpp"
#include "presentation/table_panels.hpp"

namespace pellow {

enum class MenuPage { None, Main, Options, Rules, Keys, Statistics, DealNumber, Resume };
enum class MenuCommand { None, OptionsChanged, NewMatch, PlayDeal, Quit, ResumeMatch, DeclineResume };

// What the pages show of the game beside the options.
struct MenuFacts {
    MatchRecord record;
    std::uint32_t dealNumber = 0;  // the deal on the table, 0 when it has none
    bool dealsNumbered = false;    // whether a deal may be chosen by its number
    std::string keptMatch;         // the kept match the start offers to resume, in a line
    bool classicTable = false;     // whether the table shown is the classic one
};

class TableMenu {
public:
    bool Shown() const { return page_ != MenuPage::None; }
    MenuPage page() const { return page_; }
    void Open(MenuPage page = MenuPage::Main);
    void Close() { page_ = MenuPage::None; }

    Panel View(const PlayerOptions& options, const MenuFacts& facts) const;
    // A key pressed while the menu shows (the game's scan codes).
    MenuCommand Key(std::uint8_t scanCode, PlayerOptions& options, const MenuFacts& facts);
    // A click on the panel's line `line`, -1 outside the lines.
    MenuCommand Click(int line, PlayerOptions& options, const MenuFacts& facts);
    // The number typed on the deal page, once PlayDeal was answered.
    std::uint32_t chosenDeal() const { return chosenDeal_; }

private:
    // The selected line acted on: Enter, a click (direction 1) or Left/Right (-1, 1).
    MenuCommand Choose(int direction, PlayerOptions& options, const MenuFacts& facts);
    int LineCount(const PlayerOptions& options, const MenuFacts& facts) const;

    // Moves to a page within the menu; Back returns to the menu at the line that led there, or
    // to the table from the menu itself or from a page the table opened.
    void Go(MenuPage page);
    void Back();

    MenuPage page_ = MenuPage::None;
    MenuPage openedAt_ = MenuPage::Main;
    int selected_ = 0;
    std::string typed_;
    std::uint32_t chosenDeal_ = 0;
};

// The panel shown while the game is paused.
Panel PausePanel();

}  // namespace pellow
