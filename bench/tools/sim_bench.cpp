// Whole deals through the phase machine, animation frames included, and the computer's
// decisions inside them; and a saved match taken up, which replays its deal the same way.
#include <benchmark/benchmark.h>

#include "engine/layout.hpp"
#include "engine/phases.hpp"
#include "engine/saved_match.hpp"
#include "engine/trick.hpp"
#include "engine/user_input.hpp"
#include "opponent/pellow_ai.hpp"
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

// A numbered deal played by the Classic level at every seat, seat 0 by clicks, saved once
// `cards` cards have landed (all 52: on its score page).
pellow::SavedMatch SavedAfter(int cards) {
    using namespace pellow;
    Match m;
    MersenneRandom random(7);
    ManualClock clock;
    RulesPlayer rules;
    m.random = &random;
    m.clock = &clock;
    m.computer = &rules;
    m.layout = MakeTableLayout(m.settings.screen, false);
    m.numberedDeals = true;
    NewDeal(m);
    while (cards == kCards ? m.motion.statusText != Phase::EndOfMatch : m.deal.cardsPlayed < cards) {
        clock.now += 17;
        FrameInput input;
        if (UserMayPick(m, false)) {
            DealState d = m.deal;
            if (FirstLeadOfDeal(d)) d.trumps = static_cast<std::int8_t>(rules.ChooseTrump(d, userSeat));
            const CardSprite& c = m.motion.userHand[FindHandIndex(m, rules.ChooseCard(d, userSeat), userSeat)];
            input = {false, true, static_cast<int>(c.x) + 2, static_cast<int>(c.y) + c.height / 2, false};
        }
        StepFrame(m, input);
    }
    return *CaptureMatch(m);
}

// The start's wait before a saved match shows again: the deal dealt and played to where it was.
void BM_ResumeMatch(benchmark::State& state) {
    const pellow::SavedMatch saved = SavedAfter(static_cast<int>(state.range(0)));
    pellow::MersenneRandom random(1);
    pellow::ManualClock clock;
    const pellow::TableLayout layout = pellow::MakeTableLayout(pellow::ScreenSize::Large1024x768, false);
    for (auto _ : state) {
        pellow::Match m;
        m.random = &random;
        m.clock = &clock;
        m.layout = layout;
        if (!pellow::ResumeMatch(m, saved)) state.SkipWithError("the saved match was not taken up");
        benchmark::DoNotOptimize(m.deal);
    }
}
BENCHMARK(BM_ResumeMatch)->Arg(0)->Arg(13)->Arg(40)->Arg(52)->Unit(benchmark::kMicrosecond);

}  // namespace
