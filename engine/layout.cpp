#include "layout.hpp"

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

}  // namespace pellow
