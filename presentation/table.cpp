#include "presentation/table.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <string>
#include <utility>

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

int TableView::X(double v) const { return t_.offsetX + RoundHalfEven(v * t_.scale); }
int TableView::Y(double v) const { return t_.offsetY + RoundHalfEven(v * t_.scale); }
modDX::Rect TableView::ToPixels(const modDX::Rect& r) const { return {X(r.left), Y(r.top), X(r.right), Y(r.bottom)}; }
int TableView::Thickness(int units) const { return std::max(1, RoundHalfEven(units * t_.scale)); }

// Every picture is made at the size it is drawn: only its place is in table units.
void TableView::Blit(modDX::Surface& picture, int x, int y, bool key) {
    display_.BltSurface(picture, display_.backBuffer(), modDX::Rect{}, X(x), Y(y), key);
}

void TableView::DrawSprite(const CardSprite& c, bool face) {
    display_.BltSurface(face ? cardSurface_[c.card] : cardBackSurface_, display_.backBuffer(), modDX::Rect{}, X(c.x),
                        Y(c.y), true);
}

void TableView::DrawPile(const std::array<CardSprite, 53>& pile, int count) {
    // A big pile shows only from its twelfth card on: the ones below are hidden anyway.
    std::vector<const CardSprite*> cards;
    for (int i = count >= 12 ? 11 : 0; i < count; ++i)
        if (pile[i].inUse) cards.push_back(&pile[i]);
    DrawOverlapping(cards, [](const CardSprite&) { return false; });
}

void TableView::DrawOverlapping(const std::vector<const CardSprite*>& cards,
                                const std::function<bool(const CardSprite&)>& face) {
    const auto picture = [&](const CardSprite& c) -> modDX::Surface& {
        return face(c) ? cardSurface_[c.card] : cardBackSurface_;
    };
    for (std::size_t i = 0; i < cards.size(); ++i) {
        const CardSprite& c = *cards[i];
        modDX::Surface& shown = picture(c);
        const Parts parts = i + 1 < cards.size() ? UncoveredParts(shown, X(c.x), Y(c.y), picture(*cards[i + 1]),
                                                                  X(cards[i + 1]->x), Y(cards[i + 1]->y))
                                                 : Parts{};
        DrawCardParts(shown, X(c.x), Y(c.y), parts);
    }
}

TableView::Parts TableView::UncoveredParts(const modDX::Surface& card, int x, int y, const modDX::Surface& next,
                                           int nextX, int nextY) const {
    // Drawn whole unless the next card, drawn over it, is sure to hide the rest: opaque but
    // for its corners, of the same size, and both wholly on the screen (a card that does not
    // fit is not drawn at all). What shows is the strip before the next card's edge and its
    // corner, and, when the next card is only a little further on, the bits of this one
    // under the next card's far corners.
    const auto [cornerW, cornerH] = next.keyedCorners();
    const int w = card.width(), h = card.height();
    const auto fits = [&](int px, int py) {
        return px >= 0 && py >= 0 && px + w <= display_.width() && py + h <= display_.height();
    };
    Parts parts;
    if (cornerW < 0 || next.width() != w || next.height() != h || !fits(x, y) || !fits(nextX, nextY)) return parts;
    const int dx = nextX - x, dy = nextY - y;
    if (dy == 0 && dx > 0 && dx + cornerW < w) {
        parts.rects[parts.count++] = {0, 0, dx + cornerW, h};
        if (dx < cornerW) {
            parts.rects[parts.count++] = {dx + w - cornerW, 0, w, cornerH};
            parts.rects[parts.count++] = {dx + w - cornerW, h - cornerH, w, h};
        }
    } else if (dx == 0 && dy > 0 && dy + cornerH < h) {
        parts.rects[parts.count++] = {0, 0, w, dy + cornerH};
        if (dy < cornerH) {
            parts.rects[parts.count++] = {0, dy + h - cornerH, cornerW, h};
            parts.rects[parts.count++] = {w - cornerW, dy + h - cornerH, w, h};
        }
    }
    return parts;
}

void TableView::DrawCardParts(modDX::Surface& picture, int x, int y, const Parts& parts) {
    if (parts.count == 0) {
        display_.BltSurface(picture, display_.backBuffer(), modDX::Rect{}, x, y, true);
        return;
    }
    // Noted as the whole card: a hand's parts then join into one box instead of many pieces.
    display_.backBuffer().noteDrawn(modDX::Rect{x, y, x + picture.width(), y + picture.height()});
    for (int i = 0; i < parts.count; ++i) {
        const modDX::Rect& r = parts.rects[static_cast<std::size_t>(i)];
        display_.BltSurface(picture, display_.backBuffer(), r, x + r.left, y + r.top, true);
    }
}

