#include "presentation/table.hpp"

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "engine/cards.hpp"
#include "engine/numeric.hpp"

namespace pellow {

namespace {

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

void TableView::DrawHand(const std::array<CardSprite, 16>& hand, bool alwaysFace, int raisedCard) {
    for (int i = 0; i <= 12; ++i) {
        if (!hand[i].inUse) continue;
        CardSprite c = hand[i];
        // Lifted by a fifth of its height, enough to stand out and keep its neighbours readable.
        if (c.card == raisedCard && !c.moving) c.y -= static_cast<float>(c.height / 5);
        DrawSprite(c, alwaysFace || c.faceUp);
    }
}

std::string DeckFolder(const LaunchSettings& settings) { return "res\\" + settings.deckFolder + "\\"; }

void TableView::LoadBitmaps(const LaunchSettings& settings, const modDX::PathResolver& resolve) {
    const bool small = settings.screen == ScreenSize::Small800x600;
    LoadPicture(backgroundSurface_, resolve,
                small ? "res\\bitmaps\\Back_800x600.bmp" : "res\\bitmaps\\Back_1024x768.bmp");
    const std::string deck = DeckFolder(settings);
    LoadPicture(cardBackSurface_, resolve, deck + "S_cardback.bmp");
    modDX::SetColorKey(cardBackSurface_, 2);
    for (int i = 0; i < kCards; ++i) {
        LoadPicture(cardSurface_[i], resolve, deck + CardFileName(i));
        modDX::SetColorKey(cardSurface_[i], 2);
    }
    LoadPicture(scorePageSurface_, resolve,
                small ? "res\\bitmaps\\Scorepage_800x600.bmp" : "res\\bitmaps\\Scorepage.bmp");
    modDX::SetColorKey(scorePageSurface_, 2);
    const char* lines[4] = {"res\\bitmaps\\line_horz.bmp", "res\\bitmaps\\line_vert.bmp",
                            "res\\bitmaps\\line_horz.bmp", "res\\bitmaps\\mouse.bmp"};
    const int slots[4] = {0, 2, 1, 3};
    for (int i = 0; i < 4; ++i) {
        LoadPicture(lineSurface_[slots[i]], resolve, lines[i]);
        modDX::SetColorKey(lineSurface_[slots[i]], 2);
    }
    LoadFont(digitFont_, resolve, "res\\fntFonts\\fntDigit.bmp");
    LoadFont(deluxeFont_, resolve, "res\\fntFonts\\fntDeluxe.bmp");
    for (clsDXBitmapFont& font : scoreFonts_) LoadFont(font, resolve, "res\\fntFonts\\fntHandParker.bmp");
}

void TableView::ReleaseBitmaps() {
    backgroundSurface_.reset();
    lineSurface_[3].reset();
    digitFont_.dds.reset();
    for (clsDXBitmapFont& font : scoreFonts_) font.dds.reset();
    cardBackSurface_.reset();
    for (int i = 0; i < kCards; ++i) cardSurface_[i].reset();
    scorePageSurface_.reset();
    deluxeFont_.dds.reset();
    lineSurface_[0].reset();
    lineSurface_[1].reset();
    lineSurface_[2].reset();
}

std::string ClockText(int hour24, int minute) {
    int hour = hour24 % 12;
    if (hour == 0) hour = 12;
    char text[16];
    std::snprintf(text, sizeof text, "%02d:%02d %s", hour, minute % 60, hour24 < 12 ? "AM" : "PM");
    return text;
}

std::string CurrentClockText() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return ClockText(local.tm_hour, local.tm_min);
}

std::string Pad5(int value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    if (digits.size() < 5) digits.insert(0, 5 - digits.size(), ' ');
    return digits;
}

void TableView::DrawTable(const Match& m, std::string_view clockText, std::string_view caption,
                          int raisedCard) {
    const DealMotion& t = m.motion;
    DrawPile(t.ourPile, t.ourPileCount);
    DrawPile(t.theirPile, t.theirPileCount);

    const CardSprite& last = t.deckCards[51];
    if (last.moving) DrawSprite(last, t.turnSeat == userSeat);
    else if (last.inUse) DrawSprite(last, true);

    for (int i = 0; i < t.trickCount; ++i)
        if (t.trickCards[i].inUse) DrawSprite(t.trickCards[i], t.trickCards[i].faceUp);

    DrawHand(t.partnerHand, false);
    DrawHand(t.rightHand, false);
    DrawHand(t.leftHand, false);
    DrawHand(t.userHand, true, raisedCard);

    const int n = t.nextDeckCard;
    const int shown = n <= 45 ? 6 : 51 - n;
    const int hi = n > 0 ? n + shown : 7;
    const int lo = n > 0 ? n - 1 : 0;
    for (int i = std::min(hi, kCards - 1); i >= lo; --i)
        if (t.deckCards[i].inUse) DrawSprite(t.deckCards[i], t.deckCards[i].faceUp);

    const ScorePageLayout l = ScorePageFor(m.settings.screen);
    if (t.statusText == Phase::EndOfMatch) DrawScorePage(m.score, l);

    digitFont_.XPos = static_cast<float>(l.clockX);
    digitFont_.YPos = static_cast<float>(l.clockY);
    digitFont_.DrawText(display_, display_.backBuffer(), clockText, true);
    deluxeFont_.XPos = 5.0f;
    deluxeFont_.YPos = static_cast<float>(l.clockY);
    deluxeFont_.DrawText(display_, display_.backBuffer(), caption, true);
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
        lines.push_back({k, x, l.rowY + k * l.rowStep,
                         Pad5(score.ourDealPoints[deal]) + Pad5(score.theirDealPoints[deal])});
    }
    lines.push_back({9, l.TotalTextX(), l.totalY, Pad5(score.ourMatchPoints) + Pad5(score.theirMatchPoints)});
    lines.push_back({10, l.ResultTextX(), l.resultY, score.resultText});
    return lines;
}

void TableView::DrawScoreTable(const MatchScore& score, const ScorePageLayout& l) {
    for (const ScoreLine& line : ScoreTableLines(score, l)) {
        clsDXBitmapFont& font = scoreFonts_[static_cast<std::size_t>(line.font)];
        font.XPos = static_cast<float>(line.x);
        font.YPos = static_cast<float>(line.y);
        font.DrawText(display_, display_.backBuffer(), line.text, true);
    }
}

}  // namespace pellow
