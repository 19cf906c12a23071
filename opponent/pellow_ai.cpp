#include "pellow_ai.hpp"

#include <bit>
#include <cstdlib>

#include "engine/cards.hpp"

namespace pellow {

namespace {

// Below every score a card can get, even a forbidden one, so the first card always beats it.
constexpr float kNoScore = -10000.0f;

int SuitOf(const Match& m, const CardSprite& card) { return m.cardSuit[card.card]; }
int StrengthOf(const Match& m, const CardSprite& card) { return Strength(m, card.card); }
int LedSuit(const Match& m) { return SuitOf(m, m.trickCards[0]); }

// The cards a seat has seen (both taken piles, the table and its own hand), one bit per
// strength in each suit. The judgements all count from it.
class SeenCards {
public:
    SeenCards(const Match& m, int handCount, const AiHand& hand) {
        auto see = [&](const CardSprite& c) { bits_[SuitOf(m, c)] |= 1u << StrengthOf(m, c); };
        for (int i = 0; i < m.ourPileCount; ++i) see(m.ourPile[i]);
        for (int i = 0; i < m.theirPileCount; ++i) see(m.theirPile[i]);
        for (int i = 0; i < m.trickCount; ++i) see(m.trickCards[i]);
        for (int i = 0; i < handCount; ++i) see(hand[i]);
    }
    int Higher(int suit, int strength) const { return std::popcount(bits_[suit] >> (strength + 1)); }
    int Lower(int suit, int strength) const {
        return std::popcount(bits_[suit] & ((1u << strength) - 1u));
    }
    int InSuit(int suit) const { return std::popcount(bits_[suit]); }

private:
    unsigned bits_[4] = {};
};

bool SafeToLead(const Match& m, const SeenCards& seen, int suit) {
    if (suit == m.trumpSuit) return true;
    if (m.voidKnown[SeatAtOffset(m, 1)][suit] == 0 || m.voidKnown[SeatAtOffset(m, 3)][suit] == 0)
        return false;
    return 13 - seen.InSuit(suit) > 8;
}

bool TopTrumpLed(const Match& m, const SeenCards& seen) {
    if (m.trickCount <= 0) return false;  // nothing led yet: slot 0 may hold an old card
    const CardSprite& led = m.trickCards[0];
    if (!IsTrump(m, led)) return false;
    const int strength = StrengthOf(m, led);
    return 12 - strength - seen.Higher(m.trumpSuit, strength) == 0;
}

// Shared by WinsTrick and WinsFollowingSuit, which differ only in whether a trump on a plain lead
// counts.
bool WouldWin(const Match& m, const CardSprite& card, bool trumpOnlyOnTrumpLead) {
    if (m.trickCount <= 0) return false;
    const int strength = StrengthOf(m, card);
    const CardSprite& led = m.trickCards[0];
    if (IsTrump(m, card)) {
        if (trumpOnlyOnTrumpLead && !IsTrump(m, led)) return false;
        for (int i = 0; i < m.trickCount; ++i)
            if (IsTrump(m, m.trickCards[i]) && StrengthOf(m, m.trickCards[i]) > strength)
                return false;
        return true;
    }
    if (SuitOf(m, card) != SuitOf(m, led) || StrengthOf(m, led) >= strength) return false;
    for (int i = 1; i < m.trickCount; ++i) {
        const CardSprite& later = m.trickCards[i];
        if (IsTrump(m, later)) return false;
        if (SuitOf(m, later) == SuitOf(m, led) && StrengthOf(m, later) >= strength) return false;
    }
    return true;
}

}  // namespace

AiHand HandOfSeat(const Match& m, int seat) {
    AiHand hand{};
    const auto& codes = HandCodes(m, seat);
    for (int i = 0; i < HandCount(m, seat); ++i) hand[i].card = codes[i];
    return hand;
}

int CountHigherSeen(const Match& m, const CardSprite& card, int handCount, const AiHand& hand) {
    return SeenCards(m, handCount, hand).Higher(SuitOf(m, card), StrengthOf(m, card));
}

int CountLowerSeen(const Match& m, const CardSprite& card, int handCount, const AiHand& hand) {
    return SeenCards(m, handCount, hand).Lower(SuitOf(m, card), StrengthOf(m, card));
}

int CountSuitSeen(const Match& m, int handCount, const AiHand& hand, int suit) {
    return SeenCards(m, handCount, hand).InSuit(suit);
}

int IsTrump(const Match& m, const CardSprite& card) { return SuitOf(m, card) == m.trumpSuit ? 1 : 0; }

bool WinsTrick(const Match& m, const CardSprite& card) { return WouldWin(m, card, false); }

bool WinsFollowingSuit(const Match& m, const CardSprite& card) { return WouldWin(m, card, true); }

bool PartnerWinsAsThird(const Match& m) {
    return m.trickCount % 4 == 2 && !CardBeats(m, m.trickCards[1].card, m.trickCards[0].card);
}

bool PartnerWinsAsFourth(const Match& m) {
    if (m.trickCount % 4 != 3) return false;
    const int partner = m.trickCards[1].card;
    return CardBeats(m, partner, m.trickCards[2].card) && CardBeats(m, partner, m.trickCards[0].card);
}

int TrickPoints(const Match& m) {
    int sum = 0;
    for (int i = 0; i < m.trickCount; ++i) sum += CardPoints(m, m.trickCards[i]);
    return sum;
}

bool SuitSafeToLead(const Match& m, int handCount, const AiHand& hand, int suit) {
    return SafeToLead(m, SeenCards(m, handCount, hand), suit);
}

bool LeadIsTopTrump(const Match& m, int handCount, const AiHand& hand) {
    return TopTrumpLed(m, SeenCards(m, handCount, hand));
}

bool HoldsLeadSuit(const Match& m, int handCount, const AiHand& hand) {
    const int led = LedSuit(m);
    for (int i = 0; i < handCount; ++i)
        if (SuitOf(m, hand[i]) == led) return true;
    return false;
}

bool HasCard(const Match& m, int strength, int suit, int handCount, const AiHand& hand) {
    for (int i = 0; i < handCount; ++i)
        if (SuitOf(m, hand[i]) == suit && StrengthOf(m, hand[i]) == strength) return true;
    return false;
}

float TrumpSuitScore(const Match& m, int suit, int handCount, const AiHand& hand) {
    float score = 0.0f;
    float weight = 100.0f;
    for (int strength = 12; strength >= 0; --strength) {
        if (HasCard(m, strength, suit, handCount, hand))
            score += weight;
        else
            weight /= 2.0f;
    }
    return score;
}

int ChooseTrump(const Match& m, int seat) {
    const AiHand hand = HandOfSeat(m, seat);
    const int count = HandCount(m, seat);
    int choice = 0;
    float best = -100.0f;
    for (int suit = 0; suit < 4; ++suit) {
        const float score = TrumpSuitScore(m, suit, count, hand);
        if (score > best) {  // strictly: a tie keeps the lower suit code
            best = score;
            choice = suit;
        }
    }
    return choice;
}

void ScoreHand(const Match& m, int handCount, const AiHand& hand, HandEvals& evals) {
    const bool partnerWinsAsFourth = PartnerWinsAsFourth(m);
    const bool partnerWinsAsThird = PartnerWinsAsThird(m);
    const int trickPoints = TrickPoints(m);
    const float T = static_cast<float>(trickPoints);
    const SeenCards seen(m, handCount, hand);

    // With the partner's lead winning and points on the table, the card led and the trumps
    // decide for the whole hand whether to feed the partner or hold back.
    bool leadIsTop = false;
    bool leadIsExposed = false;
    if (partnerWinsAsThird && trickPoints > 0) {
        const int ledSuit = LedSuit(m);
        const int ledStrength = StrengthOf(m, m.trickCards[0]);
        leadIsTop = TopTrumpLed(m, seen);
        leadIsExposed = seen.Lower(ledSuit, ledStrength) + seen.Higher(ledSuit, ledStrength) <= 5 ||
                        seen.InSuit(m.trumpSuit) <= 5;
    }

    for (int i = 0; i < handCount; ++i) {
        const CardSprite& card = hand[i];
        CardEval& e = evals[i];
        e.suit = SuitOf(m, card);
        const int strength = StrengthOf(m, card);
        const int higher = seen.Higher(e.suit, strength);
        const int lower = seen.Lower(e.suit, strength);
        e.points = CardPoints(m, card);
        e.base = static_cast<float>(std::abs(higher - lower) + strength) +
                 static_cast<float>(higher + lower) / 10.0f;
        e.rank = m.cardRank[card.card];
        e.wins = WinsTrick(m, card);
        e.isTrump = IsTrump(m, card);
        e.winsFollowing = WinsFollowingSuit(m, card);

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
            if (leadIsTop)
                e.score = gift - 8.0f * t;
            else if (leadIsExposed)
                e.score = e.base - 4.0f * t - p / 4.0f;
            else
                e.score = e.base - 4.0f * t + gift;
        } else if (partnerWinsAsThird) {
            e.score = -e.base - 4.0f * t - 4.0f * p;
        } else if (m.trickCount == 0) {
            const bool master = 12 - strength - higher == 0 && SafeToLead(m, seen, e.suit);
            e.score = master ? e.base + 4.0f * t + 8.0f * p : e.base - 4.0f * t - 4.0f * p;
        } else if (trickPoints > 0) {
            if (!e.wins)
                e.score = 5.0f - e.base - 4.0f * p;
            else if (!e.winsFollowing)
                e.score = 10.0f - 2.0f * e.base + 12.0f * T;
            else
                e.score = 10.0f - 2.0f * e.base + 24.0f * T;
        } else {
            e.score = e.winsFollowing ? 10.0f - 4.0f * t : 10.0f - e.base - 4.0f * t - 4.0f * p;
        }
    }

