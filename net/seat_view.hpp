#pragma once
// What each seat is told of a table: the one place that decides what a seat may see. A seat sees
// its own hand, the cards as they are played, who took each trick, the points and the score;
// never a card of another hand before it is played. A watcher (seat -1) sees no hand at all.
#include <array>
#include <string>

#include "engine/match.hpp"
#include "engine/rules.hpp"
#include "net/protocol.hpp"

namespace pellow::net {

// A watcher, or a person who waits for the next deal to be seated.
inline constexpr int kNoSeat = -1;

struct SeatInfo {
    // "open", "reserved", "person", "computer", or "away" (a person whose seat a computer plays
    // until they return).
    std::string kind = "open";
    Level level = Level::Rules;
    std::string name;
};

std::string TableMessage(const std::array<SeatInfo, 4>& seats, bool started, int turnSeconds);
// A deal begins: the viewer's own thirteen cards, nobody else's.
std::string DealMessage(const DealState& d, int viewer, int dealIndex, int dealer);
// Whose turn it is; the seat to play is also told the cards it may play, and a timer's seconds.
std::string TurnMessage(const DealState& d, int viewer, int turnSeconds);
// The card played, with trumps as they stand after it.
std::string PlayedMessage(const DealState& d, int seat, int card);
// The trick just completed (d after the PlayCard that completed it).
std::string TrickMessage(const DealState& d);
// The deal is over: its points and the match's totals (`s` with the deal scored).
std::string DealEndMessage(const DealState& d, const MatchScore& s);
std::string MatchEndMessage(const MatchScore& s);
// Everything the viewer may see of the deal in play, for a seat taken up again.
std::string StateMessage(const DealState& d, const MatchScore& s, int viewer, int dealIndex);

}  // namespace pellow::net
