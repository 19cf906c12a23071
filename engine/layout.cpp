#include "layout.hpp"

#include <algorithm>
#include <cstdint>

#include "numeric.hpp"

namespace pellow {

namespace {

// The table is designed for 1024 x 768; the 800 x 600 screen scales design values by 0.78125.
constexpr double kScale800 = 800.0 / 1024.0;

// Landing spots of seats 0..3 (below, right of, above and left of the centre), design values.
constexpr int kSpotDesignX[4] = {430, 520, 440, 370};
constexpr int kSpotDesignY[4] = {310, 260, 210, 260};

// Seat 0's fan step in design pixels; 800 x 600 scales it to 33.
constexpr int kUserStepDesign = 42;

// What differs between the two screens. The user's fan step and the landing spots are design
// values times `scale`; everything else is given as it is.
struct ScreenNumbers {
    double scale;
    int cardWidth, cardHeight;
    std::array<int, 4> handAnchorX, handAnchorY;
    int computerStep;  // the fan step of seats 1..3
    int ourPileX, ourPileY, theirPileX, theirPileY;
    int arriveTolerance, scatter;
    int spotJitterX, spotJitterY;
    int stockBaseX, stockOffset, stockY;
};

constexpr ScreenNumbers kSmall800x600{
    kScale800, 108, 151, {155, 620, 300, 5}, {420, 220, 5, 220}, 5, 20, 400, 592, 5, 8, 8, 20, 16, 5, 8, 4};
// Our 1024 x 768 table: the design values whose 0.78125 scaling gives the small screen, with
// larger cards (138 x 193) that still leave every hand, pile and spot clear.
constexpr ScreenNumbers kLarge1024x768{
    1.0, 138, 193, {198, 794, 384, 6}, {538, 282, 6, 282}, 6, 26, 512, 758, 6, 10, 10, 26, 20, 6, 10, 5};

}  // namespace

TableLayout MakeTableLayout(ScreenSize screen, bool slowAnimation) {
    const ScreenNumbers& n = screen == ScreenSize::Small800x600 ? kSmall800x600 : kLarge1024x768;
    const auto scaled = [&n](int design) { return RoundHalfEven(design * n.scale); };
    TableLayout l;
    l.tableWidth = ScreenWidth(screen);
    l.tableHeight = ScreenHeight(screen);
    l.moveFrames = slowAnimation ? 40 : 20;
    l.playFrames = l.moveFrames / 2;
    l.cardWidth = n.cardWidth;
    l.cardHeight = n.cardHeight;
    l.handAnchorX = n.handAnchorX;
    l.handAnchorY = n.handAnchorY;
    l.handStep = {scaled(kUserStepDesign), n.computerStep, n.computerStep, n.computerStep};
    l.ourPileX = n.ourPileX;
    l.ourPileY = n.ourPileY;
    l.theirPileX = n.theirPileX;
    l.theirPileY = n.theirPileY;
    l.arriveToleranceX = l.arriveToleranceY = n.arriveTolerance;
    l.scatterX = l.scatterY = n.scatter;
    l.spotJitterX = n.spotJitterX;
    l.spotJitterY = n.spotJitterY;
    l.stockBaseX = n.stockBaseX;
    l.stockOffset = n.stockOffset;
    l.stockY = n.stockY;
    for (int s = 0; s < 4; ++s) {
        l.spotX[s] = scaled(kSpotDesignX[s]);
        l.spotY[s] = scaled(kSpotDesignY[s]);
    }
    return l;
}

void SetTableSpots(Match& m) {
    for (auto& spot : m.motion.tableSpots) spot = TableSpot{};
    for (int s = 0; s < 4; ++s) {
        m.motion.tableSpots[s].x = m.layout.spotX[s];
        m.motion.tableSpots[s].y = m.layout.spotY[s];
    }
}

namespace {
// n / d to the nearest whole number, for positive n and d.
int RoundedQuotient(std::int64_t n, std::int64_t d) { return static_cast<int>((2 * n + d) / (2 * d)); }
}  // namespace

TableSize FittedTableSize(int pixelWidth, int pixelHeight) {
    constexpr TableSize design{};
    if (pixelWidth <= 0 || pixelHeight <= 0) return design;
    const std::int64_t w = pixelWidth, h = pixelHeight;
    if (w * design.height >= h * design.width) {
        // 4:3 or wider: the design's height; wider than 32:9 stays 32:9, with bars at the sides.
        if (9 * w > 32 * h) return {RoundedQuotient(std::int64_t{32} * design.height, 9), design.height};
        return {RoundedQuotient(w * design.height, h), design.height};
    }
    // Taller than 4:3: the design's width, and bars above and below beyond 3:4.
    if (3 * h > 4 * w) return {design.width, RoundedQuotient(std::int64_t{4} * design.width, 3)};
    return {design.width, RoundedQuotient(h * design.width, w)};
}

TableLayout MakeFittedLayout(TableSize table, bool slowAnimation) {
    TableLayout l = MakeTableLayout(ScreenSize::Large1024x768, slowAnimation);
    const int width = std::max(table.width, l.tableWidth), height = std::max(table.height, l.tableHeight);
    // What the table grew by: an item at the right or bottom edge moves by all of it, an item in
    // the middle by half, an item at the left or top edge stays.
    const int edgeX = width - l.tableWidth, edgeY = height - l.tableHeight;
    const int middleX = edgeX / 2, middleY = edgeY / 2;
    l.tableWidth = width;
    l.tableHeight = height;
    // Each hand along its own edge, in the middle of it.
    l.handAnchorX[userSeat] += middleX;
    l.handAnchorY[userSeat] += edgeY;
    l.handAnchorX[rightSeat] += edgeX;
    l.handAnchorY[rightSeat] += middleY;
    l.handAnchorX[partnerSeat] += middleX;
    l.handAnchorY[leftSeat] += middleY;
    // Our pile in the bottom left corner, theirs in the top right; the stock stays top left.
    l.ourPileY += edgeY;
    l.theirPileX += edgeX;
    // The trick in the middle.
    for (int s = 0; s < 4; ++s) {
        l.spotX[s] += middleX;
        l.spotY[s] += middleY;
    }
    return l;
}

namespace {

// How far something moves from one layout to the next.
struct Shift {
    int x = 0, y = 0;
};

// The shift of every item of the table that a card can lie on or fly to.
struct ItemShifts {
    std::array<Shift, 4> hand{}, spot{};
    Shift stock, ourPile, theirPile;
};

ItemShifts ShiftsBetween(const TableLayout& from, const TableLayout& to) {
    ItemShifts s;
    for (int seat = 0; seat < 4; ++seat) {
        s.hand[seat] = {to.handAnchorX[seat] - from.handAnchorX[seat], to.handAnchorY[seat] - from.handAnchorY[seat]};
        s.spot[seat] = {to.spotX[seat] - from.spotX[seat], to.spotY[seat] - from.spotY[seat]};
    }
    s.stock = {to.stockBaseX - from.stockBaseX, to.stockY - from.stockY};
    s.ourPile = {to.ourPileX - from.ourPileX, to.ourPileY - from.ourPileY};
    s.theirPile = {to.theirPileX - from.theirPileX, to.theirPileY - from.theirPileY};
    return s;
}

// Moves one coordinate by `by` units. The position it stands for is its value plus the rest the
// last move kept, while the value is still the one that move left; that sum plus `by` is exact in
// a double (a float plus whole numbers of a table's size), and what the float cannot hold of it
// is kept for the next move.
void ShiftCoordinate(float& v, CoordinateRest& kept, int by) {
    if (by == 0) return;
    const double rest = kept.value == v ? static_cast<double>(kept.rest) : 0.0;
    const double exact = static_cast<double>(v) + rest + by;
    v = static_cast<float>(exact);
    const double left = exact - static_cast<double>(v);
    kept = left == 0.0 ? CoordinateRest{} : CoordinateRest{v, static_cast<float>(left)};
}

// A sprite's position and target move with what it lies on or flies to (`at`); its home, where
// it returns to, with the item it belongs to (`home`).
void MoveSprite(CardSprite& c, std::array<CoordinateRest, 4>& kept, Shift at, Shift home) {
    ShiftCoordinate(c.x, kept[0], at.x);
    ShiftCoordinate(c.y, kept[1], at.y);
    ShiftCoordinate(c.targetX, kept[2], at.x);
    ShiftCoordinate(c.targetY, kept[3], at.y);
    c.homeX += home.x;
    c.homeY += home.y;
}

}  // namespace

void MoveToLayout(Match& m, const TableLayout& next) {
    const ItemShifts s = ShiftsBetween(m.layout, next);
    DealMotion& t = m.motion;
    // Each group's first slot in the rests (kSpriteSlots order).
    constexpr int kDeckRests = 4 * kHandSlots, kTrickRests = kDeckRests + kDeckSlots;
    constexpr int kOurPileRests = kTrickRests + kTrickSlots, kTheirPileRests = kOurPileRests + kPileSlots;
    const auto rests = [&t](int slot) -> auto& { return t.layoutRests[static_cast<std::size_t>(slot)]; };
    // No card moves in a pause, and the trick lies on its spots then: the phase itself says where
    // every card is going.
    const Phase phase = t.statusText;

    // The hands. A card in flight from a hand goes to its seat's spot on the table, except while
    // the R key gathers and spreads the user's hand, which never leaves it.
    const bool reordering = phase == Phase::GatherAroundFirstCard || phase == Phase::SpreadAheadFirstCard;
    for (int seat = 0; seat < 4; ++seat)
        for (int i = 0; i < kHandCards; ++i) {
            CardSprite& c = HandSprites(t, seat)[i];
            const Shift at = c.moving && !reordering ? s.spot[c.spot] : s.hand[seat];
            MoveSprite(c, rests(seat * kHandSlots + i), at, s.hand[seat]);
        }

    // The stock. The card being dealt flies to the next slot of its seat's hand.
    const Shift dealtTo = s.hand[t.dealOrder[t.receivingSeatIndex]];
    for (int i = 0; i < kCards; ++i) {
        CardSprite& c = t.deckCards[i];
        MoveSprite(c, rests(kDeckRests + i), c.moving ? dealtTo : s.stock, s.stock);
    }

    // The trick (the slots past it hold cards gone to a pile, which no one draws). Its cards lie
    // on their seats' spots until the trick is settled, then gather onto the winning card, lie
    // there, and fly to the winning team's pile.
    const bool gathering = phase == Phase::WeGathering || phase == Phase::TheyGathering;
    const bool getting = phase == Phase::WeGetting || phase == Phase::TheyGetting;
    const Shift pile = phase == Phase::WeGetting ? s.ourPile : s.theirPile;
    const Shift winner = s.spot[t.trickCards[t.trickWinnerCard].spot];
    for (int i = 0; i < t.trickCount; ++i) {
        CardSprite& c = t.trickCards[i];
        Shift at = s.spot[c.spot];
        if (getting) at = c.moving ? pile : winner;
        else if (gathering && c.moving) at = winner;
        MoveSprite(c, rests(kTrickRests + i), at, {});
    }

    // The piles; their cards have no home of their own.
    for (int i = 0; i < t.ourPileCount; ++i) MoveSprite(t.ourPile[i], rests(kOurPileRests + i), s.ourPile, {});
    for (int i = 0; i < t.theirPileCount; ++i) MoveSprite(t.theirPile[i], rests(kTheirPileRests + i), s.theirPile, {});

    for (int seat = 0; seat < 4; ++seat) {
        t.tableSpots[seat].x = next.spotX[seat];
        t.tableSpots[seat].y = next.spotY[seat];
    }
    m.layout = next;
}

}  // namespace pellow
