#pragma once
// Moved: layout.hpp, dealing.hpp and motion.hpp. Kept until every user includes those.
#include "dealing.hpp"
#include "layout.hpp"
#include "motion.hpp"
