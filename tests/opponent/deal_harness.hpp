#pragma once
// Plays deals without a screen: a chosen card goes straight onto the table and leaves its seat's
// code list, and a complete trick goes straight to the winners' pile, in the same order of
// turns, trick settling and piles as the game.
#include "engine/cards.hpp"
#include "engine/deal.hpp"
#include "engine/match.hpp"
#include "engine/services.hpp"

namespace pellow {

// Shuffles with m.random and deals 13 cards to each seat, round the table from the leader.
inline void DealHands(Match& m, int leader) {
    Shuffle(m);
    for (int seat = 0; seat < 4; ++seat) {
        HandCount(m, seat) = 0;
        for (int suit = 0; suit < 4; ++suit) m.voidKnown[seat][suit] = -1;
    }
    for (int k = 0; k < kCards; ++k) {
        const int seat = (leader + 4 - k % 4) % 4;  // turns run downwards
        HandCodes(m, seat)[HandCount(m, seat)++] = m.deckCards[k].card;
    }
    m.trickCount = m.trickCodeCount = m.trickPlayed = m.cardsPlayed = 0;
    m.ourPileCount = m.theirPileCount = m.ourTakenCount = m.theirTakenCount = 0;
    m.turnSeat = (leader + 1) % 4;  // the turn steps down once before the leader moves
}

inline bool FirstLeadOfDeal(const Match& m) {
    return m.trickCount == 0 && m.ourPileCount == 0 && m.theirPileCount == 0;
}

// Moves the turn to the next seat and returns it.
inline int StepTurn(Match& m) {
    m.turnSeat = (m.turnSeat + 3) % 4;
    return m.turnSeat;
}

// turnSeat plays `code`. After the fourth card the trick is settled and taken, and turnSeat is
// left one above the winner, who therefore moves next.
inline void PlayToTable(Match& m, int code) {
    CardSprite& landed = m.trickCards[m.trickCount++];
    landed = CardSprite{};
    landed.card = code;
    landed.inUse = landed.faceUp = true;
    m.trickCodes[m.trickCodeCount++] = code;

    auto& codes = HandCodes(m, m.turnSeat);
    int& count = HandCount(m, m.turnSeat);
    int kept = 0;
    for (int i = 0; i < count; ++i)
        if (codes[i] != code) codes[kept++] = codes[i];
    count = kept;

    ++m.trickPlayed;
    ++m.cardsPlayed;
    ResolveTrick(m);
    if (m.trickPlayed != 0) return;

    const bool ours = m.trickTakenBy == 1;
    auto& pile = ours ? m.ourPile : m.theirPile;
    int& pileCount = ours ? m.ourPileCount : m.theirPileCount;
    auto& taken = ours ? m.ourTakenCodes : m.theirTakenCodes;
    int& takenCount = ours ? m.ourTakenCount : m.theirTakenCount;
    for (int i = 0; i < m.trickCount; ++i) {
        pile[pileCount++] = m.trickCards[i];
        taken[takenCount++] = m.trickCodes[i];
    }
    m.trickCount = m.trickCodeCount = 0;
    m.turnSeat = (m.turnSeat + 1) % 4;
}

// One whole turn of a computer seat, asked the way the game asks it.
inline int PlayTurn(Match& m, ComputerPlayer& player) {
    const int seat = StepTurn(m);
    if (FirstLeadOfDeal(m)) m.trumpSuit = player.ChooseTrump(m, seat);
    const int code = player.ChooseCard(m, seat);
    PlayToTable(m, code);
    return code;
}

}  // namespace pellow
