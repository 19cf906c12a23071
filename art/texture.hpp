#pragma once
// Smooth value noise for the art's paper, felt and wear.
#include <cmath>
#include <cstdint>

#include "art/prng.hpp"

namespace pellow::art {

// Smoothly interpolated lattice noise in [0, 1]; each further octave has half the size and
// half the weight of the one before.
inline double ValueNoise(std::uint32_t seed, double x, double y, int octaves) {
    double sum = 0, weight = 1, total = 0;
    for (int o = 0; o < octaves; ++o) {
        const double fx = std::floor(x), fy = std::floor(y);
        const auto ix = static_cast<std::int32_t>(fx), iy = static_cast<std::int32_t>(fy);
        double tx = x - fx, ty = y - fy;
        tx = tx * tx * (3 - 2 * tx);
        ty = ty * ty * (3 - 2 * ty);
        const std::uint32_t s = seed + 1013u * o;
        const double a = LatticeValue(s, ix, iy), b = LatticeValue(s, ix + 1, iy);
        const double c = LatticeValue(s, ix, iy + 1), d = LatticeValue(s, ix + 1, iy + 1);
        sum += weight * ((a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty);
        total += weight;
        weight *= 0.5;
        x *= 2.0;
        y *= 2.0;
    }
    return sum / total;
}

}  // namespace pellow::art
