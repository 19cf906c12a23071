#include "presentation/table.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <string>

#include <langinfo.h>

#include "engine/cards.hpp"
#include "engine/numeric.hpp"
#include "presentation/picture_file.hpp"
#include "presentation/surface.hpp"

namespace pellow {

namespace {

// Dimmed cards and the table behind the last trick keep this share of their brightness.
constexpr int kDimPercent = 50;
constexpr int kHighlightLift = 16;
const std::uint16_t kGold = modDX::Rgb565(255, 200, 40);

void LoadPicture(modDX::Surface& s, const modDX::PathResolver& resolve, std::string_view file) {
    modDX::CreateSurfaceFromFile(s, resolve(file));
}

void LoadFont(clsDXBitmapFont& font, const modDX::PathResolver& resolve, std::string_view file) {
    font.CreateSpriteFromFile(resolve(file), 19, 27, 20);
    font.SetTransColor(2);
}

}  // namespace

void TableView::Blit(modDX::Surface& picture, int x, int y, bool key) {
    display_.BltSurface(picture, display_.backBuffer(), modDX::Rect{}, x, y, key);
}

void TableView::DrawSprite(const CardSprite& c, bool face) {
    Blit(face ? cardSurface_[c.card] : cardBackSurface_, RoundHalfEven(c.x), RoundHalfEven(c.y));
}

void TableView::DrawPile(const std::array<CardSprite, 53>& pile, int count) {
    // A big pile shows only from its twelfth card on: the ones below are hidden anyway.
    for (int i = count >= 12 ? 11 : 0; i < count; ++i)
        if (pile[i].inUse) DrawSprite(pile[i], false);
}

void TableView::DrawHand(const std::array<CardSprite, 16>& hand, bool alwaysFace) {
    for (int i = 0; i <= 12; ++i)
        if (hand[i].inUse) DrawSprite(hand[i], alwaysFace || hand[i].faceUp);
}

HandLifts TableView::UserHandLifts(const Match& m, const TableExtras& extras) {
    HandLifts lifts{};
    const auto& hand = m.motion.userHand;
    for (int i = 0; i <= 12; ++i) {
        const CardSprite& c = hand[i];
        if (!c.inUse) continue;
        // The highlighted card stands out above the row; the cards right of it still cover
        // its right part, so the frame shows where it shows.
        if (i == extras.highlightSlot) lifts[i] += kHighlightLift;
        // The hinted card is lifted by a fifth of its height: it stands out and its neighbours
        // stay readable.
        if (c.card == extras.hintCard && !c.moving) lifts[i] += c.height / 5;
    }
    return lifts;
}

void TableView::DrawUserHand(const Match& m, const TableExtras& extras) {
    const auto& hand = m.motion.userHand;
    const HandLifts lifts = UserHandLifts(m, extras);
    for (int i = 0; i <= 12; ++i) {
        const CardSprite& c = hand[i];
        if (!c.inUse) continue;
        const bool dim = extras.dimUnplayable && !MayPlay(m.deal, userSeat, c.card);
        const int x = RoundHalfEven(c.x);
        const int y = RoundHalfEven(c.y) - lifts[i];
        if (dim) {
            modDX::DimmedInto(cardSurface_[c.card], dimScratch_, kDimPercent);
            Blit(dimScratch_, x, y);
        } else {
            Blit(cardSurface_[c.card], x, y);
        }
        if (i == extras.highlightSlot)
            modDX::FrameRect(display_.backBuffer(), modDX::Rect{x, y, x + c.width, y + c.height}, 3, kGold);
    }
}

void TableView::DrawLastTrick(const Match& m) {
    const DealState& d = m.deal;
    const TableLayout& l = m.layout;
    modDX::Darken(display_.backBuffer(), kDimPercent);
    // The cards lie at the spots of the seats that played them, in the order played, the
    // winner's on top with its frame.
    std::array<int, 4> order{0, 1, 2, 3};
    int seat = d.lastTrickLeader;
    std::array<int, 4> seats{};
    for (int k = 0; k < 4; ++k, seat = NextSeat(seat)) seats[static_cast<std::size_t>(k)] = seat;
    std::stable_partition(order.begin(), order.end(),
                          [&](int k) { return seats[static_cast<std::size_t>(k)] != d.lastTrickWinner; });
    for (const int k : order) {
        const int s = seats[static_cast<std::size_t>(k)];
        const int x = l.spotX[s] + l.spotJitterX / 2, y = l.spotY[s] + l.spotJitterY / 2;
        Blit(cardSurface_[d.lastTrick[static_cast<std::size_t>(k)]], x, y);
        if (s == d.lastTrickWinner)
            modDX::FrameRect(display_.backBuffer(), modDX::Rect{x, y, x + l.cardWidth, y + l.cardHeight}, 3, kGold);
    }
    // Left of the cards, level with the top one: clear of every hand and pile.
    const std::string_view text = "Last trick";
    DrawText(deluxeFont_, l.spotX[leftSeat] - static_cast<int>(text.size()) * kTextAdvance - 10,
             l.spotY[partnerSeat] + l.spotJitterY / 2, text);
}

std::string DeckFolder(const LaunchSettings& settings) { return "res\\" + settings.deckFolder + "\\"; }

namespace {

const char* BackgroundFile(const LaunchSettings& s) {
    return s.screen == ScreenSize::Small800x600 ? "res\\bitmaps\\Back_800x600.bmp" : "res\\bitmaps\\Back_1024x768.bmp";
}
const char* ScorePageFile(const LaunchSettings& s) {
    return s.screen == ScreenSize::Small800x600 ? "res\\bitmaps\\Scorepage_800x600.bmp" : "res\\bitmaps\\Scorepage.bmp";
}
constexpr const char* kCardBackFile = "S_cardback.bmp";
// Loaded into lineSurface_ slots 0, 2, 1 and 3.
constexpr const char* kLineFiles[4] = {"res\\bitmaps\\line_horz.bmp", "res\\bitmaps\\line_vert.bmp",
                                       "res\\bitmaps\\line_horz.bmp", "res\\bitmaps\\mouse.bmp"};
constexpr const char* kDigitFontFile = "res\\fntFonts\\fntDigit.bmp";
constexpr const char* kDeluxeFontFile = "res\\fntFonts\\fntDeluxe.bmp";
constexpr const char* kHandFontFile = "res\\fntFonts\\fntHandParker.bmp";

}  // namespace

std::vector<std::string> TableView::Files(const LaunchSettings& settings) {
    std::vector<std::string> files{BackgroundFile(settings), DeckFolder(settings) + kCardBackFile};
    for (int i = 0; i < kCards; ++i) files.push_back(DeckFolder(settings) + CardFileName(i));
    files.push_back(ScorePageFile(settings));
    files.insert(files.end(), std::begin(kLineFiles), std::end(kLineFiles));
    files.insert(files.end(), {kDigitFontFile, kDeluxeFontFile, kHandFontFile});
    return files;
}

void TableView::LoadBitmaps(const LaunchSettings& settings, const modDX::PathResolver& resolve) {
    LoadPicture(backgroundSurface_, resolve, BackgroundFile(settings));
    const std::string deck = DeckFolder(settings);
    LoadPicture(cardBackSurface_, resolve, deck + kCardBackFile);
    modDX::SetColorKey(cardBackSurface_, 2);
    for (int i = 0; i < kCards; ++i) {
        LoadPicture(cardSurface_[i], resolve, deck + CardFileName(i));
        // Without run-length encoding: darkening a card reads its pixels while playing.
        modDX::SetColorKey(cardSurface_[i], 2, false);
    }
    // Made now, at the cards' size, so nothing is allocated while playing.
    modDX::DimmedInto(cardSurface_[0], dimScratch_, kDimPercent);
    LoadPicture(scorePageSurface_, resolve, ScorePageFile(settings));
    modDX::SetColorKey(scorePageSurface_, 2);
    const int slots[4] = {0, 2, 1, 3};
    for (int i = 0; i < 4; ++i) {
        LoadPicture(lineSurface_[slots[i]], resolve, kLineFiles[i]);
        modDX::SetColorKey(lineSurface_[slots[i]], 2);
    }
    LoadFont(digitFont_, resolve, kDigitFontFile);
    LoadFont(deluxeFont_, resolve, kDeluxeFontFile);
    LoadFont(handFont_, resolve, kHandFontFile);
}

void TableView::ReleaseBitmaps() {
    backgroundSurface_.reset();
    lineSurface_[3].reset();
    digitFont_.dds.reset();
    handFont_.dds.reset();
    cardBackSurface_.reset();
    dimScratch_.reset();
    for (int i = 0; i < kCards; ++i) {
        cardSurface_[i].reset();
    }
    scorePageSurface_.reset();
    deluxeFont_.dds.reset();
    lineSurface_[0].reset();
    lineSurface_[1].reset();
    lineSurface_[2].reset();
}

std::string ClockText(int hour24, int minute, std::string_view am, std::string_view pm) {
    char text[16];
    // A locale without designators keeps time on a 24-hour clock.
    if (am.empty() && pm.empty()) {
        std::snprintf(text, sizeof text, "%02d:%02d", hour24 % 24, minute % 60);
        return text;
    }
    int hour = hour24 % 12;
    if (hour == 0) hour = 12;
    std::snprintf(text, sizeof text, "%02d:%02d ", hour, minute % 60);
    return text + std::string(hour24 < 12 ? am : pm);
}

std::string CurrentClockText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // The designators of the player's time locale (the program takes LC_TIME from the
    // environment at start); "AM" and "PM" in the C locale.
    return ClockText(local.tm_hour, local.tm_min, nl_langinfo(AM_STR), nl_langinfo(PM_STR));
}

