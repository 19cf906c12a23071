#pragma once
// A small seeded generator for the art's textures and noises (and the pack's sounds). Standard
// library distributions differ between library versions, so the art draws only from this to
// keep the archive, and the game's own renderings, byte-for-byte the same everywhere.
#include <cstdint>

#include "engine/splitmix64.hpp"

namespace pellow::art {

class Prng : public SplitMix64 {
public:
    using SplitMix64::SplitMix64;
    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [lo, hi).
    double Range(double lo, double hi) { return lo + (hi - lo) * Unit(); }
    // Roughly normal, mean 0 and deviation 1 (sum of four uniforms).
    double Gauss() { return (Unit() + Unit() + Unit() + Unit() - 2.0) * 1.7320508; }
};

// A fixed hash of a lattice point, for value noise that needs no stored tables.
inline double LatticeValue(std::uint32_t seed, std::int32_t x, std::int32_t y) {
    std::uint64_t h = seed * 0x9E3779B97F4A7C15ull;
    h ^= static_cast<std::uint32_t>(x) * 0xC2B2AE3D27D4EB4Full;
    h ^= static_cast<std::uint32_t>(y) * 0x165667B19E3779F9ull;
    h = (h ^ (h >> 29)) * 0xBF58476D1CE4E5B9ull;
    h ^= h >> 32;
    return static_cast<double>(h & 0xFFFFFF) / 16777215.0;
}

}  // namespace pellow::art
