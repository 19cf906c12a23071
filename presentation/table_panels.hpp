#pragma once
// What the table shows on top of the match when the player asks for it: the table information
// (whose turn, trumps, the deal's and the match's points), the menu button, a panel (the menu,
// the options, rules and keys, statistics, the pause) and the hint's expected points. Where each
// lies is reckoned here once, for the drawing and for the mouse alike.
#include <string>
#include <vector>

#include "engine/match.hpp"
#include "presentation/surface.hpp"

namespace pellow {

// The table's fonts: 19 x 27 cells drawn 17 pixels apart.
inline constexpr int kTextAdvance = 17;
inline constexpr int kTextHeight = 27;

// A box over the darkened table: a title, lines, and a footer saying how to go on. A panel
// whose `selected` is a line index is a menu, one line framed as the keyboard's choice.
struct Panel {
    std::string title;
    std::vector<std::string> lines;
    int selected = -1;
    std::string footer;
    bool operator==(const Panel&) const = default;
};

struct PanelPlace {
    modDX::Rect box;
    modDX::Rect title;
    std::vector<modDX::Rect> lines;
};
// Centred on the screen, as wide as its longest text.
PanelPlace PlacePanel(const Panel& panel, int screenWidth, int screenHeight);
// The panel's line at a point of the screen, -1 for none.
int PanelLineAt(const PanelPlace& place, int x, int y);

// The menu button: bottom centre, below the player's hand, where no card goes.
modDX::Rect MenuButtonRect(int screenWidth, int screenHeight);
inline constexpr const char* kMenuButtonText = "Menu";
bool Inside(const modDX::Rect& r, int x, int y);

// The seat's name as the table information says it: "You", "Right", "Partner", "Left".
std::string SeatName(int seat);
// "Clubs", "Hearts", "Spades" or "Diamonds".
std::string SuitName(int suit);

// The table information's lines, top-left over the table once the cards are dealt: whose turn
// (or lead) it is, trumps, the deal's and the match's points and the target. Each stays left of
// the partner's hand on the small screen: 17 characters at most.
std::vector<std::string> TableInfoLines(const Match& m);
// Beside the score page: the deal's number, and what a click or Enter does now.
std::vector<std::string> ScorePageInfoLines(const Match& m);
// Who deals, shown in the table's centre while dealing with how to hurry it; empty otherwise.
std::string DealingLine(const Match& m);
inline constexpr const char* kSkipDealingText = "Click: deal at once";

// The hint's figures: the expected points of the player's team for each card the player may
// play, shown above the card while H is held.
struct HintFigure {
    int card = -1;
    double points = 0.0;
    bool operator==(const HintFigure&) const = default;
};

}  // namespace pellow
