// Whole matches of the Expert level against the Classic rule set, played headless through the
// rules core, printing `name: value` lines: the Expert side's match win rate with its 95%
// interval, its average deal points, and how long its decisions take.
//
//   expert_strength [--matches N] [--first K] [--side we|they|both]
//                   [--budget B] [--exact T] [--exact-samples N] [--min-samples N] [--max-samples N]
//                   [--vs-expert] [--vs-budget B] [--vs-exact T]
//
// `both` plays every match twice on the same shuffles, the Expert as WE and then as THEY.
// --vs-expert measures one Expert setting against another instead of against Classic.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "opponent/pellow_ai.hpp"
#include "engine/rules.hpp"
#include "opponent/expert.hpp"

namespace pellow {
namespace {

struct Options {
    int matches = 4000;
    int first = 0;
    std::string side = "both";
    ExpertSettings expert;
    bool vsExpert = false;
    ExpertSettings other;
};

// The CPU time of the decisions, which a busy machine does not stretch as it does the wall clock.
std::vector<double> gCpuTimes;

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// One seat's decisions: the Expert (timed) or the measuring opponent.
class Seat {
public:
    Seat(bool expert, std::uint32_t seed, const ExpertSettings& settings, const SeatStyles& styles,
         std::vector<double>* times, std::vector<int>* tricks)
        : expert_(expert ? std::make_unique<ExpertPlayer>(seed, settings, styles) : nullptr),
          times_(times),
          tricks_(tricks) {}

