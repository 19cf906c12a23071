// How many card decisions a computer seat makes per second, from positions part-way through
// real deals (the hand, the table and the taken cards all matter to the choice).
#include <benchmark/benchmark.h>

#include <vector>

#include "opponent/expert.hpp"
#include "opponent/pellow_ai.hpp"
#include "support/core_deals.hpp"

namespace pellow {
namespace {

// Positions where a computer seat is about to choose, taken from `deals` played-out deals after
// `cardsPlayed` cards.
std::vector<DealState> Positions(int deals, int cardsPlayed) {
    std::vector<DealState> positions;
    std::mt19937 gen(99);
    RulesPlayer player;
    for (int d = 0; d < deals; ++d) {
        DealState deal = ShuffledDeal(gen, d % 4);
        for (int k = 0; k < cardsPlayed; ++k) PlayComputerTurn(deal, player);
        positions.push_back(deal);
    }
    return positions;
}

void BM_ChooseCard(benchmark::State& state) {
    const std::vector<DealState> positions = Positions(64, static_cast<int>(state.range(0)));
    RulesPlayer player;
    std::size_t next = 0;
    for (auto _ : state) {
        const DealState& d = positions[next];
        benchmark::DoNotOptimize(player.ChooseCard(d, d.toPlay));
        next = (next + 1) % positions.size();
    }
    state.SetItemsProcessed(state.iterations());
}
// Early (full hands, nothing taken), middle and late in the deal; the odd counts leave cards on
// the table.
BENCHMARK(BM_ChooseCard)->Arg(4)->Arg(18)->Arg(27)->Arg(45);

// The Expert's decision from the same positions, with the search size the game uses; the first
// lead (0) chooses trumps as well. The match runner expert_strength gives its p50 and p99 over
// whole matches.
void BM_ExpertChooseCard(benchmark::State& state) {
    const std::vector<DealState> positions = Positions(64, static_cast<int>(state.range(0)));
    const ExpertPlayer expert(2026);
    std::size_t next = 0;
    for (auto _ : state) {
        DealState d = positions[next];
        if (FirstLeadOfDeal(d)) d.trumps = static_cast<std::int8_t>(expert.ChooseTrump(d, d.toPlay));
        benchmark::DoNotOptimize(expert.ChooseCard(d, d.toPlay));
        next = (next + 1) % positions.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExpertChooseCard)->Arg(0)->Arg(4)->Arg(18)->Arg(27)->Arg(45)->Unit(benchmark::kMillisecond);

// The hint's decision from the same positions: the same searches, their values kept for every
// card the seat may play (a lone card is searched for its value). Before the values it was the
// decision above.
void BM_ExpertAdvise(benchmark::State& state) {
    const std::vector<DealState> positions = Positions(64, static_cast<int>(state.range(0)));
    const ExpertPlayer expert(2026);
    std::size_t next = 0;
    for (auto _ : state) {
        const DealState& d = positions[next];
        benchmark::DoNotOptimize(expert.Advise(d, d.toPlay));
        next = (next + 1) % positions.size();
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ExpertAdvise)->Arg(0)->Arg(4)->Arg(18)->Arg(27)->Arg(45)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace pellow
