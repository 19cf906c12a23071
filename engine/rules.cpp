#include "rules.hpp"

namespace pellow {

DealState::DealState() { ClearDeal(*this); }

void ClearDeal(DealState& d) {
    d.handCount.fill(0);
    d.trickCount = 0;
    d.trickLeader = 0;
    d.takenCount.fill(0);
    d.cardsPlayed = 0;
    d.lastTrickWinner = -1;
    for (auto& row : d.voidKnown) row.fill(-1);
    d.shownVoid.fill(0);
    d.playedBy.fill(-1);
}

void GiveCard(DealState& d, int seat, int code) {
    if (d.handCount[seat] >= kHandCards) return;  // a seat never holds more than 13 cards
    d.hand[seat][d.handCount[seat]++] = static_cast<std::int8_t>(code);
}

void BeginPlay(DealState& d, int leader) {
    d.toPlay = static_cast<std::int8_t>(leader);
    d.trickLeader = static_cast<std::int8_t>(leader);
}

bool Holds(const DealState& d, int seat, int code) {
    for (int i = 0; i < d.handCount[seat]; ++i)
        if (d.hand[seat][i] == code) return true;
    return false;
}

bool HoldsSuit(const DealState& d, int seat, int suit) {
    for (int i = 0; i < d.handCount[seat]; ++i)
        if (SuitOf(d.hand[seat][i]) == suit) return true;
    return false;
}

bool MayPlay(const DealState& d, int seat, int code) {
    if (!Holds(d, seat, code)) return false;
    if (d.trickCount == 0) return true;
    return SuitOf(code) == LedSuit(d) || !HoldsSuit(d, seat, LedSuit(d));
}

CardList LegalCards(const DealState& d) {
    CardList legal;
    const int seat = d.toPlay;
    const bool mustFollow = d.trickCount > 0 && HoldsSuit(d, seat, LedSuit(d));
    for (int i = 0; i < d.handCount[seat]; ++i) {
        const int code = d.hand[seat][i];
        if (!mustFollow || SuitOf(code) == LedSuit(d)) legal.Add(code);
    }
    return legal;
}

int WinningPosition(const std::array<std::int8_t, 4>& trick, int count, int trumps) {
    int position = 0;
    for (int p = 1; p < count; ++p)
        if (CardBeats(trick[p], trick[position], trumps)) position = p;
    return position;
}

int PlayCard(DealState& d, int code) {
    const int seat = d.toPlay;
    auto& hand = d.hand[seat];
    int kept = 0;
    for (int i = 0; i < d.handCount[seat]; ++i)
        if (hand[i] != code) hand[kept++] = hand[i];
    d.handCount[seat] = static_cast<std::int8_t>(kept);

    if (d.cardsPlayed == 0) d.trumps = static_cast<std::int8_t>(SuitOf(code));
    if (d.trickCount == 0) {
        d.trickLeader = static_cast<std::int8_t>(seat);
    } else if (SuitOf(code) != LedSuit(d)) {
        d.shownVoid[seat] |= static_cast<std::uint8_t>(1u << LedSuit(d));
        if (seat != userSeat) d.voidKnown[seat][LedSuit(d)] = 0;
    }
    d.trick[d.trickCount++] = static_cast<std::int8_t>(code);
    d.playedBy[code] = static_cast<std::int8_t>(seat);
    ++d.cardsPlayed;

    if (d.trickCount < 4) {
        d.toPlay = static_cast<std::int8_t>(NextSeat(seat));
        return -1;
    }
    // Turns run downwards, so the card at position p came from the leader minus p.
    const int position = WinningPosition(d.trick, 4, d.trumps);
    const int winner = (d.trickLeader + 4 - position) % 4;
    const int team = TeamOf(winner);
    for (int p = 0; p < 4; ++p) d.taken[team][d.takenCount[team]++] = d.trick[p];
    d.lastTrick = d.trick;
    d.lastTrickLeader = d.trickLeader;
    d.lastTrickWinner = static_cast<std::int8_t>(winner);
    d.trickCount = 0;
    d.trickLeader = static_cast<std::int8_t>(winner);
    d.toPlay = static_cast<std::int8_t>(winner);
    return winner;
}

int DealPoints(const DealState& d, int team) {
    int sum = 0;
    for (int i = 0; i < d.takenCount[team]; ++i) sum += CardPoints(d.taken[team][i], d.trumps);
    return sum;
}

}  // namespace pellow
