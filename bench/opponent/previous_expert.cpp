// A frozen copy of the Expert's search before it weighed the deals it samples by the plays seen;
// see previous_expert.hpp.
#include "previous_expert.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>

#include "engine/splitmix64.hpp"

namespace pellow::previous {

namespace {

// The search keeps a deal as four 52-bit hands: bit suit * 13 + strength, so a suit is a run of
// thirteen bits and a higher bit in the run is a stronger card. A playout then costs a few
// mask operations per card instead of list scans.
using Mask = std::uint64_t;

constexpr Mask Bit(int b) { return Mask{1} << b; }
constexpr Mask SuitMask(int suit) { return Mask{0x1FFF} << (13 * suit); }
constexpr int BitSuit(int b) { return b / 13; }
constexpr int BitStrength(int b) { return b % 13; }
int Lowest(Mask m) { return std::countr_zero(m); }
int Highest(Mask m) { return 63 - std::countl_zero(m); }

struct CardTables {
    std::array<std::int8_t, kCards> bitOf{};
    std::array<std::int8_t, kCards> codeOf{};
    std::array<std::array<std::int8_t, kCards>, 4> points{};  // [trumps][bit]
};

constexpr CardTables MakeTables() {
    CardTables t{};
    for (int code = 0; code < kCards; ++code) {
        const int b = SuitOf(code) * 13 + StrengthOf(code);
        t.bitOf[code] = static_cast<std::int8_t>(b);
        t.codeOf[b] = static_cast<std::int8_t>(code);
        for (int trumps = 0; trumps < 4; ++trumps)
            t.points[trumps][b] = static_cast<std::int8_t>(CardPoints(code, trumps));
    }
    return t;
}
constexpr CardTables kTables = MakeTables();

int Points(int b, int trumps) { return kTables.points[trumps][b]; }

// Good enough to deal cards.
class Rng : public SplitMix64 {
public:
    using SplitMix64::SplitMix64;
    // Uniform in [0, n).
    int Below(int n) { return static_cast<int>(((Next() >> 32) * static_cast<std::uint64_t>(n)) >> 32); }
};

std::uint64_t Mix(std::uint64_t h, std::uint64_t v) {
    h ^= v + 0x9E3779B97F4A7C15ull + (h << 6) + (h >> 2);
    return h * 0xFF51AFD7ED558CCDull;
}

// One deal in play with every hand filled in; points count only tricks taken from here on.
struct Sim {
    std::array<Mask, 4> hand{};
    std::array<std::int8_t, 4> trick{};
    int trickCount = 0;
    int leader = 0;
    int toPlay = 0;
    int trumps = 0;
    std::array<int, 2> points{};
};

bool Beats(int challenger, int holder, int trumps) {
    if (BitSuit(challenger) == trumps) return BitSuit(holder) != trumps || challenger > holder;
    return BitSuit(challenger) == BitSuit(holder) && challenger > holder;
}

int WinningPos(const Sim& s) {
    int pos = 0;
    for (int p = 1; p < s.trickCount; ++p)
        if (Beats(s.trick[p], s.trick[pos], s.trumps)) pos = p;
    return pos;
}

void Play(Sim& s, int b) {
    s.hand[s.toPlay] &= ~Bit(b);
    s.trick[s.trickCount++] = static_cast<std::int8_t>(b);
    if (s.trickCount < 4) {
        s.toPlay = NextSeat(s.toPlay);
        return;
    }
    const int winner = (s.leader + 4 - WinningPos(s)) % 4;
    s.points[TeamOf(winner)] += Points(s.trick[0], s.trumps) + Points(s.trick[1], s.trumps) +
                                Points(s.trick[2], s.trumps) + Points(s.trick[3], s.trumps);
    s.trickCount = 0;
    s.leader = s.toPlay = winner;
}

Mask Playable(Mask hand, int led) {
    const Mask follow = hand & SuitMask(led);
    return follow ? follow : hand;
}

Mask Legal(const Sim& s) {
    const Mask h = s.hand[s.toPlay];
    return s.trickCount == 0 ? h : Playable(h, BitSuit(s.trick[0]));
}

// Cards that would beat `w` were they played on it.
Mask Beaters(int w, int trumps) {
    const Mask above = SuitMask(BitSuit(w)) & ~((Bit(w) << 1) - 1);
    return BitSuit(w) == trumps ? above : above | SuitMask(trumps);
}

// An opponent still to play in this trick can beat `w`.
bool Threatened(const Sim& s, int w, int led) {
    const Mask beaters = Beaters(w, s.trumps);
    int q = s.toPlay;
    for (int k = s.trickCount + 1; k < 4; ++k) {
        q = NextSeat(q);
        if (TeamOf(q) != TeamOf(s.toPlay) && (Playable(s.hand[q], led) & beaters)) return true;
    }
    return false;
}

// The card of `m` that maximises key(b); the lowest bit on a tie.
template <typename Key>
int BestBy(Mask m, Key key) {
    int best = Lowest(m);
    int bestKey = key(best);
    for (m &= m - 1; m; m &= m - 1) {
        const int b = Lowest(m);
        const int k = key(b);
        if (k > bestKey) {
            best = b;
            bestKey = k;
        }
    }
    return best;
}

// The playout policy: plays with every hand in view (each sampled deal is played as if open),
// which keeps it cheap and makes all four seats play sensibly.
int PolicyCard(const Sim& s) {
    const int me = s.toPlay;
    const int trumps = s.trumps;
    const Mask legal = Legal(s);
    if (std::has_single_bit(legal)) return Lowest(legal);
    auto trump = [&](int b) { return BitSuit(b) == trumps ? 1 : 0; };
    // Lose as little as possible: no points, no trumps, a low card.
    auto duck = [&](int b) { return -(Points(b, trumps) * 64 + trump(b) * 32 + BitStrength(b)); };
    // Give points to the winning side of the trick, keeping trumps and high cards.
    auto feed = [&](int b) { return Points(b, trumps) * 64 - trump(b) * 32 - BitStrength(b); };

    if (s.trickCount == 0) {
        const Mask remaining = s.hand[0] | s.hand[1] | s.hand[2] | s.hand[3];
        const Mask oppHands = s.hand[(me + 1) % 4] | s.hand[(me + 3) % 4];
        const Mask trumpMask = SuitMask(trumps);
        // Draw the opponents' trumps with the top one.
        if ((legal & trumpMask) && (oppHands & trumpMask)) {
            const int top = Highest(remaining & trumpMask);
            if (legal & Bit(top)) return top;
        }
        // Cash a top card the opponents must follow or cannot ruff, a nine or five first.
        int best = -1;
        int bestPoints = -1;
        for (int suit = 0; suit < 4; ++suit) {
            if (suit == trumps || !(legal & SuitMask(suit))) continue;
            const int top = Highest(remaining & SuitMask(suit));
            if (!(legal & Bit(top))) continue;
            bool safe = true;
            for (int opp : {(me + 1) % 4, (me + 3) % 4})
                if (!(s.hand[opp] & SuitMask(suit)) && (s.hand[opp] & trumpMask)) safe = false;
            if (safe && Points(top, trumps) > bestPoints) {
                best = top;
                bestPoints = Points(top, trumps);
            }
        }
        if (best >= 0) return best;
        return BestBy(legal, duck);
    }

    const int led = BitSuit(s.trick[0]);
    const int pos = WinningPos(s);
    const int w = s.trick[pos];
    const int winner = (s.leader + 4 - pos) % 4;
    if (TeamOf(winner) == TeamOf(me)) return Threatened(s, w, led) ? BestBy(legal, duck) : BestBy(legal, feed);

    Mask safeWinners = 0;
    for (Mask m = legal & Beaters(w, trumps); m; m &= m - 1)
        if (!Threatened(s, Lowest(m), led)) safeWinners |= Bit(Lowest(m));
    if (safeWinners) return BestBy(safeWinners, feed);
    return BestBy(legal, duck);
}

void PlayOut(Sim& s) {
    while (s.hand[s.toPlay]) Play(s, PolicyCard(s));
}

// Drops each card that is worth the same as the next lower one the seat may play: same suit,
// same points, and no unplayed card between them.
Mask DistinctCards(const Sim& s, Mask legal) {
    const Mask unplayed = s.hand[0] | s.hand[1] | s.hand[2] | s.hand[3];
    Mask kept = 0;
    int prev = -1;
    for (Mask m = legal; m; m &= m - 1) {
        const int b = Lowest(m);
        const bool same = prev >= 0 && BitSuit(prev) == BitSuit(b) &&
                          !(unplayed & (Bit(b) - 1) & ~((Bit(prev) << 1) - 1)) &&
                          Points(prev, s.trumps) == Points(b, s.trumps);
        if (!same) kept |= Bit(b);
        prev = b;
    }
    return kept;
}

// Exact value (the team's points from here) of a deal with every hand in view.
int Solve(const Sim& s, int team, int alpha, int beta) {
    const Mask legal = DistinctCards(s, Legal(s));
    if (!legal) return s.points[team];
    const bool ours = TeamOf(s.toPlay) == team;
    // The policy's card first: it is usually best, which lets the bounds cut early.
    int first = PolicyCard(s);
    if (!(legal & Bit(first))) first = Lowest(legal);
    int best = ours ? -1 : 1000;
    for (Mask m = legal & ~Bit(first), next = Bit(first); next; next = m & (~m + 1), m &= m - 1) {
        const int b = Lowest(next);
        Sim c = s;
        Play(c, b);
        const int v = Solve(c, team, alpha, beta);
        if (ours) {
            best = std::max(best, v);
            alpha = std::max(alpha, v);
        } else {
            best = std::min(best, v);
            beta = std::min(beta, v);
        }
        if (alpha >= beta) break;
    }
    return best;
}

Mask HandMask(const DealState& d, int seat) {
    Mask m = 0;
    for (int i = 0; i < d.handCount[seat]; ++i) m |= Bit(kTables.bitOf[d.hand[seat][i]]);
    return m;
}

// What the deciding seat knows, and deals of the unseen cards consistent with it.
class Sampler {
public:
    Sampler(const DealState& d, int me, Mask mine, unsigned told) {
        Mask seen = mine;
        // A told seat's cards are seen, and dealt back to it unchanged.
        for (int seat = 0; seat < 4; ++seat)
            if (seat != me && (told & (1u << seat))) {
                toldHand_[seat] = HandMask(d, seat);
                seen |= toldHand_[seat];
            }
        for (int code = 0; code < kCards; ++code)
            if (d.playedBy[code] >= 0) seen |= Bit(kTables.bitOf[code]);
        for (int b = 0; b < kCards; ++b)
            if (!(seen & Bit(b))) unseen_[unseenCount_++] = static_cast<std::int8_t>(b);
        for (int i = 0, seat = 0; seat < 4; ++seat) {
            if (seat == me) continue;
            seat_[i] = seat;
            cap_[i] = d.handCount[seat] - std::popcount(toldHand_[seat]);
            for (int suit = 0; suit < 4; ++suit)
                if (!(d.shownVoid[seat] & (1u << suit))) allowed_[suit] |= 1u << i;
            ++i;
        }
    }

