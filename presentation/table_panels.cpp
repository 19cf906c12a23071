#include "presentation/table_panels.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "art/score_page_layout.hpp"
#include "engine/numeric.hpp"
#include "presentation/table.hpp"

namespace pellow {

namespace {

constexpr int kPanelPad = 16;
constexpr int kLineStep = kTextHeight + 4;
constexpr int kGap = 10;
const std::uint16_t kGold = modDX::Rgb565(255, 200, 40);
const std::uint16_t kPanelFelt = modDX::Rgb565(12, 44, 22);
// The table behind a panel keeps this share of its brightness.
constexpr int kPanelDimPercent = 45;

int TextWidth(const std::string& text) { return static_cast<int>(text.size()) * kTextAdvance + 2; }

std::string Row(const char* label, int we, int they) {
    char text[32];
    std::snprintf(text, sizeof text, "%-6s%4d %4d", label, we, they);
    return text;
}

}  // namespace

bool Inside(const modDX::Rect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

PanelPlace PlacePanel(const Panel& panel, int screenWidth, int screenHeight) {
    int widest = TextWidth(panel.title);
    for (const std::string& line : panel.lines) widest = std::max(widest, TextWidth(line));
    widest = std::max(widest, TextWidth(panel.footer));
    const int width = std::min(widest + 2 * kPanelPad, screenWidth);
    const int lines = static_cast<int>(panel.lines.size());
    const int height = kPanelPad + kLineStep + kGap + lines * kLineStep +
                       (panel.footer.empty() ? 0 : kGap + kLineStep) + kPanelPad;
    PanelPlace place;
    const int left = (screenWidth - width) / 2;
    const int top = std::max(0, (screenHeight - height) / 2);
    place.box = {left, top, left + width, top + height};
    place.title = {left + kPanelPad, top + kPanelPad, left + width - kPanelPad, top + kPanelPad + kTextHeight};
    int y = top + kPanelPad + kLineStep + kGap;
    for (int i = 0; i < lines; ++i, y += kLineStep)
        place.lines.push_back({left + kPanelPad - 6, y - 2, left + width - kPanelPad + 6, y + kTextHeight + 2});
    return place;
}

int PanelLineAt(const PanelPlace& place, int x, int y) {
    for (std::size_t i = 0; i < place.lines.size(); ++i)
        if (Inside(place.lines[i], x, y)) return static_cast<int>(i);
    return -1;
}

modDX::Rect MenuButtonRect(int screenWidth, int screenHeight) {
    // Below the player's hand, which ends 29 pixels above the bottom on the small screen.
    const int width = TextWidth(kMenuButtonText) + 14;
    const int left = (screenWidth - width) / 2;
    return {left, screenHeight - kTextHeight - 1, left + width, screenHeight};
}

std::string SeatName(int seat) {
    switch (seat) {
        case rightSeat: return "Right";
        case partnerSeat: return "Partner";
        case leftSeat: return "Left";
        default: return "You";
    }
}

std::string SuitName(int suit) {
    switch (suit) {
        case kClubs: return "Clubs";
        case kHearts: return "Hearts";
        case kSpades: return "Spades";
        default: return "Diamonds";
    }
}

std::string DealingLine(const Match& m) {
    if (m.motion.statusText != Phase::DealingCards) return {};
    const int dealer = m.motion.turnSeat;
    return dealer == userSeat ? std::string("You deal") : SeatName(dealer) + " deals";
}

std::vector<std::string> TableInfoLines(const Match& m) {
    const DealMotion& t = m.motion;
    const DealState& d = m.deal;
    if (t.statusText == Phase::DealingCards || t.statusText == Phase::EndOfMatch) return {};
    std::vector<std::string> lines;
    // A finished trick still on the table goes to its winner before anyone leads again.
    const bool trickDone = d.cardsPlayed > 0 && d.trickCount == 0 && t.trickCount > 0;
    if (trickDone && d.lastTrickWinner >= 0) {
        const int w = d.lastTrickWinner;
        lines.push_back(w == userSeat ? "Your trick" : SeatName(w) + "'s trick");
    } else if (!DealOver(d)) {
        const int seat = d.toPlay;
        const bool leads = d.trickCount == 0;
        if (seat == userSeat) lines.push_back(leads ? "Your lead" : "Your turn");
        else lines.push_back(SeatName(seat) + (leads ? " leads" : " to play"));
    } else {
        lines.push_back("Deal over");
    }
    lines.push_back(FirstLeadOfDeal(d) ? "Trumps: not yet" : "Trumps: " + SuitName(d.trumps));
    lines.push_back("        We They");
    lines.push_back(Row("Deal", t.ourDealScore, t.theirDealScore));
    lines.push_back(Row("Match", m.score.ourMatchPoints, m.score.theirMatchPoints));
    lines.push_back("Target " + std::to_string(kWinThreshold + 1));
    return lines;
}

std::vector<std::string> ScorePageInfoLines(const Match& m) {
    if (m.motion.statusText != Phase::EndOfMatch) return {};
    std::vector<std::string> lines;
    if (m.dealNumber != 0) lines.insert(lines.end(), {"Deal " + std::to_string(m.dealNumber), ""});
    lines.insert(lines.end(), {"Click or Enter:", m.score.matchOver ? "a new match" : "the next deal"});
    return lines;
}

void TableView::DrawText(clsDXBitmapFont& font, int x, int y, std::string_view text) {
    font.XPos = static_cast<float>(X(x));
    font.YPos = static_cast<float>(Y(y));
    font.DrawText(display_, display_.backBuffer(), text, true);
}

void TableView::DrawTableInfo(const Match& m) {
    const int width = m.layout.tableWidth, height = m.layout.tableHeight;
    int y = 6;
    for (const std::string& line : TableInfoLines(m)) {
        DrawText(deluxeFont_, 8, y, line);
        y += kTextHeight;
    }
    // Right of the score page's pad.
    y = ScorePageOn(width, height).rowY;
    for (const std::string& line : ScorePageInfoLines(m)) {
        DrawText(deluxeFont_, width * 5 / 8, y, line);
        y += kTextHeight;
    }
    const std::string dealing = DealingLine(m);
    if (!dealing.empty()) {
        const int y = m.layout.spotY[partnerSeat] + m.layout.cardHeight / 2;
        DrawText(deluxeFont_, (width - TextWidth(dealing)) / 2, y, dealing);
        DrawText(deluxeFont_, (width - TextWidth(kSkipDealingText)) / 2, y + kTextHeight, kSkipDealingText);
    }
    const modDX::Rect button = MenuButtonRect(width, height);
    modDX::FillRect(display_.backBuffer(), ToPixels(button), kPanelFelt);
    modDX::FrameRect(display_.backBuffer(), ToPixels(button), Thickness(1), kGold);
    DrawText(deluxeFont_, button.left + 7, button.top + 1, kMenuButtonText);
}

void TableView::DrawPanel(const Panel& panel, int screenWidth, int screenHeight) {
    modDX::Surface& back = display_.backBuffer();
    modDX::Darken(back, kPanelDimPercent);
    const PanelPlace place = PlacePanel(panel, screenWidth, screenHeight);
    modDX::FillRect(back, ToPixels(place.box), kPanelFelt);
    modDX::FrameRect(back, ToPixels(place.box), Thickness(2), kGold);
    DrawText(digitFont_, place.title.left, place.title.top, panel.title);
    for (std::size_t i = 0; i < panel.lines.size(); ++i) {
        const modDX::Rect& r = place.lines[i];
        DrawText(deluxeFont_, r.left + 6, r.top + 2, panel.lines[i]);
        if (static_cast<int>(i) == panel.selected) modDX::FrameRect(back, ToPixels(r), Thickness(2), kGold);
    }
    if (!panel.footer.empty())
        DrawText(deluxeFont_, place.title.left, place.box.bottom - kPanelPad - kTextHeight, panel.footer);
}

void TableView::DrawHintFigures(const Match& m, const std::vector<HintFigure>& figures, const HandLifts& lifts) {
    for (int i = 0; i < kHandCards; ++i) {
        const CardSprite& c = m.motion.userHand[static_cast<std::size_t>(i)];
        if (!c.inUse) continue;
        const auto it = std::find_if(figures.begin(), figures.end(),
                                     [&](const HintFigure& f) { return f.card == c.card; });
        if (it == figures.end()) continue;
        // On the card's own strip, low down where only its corner index lies, on a dark patch:
        // each figure is read with its card. Two digits are wider than the strip, so every other
        // slot's figure stands a line higher, clear of its neighbours'.
        const std::string text = std::to_string(static_cast<int>(std::lround(it->points)));
        const int x = RoundHalfEven(c.x) + 1;
        const int y = RoundHalfEven(c.y) - lifts[static_cast<std::size_t>(i)] + c.height - kTextHeight - 8 -
                      (i % 2) * (kTextHeight + 2);
        modDX::FillRect(display_.backBuffer(), ToPixels({x, y, x + TextWidth(text), y + kTextHeight}), kPanelFelt);
        DrawText(digitFont_, x, y, text);
    }
}

}  // namespace pellow