void TableView::DrawHand(const std::array<CardSprite, 16>& hand, bool alwaysFace) {
    std::vector<const CardSprite*> cards;
    for (int i = 0; i <= 12; ++i)
        if (hand[i].inUse) cards.push_back(&hand[i]);
    DrawOverlapping(cards, [alwaysFace](const CardSprite& c) { return alwaysFace || c.faceUp; });
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
    // Lifted by whole pixels, so that a card at rest rounds the same lifted or not.
    const auto top = [&](int i) { return Y(hand[i].y) - RoundHalfEven(lifts[i] * t_.scale); };
    for (int i = 0; i <= 12; ++i) {
        const CardSprite& c = hand[i];
        if (!c.inUse) continue;
        const bool dim = extras.dimUnplayable && !MayPlay(m.deal, userSeat, c.card);
        const int x = X(c.x);
        const int y = top(i);
        modDX::Surface& face = cardSurface_[c.card];
        if (dim) modDX::DimmedInto(face, dimScratch_, kDimPercent);
        // A dimmed card keeps its face's key exactly: the face tells what the next one hides.
        int j = i + 1;
        while (j <= 12 && !hand[j].inUse) ++j;
        DrawCardParts(dim ? dimScratch_ : face, x, y,
                      j <= 12 ? UncoveredParts(face, x, y, cardSurface_[hand[j].card], X(hand[j].x), top(j)) : Parts{});
        if (i == extras.highlightSlot)
            modDX::FrameRect(display_.backBuffer(), modDX::Rect{x, y, x + face.width(), y + face.height()},
                             Thickness(3), kGold);
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
            modDX::FrameRect(display_.backBuffer(), ToPixels(modDX::Rect{x, y, x + l.cardWidth, y + l.cardHeight}),
                             Thickness(3), kGold);
    }
    // Left of the cards, level with the top one: clear of every hand and pile.
    const std::string_view text = "Last trick";
    DrawText(deluxeFont_, l.spotX[leftSeat] - static_cast<int>(text.size()) * kTextAdvance - 10,
             l.spotY[partnerSeat] + l.spotJitterY / 2, text);
}

std::string DeckFolder(const LaunchSettings& settings) { return "res\\" + settings.deckFolder + "\\"; }

ScorePageLayout ScorePageOn(int tableWidth, int tableHeight) {
    if (tableWidth == ScreenWidth(ScreenSize::Small800x600) && tableHeight == ScreenHeight(ScreenSize::Small800x600))
        return ScorePageFor(ScreenSize::Small800x600);
    ScorePageLayout l = ScorePageFor(ScreenSize::Large1024x768);
    const int dx = (tableWidth - ScreenWidth(ScreenSize::Large1024x768)) / 2;
    const int dy = (tableHeight - ScreenHeight(ScreenSize::Large1024x768)) / 2;
    l.pageX += dx, l.rowX += dx, l.totalX += dx, l.resultX += dx;
    l.pageY += dy, l.rowY += dy, l.totalY += dy, l.resultY += dy;
    l.clockRight += tableWidth - ScreenWidth(ScreenSize::Large1024x768);
    l.clockY += tableHeight - ScreenHeight(ScreenSize::Large1024x768);
    return l;
}

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
    t_ = modDX::TableTransform{};
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

bool TableView::UsePictures(const std::vector<PixelPicture>& pictures, int cardUnitsWide, int cardUnitsHigh,
                            std::shared_ptr<const void> owner) {
    const modDX::TableTransform next = display_.tableTransform();
    // Sizes rounded as the art rounds them when it draws for a scale.
    const auto sized = [&next](int units) { return std::max(1, static_cast<int>(std::lround(units * next.scale))); };
    const int cardWidth = sized(cardUnitsWide), cardHeight = sized(cardUnitsHigh);
    const int cellWidth = sized(19), cellHeight = sized(27);
    const auto at = [&pictures](TablePicture p) -> const PixelPicture& {
        return pictures[static_cast<std::size_t>(p)];
    };
    // Everything is checked before anything is taken: a set kept from before may be of another
    // size, and the table then keeps what it has.
    if (pictures.size() != static_cast<std::size_t>(TablePicture::Count)) return false;
    for (const PixelPicture& p : pictures)
        if (p.width <= 0 || p.height <= 0 || !p.pixels) return false;
    for (int i = 0; i <= static_cast<int>(TablePicture::Back); ++i)
        if (pictures[static_cast<std::size_t>(i)].width != cardWidth ||
            pictures[static_cast<std::size_t>(i)].height != cardHeight)
            return false;
    if (at(TablePicture::Felt).width != display_.width() || at(TablePicture::Felt).height != display_.height())
        return false;
    for (const TablePicture sheet : {TablePicture::DigitFont, TablePicture::DeluxeFont, TablePicture::HandFont})
        if (at(sheet).width != 20 * cellWidth || at(sheet).height < cellHeight) return false;

    t_ = next;
    // The old pixels stay until every surface over them is gone.
    const std::shared_ptr<const void> previous = std::exchange(picturesOwner_, std::move(owner));
    const auto make = [&](modDX::Surface& s, TablePicture p, bool key, bool runLength = true) {
        const PixelPicture& from = at(p);
        modDX::SurfaceOverPixels(s, from.width, from.height, from.pixels);
        if (key) modDX::SetColorKey(s, 2, runLength);
    };
    make(backgroundSurface_, TablePicture::Felt, false);
    make(cardBackSurface_, TablePicture::Back, true, false);
    for (int i = 0; i < kCards; ++i) {
        modDX::SurfaceOverPixels(cardSurface_[i], cardWidth, cardHeight, pictures[static_cast<std::size_t>(i)].pixels);
        // Without run-length encoding: darkening a card reads its pixels while playing.
        modDX::SetColorKey(cardSurface_[i], 2, false);
    }
    modDX::DimmedInto(cardSurface_[0], dimScratch_, kDimPercent);
    make(scorePageSurface_, TablePicture::ScorePage, true);
    make(lineSurface_[0], TablePicture::HorizontalLine, true);
    make(lineSurface_[1], TablePicture::HorizontalLine, true);
    make(lineSurface_[2], TablePicture::VerticalLine, true);
    make(lineSurface_[3], TablePicture::Pointer, true);
    // The glyph cells and their spacing, scaled as the sheets were drawn.
    const auto font = [&](clsDXBitmapFont& f, TablePicture p) {
        make(f.dds, p, true);
        f.SetCells(cellWidth, cellHeight, 20, static_cast<float>(kTextAdvance * t_.scale));
    };
    font(digitFont_, TablePicture::DigitFont);
    font(deluxeFont_, TablePicture::DeluxeFont);
    font(handFont_, TablePicture::HandFont);
    return true;
}

