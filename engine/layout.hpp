#pragma once
// Where everything lies on the table for the chosen screen, and how fast cards move there.
#include "match.hpp"

namespace pellow {

// Every position and speed of the table for the chosen screen.
TableLayout MakeTableLayout(ScreenSize screen, bool slowAnimation);
// Empties the table's landing spots and puts the four seats' spots where the layout says.
void SetTableSpots(Match& m);

}  // namespace pellow