    int Trump(const DealState& d, int seat) {
        if (!expert_) return pellow::ChooseTrump(d, seat);
        trick_ = -1;
        return Timed([&] { return expert_->ChooseTrump(d, seat); });
    }
    int Card(const DealState& d, int seat) {
        if (!expert_) return pellow::ChooseCard(d, seat);
        trick_ = d.cardsPlayed / 4;
        return Timed([&] { return expert_->ChooseCard(d, seat); });
    }

private:
    template <typename F>
    int Timed(F f) {
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuMs();
        const int r = f();
        if (times_) {
            times_->push_back(
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            gCpuTimes.push_back(ThreadCpuMs() - cpuStart);
            tricks_->push_back(trick_);
        }
        return r;
    }
    std::unique_ptr<ExpertPlayer> expert_;
    std::vector<double>* times_;
    std::vector<int>* tricks_;  // the trick each timed decision was in, -1 for trumps
    int trick_ = 0;
};

struct Tally {
    int matches = 0, wins = 0, deals = 0;
    long long points = 0;  // the measured side's deal points
};

// Plays one match; `measured` is the team whose result is tallied, seats[] decide.
void PlayMatch(std::uint32_t matchSeed, std::array<Seat*, 4> seats, int measured, Tally& tally) {
    std::mt19937 rng(matchSeed);
    std::array<int, kCards> deck;
    std::iota(deck.begin(), deck.end(), 0);
    int score[2] = {0, 0};
    int dealer = static_cast<int>(matchSeed % 4);
    while (!(std::max(score[0], score[1]) > kWinThreshold && score[0] != score[1])) {
        std::shuffle(deck.begin(), deck.end(), rng);
        DealState d;
        const int leader = NextSeat(dealer);
        // Dealt round the table from the leader, the way turns run.
        for (int k = 0; k < kCards; ++k) GiveCard(d, (leader + 4 * kCards - k) % 4, deck[k]);
        BeginPlay(d, leader);
        while (!DealOver(d)) {
            const int seat = d.toPlay;
            if (FirstLeadOfDeal(d)) d.trumps = static_cast<std::int8_t>(seats[seat]->Trump(d, seat));
            const int card = seats[seat]->Card(d, seat);
            if (!MayPlay(d, seat, card) || (FirstLeadOfDeal(d) && SuitOf(card) != d.trumps)) {
                std::fprintf(stderr, "illegal card %d by seat %d\n", card, seat);
                std::exit(1);
            }
            PlayCard(d, card);
        }
        for (int team = 0; team < 2; ++team) score[team] += DealPoints(d, team);
        tally.points += DealPoints(d, measured);
        ++tally.deals;
        dealer = NextSeat(dealer);
    }
    ++tally.matches;
    if (score[measured] > score[1 - measured]) ++tally.wins;
}

double Percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
}

void Report(const char* name, const Tally& t) {
    const double n = t.matches;
    const double p = t.wins / n;
    const double half = 1.96 * std::sqrt(p * (1.0 - p) / n);
    std::printf("%s matches: %d\n", name, t.matches);
    std::printf("%s win rate: %.1f%% (95%%: %.1f%% .. %.1f%%)\n", name, 100 * p, 100 * (p - half), 100 * (p + half));
    std::printf("%s deal points: %.2f of 80 over %d deals\n", name, static_cast<double>(t.points) / t.deals, t.deals);
}

int Main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--vs-expert") {
            o.vsExpert = true;
            continue;
        }
        if (i + 1 == argc) {
            std::fprintf(stderr, "%s needs a value\n", a.c_str());
            return 2;
        }
        const char* v = argv[++i];
        if (a == "--matches") o.matches = std::atoi(v);
        else if (a == "--first") o.first = std::atoi(v);
        else if (a == "--side") o.side = v;
        else if (a == "--budget") o.expert.cardBudget = std::atoi(v);
        else if (a == "--exact") o.expert.exactTricks = std::atoi(v);
        else if (a == "--exact-samples") o.expert.exactSamples = std::atoi(v);
        else if (a == "--min-samples") o.expert.minSamples = std::atoi(v);
        else if (a == "--max-samples") o.expert.maxSamples = std::atoi(v);
        else if (a == "--vs-budget") o.other.cardBudget = std::atoi(v);
        else if (a == "--vs-exact") o.other.exactTricks = std::atoi(v);
        else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 2;
        }
    }
    std::vector<double> times;
    std::vector<int> tricks;
    Tally asWe, asThey;
    for (int m = o.first; m < o.first + o.matches; ++m) {
        const auto seed = static_cast<std::uint32_t>(m);
        for (int measured = 0; measured < 2; ++measured) {
            if ((measured == 0 && o.side == "they") || (measured == 1 && o.side == "we")) continue;
            std::vector<std::unique_ptr<Seat>> own;
            std::array<Seat*, 4> seats{};
            // Every Expert knows which seats play by the Classic rules.
            SeatStyles styles{};
            for (int s = 0; s < 4; ++s)
                styles[s] = TeamOf(s) == measured || o.vsExpert ? SeatStyle::Expert : SeatStyle::Classic;
            for (int s = 0; s < 4; ++s) {
                const bool expertSeat = TeamOf(s) == measured;
                own.push_back(std::make_unique<Seat>(expertSeat || o.vsExpert, seed * 4 + s,
                                                     expertSeat ? o.expert : o.other, styles,
                                                     expertSeat ? &times : nullptr, &tricks));
                seats[s] = own.back().get();
            }
            PlayMatch(seed, seats, measured, measured == 0 ? asWe : asThey);
        }
        if ((m - o.first + 1) % 100 == 0)
            std::fprintf(stderr, "%d matches: WE %d/%d THEY %d/%d\n", m - o.first + 1, asWe.wins, asWe.matches,
                         asThey.wins, asThey.matches);
    }
    std::printf("opponent: %s\n", o.vsExpert ? "expert" : "classic");
    if (asWe.matches) Report("expert as WE", asWe);
    if (asThey.matches) Report("expert as THEY", asThey);
    if (asWe.matches && asThey.matches) {
        Tally all{asWe.matches + asThey.matches, asWe.wins + asThey.wins, asWe.deals + asThey.deals,
                  asWe.points + asThey.points};
        Report("expert overall", all);
    }
    double sum = 0;
    for (double t : times) sum += t;
    std::printf("decisions: %zu\n", times.size());
    std::printf("decision ms mean: %.2f\n", times.empty() ? 0.0 : sum / times.size());
    std::printf("decision ms p50: %.2f\n", Percentile(times, 0.50));
    std::printf("decision ms p99: %.2f\n", Percentile(times, 0.99));
    std::printf("decision ms max: %.2f\n", Percentile(times, 1.0));
    std::printf("decision cpu ms p50: %.2f\n", Percentile(gCpuTimes, 0.50));
    std::printf("decision cpu ms p99: %.2f\n", Percentile(gCpuTimes, 0.99));
    std::printf("decision cpu ms max: %.2f\n", Percentile(gCpuTimes, 1.0));
    // Where the slow decisions are: choosing trumps, then each trick of the deal.
    for (int trick = -1; trick < 13; ++trick) {
        std::vector<double> some;
        for (std::size_t i = 0; i < times.size(); ++i)
            if (tricks[i] == trick) some.push_back(times[i]);
        std::printf("decision ms p50/p99 %s %d: %.2f / %.2f\n", trick < 0 ? "trumps" : "trick", trick + 1,
                    Percentile(some, 0.5), Percentile(some, 0.99));
    }
    return 0;
}

}  // namespace
}  // namespace pellow

int main(int argc, char** argv) { return pellow::Main(argc, argv); }
