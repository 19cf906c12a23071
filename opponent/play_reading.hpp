#pragma once
// What the plays seen so far say about the hands still hidden. A seat that plays by known rules
// gives its hand away card by card: the Classic rule set always plays the card its rules score
// best, so any hand on which they would have chosen otherwise cannot be its hand. The plays of an
// Expert seat and of a person are handed to the caller as moments, to be read more softly against
// a whole sampled deal. The reading uses only what the reading seat has seen: the order of play
// (rebuilt from the taken piles, who played each card and the trick on the table), trumps and
// the shown voids.
#include <array>
#include <cstdint>
#include <vector>

#include "engine/rules.hpp"

namespace pellow {

// How a seat chooses its cards, as far as the other seats know.
enum class SeatStyle : std::uint8_t { Person, Classic, Expert };
using SeatStyles = std::array<SeatStyle, 4>;
inline constexpr SeatStyles kUnknownStyles{SeatStyle::Person, SeatStyle::Person, SeatStyle::Person,
                                           SeatStyle::Person};

class PlayReading {
public:
    // A card played by an Expert seat or a person, and the deal as it stood: what each seat played
    // from then on (this card included), as a bit per card code, and the trick before it.
    struct Moment {
        int seat = 0;
        int card = 0;
        std::array<std::uint64_t, 4> toCome{};
        std::array<std::int8_t, 4> trick{};
        int trickCount = 0;
        int leader = 0;
        // The deal's first card: the seat chose trumps too.
        bool first = false;
    };

    // The log-likelihood a Classic seat's play costs a hand on which its rules would have chosen
    // another card: all but ruling the hand out. Not quite: the order of play may now and then be
    // rebuilt wrongly, and a person may sit where a Classic seat was expected, so a deal against
    // every play is still dealt rather than none.
    static constexpr float kClassicMiss = -5.0f;

    // The reading of seat `me`, which must not look at any other seat's hand in `d`.
    PlayReading(const DealState& d, int me, const SeatStyles& styles, float classicMiss = kClassicMiss);

    // Some play says something about a hidden hand.
    bool Informative() const { return informative_; }
    // The plays the rules do not decide, for the caller to judge against a whole sampled deal.
    const std::vector<Moment>& Moments() const { return moments_; }
    // How likely a Classic seat's plays were had it held `hidden` (its unplayed cards, as codes) as
    // well as the cards it played: a log-likelihood, 0 at most. Stops early, returning what it
    // has, once the figure falls below `floor`.
    float SeatLog(int seat, const std::int8_t* hidden, int count, float floor) const;
    bool ReadsSeat(int seat) const { return !bySeat_[seat].empty(); }

private:
    // One card a seat played, and the table as that seat saw it then: the seat's own hand holds
    // only the cards it played from then on, the caller's hidden cards are added to it.
    struct Seen {
        DealState before;
        int card = 0;
        bool chooseTrumps = false;
    };
    float PlayLog(const Seen& s, const std::int8_t* hidden, int count) const;

    std::array<std::vector<Seen>, 4> bySeat_;
    std::vector<Moment> moments_;
    bool informative_ = false;
    float classicMiss_;
};

// The order in which the cards of the deal were played, rebuilt from what every seat sees:
// each taken trick's cards in order, who played each card, and the trick on the table. Fills
// `order` with the cards played so far and returns true, or false when no order fits.
bool PlayOrder(const DealState& d, std::array<std::int8_t, kCards>& order);

}  // namespace pellow
