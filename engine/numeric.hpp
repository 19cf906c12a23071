#pragma once
// The game's two ways of turning a number into an integer: rounding with halves to the even
// neighbour (layout scaling, card positions) and Int, which rounds toward minus infinity.
#include <cmath>

namespace pellow {

inline int RoundHalfEven(double v) {
    // nearbyint follows the current rounding mode, which is round-to-nearest-even by default.
    return static_cast<int>(std::nearbyint(v));
}

inline int Int(double v) { return static_cast<int>(std::floor(v)); }

inline int Sign(float v) { return (v > 0.0f) - (v < 0.0f); }

}  // namespace pellow
