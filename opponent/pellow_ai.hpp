#pragma once
// The computer seats' rule set ("Classic"): what a seat may know about the deal, the small
// judgements built on that knowledge, and its choice of trumps and of a card. One fixed rule set
// without random draws, so the same hand, table and taken cards always give the same decision.
//
// A seat sees only its own hand, the cards on the table, the taken cards, the trump suit and the
// voids that computer seats have shown (voidKnown). It never looks at another hand. Every
// judgement is about `seat`, the seat to move, and reads the deal's rules state only.
#include <array>

#include "engine/rules.hpp"
#include "engine/services.hpp"

namespace pellow {

// ---- What has been seen: both teams' taken cards, the table and the seat's own hand ----
// Seen cards of the card's suit that are stronger / weaker than it; the card itself never counts.
int CountHigherSeen(const DealState& d, int seat, int card);
int CountLowerSeen(const DealState& d, int seat, int card);
int CountSuitSeen(const DealState& d, int seat, int suit);

// ---- Judgements about the table; none of them changes anything ----
// 1 for a trump, 0 otherwise: the scores multiply by it.
int IsTrump(const DealState& d, int card);
// The card, if it were added to the table now, would be winning the trick.
bool WinsTrick(const DealState& d, int card);
// As WinsTrick, but a trump only counts when trumps were led.
bool WinsFollowingSuit(const DealState& d, int card);
// Two cards on the table and the partner's lead is still winning.
bool PartnerWinsAsThird(const DealState& d);
// Three cards on the table and the partner's card (the second) beats the other two, asked with
// the partner's card as the challenger; a plain-suit discard by the third seat therefore makes
// this false even though the partner is still winning.
bool PartnerWinsAsFourth(const DealState& d);
int TrickPoints(const DealState& d);
// Leading suit s does not hand the trick to an opponent known to be void in it, and at least nine
// of its cards are still out of sight. Trumps are always safe.
bool SuitSafeToLead(const DealState& d, int seat, int suit);
// The card led is a trump and every stronger trump has been seen.
bool LeadIsTopTrump(const DealState& d, int seat);
bool HoldsLeadSuit(const DealState& d, int seat);
bool HasCard(const DealState& d, int seat, int strength, int suit);

// What suit `suit` is worth as trumps to this hand (see ChooseTrump).
float TrumpSuitScore(const DealState& d, int seat, int suit);
// The suit of trumps for a computer seat that leads the first trick of a deal: each suit scores
// 100 for its ace, and every card missing from the top down halves what the cards below it add.
// Ties go to the lower suit code.
int ChooseTrump(const DealState& d, int seat);

// ---- Card choice ----
struct CardEval {
    bool wins = false;
    bool winsFollowing = false;
    int isTrump = 0;
    int points = 0;
    float base = 0.0f;  // standing of the card in its suit
    int rank = 0;
    int suit = 0;
    float score = 0.0f;
};
using HandEvals = std::array<CardEval, 13>;

// A card that may not be played scores kForbiddenScore; every playable card scores far above it.
inline constexpr float kForbiddenScore = -8000.0f;

// Fills evals[0 .. handCount-1] for the seat's cards in hand order, the duty to follow suit and
// the first-lead-is-trump rule included (a card they forbid scores kForbiddenScore).
void ScoreHand(const DealState& d, int seat, HandEvals& evals);

// The code of the best-scoring card of the seat, the earliest in hand order on a tie; -1 for
// an empty hand.
int ChooseCard(const DealState& d, int seat);

// The rule set behind the interface the phase machine asks.
class RulesPlayer final : public ComputerPlayer {
public:
    int ChooseTrump(const DealState& d, int seat) override;
    int ChooseCard(const DealState& d, int seat) override;
};

}  // namespace pellow