    // Fills the other seats' hands of s.
    void Deal(Rng& rng, Sim& s) const {
        std::array<std::int8_t, kCards> cards = unseen_;
        for (int i = unseenCount_ - 1; i > 0; --i) std::swap(cards[i], cards[rng.Below(i + 1)]);
        std::array<int, 4> left{};
        for (int i = 0; i < unseenCount_; ++i) ++left[BitSuit(cards[i])];
        std::array<int, 3> cap = cap_;
        for (int k = 0; k < 3; ++k) s.hand[seat_[k]] = toldHand_[seat_[k]];
        for (int i = 0; i < unseenCount_; ++i) {
            const int b = cards[i];
            const int suit = BitSuit(b);
            --left[suit];
            // Among the seats that may hold the card and can still take the rest, by room left.
            std::array<int, 3> weight{};
            int total = 0;
            for (int k = 0; k < 3; ++k) {
                if (!(allowed_[suit] & (1u << k)) || cap[k] == 0) continue;
                --cap[k];
                if (Feasible(left, cap)) weight[k] = cap[k] + 1;
                ++cap[k];
                total += weight[k];
            }
            int k = 0;
            if (total > 0) {
                int r = rng.Below(total);
                while (r >= weight[k]) r -= weight[k++];
            } else {
                while (cap[k] == 0) ++k;  // what the seat saw cannot be: deal it anyway
            }
            --cap[k];
            s.hand[seat_[k]] |= Bit(b);
        }
    }

private:
    // Every set of seats has room for the cards that only it may hold.
    bool Feasible(const std::array<int, 4>& left, const std::array<int, 3>& cap) const {
        for (unsigned set = 0; set < 7; ++set) {
            int need = 0;
            for (int suit = 0; suit < 4; ++suit)
                if ((allowed_[suit] & ~set) == 0) need += left[suit];
            int room = 0;
            for (int k = 0; k < 3; ++k)
                if (set & (1u << k)) room += cap[k];
            if (need > room) return false;
        }
        return true;
    }

