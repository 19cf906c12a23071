#pragma once
// The computer seats: what a seat may know about the deal, the small judgements built on that
// knowledge, and its choice of trumps and of a card. One fixed rule set without random draws, so
// the same hand, table and taken piles always give the same decision.
//
// A seat sees only its own hand, the cards on the table, the two taken piles, the trump suit and
// the voids that computer seats have shown (voidKnown). It never looks at another hand or the stock.
#include <array>

#include "engine/match.hpp"
#include "engine/services.hpp"

namespace pellow {

// A computer hand as the choice sees it: a copy of the seat's code list, in list order (which
// decides ties), with only `card` filled in.
using AiHand = std::array<CardSprite, 16>;

AiHand HandOfSeat(const Match& m, int seat);

// ---- What has been seen: both taken piles, the table and the seat's own hand ----
// Seen cards of the card's suit that are stronger / weaker than it; the card itself never counts.
int CountHigherSeen(const Match& m, const CardSprite& card, int handCount, const AiHand& hand);
int CountLowerSeen(const Match& m, const CardSprite& card, int handCount, const AiHand& hand);
int CountSuitSeen(const Match& m, int handCount, const AiHand& hand, int suit);

// ---- Judgements about the table; none of them changes anything ----
// 1 for a trump, 0 otherwise: the scores multiply by it.
int IsTrump(const Match& m, const CardSprite& card);
// The card, if it were added to the table now, would be winning the trick.
bool WinsTrick(const Match& m, const CardSprite& card);
// As WinsTrick, but a trump only counts when trumps were led.
bool WinsFollowingSuit(const Match& m, const CardSprite& card);
// Two cards on the table and the partner's lead is still winning.
bool PartnerWinsAsThird(const Match& m);
// Three cards on the table and the partner's card (the second) beats the other two, asked with
// the partner's card as the challenger; a plain-suit discard by the third seat therefore makes
// this false even though the partner is still winning.
bool PartnerWinsAsFourth(const Match& m);
int TrickPoints(const Match& m);
// Leading suit s does not hand the trick to an opponent known to be void in it, and at least nine
// of its cards are still out of sight. Trumps are always safe. The seat to move is turnSeat.
bool SuitSafeToLead(const Match& m, int handCount, const AiHand& hand, int suit);
// The card led is a trump and every stronger trump has been seen.
bool LeadIsTopTrump(const Match& m, int handCount, const AiHand& hand);
bool HoldsLeadSuit(const Match& m, int handCount, const AiHand& hand);
// Only the first handCount entries are cards still held; slots past them may be left over.
bool HasCard(const Match& m, int strength, int suit, int handCount, const AiHand& hand);

// What suit `suit` is worth as trumps to this hand (see ChooseTrump).
float TrumpSuitScore(const Match& m, int suit, int handCount, const AiHand& hand);
// The suit of trumps for a computer seat that leads the first trick of a deal: each suit scores
// 100 for its ace, and every card missing from the top down halves what the cards below it add.
// Ties go to the lower suit code.
int ChooseTrump(const Match& m, int seat);

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
using HandEvals = std::array<CardEval, 16>;

// A card that may not be played scores kForbiddenScore; every playable card scores far above it.
inline constexpr float kForbiddenScore = -8000.0f;

// Fills evals[0 .. handCount-1], the duty to follow suit and the first-lead-is-trump rule
// included (a card they forbid scores kForbiddenScore). Changes nothing.
void ScoreHand(const Match& m, int handCount, const AiHand& hand, HandEvals& evals);

// The code of the best-scoring card, the earliest in hand order on a tie; -1 for an empty hand.
// When the card does not follow the suit led, records that turnSeat is void in it (never for the
// user's seat, whose voids the computer does not learn).
int PickCard(Match& m, int handCount, const AiHand& hand);

// The card that computer seat `seat` (the seat to move, turnSeat) plays now.
int ChooseCard(Match& m, int seat);

// The rule set behind the interface the phase machine asks.
class RulesPlayer final : public ComputerPlayer {
public:
    int ChooseTrump(const Match& m, int seat) override;
    int ChooseCard(Match& m, int seat) override;
};

}  // namespace pellow
