#pragma once
// splitmix64: a small, fast seeded generator whose sequence depends on its seed alone, on every
// machine and library version. The Expert's sampling and the pack builder's pictures and sounds
// rely on that to come out the same everywhere.
#include <cstdint>

namespace pellow {

class SplitMix64 {
public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}
    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }

private:
    std::uint64_t state_;
};

}  // namespace pellow
