// How many points a deal the Expert's pair makes, on the same deals for every row: WE (seats 0
// and 2) played at each level against THEY at another. The rows set the Expert beside Classic,
// beside the Expert as it was before it read the plays, and beside two ceilings that the game
// can never reach: the previous Expert's search told the partner's true hand, or all three.
//
//   expert_table [--deals N] [--first K] [--rows we:they,...] [--dump FILE]
//                [--budget B] [--exact T] [--exact-samples N]
//
// Levels: classic, expert, previous, told-partner, told-all. Every row prints WE's points a
// deal (of 80) with a 95% interval, and its paired difference from previous:THEY where that row
// is played too; the new Expert's decisions print their CPU times. --dump writes each deal's
// points, a row a line, for comparing runs deal by deal. The last three set the new Expert's
// search, to weigh a setting on the same deals.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "engine/rules.hpp"
#include "opponent/expert.hpp"
#include "opponent/pellow_ai.hpp"
#include "previous_expert.hpp"

namespace pellow {
namespace {

double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

std::vector<double> gExpertCpuMs;
ExpertSettings gSettings;

SeatStyle StyleOf(const std::string& level) {
    return level == "classic" ? SeatStyle::Classic : SeatStyle::Expert;
}

// One seat at one level.
class Seat {
public:
    Seat(const std::string& level, std::uint32_t seed, int seat, const std::string& partner,
         const std::string& opponents)
        : level_(level) {
        if (level == "expert") {
            SeatStyles styles{};
            for (int s = 0; s < 4; ++s) styles[s] = StyleOf(s == seat ? level : TeamOf(s) == TeamOf(seat) ? partner : opponents);
            expert_ = std::make_unique<ExpertPlayer>(seed, gSettings, styles);
        } else if (level != "classic") {
            unsigned told = 0;
            if (level == "told-partner") told = 1u << ((seat + 2) % 4);
            if (level == "told-all") told = 0xFu & ~(1u << seat);
            previous_ = std::make_unique<previous::PreviousExpert>(seed, previous::PreviousSettings{}, told);
        }
    }
    int Trump(const DealState& d, int seat) {
        if (expert_) return Timed([&] { return expert_->ChooseTrump(d, seat); });
        if (previous_) return previous_->ChooseTrump(d, seat);
        return pellow::ChooseTrump(d, seat);
    }
    int Card(const DealState& d, int seat) {
        if (expert_) return Timed([&] { return expert_->ChooseCard(d, seat); });
        if (previous_) return previous_->ChooseCard(d, seat);
        return pellow::ChooseCard(d, seat);
    }

private:
    template <typename F>
    int Timed(F f) {
        const double start = ThreadCpuMs();
        const int r = f();
        gExpertCpuMs.push_back(ThreadCpuMs() - start);
        return r;
    }
    std::string level_;
    std::unique_ptr<ExpertPlayer> expert_;
    std::unique_ptr<previous::PreviousExpert> previous_;
};

struct Row {
    std::string we, they;
    std::vector<int> points;  // WE's points, a deal each
};

// Deal `n`: its own shuffle, dealt by seat n % 4, the same for every row.
int PlayDeal(int n, const std::string& we, const std::string& they) {
    std::mt19937 rng(static_cast<std::uint32_t>(n));
    std::array<int, kCards> deck;
    std::iota(deck.begin(), deck.end(), 0);
    std::shuffle(deck.begin(), deck.end(), rng);
    DealState d;
    const int leader = NextSeat(n % 4);
    for (int k = 0; k < kCards; ++k) GiveCard(d, (leader + 4 * kCards - k) % 4, deck[k]);
    BeginPlay(d, leader);
    std::vector<std::unique_ptr<Seat>> seats;
    for (int s = 0; s < 4; ++s) {
        const bool ours = TeamOf(s) == 0;
        seats.push_back(std::make_unique<Seat>(ours ? we : they, static_cast<std::uint32_t>(n) * 4 + s, s,
                                               ours ? we : they, ours ? they : we));
    }
    while (!DealOver(d)) {
        const int seat = d.toPlay;
        if (FirstLeadOfDeal(d)) d.trumps = static_cast<std::int8_t>(seats[seat]->Trump(d, seat));
        const int card = seats[seat]->Card(d, seat);
        if (!MayPlay(d, seat, card) || (FirstLeadOfDeal(d) && SuitOf(card) != d.trumps)) {
            std::fprintf(stderr, "illegal card %d by seat %d in deal %d\n", card, seat, n);
            std::exit(1);
        }
        PlayCard(d, card);
    }
    return DealPoints(d, 0);
}

struct Interval {
    double mean = 0, half = 0;
};

Interval MeanOf(const std::vector<double>& v) {
    Interval r;
    if (v.empty()) return r;
    const double n = static_cast<double>(v.size());
    r.mean = std::accumulate(v.begin(), v.end(), 0.0) / n;
    double ss = 0;
    for (double x : v) ss += (x - r.mean) * (x - r.mean);
    r.half = v.size() > 1 ? 1.96 * std::sqrt(ss / (n - 1) / n) : 0.0;
    return r;
}

double Percentile(std::vector<double> v, double q) {
    if (v.empty()) return 0.0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, static_cast<std::size_t>(q * static_cast<double>(v.size())))];
}

