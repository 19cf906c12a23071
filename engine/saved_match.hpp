#pragma once
// A match put aside when the player quits, to be taken up at the next start. What is kept is
// what the table came from, not the table: the score before the deal in play, the deal's number
// and the cards played in it so far. Taking it up deals the number again and plays the same
// cards through the phase machine, so the hands, the trick, the piles and the turn are what the
// play itself makes of them.
#include <optional>
#include <vector>

#include "match.hpp"

namespace pellow {

struct SavedMatch {
    ComputerLevel partner = ComputerLevel::Classic;
    ComputerLevel opponents = ComputerLevel::Classic;
    // The score before the deal in play: firstDealDone says whether the two of diamonds finds
    // its dealer, chosenDeals whether the player has chosen a deal in this match.
    MatchScore score;
    DealNumber deal = 0;
    // The cards played in the deal so far, in order; all 52 when it was saved on its score page.
    std::vector<int> cards;
    // The suit of trumps the first card fixed; -1 before the first card.
    int trumps = -1;
    // The player sorted the hand with R (on their first turn, before their first card).
    bool userHandSorted = false;

    friend bool operator==(const SavedMatch&, const SavedMatch&) = default;
};

// The match in play as it can be saved. None when it cannot be taken up again: its deals are not
// numbered, it is over, or a seat broke a rule. Cards still in the air are not kept: that turn is
// played again.
std::optional<SavedMatch> CaptureMatch(const Match& m);

// Takes a saved match up in `m`, whose random source, clock and sounds are wired (the computer
// player may be wired afterwards; it is not asked). True when the deal stands where it was saved,
// the cards played, their tricks in the piles and the next turn about to begin (or its score
// page showing), with the saved levels in m.settings. False when the saved cards cannot be played
// in that deal or the saved match is not one CaptureMatch could give: `m` then holds a new
// match's first deal. Either way `m` keeps its own services and a deal is in play.
bool ResumeMatch(Match& m, const SavedMatch& saved);

}  // namespace pellow