std::string Pad5(int value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (digits.size() < 5) digits.insert(0, 5 - digits.size(), ' ');
    return digits;
}

void TableView::DrawTable(const Match& m, std::string_view clockText, std::string_view caption,
                          const TableExtras& extras) {
    const DealMotion& t = m.motion;
    DrawPile(t.ourPile, t.ourPileCount);
    DrawPile(t.theirPile, t.theirPileCount);

    const CardSprite& last = t.deckCards[51];
    if (last.moving) DrawSprite(last, t.turnSeat == userSeat);
    else if (last.inUse) DrawSprite(last, true);

    // The last trick's view takes the centre: the trick under way would show through it.
    const bool lastTrickShown = extras.lastTrick && m.deal.lastTrickWinner >= 0;
    if (!lastTrickShown)
        for (int i = 0; i < t.trickCount; ++i)
            if (t.trickCards[i].inUse) DrawSprite(t.trickCards[i], t.trickCards[i].faceUp);

    DrawHand(t.partnerHand, false);
    DrawHand(t.rightHand, false);
    DrawHand(t.leftHand, false);
    DrawUserHand(m, extras);

    const int n = t.nextDeckCard;
    const int shown = n <= 45 ? 6 : 51 - n;
    const int hi = n > 0 ? n + shown : 7;
    const int lo = n > 0 ? n - 1 : 0;
    for (int i = std::min(hi, kCards - 1); i >= lo; --i)
        if (t.deckCards[i].inUse) DrawSprite(t.deckCards[i], t.deckCards[i].faceUp);

    const ScorePageLayout l = ScorePageFor(m.settings.screen);
    if (t.statusText == Phase::EndOfMatch) DrawScorePage(m.score, l);

    digitFont_.XPos = static_cast<float>(l.ClockX(static_cast<int>(clockText.size())));
    digitFont_.YPos = static_cast<float>(l.clockY);
    digitFont_.DrawText(display_, display_.backBuffer(), clockText, true);
    deluxeFont_.XPos = 5.0f;
    deluxeFont_.YPos = static_cast<float>(l.clockY);
    deluxeFont_.DrawText(display_, display_.backBuffer(), caption, true);

    if (extras.tableInfo) DrawTableInfo(m);
    if (!extras.hintFigures.empty()) DrawHintFigures(m, extras.hintFigures, UserHandLifts(m, extras));
    if (lastTrickShown) DrawLastTrick(m);
    if (extras.panel) DrawPanel(*extras.panel, ScreenWidth(m.settings.screen), ScreenHeight(m.settings.screen));
}

