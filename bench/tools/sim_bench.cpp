// Whole deals through the phase machine, animation frames included, and the computer's
// decisions inside them.
#include <benchmark/benchmark.h>

#include "tools/sim/sim.hpp"

namespace {

void BM_WholeMatchesThroughThePhaseMachine(benchmark::State& state) {
    std::uint32_t seed = 1;
    long deals = 0, frames = 0, decisions = 0;
    double decisionSeconds = 0;
    for (auto _ : state) {
        pellow::SimOptions o;
        o.seed = seed++;
        o.matches = 1;
        o.seats[0] = pellow::SeatPolicy::Random;
        const pellow::SimStats s = pellow::RunSimulation(o);
        if (!s.ok) state.SkipWithError(s.violation.c_str());
        deals += s.deals;
        frames += s.frames;
        decisions += s.decisions;
        decisionSeconds += s.decisionSeconds;
    }
    state.counters["deals/s"] = benchmark::Counter(static_cast<double>(deals), benchmark::Counter::kIsRate);
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["decisions/s"] = decisionSeconds > 0 ? decisions / decisionSeconds : 0;
}
BENCHMARK(BM_WholeMatchesThroughThePhaseMachine)->Unit(benchmark::kMillisecond);

}  // namespace
