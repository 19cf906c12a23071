#include "layout.hpp"

#include "numeric.hpp"

namespace pellow {

namespace {

// The table is designed for 1024 x 768; the 800 x 600 screen scales design values by 0.78125.
constexpr double kScale800 = 800.0 / 1024.0;
int Scaled(int design) { return RoundHalfEven(design * kScale800); }

// Landing spots of seats 0..3 (below, right of, above and left of the centre), design values.
constexpr int kSpotDesignX[4] = {430, 520, 440, 370};
constexpr int kSpotDesignY[4] = {310, 260, 210, 260};

// Seat 0's fan step in design pixels; 800 x 600 scales it to 33.
constexpr int kUserStepDesign = 42;

}  // namespace

TableLayout MakeTableLayout(ScreenSize screen, bool slowAnimation) {
    TableLayout l;
    l.moveFrames = slowAnimation ? 40 : 20;
    l.playFrames = l.moveFrames / 2;
    if (screen == ScreenSize::Small800x600) {
        l.cardWidth = 108;
        l.cardHeight = 151;
        l.handAnchorX = {155, 620, 300, 5};
        l.handAnchorY = {420, 220, 5, 220};
        l.handStep = {Scaled(kUserStepDesign), 5, 5, 5};
        l.ourPileX = 20;
        l.ourPileY = 400;
        l.theirPileX = 592;
        l.theirPileY = 5;
        l.arriveToleranceX = l.arriveToleranceY = 8;
        l.scatterX = l.scatterY = 8;
        l.spotJitterX = 20;
        l.spotJitterY = 16;
        l.stockBaseX = 5;
        l.stockOffset = 8;
        l.stockY = 4;
        for (int s = 0; s < 4; ++s) {
            l.spotX[s] = Scaled(kSpotDesignX[s]);
            l.spotY[s] = Scaled(kSpotDesignY[s]);
        }
    } else {
        // Our 1024 x 768 table: the design values whose 0.78125 scaling gives the small screen,
        // with larger cards (138 x 193) that still leave every hand, pile and spot clear.
        l.cardWidth = 138;
        l.cardHeight = 193;
        l.handAnchorX = {198, 794, 384, 6};
        l.handAnchorY = {538, 282, 6, 282};
        l.handStep = {kUserStepDesign, 6, 6, 6};
        l.ourPileX = 26;
        l.ourPileY = 512;
        l.theirPileX = 758;
        l.theirPileY = 6;
        l.arriveToleranceX = l.arriveToleranceY = 10;
        l.scatterX = l.scatterY = 10;
        l.spotJitterX = 26;
        l.spotJitterY = 20;
        l.stockBaseX = 6;
        l.stockOffset = 10;
        l.stockY = 5;
        for (int s = 0; s < 4; ++s) {
            l.spotX[s] = kSpotDesignX[s];
            l.spotY[s] = kSpotDesignY[s];
        }
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