    std::array<std::int8_t, kCards> unseen_{};
    int unseenCount_ = 0;
    std::array<int, 3> seat_{};
    std::array<int, 3> cap_{};
    std::array<unsigned, 4> allowed_{};
    std::array<Mask, 4> toldHand_{};
};

// A digest of everything the seat knows, and nothing it does not: the seed of a decision's draws.
std::uint64_t KnowledgeHash(const DealState& d, int me, Mask mine) {
    std::uint64_t h = Mix(0x5EED, static_cast<std::uint64_t>(me));
    h = Mix(h, mine);
    for (int code = 0; code < kCards; ++code) h = Mix(h, static_cast<std::uint64_t>(d.playedBy[code] + 1));
    for (int i = 0; i < d.trickCount; ++i) h = Mix(h, static_cast<std::uint64_t>(d.trick[i]));
    h = Mix(h, static_cast<std::uint64_t>(d.trickLeader));
    // Before the first lead trumps are not yet known, and choosing them must sample as the lead does.
    if (d.cardsPlayed > 0) h = Mix(h, static_cast<std::uint64_t>(d.trumps));
    for (int seat = 0; seat < 4; ++seat) {
        h = Mix(h, d.shownVoid[seat]);
        h = Mix(h, static_cast<std::uint64_t>(d.handCount[seat]));
    }
    return h;
}

// What a search found: the best candidate, and each candidate's total over the sampled deals.
struct Reckoning {
    int best = -1;
    // 0 when the only candidate was taken without a search.
    int samples = 0;
    std::array<int, kCards> total{};
};

// The candidate with the best total points for the seat's team over the sampled deals. On the
// first lead of a deal each candidate names its own suit as trumps. A lone candidate is taken
// unsearched unless its value is wanted.
Reckoning Search(const DealState& d, int me, Mask candidates, std::uint32_t seed, const PreviousSettings& cfg,
                 unsigned told, bool valueLoneCard = false) {
    Reckoning r;
    if (std::has_single_bit(candidates) && !valueLoneCard) {
        r.best = Lowest(candidates);
        return r;
    }
    const Mask mine = HandMask(d, me);
    Rng rng(Mix(seed, KnowledgeHash(d, me, mine)));
    const Sampler sampler(d, me, mine, told);
    const bool firstLead = FirstLeadOfDeal(d);

    Sim base;
    base.hand[me] = mine;
    for (int i = 0; i < d.trickCount; ++i) base.trick[i] = kTables.bitOf[d.trick[i]];
    base.trickCount = d.trickCount;
    base.leader = d.trickLeader;
    base.toPlay = me;
    base.trumps = d.trumps;

    const int cardsLeft = kCards - d.cardsPlayed;
    const int candidateCount = std::popcount(candidates);
    const bool exact = cardsLeft + d.trickCount <= 4 * cfg.exactTricks;
    // With every other hand told there is only the one deal to search.
    const bool allTold = (told | (1u << me)) == 0xFu;
    const int samples = allTold ? 1
                        : exact
                            ? cfg.exactSamples
                            : std::clamp(cfg.cardBudget / (candidateCount * cardsLeft), cfg.minSamples, cfg.maxSamples);
    const int team = TeamOf(me);

    std::array<int, kCards>& total = r.total;
    for (int n = 0; n < samples; ++n) {
        Sim world = base;
        sampler.Deal(rng, world);
        for (Mask m = candidates; m; m &= m - 1) {
            const int b = Lowest(m);
            Sim s = world;
            if (firstLead) s.trumps = BitSuit(b);
            Play(s, b);
            if (exact) {
                total[b] += Solve(s, team, -1, 1000);
            } else {
                PlayOut(s);
                total[b] += s.points[team];
            }
        }
    }
    r.samples = samples;
    r.best = BestBy(candidates, [&](int b) { return total[b]; });
    return r;
}

Mask LegalMask(const DealState& d) {
    Mask m = 0;
    const CardList legal = LegalCards(d);
    for (int i = 0; i < legal.count; ++i) m |= Bit(kTables.bitOf[legal.card[i]]);
    return m;
}

}  // namespace

PreviousExpert::PreviousExpert(std::uint32_t seed, PreviousSettings settings, unsigned toldSeats)
    : seed_(seed), settings_(settings), told_(toldSeats) {}

int PreviousExpert::ChooseTrump(const DealState& d, int seat) const {
    return BitSuit(Search(d, seat, HandMask(d, seat), seed_, settings_, told_).best);
}

int PreviousExpert::ChooseCard(const DealState& d, int seat) const {
    Mask candidates = FirstLeadOfDeal(d) ? HandMask(d, seat) & SuitMask(d.trumps) : LegalMask(d);
    if (!candidates) candidates = HandMask(d, seat);  // trumps the seat cannot lead: any card
    return kTables.codeOf[Search(d, seat, candidates, seed_, settings_, told_).best];
}

}  // namespace pellow::previous
