// pellow-sim: plays whole matches headless and checks every frame.
#include <charconv>
#include <cstdint>
#include <fstream>
#include <iostream>
#include <limits>
#include <optional>
#include <string>

#include "engine/dealing.hpp"
#include "sim.hpp"

namespace {
int Usage() {
    std::cerr << "usage: pellow-sim [--matches N] [--seed S] [--we rules|random|expert] [--they rules|expert]\n"
                 "                  [--seat0 rules|random|expert] [--trace FILE] [--deal N]\n";
    return 2;
}

// Digits only, and within [low, high]: a sign, a blank or a wrap-around would quietly run
// another simulation than the one asked for.
std::optional<std::uint64_t> WholeNumber(const std::string& text, std::uint64_t low, std::uint64_t high) {
    std::uint64_t n = 0;
    const char* end = text.data() + text.size();
    const auto [at, error] = std::from_chars(text.data(), end, n);
    if (error != std::errc() || at != end || n < low || n > high) return std::nullopt;
    return n;
}

int BadNumber(const std::string& option, const std::string& value, std::uint64_t low, std::uint64_t high) {
    std::cerr << "pellow-sim: " << option << " takes a whole number from " << low << " to " << high << ", not \""
              << value << "\"\n";
    return 2;
}

bool ParsePolicy(const std::string& name, bool randomAllowed, pellow::SeatPolicy& policy) {
    if (name == "rules") policy = pellow::SeatPolicy::Rules;
    else if (name == "expert") policy = pellow::SeatPolicy::Expert;
    else if (name == "random" && randomAllowed) policy = pellow::SeatPolicy::Random;
    else return false;
    return true;
}
}  // namespace

int main(int argc, char** argv) {
    pellow::SimOptions options;
    std::string tracePath;
    // --we sets seats 0 and 2, --they seats 1 and 3; --seat0 then overrides seat 0 alone.
    pellow::SeatPolicy we = pellow::SeatPolicy::Rules, they = pellow::SeatPolicy::Rules, seat0 = we;
    bool seat0Given = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage();
        const std::string value = argv[++i];
        if (arg == "--matches") {
            constexpr std::uint64_t most = std::numeric_limits<int>::max();
            const auto n = WholeNumber(value, 1, most);
            if (!n) return BadNumber(arg, value, 1, most);
            options.matches = static_cast<int>(*n);
        } else if (arg == "--seed") {
            constexpr std::uint64_t most = std::numeric_limits<std::uint32_t>::max();
            const auto s = WholeNumber(value, 0, most);
            if (!s) return BadNumber(arg, value, 0, most);
            options.seed = static_cast<std::uint32_t>(*s);
        } else if (arg == "--we") {
            if (!ParsePolicy(value, true, we)) return Usage();
        } else if (arg == "--they") {
            if (!ParsePolicy(value, false, they)) return Usage();
        } else if (arg == "--seat0") {
            if (!ParsePolicy(value, true, seat0)) return Usage();
            seat0Given = true;
        } else if (arg == "--deal") {
            // The rule the game reads a typed deal number by.
            const auto n = pellow::ParseDealNumber(value);
            if (!n) return BadNumber(arg, value, 1, pellow::kLargestDealNumber);
            options.firstDeal = *n;
        } else if (arg == "--trace") {
            tracePath = value;
        } else {
            return Usage();
        }
    }
    options.seats = {seat0Given ? seat0 : we, they, we, they};
    std::ofstream trace;
    if (!tracePath.empty()) {
        trace.open(tracePath);
        if (!trace) {
            std::cerr << "pellow-sim: cannot write " << tracePath << '\n';
            return 2;
        }
        options.trace = &trace;
    }
    const pellow::SimStats stats = pellow::RunSimulation(options);
    pellow::PrintStats(stats, std::cout);
    pellow::PrintTimings(stats, std::cerr);
    if (!stats.ok) {
        std::cout << "violation: " << stats.violation << '\n';
        return 1;
    }
    return 0;
}
