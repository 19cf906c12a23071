#pragma once
// The expert computer level. For each decision it deals the cards it cannot see to the other
// seats many times over, in every way consistent with what its seat knows (hand counts and the
// suits each seat has failed to follow), plays each of its legal cards out to the end of the deal
// in every such deal, and keeps the card that earns its team the most points on average. Near the
// end of the deal the playouts give way to an exact search of each sampled deal.
//
// The deals are not all alike: once cards have been played they are drawn by how likely each
// makes the plays seen (PlayReading), by what the Expert knows of how each seat plays. A Classic
// seat's rules are known exactly, so the deals on which they would have played otherwise all but
// vanish, and in the playouts and the exact search a Classic seat plays the card its rules choose.
//
// It reads only its own hand, the cards played and by whom, trumps and the shown voids, never
// another hand. Its random draws for a decision are seeded from its seed and what the seat knows,
// so the same knowledge always gives the same card, whatever the hidden hands hold.
#include <array>
#include <cstdint>
#include <optional>

#include "engine/rules.hpp"
#include "opponent/play_reading.hpp"

namespace pellow {

struct ExpertSettings {
    // Card-plays the playouts of one decision may spend, shared out among the sampled deals and
    // the candidate cards; bounds the time of a decision.
    int cardBudget = 120000;
    // At least / at most this many sampled deals per decision.
    int minSamples = 24;
    int maxSamples = 400;
    // With this many tricks or fewer left (the current one included) each sampled deal is
    // searched exactly instead of played out.
    int exactTricks = 3;
    // Sampled deals per decision for the exact search.
    int exactSamples = 200;
    // Once plays have been seen, the deals are drawn by a chain of card swaps that keeps each swap
    // as likely as the plays make it: this many proposals per unseen card before the first deal,
    // and this many eighths of one per unseen card between deals.
    int readBurnIn = 8;
    int readSteps = 8;
};

// What a card is worth to the team of the seat that plays it: the points the team may expect to
// hold at the end of the deal, those it has taken plus the average of what it takes from here
// over the sampled deals. 0..80 (all a deal holds), to a tenth: the figure the score page will
// show, which a player reads more easily than the points still to come.
struct CardValue {
    int card = -1;
    float points = 0;
};

// The Expert's card for the seat to play and the worth of every card the seat may play now; the
// card chosen is worth the most, a tie going to the first in the search's order. The deal's
// first lead is weighed twice: every card, each leading its own suit as trumps, to choose the
// suit, then that suit's cards over more deals to choose the card. That suit's cards show the
// second figures, the other suits' the first, so there a card of another suit may now and then
// show a point or so more than the card chosen.
struct ExpertAdvice {
    int card = -1;
    // In hand order; on the deal's first lead the whole hand.
    std::array<CardValue, kHandCards> values{};
    int count = 0;
    // The points of `code`, if the seat may play it.
    std::optional<float> PointsOf(int code) const;
};

class ExpertPlayer {
public:
    // `styles` says how each seat chooses its cards, which is what its plays reveal of its hand.
    explicit ExpertPlayer(std::uint32_t seed, ExpertSettings settings = {}, SeatStyles styles = kUnknownStyles);
    // The suit of trumps for the seat about to lead the deal's first trick.
    int ChooseTrump(const DealState& d, int seat) const;
    // The card seat `seat` (d.toPlay) plays now. On the first lead of a deal d.trumps holds the
    // chosen trumps and the card is one of them.
    int ChooseCard(const DealState& d, int seat) const;
    // The card ChooseTrump and ChooseCard together give the seat to play, from the same searches,
    // with the values those searches found. A lone playable card is searched too, for its value.
    // The seat may play whatever LegalCards allows: the user's first lead is not held to trumps.
    ExpertAdvice Advise(const DealState& d, int seat) const;

private:
    std::uint32_t seed_;
    ExpertSettings settings_;
    SeatStyles styles_;
};

}  // namespace pellow
