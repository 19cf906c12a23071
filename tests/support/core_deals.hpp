#pragma once
// Deals for tests and benchmarks that need no table: shuffled by a seeded generator and dealt
// round from the leader as the game deals, then played card by card with the rules core.
#include <algorithm>
#include <array>
#include <numeric>
#include <random>

#include "engine/rules.hpp"
#include "engine/services.hpp"

namespace pellow {

inline DealState ShuffledDeal(std::mt19937& gen, int leader) {
    std::array<int, kCards> order{};
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), gen);
    DealState d;
    for (int k = 0; k < kCards; ++k) GiveCard(d, (leader + 4 - k % 4) % 4, order[k]);  // turns run downwards
    BeginPlay(d, leader);
    return d;
}

// One computer turn, asked the way the phase machine asks it: trumps first on the deal's first
// lead. Returns the card played.
inline int PlayComputerTurn(DealState& d, ComputerPlayer& player) {
    const int seat = d.toPlay;
    if (FirstLeadOfDeal(d)) d.trumps = static_cast<std::int8_t>(player.ChooseTrump(d, seat));
    const int code = player.ChooseCard(d, seat);
    PlayCard(d, code);
    return code;
}

}  // namespace pellow