void TableView::DrawScorePage(const MatchScore& score, const ScorePageLayout& l) {
    Blit(backgroundSurface_, 0, 0, false);
    Blit(scorePageSurface_, l.pageX, l.pageY);
    Blit(lineSurface_[0], l.HeadLineX(), l.HeadLineY());
    Blit(lineSurface_[2], l.VertLineX(), l.VertLineY());
    Blit(lineSurface_[1], l.TotalsLineX(), l.TotalsLineY());
    DrawScoreTable(score, l);
}

std::vector<ScoreLine> ScoreTableLines(const MatchScore& score, const ScorePageLayout& l) {
    std::vector<ScoreLine> lines;
    const int x = l.RowTextX();
    lines.push_back({0, x, l.rowY, "   We   They "});
    // A long match (endless ties) shows its most recent deals: more rows would run into the
    // totals and past the fonts that are loaded.
    const int rows = std::min(score.dealHistoryCount, kScoreRowsShown);
    const int first = score.dealHistoryCount - rows;
    for (int k = 1; k <= rows; ++k) {
        const int deal = first + k - 1;
        lines.push_back(
            {k, x, l.rowY + k * l.rowStep, Pad5(score.ourDealPoints[deal]) + Pad5(score.theirDealPoints[deal])});
    }
    lines.push_back({9, l.TotalTextX(), l.totalY, Pad5(score.ourMatchPoints) + Pad5(score.theirMatchPoints)});
    lines.push_back({10, l.ResultTextX(), l.resultY, score.resultText});
    return lines;
}

void TableView::DrawScoreTable(const MatchScore& score, const ScorePageLayout& l) {
    for (const ScoreLine& line : ScoreTableLines(score, l)) {
        // Every line once had a font of its own, all from the same picture: one draws them all.
        clsDXBitmapFont& font = handFont_;
        font.XPos = static_cast<float>(line.x);
        font.YPos = static_cast<float>(line.y);
        font.DrawText(display_, display_.backBuffer(), line.text, true);
    }
}

}  // namespace pellow
