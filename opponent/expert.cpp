#include "expert.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <optional>
#include <vector>

#include "engine/splitmix64.hpp"
#include "opponent/pellow_ai.hpp"

namespace pellow {

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

// Plays the deal out as PlayOut does, but each Classic seat plays the card its rules choose:
// `rules` is the same deal as the engine keeps it, for those rules to read.
void PlayOutWithRules(Sim& s, DealState& rules, unsigned classicSeats) {
    while (s.hand[s.toPlay]) {
        const int b = (classicSeats & (1u << s.toPlay)) ? kTables.bitOf[ChooseCard(rules, s.toPlay)] : PolicyCard(s);
        Play(s, b);
        PlayCard(rules, kTables.codeOf[b]);
    }
}

// `d` with the hands of `s`, in the order of their codes.
void SetHands(DealState& d, const Sim& s) {
    for (int q = 0; q < 4; ++q) {
        d.handCount[q] = 0;
        for (Mask m = s.hand[q]; m; m &= m - 1) d.hand[q][d.handCount[q]++] = kTables.codeOf[Lowest(m)];
    }
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

// Exact value (the team's points from here) of a deal with every hand in view. Each seat of
// `classicSeats` plays the one card its rules choose on `rules` (the same deal as the engine keeps
// it) rather than the card worst for the team.
int Solve(const Sim& s, const DealState* rules, unsigned classicSeats, int team, int alpha, int beta) {
    if (!s.hand[s.toPlay]) return s.points[team];
    // The rules' deal after card b, kept in r; none when no seat plays by the rules.
    auto after = [&](int b, std::optional<DealState>& r) -> const DealState* {
        if (!rules) return nullptr;
        r.emplace(*rules);
        PlayCard(*r, kTables.codeOf[b]);
        return &*r;
    };
    std::optional<DealState> r;
    if (classicSeats & (1u << s.toPlay)) {
        const int b = kTables.bitOf[ChooseCard(*rules, s.toPlay)];
        Sim c = s;
        Play(c, b);
        return Solve(c, after(b, r), classicSeats, team, alpha, beta);
    }
    const Mask legal = DistinctCards(s, Legal(s));
    const bool ours = TeamOf(s.toPlay) == team;
    // The policy's card first: it is usually best, which lets the bounds cut early.
    int first = PolicyCard(s);
    if (!(legal & Bit(first))) first = Lowest(legal);
    int best = ours ? -1 : 1000;
    for (Mask m = legal & ~Bit(first), next = Bit(first); next; next = m & (~m + 1), m &= m - 1) {
        const int b = Lowest(next);
        Sim c = s;
        Play(c, b);
        const int v = Solve(c, after(b, r), classicSeats, team, alpha, beta);
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

// What the deciding seat knows, and deals of the unseen cards consistent with it.
class Sampler {
public:
    Sampler(const DealState& d, int me, Mask mine) {
        Mask seen = mine;
        for (int code = 0; code < kCards; ++code)
            if (d.playedBy[code] >= 0) seen |= Bit(kTables.bitOf[code]);
        for (int b = 0; b < kCards; ++b)
            if (!(seen & Bit(b))) unseen_[unseenCount_++] = static_cast<std::int8_t>(b);
        for (int i = 0, seat = 0; seat < 4; ++seat) {
            if (seat == me) continue;
            seat_[i] = seat;
            cap_[i] = d.handCount[seat];
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
        for (int k = 0; k < 3; ++k) s.hand[seat_[k]] = 0;
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

    int UnseenCount() const { return unseenCount_; }
    int Unseen(int i) const { return unseen_[i]; }
    // The other seats, as k = 0..2.
    int Seat(int k) const { return seat_[k]; }
    bool Allows(int k, int suit) const { return (allowed_[suit] >> k) & 1u; }

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
};

Mask HandMask(const DealState& d, int seat) {
    Mask m = 0;
    for (int i = 0; i < d.handCount[seat]; ++i) m |= Bit(kTables.bitOf[d.hand[seat][i]]);
    return m;
}

// Two cards the seat may play are worth the same: same suit, same points, no unplayed card
// between them.
bool Alike(const Sim& s, int a, int b) {
    if (a == b) return true;
    if (BitSuit(a) != BitSuit(b) || Points(a, s.trumps) != Points(b, s.trumps)) return false;
    const int lo = std::min(a, b);
    const int hi = std::max(a, b);
    const Mask between = (Bit(hi) - 1) & ~((Bit(lo) << 1) - 1);
    return !((s.hand[0] | s.hand[1] | s.hand[2] | s.hand[3]) & between);
}

// How much likelier an Expert seat is to play the playout policy's card, on the deal as it
// truly lies, than any other card worth playing; a person, less so. The Expert agrees with the
// policy on about 57% of its choices among three or four cards.
constexpr float kPolicyWeight[3] = {1.5f, 1.0f, 3.0f};  // by SeatStyle: person, (Classic), Expert

// How an Expert seat names trumps, fitted to its choices (a log-odds per feature of a suit): it
// names its longest suit 96% of the time, and the nine of a suit weighs almost a card of length.
// A person is taken to follow the same leanings, half as strongly.
float TrumpLeaning(Mask suit) {
    auto has = [&](int strength) { return (suit >> strength) & 1 ? 1.0f : 0.0f; };
    return 4.4f * static_cast<float>(std::popcount(suit)) + 2.4f * has(12) + 1.5f * has(11) + 1.2f * has(10) +
           4.0f * has(7) + 0.5f * has(3);
}

// The log-likelihood that a seat holding `hand` (its thirteen cards) named `trumps`.
float TrumpChoiceLog(Mask hand, int trumps, float scale) {
    std::array<float, 4> leaning{};
    float top = -1e30f;
    for (int suit = 0; suit < 4; ++suit) {
        const Mask cards = (hand >> (13 * suit)) & 0x1FFF;
        leaning[suit] = cards ? scale * TrumpLeaning(cards) : -1e30f;
        top = std::max(top, leaning[suit]);
    }
    float sum = 0;
    for (float l : leaning) sum += std::exp(l - top);
    return leaning[trumps] - top - std::log(sum);
}

// The plays of Expert seats and of people, each judged on a whole sampled deal.
class SoftReading {
public:
    SoftReading(const PlayReading& reading, const SeatStyles& styles, int trumps) : trumps_(trumps) {
        for (const PlayReading::Moment& m : reading.Moments()) {
            Judged j;
            j.seat = m.seat;
            j.card = kTables.bitOf[m.card];
            for (int q = 0; q < 4; ++q)
                for (std::uint64_t c = m.toCome[q]; c; c &= c - 1) j.toCome[q] |= Bit(kTables.bitOf[std::countr_zero(c)]);
            for (int p = 0; p < m.trickCount; ++p) j.trick[p] = kTables.bitOf[m.trick[p]];
            j.trickCount = m.trickCount;
            j.leader = m.leader;
            j.weight = kPolicyWeight[static_cast<int>(styles[m.seat])];
            j.first = m.first;
            j.trumpScale = styles[m.seat] == SeatStyle::Expert ? 1.0f : 0.5f;
            judged_.push_back(j);
        }
    }
    bool Empty() const { return judged_.empty(); }

    // The log-likelihood of the plays on the deal whose hands are now `hands`; stops below floor.
    float Log(const std::array<Mask, 4>& hands, float floor) const {
        float sum = 0;
        for (auto it = judged_.rbegin(); it != judged_.rend() && sum >= floor; ++it) {
            const Judged& j = *it;
            Sim t;
            for (int q = 0; q < 4; ++q) t.hand[q] = hands[q] | j.toCome[q];
            t.trick = j.trick;
            t.trickCount = j.trickCount;
            t.leader = j.leader;
            t.toPlay = j.seat;
            t.trumps = trumps_;
            if (j.first) sum += TrumpChoiceLog(t.hand[j.seat], trumps_, j.trumpScale);
            const int choices = std::popcount(DistinctCards(t, Legal(t)));
            if (choices < 2) continue;
            const bool policy = Alike(t, PolicyCard(t), j.card);
            sum += std::log((policy ? j.weight : 1.0f) / (j.weight + static_cast<float>(choices - 1)));
        }
        return sum;
    }

private:
    struct Judged {
        int seat = 0;
        int card = 0;
        std::array<Mask, 4> toCome{};
        std::array<std::int8_t, 4> trick{};
        int trickCount = 0;
        int leader = 0;
        float weight = 1;
        // The deal's first card: the seat named trumps as it led it.
        bool first = false;
        float trumpScale = 1;
    };
    std::vector<Judged> judged_;
    int trumps_;
};

// Deals of the unseen cards drawn by how likely they make the plays seen: a chain of swaps of
// two cards between hidden hands, each swap kept with the chance the plays give it against the
// deal before (Metropolis), which draws deals in proportion to that likelihood.
class Believer {
public:
    Believer(const Sampler& sampler, const PlayReading& reading, const SoftReading& soft, Rng& rng, const Sim& start)
        : sampler_(sampler), reading_(reading), soft_(soft), n_(sampler.UnseenCount()), hands_(start.hand) {
        for (int i = 0; i < n_; ++i) {
            const Mask b = Bit(sampler.Unseen(i));
            owner_[i] = 0;
            for (int k = 0; k < 3; ++k)
                if (hands_[sampler.Seat(k)] & b) owner_[i] = static_cast<std::int8_t>(k);
        }
        for (int k = 0; k < 3; ++k) log_[k] = Log(k, hands_[sampler.Seat(k)], -1e30f);
        softLog_ = soft_.Log(hands_, -1e30f);
        Walk(rng, 0);
    }

    // Walks the chain `steps` proposals on.
    void Walk(Rng& rng, int steps) {
        for (int step = 0; step < steps; ++step) Propose(rng);
    }
    // Fills the other seats' hands of s from where the chain stands.
    void Deal(Sim& s) const {
        for (int k = 0; k < 3; ++k) s.hand[sampler_.Seat(k)] = hands_[sampler_.Seat(k)];
    }

private:
    float Log(int k, Mask hand, float floor) const {
        if (!reading_.ReadsSeat(sampler_.Seat(k))) return 0;
        std::array<std::int8_t, kHandCards> codes{};
        int count = 0;
        for (; hand && count < kHandCards; hand &= hand - 1) codes[count++] = kTables.codeOf[Lowest(hand)];
        return reading_.SeatLog(sampler_.Seat(k), codes.data(), count, floor);
    }

    void Propose(Rng& rng) {
        if (n_ < 2) return;
        const int i = rng.Below(n_);
        const int j = rng.Below(n_);
        const int a = owner_[i];
        const int b = owner_[j];
        const int ci = sampler_.Unseen(i);
        const int cj = sampler_.Unseen(j);
        if (a == b || !sampler_.Allows(a, BitSuit(cj)) || !sampler_.Allows(b, BitSuit(ci))) return;
        // Kept when the new likelihood reaches the old one times a uniform draw. Every part of
        // the likelihood is at most 1, so each part can end the test once it alone falls short.
        const double u = static_cast<double>((rng.Next() >> 11) + 1) * 0x1.0p-53;
        const int c = 3 - a - b;
        const float threshold = log_[0] + log_[1] + log_[2] + softLog_ + static_cast<float>(std::log(u));
        const Mask swap = Bit(ci) | Bit(cj);
        std::array<Mask, 4> next = hands_;
        next[sampler_.Seat(a)] ^= swap;
        next[sampler_.Seat(b)] ^= swap;
        const float la = Log(a, next[sampler_.Seat(a)], threshold - log_[c]);
        if (la + log_[c] < threshold) return;
        const float lb = Log(b, next[sampler_.Seat(b)], threshold - la - log_[c]);
        if (la + lb + log_[c] < threshold) return;
        const float soft = soft_.Empty() ? 0.0f : soft_.Log(next, threshold - la - lb - log_[c]);
        if (la + lb + log_[c] + soft < threshold) return;
        hands_ = next;
        owner_[i] = static_cast<std::int8_t>(b);
        owner_[j] = static_cast<std::int8_t>(a);
        log_[a] = la;
        log_[b] = lb;
        softLog_ = soft;
    }

    const Sampler& sampler_;
    const PlayReading& reading_;
    const SoftReading& soft_;
    int n_;
    std::array<Mask, 4> hands_{};
    std::array<float, 3> log_{};
    float softLog_ = 0;
    std::array<std::int8_t, kCards> owner_{};
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
Reckoning Search(const DealState& d, int me, Mask candidates, std::uint32_t seed, const ExpertSettings& cfg,
                 const SeatStyles& styles, bool valueLoneCard = false) {
    Reckoning r;
    if (std::has_single_bit(candidates) && !valueLoneCard) {
        r.best = Lowest(candidates);
        return r;
    }
    const Mask mine = HandMask(d, me);
    Rng rng(Mix(seed, KnowledgeHash(d, me, mine)));
    const Sampler sampler(d, me, mine);
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
    const int samples = exact
                            ? cfg.exactSamples
                            : std::clamp(cfg.cardBudget / (candidateCount * cardsLeft), cfg.minSamples, cfg.maxSamples);
    const int team = TeamOf(me);

    const PlayReading reading(d, me, styles);
    const SoftReading soft(reading, styles, d.trumps);
    std::optional<Believer> believer;
    if (reading.Informative()) {
        Sim start = base;
        sampler.Deal(rng, start);
        believer.emplace(sampler, reading, soft, rng, start);
        believer->Walk(rng, cfg.readBurnIn * sampler.UnseenCount());
    }

    // The Classic seats play their own rules in the playouts and the exact search: which card
    // they choose on a sampled deal is known, not guessed.
    unsigned classicSeats = 0;
    for (int q = 0; q < 4; ++q)
        if (q != me && styles[q] == SeatStyle::Classic) classicSeats |= 1u << q;

    std::array<int, kCards>& total = r.total;
    for (int n = 0; n < samples; ++n) {
        Sim world = base;
        if (believer) {
            believer->Walk(rng, cfg.readSteps * sampler.UnseenCount() / 8);
            believer->Deal(world);
        } else {
            sampler.Deal(rng, world);
        }
        // Every hand replaced by the sampled one: the rules read only what their seat may.
        DealState rules;
        if (classicSeats) {
            rules = d;
            SetHands(rules, world);
        }
        for (Mask m = candidates; m; m &= m - 1) {
            const int b = Lowest(m);
            Sim s = world;
            if (firstLead) s.trumps = BitSuit(b);
            Play(s, b);
            if (exact) {
                DealState r;
                if (classicSeats) {
                    r = rules;
                    PlayCard(r, kTables.codeOf[b]);
                }
                total[b] += Solve(s, classicSeats ? &r : nullptr, classicSeats, team, -1, 1000);
            } else if (classicSeats) {
                DealState r = rules;
                if (firstLead) r.trumps = static_cast<std::int8_t>(BitSuit(b));
                PlayCard(r, kTables.codeOf[b]);
                PlayOutWithRules(s, r, classicSeats);
                total[b] += s.points[team];
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

// Points to a tenth, as a player reads them.
float Tenths(double points) { return static_cast<float>(std::round(points * 10) / 10); }

}  // namespace

ExpertPlayer::ExpertPlayer(std::uint32_t seed, ExpertSettings settings, SeatStyles styles)
    : seed_(seed), settings_(settings), styles_(styles) {}

int ExpertPlayer::ChooseTrump(const DealState& d, int seat) const {
    return BitSuit(Search(d, seat, HandMask(d, seat), seed_, settings_, styles_).best);
}

int ExpertPlayer::ChooseCard(const DealState& d, int seat) const {
    Mask candidates = FirstLeadOfDeal(d) ? HandMask(d, seat) & SuitMask(d.trumps) : LegalMask(d);
    if (!candidates) candidates = HandMask(d, seat);  // trumps the seat cannot lead: any card
    return kTables.codeOf[Search(d, seat, candidates, seed_, settings_, styles_).best];
}

ExpertAdvice ExpertPlayer::Advise(const DealState& d, int seat) const {
    const Mask hand = HandMask(d, seat);
    const CardList playable = LegalCards(d);
    ExpertAdvice advice;
    // The searches ChooseTrump and ChooseCard make, kept with their totals. On the deal's first
    // lead every card is weighed with its own suit as trumps, then the cards of the best suit
    // again with more deals each: those cards show the second, finer figures.
    Reckoning wide = Search(d, seat, FirstLeadOfDeal(d) ? hand : LegalMask(d), seed_, settings_, styles_, true);
    Reckoning fine;
    Mask fineCards = 0;
    if (FirstLeadOfDeal(d)) {
        DealState asked = d;
        asked.trumps = static_cast<std::int8_t>(BitSuit(wide.best));
        fineCards = hand & SuitMask(asked.trumps);
        fine = Search(asked, seat, fineCards, seed_, settings_, styles_);
        if (fine.samples == 0) fineCards = 0;
        advice.card = kTables.codeOf[fine.best];
    } else {
        advice.card = kTables.codeOf[wide.best];
    }
    const int taken = DealPoints(d, TeamOf(seat));
    for (int i = 0; i < playable.count; ++i) {
        const int b = kTables.bitOf[playable.card[i]];
        const Reckoning& r = (fineCards & Bit(b)) ? fine : wide;
        advice.values[i] = {playable.card[i], Tenths(taken + static_cast<double>(r.total[b]) / r.samples)};
    }
    advice.count = playable.count;
    return advice;
}

std::optional<float> ExpertAdvice::PointsOf(int code) const {
    for (int i = 0; i < count; ++i)
        if (values[i].card == code) return values[i].points;
    return std::nullopt;
}

}  // namespace pellow
