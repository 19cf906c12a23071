// pellow-sim: plays whole matches headless and checks every frame.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>

#include "sim.hpp"

namespace {
int Usage() {
    std::cerr << "usage: pellow-sim [--matches N] [--seed S] [--seat0 rules|random] [--trace FILE]\n";
    return 2;
}
}  // namespace

int main(int argc, char** argv) {
    pellow::SimOptions options;
    std::string tracePath;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i + 1 >= argc) return Usage();
        const std::string value = argv[++i];
        char* end = nullptr;
        if (arg == "--matches") {
            const long n = std::strtol(value.c_str(), &end, 10);
            if (*end || n < 1) return Usage();
            options.matches = static_cast<int>(n);
        } else if (arg == "--seed") {
            const unsigned long s = std::strtoul(value.c_str(), &end, 10);
            if (*end) return Usage();
            options.seed = static_cast<std::uint32_t>(s);
        } else if (arg == "--seat0") {
            if (value == "rules") options.seat0 = pellow::SeatZeroPolicy::Rules;
            else if (value == "random") options.seat0 = pellow::SeatZeroPolicy::Random;
            else return Usage();
        } else if (arg == "--trace") {
            tracePath = value;
        } else {
            return Usage();
        }
    }
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
