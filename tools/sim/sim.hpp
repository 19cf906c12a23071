#pragma once
// Whole matches played headless through the real phase machine, frame by frame, with a
// simulated 60 Hz clock, checking the game's invariants after every frame.
#include <array>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "engine/match.hpp"

namespace pellow {

// How a seat decides: the Classic rule set, a uniform draw among its legal cards, or the Expert.
// Seat 0 clicks the card its policy picks, as the user would; the others answer the phase machine.
enum class SeatPolicy { Rules, Random, Expert };
const char* PolicyName(SeatPolicy p);

struct SimOptions {
    int matches = 1;
    std::uint32_t seed = 1;
    std::array<SeatPolicy, 4> seats{};   // all Rules
    std::ostream* trace = nullptr;       // one JSON object per line when set
    ComputerPlayer* computer = nullptr;  // replaces seats 1-3 when set
    bool slowAnimation = false;
    ScreenSize screen = ScreenSize::Small800x600;
    // 0: every deal comes from the seed's generator. Otherwise the first deal is dealt from this
    // number and every later one from a number of its own, each written to the trace.
    DealNumber firstDeal = 0;
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
    double decisionSeconds = 0.0;      // wall-clock time spent choosing cards
    std::vector<double> expertMillis;  // wall-clock time of each Expert decision, any seat
    double seconds = 0.0;              // wall-clock time of the whole run
    bool ok = true;
    std::string violation;  // set when !ok: what broke, with seed and frame
};

SimStats RunSimulation(const SimOptions& options);

// The figures every run prints, one "name: value" line each. Only wall-clock figures differ
// between two runs with the same seed, so they are written separately.
void PrintStats(const SimStats& stats, std::ostream& out);
void PrintTimings(const SimStats& stats, std::ostream& out);

}  // namespace pellow
