#pragma once
// A seat's own copy of the deal at a remote table, rebuilt from what the server tells that seat,
// so that a player of the engine (Classic, Expert) can decide for it as it does at home. The
// other hands hold the cards the seat cannot see, shared out in an arbitrary way: the players
// never read another hand, and a card another seat plays is moved into its hand before it is
// played, so the rules core's bookkeeping (trick, piles, voids, playedBy) is exact.
#include "engine/rules.hpp"
#include "net/protocol.hpp"

namespace pellow::net {

class RemoteDeal {
public:
    explicit RemoteDeal(int seat) : seat_(seat) {}
    // Takes in a "deal", "state", "played" or "trick" message (others are left alone). False,
    // with the reason, when the message does not fit the deal as this seat knows it.
    bool Apply(const ServerMessage& message, std::string* why);
    const DealState& Deal() const { return deal_; }
    bool InPlay() const { return inPlay_; }
    int Seat() const { return seat_; }
    // Tricks completed since this copy began.
    int tricksSeen = 0;

private:
    void FillUnseen();
    int seat_;
    bool inPlay_ = false;
    DealState deal_;
};

}  // namespace pellow::net
