#pragma once
// The Expert as it was before it read the other seats' plays: it dealt the unseen cards at
// random apart from the shown voids. Kept frozen for the benchmarks alone, to measure the
// Expert against, and with the two "told" ceilings the game must never reach: the same search
// told the true hands of some seats (the partner's, or all three) instead of sampling them.
#include <cstdint>

#include "engine/rules.hpp"

namespace pellow::previous {

// The Expert's settings and their values as they were.
struct PreviousSettings {
    int cardBudget = 120000;
    int minSamples = 24;
    int maxSamples = 400;
    int exactTricks = 3;
    int exactSamples = 200;
};

class PreviousExpert {
public:
    // toldSeats: a bit per seat whose true hand the search is handed.
    explicit PreviousExpert(std::uint32_t seed, PreviousSettings settings = {}, unsigned toldSeats = 0);
    int ChooseTrump(const DealState& d, int seat) const;
    int ChooseCard(const DealState& d, int seat) const;

private:
    std::uint32_t seed_;
    PreviousSettings settings_;
    unsigned told_;
};

}  // namespace pellow::previous
