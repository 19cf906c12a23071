#pragma once
// Moved: trick.hpp and user_input.hpp. Kept until every user includes those.
#include "trick.hpp"
#include "user_input.hpp"
