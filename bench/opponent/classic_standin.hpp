#pragma once
// The Classic rule set's scores, read from a DealState: the measuring opponent until the rule set
// itself reads the rules core.
#include <bit>
#include <cstdlib>

#include "engine/rules.hpp"

namespace pellow::standin {

class Seen {
public:
    Seen(const DealState& d, int seat) {
        for (int c = 0; c < kCards; ++c)
            if (d.playedBy[c] >= 0) bits_[SuitOf(c)] |= 1u << StrengthOf(c);
        for (int i = 0; i < d.handCount[seat]; ++i)
            bits_[SuitOf(d.hand[seat][i])] |= 1u << StrengthOf(d.hand[seat][i]);
    }
    int Higher(int suit, int s) const { return std::popcount(bits_[suit] >> (s + 1)); }
    int Lower(int suit, int s) const { return std::popcount(bits_[suit] & ((1u << s) - 1u)); }
    int InSuit(int suit) const { return std::popcount(bits_[suit]); }

private:
    unsigned bits_[4] = {};
};

inline bool WouldWin(const DealState& d, int card, bool trumpOnlyOnTrumpLead) {
    if (d.trickCount <= 0) return false;
    const int strength = StrengthOf(card);
    const int led = d.trick[0];
    const int t = d.trumps;
    if (SuitOf(card) == t) {
        if (trumpOnlyOnTrumpLead && SuitOf(led) != t) return false;
        for (int i = 0; i < d.trickCount; ++i)
            if (SuitOf(d.trick[i]) == t && StrengthOf(d.trick[i]) > strength) return false;
        return true;
    }
    if (SuitOf(card) != SuitOf(led) || StrengthOf(led) >= strength) return false;
    for (int i = 1; i < d.trickCount; ++i) {
        const int later = d.trick[i];
        if (SuitOf(later) == t) return false;
        if (SuitOf(later) == SuitOf(led) && StrengthOf(later) >= strength) return false;
    }
    return true;
}

inline int ClassicTrump(const DealState& d, int seat) {
    int choice = 0;
    float best = -100.0f;
    for (int suit = 0; suit < 4; ++suit) {
        float score = 0.0f, weight = 100.0f;
        for (int strength = 12; strength >= 0; --strength) {
            bool has = false;
            for (int i = 0; i < d.handCount[seat]; ++i)
                if (SuitOf(d.hand[seat][i]) == suit && StrengthOf(d.hand[seat][i]) == strength) has = true;
            if (has) score += weight;
            else weight /= 2.0f;
        }
        if (score > best) {
            best = score;
            choice = suit;
        }
    }
    return choice;
}

inline int ClassicCard(const DealState& d, int seat) {
    const int t = d.trumps;
    const Seen seen(d, seat);
    auto safeToLead = [&](int suit) {
        if (suit == t) return true;
        if (d.voidKnown[(seat + 1) % 4][suit] == 0 || d.voidKnown[(seat + 3) % 4][suit] == 0) return false;
        return 13 - seen.InSuit(suit) > 8;
    };
    const bool asFourth = d.trickCount == 3 && CardBeats(d.trick[1], d.trick[2], t) &&
                          CardBeats(d.trick[1], d.trick[0], t);
    const bool asThird = d.trickCount == 2 && !CardBeats(d.trick[1], d.trick[0], t);
    int trickPoints = 0;
    for (int i = 0; i < d.trickCount; ++i) trickPoints += CardPoints(d.trick[i], t);
    const float T = static_cast<float>(trickPoints);
    bool leadIsTop = false, leadIsExposed = false;
    if (asThird && trickPoints > 0) {
        const int ls = SuitOf(d.trick[0]), lst = StrengthOf(d.trick[0]);
        leadIsTop = ls == t && 12 - lst - seen.Higher(t, lst) == 0;
        leadIsExposed = seen.Lower(ls, lst) + seen.Higher(ls, lst) <= 5 || seen.InSuit(t) <= 5;
    }
    const bool canFollow = d.trickCount > 0 && HoldsSuit(d, seat, LedSuit(d));
    int chosen = -1;
    float bestScore = -10000.0f;
    for (int i = 0; i < d.handCount[seat]; ++i) {
        const int card = d.hand[seat][i];
        const int suit = SuitOf(card), strength = StrengthOf(card);
        const int higher = seen.Higher(suit, strength), lower = seen.Lower(suit, strength);
        const float p = static_cast<float>(CardPoints(card, t));
        const float base = static_cast<float>(std::abs(higher - lower) + strength) +
                           static_cast<float>(higher + lower) / 10.0f;
        const float tr = suit == t ? 1.0f : 0.0f;
        const bool wins = WouldWin(d, card, false), winsFollowing = WouldWin(d, card, true);
        const float gift = (RankOf(card) == 9 || RankOf(card) == 5) ? 4.0f * p : -4.0f * p;
        float score;
        if (asFourth) {
            score = gift - 4.0f * tr - base;
        } else if (asThird && trickPoints > 0) {
            if (leadIsTop) score = gift - 8.0f * tr;
            else if (leadIsExposed) score = base - 4.0f * tr - p / 4.0f;
            else score = base - 4.0f * tr + gift;
        } else if (asThird) {
            score = -base - 4.0f * tr - 4.0f * p;
        } else if (d.trickCount == 0) {
            const bool master = 12 - strength - higher == 0 && safeToLead(suit);
            score = master ? base + 4.0f * tr + 8.0f * p : base - 4.0f * tr - 4.0f * p;
        } else if (trickPoints > 0) {
            if (!wins) score = 5.0f - base - 4.0f * p;
            else if (!winsFollowing) score = 10.0f - 2.0f * base + 12.0f * T;
            else score = 10.0f - 2.0f * base + 24.0f * T;
        } else {
            score = winsFollowing ? 10.0f - 4.0f * tr : 10.0f - base - 4.0f * tr - 4.0f * p;
        }
        if (canFollow && suit != LedSuit(d)) score = -8000.0f;
        if (d.trickCount == 0 && d.cardsPlayed == 0 && suit != t) score = -8000.0f;
        if (score > bestScore) {
            bestScore = score;
            chosen = card;
        }
    }
    return chosen;
}

}  // namespace pellow::standin
