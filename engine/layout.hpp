#pragma once
// Where everything lies on the table, for the two fixed screens or a table of any shape, how fast
// cards move there, and a deal's cards carried over when the table changes size.
#include "match.hpp"

namespace pellow {

// Every position and speed of the table for the chosen screen (800 x 600 or 1024 x 768).
TableLayout MakeTableLayout(ScreenSize screen, bool slowAnimation);
// Empties the table's landing spots and puts the four seats' spots where the layout says.
void SetTableSpots(Match& m);

// A table's size in layout units.
struct TableSize {
    int width = 1024;
    int height = 768;

    friend bool operator==(const TableSize&, const TableSize&) = default;
};

// The table units for a screen of pixelWidth x pixelHeight: the screen's shape, its short side at
// the design's (768 high, or 1024 wide for a screen taller than 4:3), so that the drawing scales
// it uniformly to the whole screen. Shapes beyond 3:4 .. 32:9 are clamped to them (bars only
// there). Non-positive sizes give 1024 x 768.
TableSize FittedTableSize(int pixelWidth, int pixelHeight);
// A layout on a table of that size with the 1024 x 768 design's cards and speeds: each item keeps
// its distance to the edge it belongs to (each hand along its own edge, the piles and the stock in
// their corners) and what lies in the middle (the trick, a hand along its edge) moves by half the
// growth. At 1024 x 768 it is MakeTableLayout(ScreenSize::Large1024x768, slowAnimation); a table
// smaller than that either way is taken as 1024 x 768 there, where the hands would meet.
TableLayout MakeFittedLayout(TableSize table, bool slowAnimation);
// After the table changed size: moves every card of the table, at rest or in flight (position,
// target and home), and the landing spots to where `next` puts them, and makes `next` the match's
// layout. A card moves with the item it lies on or flies to, its position and target by the same
// amount, so it arrives in the frames it had left. Draws no random number and changes nothing of
// the deal (DealState) or the phase. Both layouts have the same cards (MakeFittedLayout's).
void MoveToLayout(Match& m, const TableLayout& next);

}  // namespace pellow
