// How many card decisions a computer seat makes per second, from positions part-way through
// real deals (the hand, the table and the piles all matter to the choice).
#include <benchmark/benchmark.h>

#include <vector>

#include "engine/services.hpp"
#include "opponent/deal_harness.hpp"
#include "opponent/pellow_ai.hpp"

namespace pellow {
namespace {

// Positions where a computer seat is about to choose, taken from `deals` played-out deals after
// `cardsPlayed` cards.
std::vector<Match> Positions(int deals, int cardsPlayed) {
    std::vector<Match> positions;
    MersenneRandom random(99);
    RulesPlayer player;
    Match m;
    MakeCardFileNames(m);
    m.random = &random;
    for (int d = 0; d < deals; ++d) {
        DealHands(m, d % 4);
        for (int k = 0; k < cardsPlayed; ++k) PlayTurn(m, player);
        StepTurn(m);  // the seat to move
        positions.push_back(m);
    }
    return positions;
}

void BM_ChooseCard(benchmark::State& state) {
    std::vector<Match> positions = Positions(64, static_cast<int>(state.range(0)));
    RulesPlayer player;
    std::size_t next = 0;
    for (auto _ : state) {
        Match& m = positions[next];
        benchmark::DoNotOptimize(player.ChooseCard(m, m.turnSeat));
        next = (next + 1) % positions.size();
    }
    state.SetItemsProcessed(state.iterations());
}
// Early (full hands, empty piles), middle and late in the deal; the odd counts leave cards on
// the table.
BENCHMARK(BM_ChooseCard)->Arg(4)->Arg(18)->Arg(27)->Arg(45);

}  // namespace
}  // namespace pellow
