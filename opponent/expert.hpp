#pragma once
// The expert computer level. For each decision it deals the cards it cannot see to the other
// seats many times over, in every way consistent with what its seat knows (hand counts and the
// suits each seat has failed to follow), plays each of its legal cards out to the end of the deal
// in every such deal, and keeps the card that earns its team the most points on average. Near the
// end of the deal the playouts give way to an exact search of each sampled deal.
//
// It reads only its own hand, the cards played and by whom, trumps and the shown voids, never
// another hand. Its random draws for a decision are seeded from its seed and what the seat knows,
// so the same knowledge always gives the same card, whatever the hidden hands hold.
#include <cstdint>

#include "engine/rules.hpp"

namespace pellow {

struct ExpertSettings {
    // Card-plays the playouts of one decision may spend, shared out among the sampled deals and
    // the candidate cards; bounds the time of a decision.
    int cardBudget = 120000;
    // At least / at most this many sampled deals per decision.
    int minSamples = 24;
    int maxSamples = 400;
    // With this many tricks or fewer left (the current one included) each sampled deal is
    // searched exactly instead of played out.
    int exactTricks = 3;
    // Sampled deals per decision for the exact search.
    int exactSamples = 200;
};

class ExpertPlayer {
public:
    explicit ExpertPlayer(std::uint32_t seed, ExpertSettings settings = {});
    // The suit of trumps for the seat about to lead the deal's first trick.
    int ChooseTrump(const DealState& d, int seat) const;
    // The card seat `seat` (d.toPlay) plays now. On the first lead of a deal d.trumps holds the
    // chosen trumps and the card is one of them.
    int ChooseCard(const DealState& d, int seat) const;

private:
    std::uint32_t seed_;
    ExpertSettings settings_;
};

}  // namespace pellow