int Main(int argc, char** argv) {
    int deals = 1000;
    int first = 0;
    std::string rowsText =
        "classic:classic,previous:classic,expert:classic,told-partner:classic,told-all:classic,"
        "expert:previous,previous:expert,expert:expert,previous:previous";
    std::string dump;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        const char* v = argv[i + 1];
        if (a == "--deals") deals = std::atoi(v);
        else if (a == "--first") first = std::atoi(v);
        else if (a == "--rows") rowsText = v;
        else if (a == "--dump") dump = v;
        else if (a == "--budget") gSettings.cardBudget = std::atoi(v);
        else if (a == "--exact") gSettings.exactTricks = std::atoi(v);
        else if (a == "--exact-samples") gSettings.exactSamples = std::atoi(v);
        else {
            std::fprintf(stderr, "unknown option %s\n", a.c_str());
            return 2;
        }
    }
    std::vector<Row> rows;
    for (std::size_t at = 0; at < rowsText.size();) {
        std::size_t end = rowsText.find(',', at);
        if (end == std::string::npos) end = rowsText.size();
        const std::string item = rowsText.substr(at, end - at);
        const std::size_t colon = item.find(':');
        if (colon == std::string::npos) {
            std::fprintf(stderr, "a row is WE:THEY, not %s\n", item.c_str());
            return 2;
        }
        rows.push_back({item.substr(0, colon), item.substr(colon + 1), {}});
        at = end + 1;
    }
    for (int n = first; n < first + deals; ++n) {
        for (Row& r : rows) r.points.push_back(PlayDeal(n, r.we, r.they));
        if ((n - first + 1) % 50 == 0) std::fprintf(stderr, "%d deals\n", n - first + 1);
    }
    std::printf("deals: %d (from %d)\n", deals, first);
    for (const Row& r : rows) {
        const Interval m = MeanOf(std::vector<double>(r.points.begin(), r.points.end()));
        std::printf("WE %s, THEY %s: %.2f +- %.2f", r.we.c_str(), r.they.c_str(), m.mean, m.half);
        for (const Row& base : rows) {
            if (&base == &r || base.we != "previous" || base.they != r.they) continue;
            std::vector<double> diff;
            for (std::size_t i = 0; i < r.points.size(); ++i) diff.push_back(r.points[i] - base.points[i]);
            const Interval dm = MeanOf(diff);
            std::printf("  (vs previous: %+.2f +- %.2f)", dm.mean, dm.half);
        }
        std::printf("\n");
    }
    std::printf("expert decisions: %zu\n", gExpertCpuMs.size());
    std::printf("expert decision cpu ms p50: %.2f\n", Percentile(gExpertCpuMs, 0.50));
    std::printf("expert decision cpu ms p99: %.2f\n", Percentile(gExpertCpuMs, 0.99));
    std::printf("expert decision cpu ms max: %.2f\n", Percentile(gExpertCpuMs, 1.0));
    if (!dump.empty()) {
        if (FILE* f = std::fopen(dump.c_str(), "w")) {
            for (const Row& r : rows) {
                std::fprintf(f, "%s:%s %d", r.we.c_str(), r.they.c_str(), first);
                for (int p : r.points) std::fprintf(f, " %d", p);
                std::fprintf(f, "\n");
            }
            std::fclose(f);
        }
    }
    return 0;
}

}  // namespace
}  // namespace pellow

int main(int argc, char** argv) { return pellow::Main(argc, argv); }
