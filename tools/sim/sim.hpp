#pragma once
// Whole matches played headless through the real phase machine, frame by frame, with a
// simulated 60 Hz clock, checking the game's invariants after every frame.
#include <cstdint>
#include <ostream>
#include <string>

#include "engine/match.hpp"

namespace pellow {

enum class SeatZeroPolicy { Rules, Random };

struct SimOptions {
    int matches = 1;
    std::uint32_t seed = 1;
    SeatZeroPolicy seat0 = SeatZeroPolicy::Rules;
    std::ostream* trace = nullptr;       // one JSON object per line when set
    ComputerPlayer* computer = nullptr;  // the rule set when null
    bool slowAnimation = false;
    ScreenSize screen = ScreenSize::Small800x600;
};

struct SimStats {
    long matches = 0;
    long deals = 0;
    long weWon = 0;
    long theyWon = 0;
    long ourPoints = 0;
    long theirPoints = 0;
    long frames = 0;
    long decisions = 0;
    double decisionSeconds = 0.0;  // wall-clock time spent choosing cards
    double seconds = 0.0;          // wall-clock time of the whole run
    bool ok = true;
    std::string violation;  // set when !ok: what broke, with seed and frame
};

SimStats RunSimulation(const SimOptions& options);

// The figures every run prints, one "name: value" line each. Only wall-clock figures differ
// between two runs with the same seed, so they are written separately.
void PrintStats(const SimStats& stats, std::ostream& out);
void PrintTimings(const SimStats& stats, std::ostream& out);

}  // namespace pellow
