#include "tools/sim/sim.hpp"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <vector>

#include "engine/match.hpp"
#include "opponent/pellow_ai.hpp"

namespace pellow {
namespace {

using Seats = std::array<SeatPolicy, 4>;
constexpr SeatPolicy R = SeatPolicy::Rules, X = SeatPolicy::Random, E = SeatPolicy::Expert;

SimStats Simulate(std::uint32_t seed, Seats seats, std::string* trace = nullptr, ComputerPlayer* computer = nullptr,
                  int matches = 3) {
    std::ostringstream out;
    SimOptions o;
    o.matches = matches;
    o.seed = seed;
    o.seats = seats;
    o.trace = trace ? &out : nullptr;
    o.computer = computer;
    SimStats s = RunSimulation(o);
    if (trace) *trace = out.str();
    return s;
}

// Every mix of levels plays valid matches and repeats itself for a seed, Expert seats included.
TEST(Simulator, SameSeedSameTraceAndFigures) {
    for (const Seats seats : {Seats{R, R, R, R}, Seats{X, R, R, R}, Seats{X, R, E, R}, Seats{E, X, E, E}}) {
        std::string a, b, c;
        const SimStats sa = Simulate(77, seats, &a), sb = Simulate(77, seats, &b), sc = Simulate(78, seats, &c);
        ASSERT_TRUE(sa.ok) << sa.violation;
        EXPECT_EQ(a, b);
        EXPECT_NE(a, c);
        std::ostringstream pa, pb;
        PrintStats(sa, pa);
        PrintStats(sb, pb);
        EXPECT_EQ(pa.str(), pb.str());
        EXPECT_EQ(sa.matches, 3);
        EXPECT_EQ(sa.weWon + sa.theyWon, 3);
        EXPECT_EQ(sa.ourPoints + sa.theirPoints, 80 * sa.deals);
        const bool expert = seats[0] == E || seats[2] == E;
        EXPECT_EQ(sa.expertMillis.empty(), !expert);
        std::string levels = "{\"event\":\"seats\",\"levels\":[";
        for (int s = 0; s < 4; ++s) levels += std::string(s ? "," : "") + '"' + PolicyName(seats[s]) + '"';
        EXPECT_EQ(a.substr(0, a.find('\n')), levels + "]}");
    }
}

TEST(Simulator, TraceHoldsEveryPlayOfEveryDeal) {
    std::string trace;
    const SimStats s = Simulate(5, {X, R, R, R}, &trace, nullptr, 1);
    ASSERT_TRUE(s.ok) << s.violation;
    std::istringstream lines(trace);
    std::string line;
    int deals = 0, dealt = 0, plays = 0, ends = 0;
    while (std::getline(lines, line)) {
        ASSERT_EQ(line.front(), '{');
        ASSERT_EQ(line.back(), '}');
        if (line.find("\"event\":\"deal\"") != std::string::npos) ++deals;
        if (line.find("\"event\":\"dealt\"") != std::string::npos) ++dealt;
        if (line.find("\"event\":\"play\"") != std::string::npos) {
            ++plays;
            EXPECT_NE(line.find("\"voidKnown\":[["), std::string::npos);
        }
        if (line.find("\"event\":\"end\"") != std::string::npos) ++ends;
    }
    EXPECT_EQ(deals, s.deals);
    EXPECT_EQ(dealt, s.deals);
    EXPECT_EQ(ends, s.deals);
    EXPECT_EQ(plays, 52 * s.deals);
}

// The lines of a trace that hold `event`, in order.
std::vector<std::string> Events(const std::string& trace, const std::string& event) {
    std::vector<std::string> found;
    std::istringstream lines(trace);
    for (std::string line; std::getline(lines, line);)
        if (line.find("\"event\":\"" + event + "\"") != std::string::npos) found.push_back(line);
    return found;
}

// --deal: the run's first deal is the one its number deals, the same stock, dealer and hands
// whatever the seed and the seats, and it passes every frame's checks; another number deals
// another. Every later deal is numbered too and its number names its dealer.
TEST(Simulator, ADealNumberDealsTheSameFirstDealWhateverTheSeed) {
    const auto run = [](std::uint32_t seed, DealNumber deal, Seats seats) {
        std::ostringstream out;
        SimOptions o;
        o.seed = seed;
        o.matches = 2;
        o.seats = seats;
        o.firstDeal = deal;
        o.trace = &out;
        const SimStats s = RunSimulation(o);
        EXPECT_TRUE(s.ok) << s.violation;
        return out.str();
    };
    const std::string a = run(77, 31415926, {R, R, R, R}), b = run(78, 31415926, {X, R, E, R}),
                      c = run(77, 31415927, {R, R, R, R});
    for (const char* event : {"deal", "dealt"}) {
        EXPECT_EQ(Events(a, event).at(0), Events(b, event).at(0)) << event;
        EXPECT_NE(Events(a, event).at(0), Events(c, event).at(0)) << event;
    }
    EXPECT_EQ(Events(a, "deal")[0].rfind("{\"event\":\"deal\",\"dealNumber\":31415926,\"dealerSeat\":2,", 0), 0u);
    const std::vector<std::string> deals = Events(b, "deal");
    ASSERT_GT(deals.size(), 2u);
    std::set<std::string> numbers;
    for (const std::string& line : deals) {
        const std::size_t at = line.find("\"dealNumber\":");
        ASSERT_NE(at, std::string::npos) << line;
        const std::string number = line.substr(at + 13, line.find(',', at) - at - 13);
        const std::string dealer = line.substr(line.find("\"dealerSeat\":") + 13, 1);
        EXPECT_EQ(std::stoul(number) % 4, std::stoul(dealer)) << line;
        numbers.insert(number);
    }
    EXPECT_EQ(numbers.size(), deals.size()) << "a number drawn twice";
}

// A seat that plays its first card whatever was led, and one that answers with no card at all:
// the phase machine must refuse both, and the simulator report it with the seed and frame.
class Renegade final : public ComputerPlayer {
public:
    int ChooseTrump(const DealState& d, int seat) override { return rules.ChooseTrump(d, seat); }
    int ChooseCard(const DealState& d, int seat) override {
        if (d.trickCount == 0) return rules.ChooseCard(d, seat);
        return empty ? -1 : d.hand[seat][0];
    }
    RulesPlayer rules;
    bool empty = false;
};

TEST(Simulator, RefusesACardTheSeatMayNotPlayAndReportsSeedAndFrame) {
    for (const bool empty : {false, true}) {
        Renegade renegade;
        renegade.empty = empty;
        const SimStats r = Simulate(9, {R, R, R, R}, nullptr, &renegade, 5);
        EXPECT_FALSE(r.ok);
        EXPECT_NE(r.violation.find(empty ? "chose card -1, which it may not play" : "which it may not play"),
                  std::string::npos)
            << r.violation;
        EXPECT_NE(r.violation.find("seed 9"), std::string::npos);
        EXPECT_NE(r.violation.find("frame "), std::string::npos);
        // Refused, not played: no card was seen twice or played out of turn on the way.
        EXPECT_EQ(r.violation.find("seen"), std::string::npos) << r.violation;
    }
}

TEST(Simulator, SlowAnimationDoublesTheFrames) {
    SimOptions fast, slow;
    fast.seed = slow.seed = 3;
    slow.slowAnimation = true;
    const SimStats f = RunSimulation(fast), s = RunSimulation(slow);
    ASSERT_TRUE(f.ok && s.ok);
    // Same seed, same cards: only the movements take longer (the pauses are wall-clock).
    EXPECT_EQ(f.deals, s.deals);
    EXPECT_GT(s.frames, f.frames * 13 / 10);
}

TEST(Simulator, LargeTablePlaysToo) {
    SimOptions o;
    o.seed = 12;
    o.matches = 5;
    o.screen = ScreenSize::Large1024x768;
    const SimStats s = RunSimulation(o);
    EXPECT_TRUE(s.ok) << s.violation;
    EXPECT_EQ(s.matches, 5);
}

}  // namespace
}  // namespace pellow
