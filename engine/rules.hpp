#pragma once
// The rules of one deal as a plain value: four hands, the trick, the taken cards, trumps and whose
// turn it is. Copy a DealState and play it forward with PlayCard to ask "what if this card is
// played?" without any animation: the phase machine calls the same PlayCard when a card lands on
// the table, so the rules of play live here and nowhere else.
#include <array>
#include <cstdint>

namespace pellow {

// Card codes are rank-major in picture-file order: code / 4 is A, 2..10, J, Q, K and code % 4
// is clubs, diamonds, hearts, spades. Suit *codes* follow another order (clubs 0, hearts 1,
// spades 2, diamonds 3), which decides ties between equal suits.
inline constexpr int kCards = 52;
// Cards each seat is dealt, and so the most a hand holds.
inline constexpr int kHandCards = 13;
inline constexpr int kClubs = 0, kHearts = 1, kSpades = 2, kDiamonds = 3;

// Seats: 0 the user, 1 right, 2 partner, 3 left. Turns and the deal run 0, 3, 2, 1.
inline constexpr int userSeat = 0;
inline constexpr int rightSeat = 1;
inline constexpr int partnerSeat = 2;
inline constexpr int leftSeat = 3;

// A team passes this many points in a match, and is ahead, to win it.
inline constexpr int kWinThreshold = 79;

// Face rank: 1 for the ace, 2..10, 11 jack, 12 queen, 13 king.
constexpr int RankOf(int code) { return code / 4 + 1; }
constexpr int SuitOf(int code) {
    constexpr int kSuitOfFileColumn[4] = {kClubs, kDiamonds, kHearts, kSpades};
    return kSuitOfFileColumn[code % 4];
}
// 0 for the two up to 12 for the ace.
constexpr int StrengthOf(int code) { return RankOf(code) == 1 ? 12 : RankOf(code) - 2; }
// Team 0 ("WE") is seats 0 and 2, team 1 ("THEY") seats 1 and 3.
constexpr int TeamOf(int seat) { return seat % 2; }
constexpr int NextSeat(int seat) { return (seat + 3) % 4; }
// The seat whose turn comes just before this one's: NextSeat undone.
constexpr int PreviousSeat(int seat) { return (seat + 1) % 4; }

// Points of a card to the side that takes it: nines and fives always, the ace, king, queen and
// jack only in trumps.
constexpr int CardPoints(int code, int trumps) {
    const bool trump = SuitOf(code) == trumps;
    switch (RankOf(code)) {
        case 9: return trump ? 18 : 9;
        case 5: return trump ? 10 : 5;
        case 1: return trump ? 4 : 0;
        case 13: return trump ? 3 : 0;
        case 12: return trump ? 2 : 0;
        case 11: return trump ? 1 : 0;
        default: return 0;
    }
}

// True when the challenger (played later) beats the holder (winning so far).
constexpr bool CardBeats(int challenger, int holder, int trumps) {
    if (SuitOf(challenger) == trumps) return !(SuitOf(holder) == trumps && StrengthOf(holder) > StrengthOf(challenger));
    return SuitOf(challenger) == SuitOf(holder) && StrengthOf(challenger) > StrengthOf(holder);
}

// Up to thirteen card codes, in order.
struct CardList {
    std::array<std::int8_t, kHandCards> card{};
    int count = 0;
    void Add(int code) { card[count++] = static_cast<std::int8_t>(code); }
};

struct DealState {
    // Each seat's cards in the order they were dealt, played ones removed (the order decides the
    // computer's ties).
    std::array<std::array<std::int8_t, kHandCards>, 4> hand{};
    std::array<std::int8_t, 4> handCount{};
    // The trick on the table, in the order played, and the seat that led it.
    std::array<std::int8_t, 4> trick{};
    std::int8_t trickCount = 0;
    std::int8_t trickLeader = 0;
    // Taken cards of each team, a trick at a time in the order played.
    std::array<std::array<std::int8_t, kCards>, 2> taken{};
    std::array<std::int8_t, 2> takenCount{};
    std::int8_t trumps = 0;
    std::int8_t toPlay = 0;
    std::int8_t cardsPlayed = 0;
    // The last completed trick, its leader and its winner (-1 before the first is complete).
    std::array<std::int8_t, 4> lastTrick{};
    std::int8_t lastTrickLeader = 0;
    std::int8_t lastTrickWinner = -1;
    // [seat][suit code]: -1 = may still hold the suit, 0 = a computer seat failed to follow it.
    // The user's failures are not recorded here: the computer's rule set does not learn them.
    std::array<std::array<std::int8_t, 4>, 4> voidKnown{};
    // Suits each seat, the user included, has shown it lacks (bit per suit code).
    std::array<std::uint8_t, 4> shownVoid{};
    // Which seat played each card, -1 while unplayed.
    std::array<std::int8_t, kCards> playedBy{};

    DealState();
    friend bool operator==(const DealState&, const DealState&) = default;
};

// Before the deal: empty hands, nothing played, no voids.
void ClearDeal(DealState& d);
// A dealt card joins the seat's hand.
void GiveCard(DealState& d, int seat, int code);
// The whole deal is out: `leader` plays first.
void BeginPlay(DealState& d, int leader);

bool Holds(const DealState& d, int seat, int code);
bool HoldsSuit(const DealState& d, int seat, int suit);
// Nothing has been played in this deal: the card led now fixes trumps.
inline bool FirstLeadOfDeal(const DealState& d) { return d.cardsPlayed == 0; }
inline bool DealOver(const DealState& d) { return d.cardsPlayed == kCards; }
inline int LedSuit(const DealState& d) { return SuitOf(d.trick[0]); }
// The seat holds `code` and may play it now: it follows the suit led, or cannot.
bool MayPlay(const DealState& d, int seat, int code);
// The cards the seat to play may play, in hand order.
CardList LegalCards(const DealState& d);

// The seat to play plays `code` (which it must hold). The first card of a deal fixes trumps; a
// card that does not follow the suit led records the seat's void; the fourth card of a trick
// settles it: the winning team takes it and the winner plays next. Returns the winner of the
// trick this card completes, or -1.
int PlayCard(DealState& d, int code);
// The position in the trick (0 = the lead) of the card winning it so far.
int WinningPosition(const std::array<std::int8_t, 4>& trick, int count, int trumps);

int DealPoints(const DealState& d, int team);

}  // namespace pellow