    // The duty to follow suit, and the first lead of a deal being a trump.
    if (m.trickCount > 0) {
        if (HoldsLeadSuit(m, handCount, hand)) {
            const int led = LedSuit(m);
            for (int i = 0; i < handCount; ++i)
                if (evals[i].suit != led) evals[i].score = kForbiddenScore;
        }
    } else if (m.ourPileCount == 0 && m.theirPileCount == 0) {
        for (int i = 0; i < handCount; ++i)
            if (evals[i].suit != m.trumpSuit) evals[i].score = kForbiddenScore;
    }
}

int PickCard(Match& m, int handCount, const AiHand& hand) {
    HandEvals evals{};
    ScoreHand(m, handCount, hand, evals);
    int chosen = -1;
    float best = kNoScore;
    for (int i = 0; i < handCount; ++i) {
        if (evals[i].score > best) {  // strictly: the earlier card keeps a tie
            best = evals[i].score;
            chosen = i;
        }
    }
    if (chosen < 0) return -1;

    if (m.trickCount > 0 && evals[chosen].suit != LedSuit(m) && m.turnSeat != userSeat)
        m.voidKnown[m.turnSeat][LedSuit(m)] = 0;
    return hand[chosen].card;
}

int ChooseCard(Match& m, int seat) { return PickCard(m, HandCount(m, seat), HandOfSeat(m, seat)); }

int RulesPlayer::ChooseTrump(const Match& m, int seat) { return pellow::ChooseTrump(m, seat); }

int RulesPlayer::ChooseCard(Match& m, int seat) { return pellow::ChooseCard(m, seat); }

}  // namespace pellow
