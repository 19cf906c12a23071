#pragma once
// The game's pictures and fonts, and the drawing of the table and the score page from the
// match state. Drawing only reads the match.
#include <array>
#include <functional>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "art/score_page_layout.hpp"
#include "engine/match.hpp"
#include "engine/user_input.hpp"
#include "presentation/bitmap_font.hpp"
#include "presentation/display.hpp"
#include "presentation/sound.hpp"  // PathResolver
#include "presentation/table_panels.hpp"

namespace pellow {

// The folder of the chosen deck's pictures, relative to the resource base ("res\\Royal\\").
std::string DeckFolder(const LaunchSettings& settings);

// Where the score page, its texts and the clock lie on a table of any size, in its units: the
// design's places on the design's two tables, otherwise the large page in the table's middle
// and the clock in its bottom right corner.
ScorePageLayout ScorePageOn(int tableWidth, int tableHeight);

// The pictures of a table drawn for its pixels (TableView::UsePictures), in this order: the 52
// faces by card code, then the rest.
enum class TablePicture : int {
    Back = 52,
    Felt,
    ScorePage,
    HorizontalLine,
    VerticalLine,
    Pointer,
    DigitFont,
    DeluxeFont,
    HandFont,
    Count
};
// One such picture in the back buffer's 16-bit format, rows top first without padding.
struct PixelPicture {
    int width = 0;
    int height = 0;
    const std::uint16_t* pixels = nullptr;
};

// "hh:mm AM": the time on a 12-hour clock as the table shows it, with the given designators;
// "HH:MM" on a 24-hour clock when both are empty.
std::string ClockText(int hour24, int minute, std::string_view am = "AM", std::string_view pm = "PM");
// The current local time as ClockText gives it.
std::string CurrentClockText();

// Five characters, right-aligned: the width of one score column.
std::string Pad5(int value);

// One text of the score page: which of the score fonts draws it, where, and what.
struct ScoreLine {
    int font = 0;
    int x = 0;
    int y = 0;
    std::string text;
};
// The heading, the deal rows that fit (the most recent ones), the totals and the result.
std::vector<ScoreLine> ScoreTableLines(const MatchScore& score, const ScorePageLayout& l);

// What the table shows beyond the match itself, all off by default.
struct TableExtras {
    int highlightSlot = -1;      // the user's hand slot the keyboard points at: lifted, framed
    bool dimUnplayable = false;  // the user's cards that may not be played now are dimmed
    bool lastTrick = false;      // the last completed trick over the darkened table
    int hintCard = -1;           // the card the hint raises in the user's hand
    // Whose turn, trumps, the points and the menu button; without it the table is the bare one.
    bool tableInfo = false;
    // While H is held: the expected points over each card the user may play.
    std::vector<HintFigure> hintFigures;
    // A panel over the darkened table: the menu, its pages, the pause.
    std::optional<Panel> panel;
    bool operator==(const TableExtras&) const = default;
};

// What the player has asked of the table, kept from frame to frame beside the match: the
// extras drawn this frame and what the next frame needs to know of them.
struct TableUiState {
    TableExtras extras;
    // The position at which the user asked for a hint (cards played then), -1 for none.
    int hintAt = -1;
    // The user's hand as the screen shows it (lifted cards), where a click lands.
    HandLifts shownLifts{};
    bool rightWasDown = false;  // the right button as the last frame saw it
    // A click the menu took is not the match's while the button stays down; nor is an Escape
    // the menu took a quit while the key stays down.
    bool clickTaken = false;
    bool escapeTaken = false;
};

// The game's pictures and fonts, drawn onto the display's back buffer.
class TableView {
public:
    explicit TableView(modDX::Display& display) : display_(display) {}

