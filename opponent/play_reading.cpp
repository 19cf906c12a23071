#include "play_reading.hpp"

#include <algorithm>
#include <cmath>

#include "opponent/pellow_ai.hpp"

namespace pellow {

namespace {

// One taken trick: where it lies in its team's pile, who led and who won it.
struct PileTrick {
    int team = 0;
    int first = 0;
    int leader = 0;
    int winner = 0;
};

// Tries the tricks of both piles in every interleaving that fits: each trick led by the winner of
// the one before, the deal's first card a trump, the last one the table shows as the last trick.
bool Interleave(const DealState& d, const std::array<std::vector<PileTrick>, 2>& piles, std::array<int, 2> next,
                int leader, std::vector<PileTrick>& out) {
    if (next[0] == static_cast<int>(piles[0].size()) && next[1] == static_cast<int>(piles[1].size())) {
        if (out.empty()) return true;
        const PileTrick& last = out.back();
        if (last.winner != d.trickLeader || last.winner != d.lastTrickWinner || last.leader != d.lastTrickLeader)
            return false;
        for (int p = 0; p < 4; ++p)
            if (d.taken[last.team][last.first + p] != d.lastTrick[p]) return false;
        return true;
    }
    for (int team = 0; team < 2; ++team) {
        if (next[team] == static_cast<int>(piles[team].size())) continue;
        const PileTrick& t = piles[team][next[team]];
        if (leader >= 0 ? t.leader != leader : SuitOf(d.taken[team][t.first]) != d.trumps) continue;
        out.push_back(t);
        std::array<int, 2> after = next;
        ++after[team];
        if (Interleave(d, piles, after, t.winner, out)) return true;
        out.pop_back();
    }
    return false;
}

}  // namespace

bool PlayOrder(const DealState& d, std::array<std::int8_t, kCards>& order) {
    std::array<std::vector<PileTrick>, 2> piles;
    for (int team = 0; team < 2; ++team) {
        if (d.takenCount[team] % 4 != 0) return false;
        for (int first = 0; first < d.takenCount[team]; first += 4) {
            std::array<std::int8_t, 4> trick{};
            for (int p = 0; p < 4; ++p) trick[p] = d.taken[team][first + p];
            const int leader = d.playedBy[trick[0]];
            if (leader < 0) return false;
            for (int p = 0; p < 4; ++p)
                if (d.playedBy[trick[p]] != (leader + 4 - p) % 4) return false;
            const int winner = (leader + 4 - WinningPosition(trick, 4, d.trumps)) % 4;
            if (TeamOf(winner) != team) return false;
            piles[team].push_back({team, first, leader, winner});
        }
    }
    std::vector<PileTrick> tricks;
    // -1: the deal's first trick, known by its trump lead.
    if (!Interleave(d, piles, {0, 0}, -1, tricks)) return false;
    if (tricks.empty() && d.trickCount > 0 && SuitOf(d.trick[0]) != d.trumps) return false;
    int n = 0;
    for (const PileTrick& t : tricks)
        for (int p = 0; p < 4; ++p) order[n++] = d.taken[t.team][t.first + p];
    for (int p = 0; p < d.trickCount; ++p) {
        if (d.playedBy[d.trick[p]] != (d.trickLeader + 4 - p) % 4) return false;
        order[n++] = d.trick[p];
    }
    return n == d.cardsPlayed;
}

PlayReading::PlayReading(const DealState& d, int me, const SeatStyles& styles, float classicMiss)
    : classicMiss_(classicMiss) {
    std::array<std::int8_t, kCards> order{};
    if (d.cardsPlayed == 0 || !PlayOrder(d, order)) return;
    // The deal again from its first card, each hand holding just the cards its seat played.
    DealState replay;
    for (int i = 0; i < d.cardsPlayed; ++i) GiveCard(replay, d.playedBy[order[i]], order[i]);
    BeginPlay(replay, d.playedBy[order[0]]);
    replay.trumps = d.trumps;
    std::array<std::uint64_t, 4> toCome{};
    for (int i = 0; i < d.cardsPlayed; ++i) toCome[d.playedBy[order[i]]] |= std::uint64_t{1} << order[i];
    for (int i = 0; i < d.cardsPlayed; ++i) {
        const int seat = replay.toPlay;
        if (d.playedBy[order[i]] != seat) {
            for (auto& seen : bySeat_) seen.clear();
            moments_.clear();
            return;
        }
        if (seat != me && styles[seat] == SeatStyle::Classic) {
            bySeat_[seat].push_back({replay, order[i], i == 0});
        } else if (seat != me) {
            moments_.push_back({seat, order[i], toCome, replay.trick, replay.trickCount, replay.trickLeader, i == 0});
        }
        toCome[seat] &= ~(std::uint64_t{1} << order[i]);
        PlayCard(replay, order[i]);
    }
    informative_ = !moments_.empty();
    for (int seat = 0; seat < 4; ++seat) informative_ = informative_ || !bySeat_[seat].empty();
}

float PlayReading::SeatLog(int seat, const std::int8_t* hidden, int count, float floor) const {
    float sum = 0;
    // The latest plays first: they were made from the fewest cards and say the most.
    for (auto it = bySeat_[seat].rbegin(); it != bySeat_[seat].rend() && sum >= floor; ++it)
        sum += PlayLog(*it, hidden, count);
    return sum;
}

float PlayReading::PlayLog(const Seen& s, const std::int8_t* hidden, int count) const {
    const int seat = s.before.toPlay;
    // The seat's hand at the time: the cards it played from then on and the hidden ones.
    DealState d = s.before;
    for (int i = 0; i < count; ++i) d.hand[seat][d.handCount[seat]++] = hidden[i];
    {
        float log = 0;
        if (s.chooseTrumps && ChooseTrump(d, seat) != d.trumps) log += classicMiss_;
        HandEvals evals{};
        ScoreHand(d, seat, evals);
        float best = kForbiddenScore;
        int bestCount = 0;
        float played = kForbiddenScore;
        for (int i = 0; i < d.handCount[seat]; ++i) {
            if (evals[i].score > best) {
                best = evals[i].score;
                bestCount = 0;
            }
            if (evals[i].score == best) ++bestCount;
            if (d.hand[seat][i] == s.card) played = evals[i].score;
        }
        // Among cards its rules score alike, the hand's order, which no one sees, decides.
        return log + (played == best ? -std::log(static_cast<float>(bestCount)) : classicMiss_);
    }
}

}  // namespace pellow
