#pragma once
// Rounding with halves to the even neighbour (layout scaling, card positions), and a sign.
#include <cmath>

namespace pellow {

inline int RoundHalfEven(double v) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-even by default.
    return static_cast<int>(std::nearbyint(v));
}

inline int Sign(float v) { return (v > 0.0f) - (v < 0.0f); }

}  // namespace pellow
