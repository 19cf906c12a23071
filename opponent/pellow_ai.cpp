#include "pellow_ai.hpp"

#include <bit>
#include <cstdlib>

namespace pellow {

namespace {

// Below every score a card can get, even a forbidden one, so the first card always beats it.
constexpr float kNoScore = -10000.0f;

// The cards a seat has seen (both teams' taken cards, the table and its own hand), one bit per
// strength in each suit. The judgements all count from it.
class SeenCards {
public:
    SeenCards(const DealState& d, int seat) {
        auto see = [&](int c) { bits_[SuitOf(c)] |= 1u << StrengthOf(c); };
        for (int team = 0; team < 2; ++team)
            for (int i = 0; i < d.takenCount[team]; ++i) see(d.taken[team][i]);
        for (int i = 0; i < d.trickCount; ++i) see(d.trick[i]);
        for (int i = 0; i < d.handCount[seat]; ++i) see(d.hand[seat][i]);
    }
    int Higher(int suit, int strength) const { return std::popcount(bits_[suit] >> (strength + 1)); }
    int Lower(int suit, int strength) const { return std::popcount(bits_[suit] & ((1u << strength) - 1u)); }
    int InSuit(int suit) const { return std::popcount(bits_[suit]); }

private:
    unsigned bits_[4] = {};
};

bool SafeToLead(const DealState& d, int seat, const SeenCards& seen, int suit) {
    if (suit == d.trumps) return true;
    if (d.voidKnown[(seat + 1) % 4][suit] == 0 || d.voidKnown[(seat + 3) % 4][suit] == 0) return false;
    return 13 - seen.InSuit(suit) > 8;
}

bool TopTrumpLed(const DealState& d, const SeenCards& seen) {
    if (d.trickCount <= 0) return false;  // nothing led yet
    const int led = d.trick[0];
    if (!IsTrump(d, led)) return false;
    const int strength = StrengthOf(led);
    return 12 - strength - seen.Higher(d.trumps, strength) == 0;
}

// Shared by WinsTrick and WinsFollowingSuit, which differ only in whether a trump on a plain lead
// counts.
bool WouldWin(const DealState& d, int card, bool trumpOnlyOnTrumpLead) {
    if (d.trickCount <= 0) return false;
    const int strength = StrengthOf(card);
    const int led = d.trick[0];
    if (IsTrump(d, card)) {
        if (trumpOnlyOnTrumpLead && !IsTrump(d, led)) return false;
        for (int i = 0; i < d.trickCount; ++i)
            if (IsTrump(d, d.trick[i]) && StrengthOf(d.trick[i]) > strength) return false;
        return true;
    }
    if (SuitOf(card) != SuitOf(led) || StrengthOf(led) >= strength) return false;
    for (int i = 1; i < d.trickCount; ++i) {
        const int later = d.trick[i];
        if (IsTrump(d, later)) return false;
        if (SuitOf(later) == SuitOf(led) && StrengthOf(later) >= strength) return false;
    }
    return true;
}

}  // namespace

int CountHigherSeen(const DealState& d, int seat, int card) {
    return SeenCards(d, seat).Higher(SuitOf(card), StrengthOf(card));
}

int CountLowerSeen(const DealState& d, int seat, int card) {
    return SeenCards(d, seat).Lower(SuitOf(card), StrengthOf(card));
}

int CountSuitSeen(const DealState& d, int seat, int suit) { return SeenCards(d, seat).InSuit(suit); }

int IsTrump(const DealState& d, int card) { return SuitOf(card) == d.trumps ? 1 : 0; }

bool WinsTrick(const DealState& d, int card) { return WouldWin(d, card, false); }

bool WinsFollowingSuit(const DealState& d, int card) { return WouldWin(d, card, true); }

bool PartnerWinsAsThird(const DealState& d) {
    return d.trickCount == 2 && !CardBeats(d.trick[1], d.trick[0], d.trumps);
}

bool PartnerWinsAsFourth(const DealState& d) {
    if (d.trickCount != 3) return false;
    const int partner = d.trick[1];
    return CardBeats(partner, d.trick[2], d.trumps) && CardBeats(partner, d.trick[0], d.trumps);
}

int TrickPoints(const DealState& d) {
    int sum = 0;
    for (int i = 0; i < d.trickCount; ++i) sum += CardPoints(d.trick[i], d.trumps);
    return sum;
}

bool SuitSafeToLead(const DealState& d, int seat, int suit) { return SafeToLead(d, seat, SeenCards(d, seat), suit); }

bool LeadIsTopTrump(const DealState& d, int seat) { return TopTrumpLed(d, SeenCards(d, seat)); }

bool HoldsLeadSuit(const DealState& d, int seat) { return HoldsSuit(d, seat, LedSuit(d)); }

bool HasCard(const DealState& d, int seat, int strength, int suit) {
    for (int i = 0; i < d.handCount[seat]; ++i)
        if (SuitOf(d.hand[seat][i]) == suit && StrengthOf(d.hand[seat][i]) == strength) return true;
    return false;
}

float TrumpSuitScore(const DealState& d, int seat, int suit) {
    float score = 0.0f;
    float weight = 100.0f;
    for (int strength = 12; strength >= 0; --strength) {
        if (HasCard(d, seat, strength, suit)) score += weight;
        else weight /= 2.0f;
    }
    return score;
}

int ChooseTrump(const DealState& d, int seat) {
    int choice = 0;
    float best = -100.0f;
    for (int suit = 0; suit < 4; ++suit) {
        const float score = TrumpSuitScore(d, seat, suit);
        if (score > best) {  // strictly: a tie keeps the lower suit code
            best = score;
            choice = suit;
        }
    }
    return choice;
}

void ScoreHand(const DealState& d, int seat, HandEvals& evals) {
    const bool partnerWinsAsFourth = PartnerWinsAsFourth(d);
    const bool partnerWinsAsThird = PartnerWinsAsThird(d);
    const int trickPoints = TrickPoints(d);
    const float T = static_cast<float>(trickPoints);
    const SeenCards seen(d, seat);
    const int handCount = d.handCount[seat];

    // With the partner's lead winning and points on the table, the card led and the trumps
    // decide for the whole hand whether to feed the partner or hold back.
    bool leadIsTop = false;
    bool leadIsExposed = false;
    if (partnerWinsAsThird && trickPoints > 0) {
        const int ledSuit = LedSuit(d);
        const int ledStrength = StrengthOf(d.trick[0]);
        leadIsTop = TopTrumpLed(d, seen);
        leadIsExposed = seen.Lower(ledSuit, ledStrength) + seen.Higher(ledSuit, ledStrength) <= 5 ||
                        seen.InSuit(d.trumps) <= 5;
    }

    for (int i = 0; i < handCount; ++i) {
        const int card = d.hand[seat][i];
        CardEval& e = evals[i];
        e.suit = SuitOf(card);
        const int strength = StrengthOf(card);
        const int higher = seen.Higher(e.suit, strength);
        const int lower = seen.Lower(e.suit, strength);
        e.points = CardPoints(card, d.trumps);
        e.base = static_cast<float>(std::abs(higher - lower) + strength) + static_cast<float>(higher + lower) / 10.0f;
        e.rank = RankOf(card);
        e.wins = WinsTrick(d, card);
        e.isTrump = IsTrump(d, card);
        e.winsFollowing = WinsFollowingSuit(d, card);

        const float t = static_cast<float>(e.isTrump);
        const float p = static_cast<float>(e.points);
        // Nines and fives are the cards worth handing to a winning partner; the trump honours,
        // which also carry points, are held back.
        const float gift = (e.rank == 9 || e.rank == 5) ? 4.0f * p : -4.0f * p;

        if (partnerWinsAsFourth) {
            e.score = gift - 4.0f * t - e.base;
        } else if (partnerWinsAsThird && trickPoints > 0) {
            // Feeding a partner's unbeatable trump lead: the card's standing no longer matters,
            // and dropping it outright keeps equal gifts exactly equal, so ties go by hand order.
            if (leadIsTop) e.score = gift - 8.0f * t;
            else if (leadIsExposed) e.score = e.base - 4.0f * t - p / 4.0f;
            else e.score = e.base - 4.0f * t + gift;
        } else if (partnerWinsAsThird) {
            e.score = -e.base - 4.0f * t - 4.0f * p;
        } else if (d.trickCount == 0) {
            const bool master = 12 - strength - higher == 0 && SafeToLead(d, seat, seen, e.suit);
            e.score = master ? e.base + 4.0f * t + 8.0f * p : e.base - 4.0f * t - 4.0f * p;
        } else if (trickPoints > 0) {
            if (!e.wins) e.score = 5.0f - e.base - 4.0f * p;
            else if (!e.winsFollowing) e.score = 10.0f - 2.0f * e.base + 12.0f * T;
            else e.score = 10.0f - 2.0f * e.base + 24.0f * T;
        } else {
            e.score = e.winsFollowing ? 10.0f - 4.0f * t : 10.0f - e.base - 4.0f * t - 4.0f * p;
        }
    }

    // The duty to follow suit, and the first lead of a deal being a trump.
    if (d.trickCount > 0) {
        if (HoldsLeadSuit(d, seat)) {
            const int led = LedSuit(d);
            for (int i = 0; i < handCount; ++i)
                if (evals[i].suit != led) evals[i].score = kForbiddenScore;
        }
    } else if (FirstLeadOfDeal(d)) {
        for (int i = 0; i < handCount; ++i)
            if (evals[i].suit != d.trumps) evals[i].score = kForbiddenScore;
    }
}

int ChooseCard(const DealState& d, int seat) {
    HandEvals evals{};
    ScoreHand(d, seat, evals);
    int chosen = -1;
    float best = kNoScore;
    for (int i = 0; i < d.handCount[seat]; ++i) {
        if (evals[i].score > best) {  // strictly: the earlier card keeps a tie
            best = evals[i].score;
            chosen = i;
        }
    }
    return chosen < 0 ? -1 : d.hand[seat][chosen];
}

int RulesPlayer::ChooseTrump(const DealState& d, int seat) { return pellow::ChooseTrump(d, seat); }

int RulesPlayer::ChooseCard(const DealState& d, int seat) { return pellow::ChooseCard(d, seat); }

}  // namespace pellow
