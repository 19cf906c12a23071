#pragma once
// Moved: phases.hpp. Kept until every user includes it.
#include "phases.hpp"
#include "play.hpp"