void TableView::StretchPictures(int cardUnitsWide, int cardUnitsHigh) {
    const modDX::TableTransform next = display_.tableTransform();
    const double ratio = next.scale / t_.scale;
    const auto sized = [&next](double units) { return std::max(1, static_cast<int>(std::lround(units * next.scale))); };
    const auto byRatio = [ratio](int pixels) { return std::max(1, static_cast<int>(std::lround(pixels * ratio))); };
    const auto stretch = [](modDX::Surface& s, int w, int h) {
        if (s.exists()) modDX::StretchedCopy(s, s, w, h);
    };
    stretch(backgroundSurface_, display_.width(), display_.height());
    stretch(cardBackSurface_, sized(cardUnitsWide), sized(cardUnitsHigh));
    for (modDX::Surface& card : cardSurface_) stretch(card, sized(cardUnitsWide), sized(cardUnitsHigh));
    if (cardSurface_[0].exists()) modDX::DimmedInto(cardSurface_[0], dimScratch_, kDimPercent);
    for (modDX::Surface* s : {&scorePageSurface_, &lineSurface_[0], &lineSurface_[1], &lineSurface_[2]})
        stretch(*s, byRatio(s->width()), byRatio(s->height()));
    stretch(lineSurface_[3], sized(32), sized(32));
    for (clsDXBitmapFont* f : {&digitFont_, &deluxeFont_, &handFont_}) {
        if (!f->dds.exists() || f->width <= 0 || f->height <= 0) continue;
        const int rows = f->dds.height() / f->height, columns = f->dds.width() / f->width;
        const int cellWidth = sized(19), cellHeight = sized(27);
        stretch(f->dds, columns * cellWidth, rows * cellHeight);
        f->SetCells(cellWidth, cellHeight, columns, static_cast<float>(kTextAdvance * next.scale));
    }
    t_ = next;
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
    picturesOwner_.reset();
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
    std::vector<const CardSprite*> stock;
    for (int i = std::min(hi, kCards - 1); i >= lo; --i)
        if (t.deckCards[i].inUse) stock.push_back(&t.deckCards[i]);
    DrawOverlapping(stock, [](const CardSprite& c) { return c.faceUp; });

    const ScorePageLayout l = ScorePageOn(m.layout.tableWidth, m.layout.tableHeight);
    if (t.statusText == Phase::EndOfMatch) DrawScorePage(m.score, l);

    DrawText(digitFont_, l.ClockX(static_cast<int>(clockText.size())), l.clockY, clockText);
    DrawText(deluxeFont_, 5, l.clockY, caption);

    if (extras.tableInfo) DrawTableInfo(m);
    if (!extras.hintFigures.empty()) DrawHintFigures(m, extras.hintFigures, UserHandLifts(m, extras));
    if (lastTrickShown) DrawLastTrick(m);
    if (extras.panel) DrawPanel(*extras.panel, m.layout.tableWidth, m.layout.tableHeight);
}

void TableView::DrawScorePage(const MatchScore& score, const ScorePageLayout& l) {
    // The felt covers the whole back buffer, whatever lies beside the table.
    display_.LayFelt(backgroundSurface_);
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
        DrawText(handFont_, line.x, line.y, line.text);
    }
}

}  // namespace pellow