    // Every picture and font file LoadBitmaps reads for these settings, relative to the resource
    // base as the game names them.
    static std::vector<std::string> Files(const LaunchSettings& settings);
    // Loads every picture and font for the chosen deck and screen; throws modDX::LoadError for
    // the first one that cannot be loaded.
    void LoadBitmaps(const LaunchSettings& settings, const modDX::PathResolver& resolve);
    // Takes the table's pictures made for the display's table transform instead (the table
    // drawn for the pixels it is shown on), with cards of the given size in table units. False,
    // taking nothing, when one is missing or of a size that does not fit the transform and the
    // back buffer; throws modDX::LoadError when the platform cannot make a surface. The pictures
    // are drawn from where they are: `owner` keeps them there until the next set.
    bool UsePictures(const std::vector<PixelPicture>& pictures, int cardUnitsWide, int cardUnitsHigh,
                     std::shared_ptr<const void> owner);
    // For the moments until pictures for a new table transform are made: the pictures in use
    // stretched to that transform's sizes (the felt to the whole back buffer), pixel by pixel.
    void StretchPictures(int cardUnitsWide, int cardUnitsHigh);
    // Frees them, in the order the game quits.
    void ReleaseBitmaps();

    void DrawTable(const Match& m, std::string_view clockText, std::string_view caption,
                   const TableExtras& extras = {});
    // How far above its place DrawTable shows each slot of the user's hand with these extras.
    static HandLifts UserHandLifts(const Match& m, const TableExtras& extras);
    void DrawScorePage(const MatchScore& score, const ScorePageLayout& l);
    void DrawScoreTable(const MatchScore& score, const ScorePageLayout& l);

    modDX::Surface& background() { return backgroundSurface_; }
    modDX::Surface& card(int card) { return cardSurface_[static_cast<std::size_t>(card)]; }
    // The mouse pointer's picture; its hot spot is its centre.
    modDX::Surface& pointer() { return lineSurface_[3]; }

private:
    // Table units to back-buffer pixels, by the transform the frame is drawn with.
    int X(double v) const;
    int Y(double v) const;
    modDX::Rect ToPixels(const modDX::Rect& r) const;
    int Thickness(int units) const;

    void Blit(modDX::Surface& picture, int x, int y, bool key = true);
    void DrawSprite(const CardSprite& c, bool face);
    void DrawPile(const std::array<CardSprite, 53>& pile, int count);
    // The parts of a card at (x, y) in pixels left to be seen by the next card drawn over it at
    // (nextX, nextY), in the card's own pixels: none for the whole card.
    struct Parts {
        std::array<modDX::Rect, 3> rects{};
        int count = 0;
    };
    Parts UncoveredParts(const modDX::Surface& card, int x, int y, const modDX::Surface& next, int nextX,
                         int nextY) const;
    void DrawCardParts(modDX::Surface& picture, int x, int y, const Parts& parts);
    // Cards in the order drawn, each showing its face or its back, each drawn only where the
    // next one leaves it to be seen.
    void DrawOverlapping(const std::vector<const CardSprite*>& cards,
                         const std::function<bool(const CardSprite&)>& face);
    void DrawHand(const std::array<CardSprite, 16>& hand, bool alwaysFace);
    void DrawUserHand(const Match& m, const TableExtras& extras);
    void DrawLastTrick(const Match& m);
    // In table_panels.cpp.
    void DrawText(clsDXBitmapFont& font, int x, int y, std::string_view text);
    void DrawTableInfo(const Match& m);
    void DrawPanel(const Panel& panel, int screenWidth, int screenHeight);
    void DrawHintFigures(const Match& m, const std::vector<HintFigure>& figures, const HandLifts& lifts);

    modDX::Display& display_;
    modDX::TableTransform t_;
    // What holds the pixels of the pictures UsePictures took.
    std::shared_ptr<const void> picturesOwner_;
    modDX::Surface backgroundSurface_;
    modDX::Surface cardBackSurface_;
    std::array<modDX::Surface, 53> cardSurface_;
    // A card darkened, for the ones that may not be played; made as each is drawn.
    modDX::Surface dimScratch_;
    modDX::Surface scorePageSurface_;
    // 0 and 1: the horizontal score line; 2: the vertical one; 3: the pointer.
    std::array<modDX::Surface, 4> lineSurface_;
    clsDXBitmapFont digitFont_;
    clsDXBitmapFont deluxeFont_;
    // The score page's handwriting.
    clsDXBitmapFont handFont_;
};

}  // namespace pellow
