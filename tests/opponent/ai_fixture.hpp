#pragma once
// A deal set up card by card for judging one computer decision. Cards are named the way their
// pictures are ("9H", "10S", "AD"); trumps are spades and seat 1 is to move unless a test says so.
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "engine/cards.hpp"
#include "opponent/pellow_ai.hpp"

namespace pellow {

class AiTest : public ::testing::Test {
protected:
    AiTest() {
        d.trumps = kSpades;
        d.toPlay = rightSeat;
    }

    static int Code(const std::string& name) {
        for (int c = 0; c < kCards; ++c)
            if (CardFileName(c) == name + ".BMP") return c;
        ADD_FAILURE() << "no card " << name;
        return 0;
    }
    static int Card(const std::string& name) { return Code(name); }

    // The hand of the seat to move.
    void Hand(std::initializer_list<const char*> names) { Fill(d.hand[d.toPlay], d.handCount[d.toPlay], names); }
    void Table(std::initializer_list<const char*> names) { Fill(d.trick, d.trickCount, names); }
    void OurPile(std::initializer_list<const char*> names) { Fill(d.taken[0], d.takenCount[0], names); }
    void TheirPile(std::initializer_list<const char*> names) { Fill(d.taken[1], d.takenCount[1], names); }
    void SeatHolds(int seat, std::initializer_list<const char*> names) { Fill(d.hand[seat], d.handCount[seat], names); }

    template <class Slots>
    void Fill(Slots& slots, std::int8_t& count, std::initializer_list<const char*> names) {
        int n = 0;
        for (const char* name : names) {
            if (n == static_cast<int>(slots.size())) {
                ADD_FAILURE() << "more cards than slots";
                break;
            }
            slots[n++] = static_cast<std::int8_t>(Code(name));
        }
        count = static_cast<std::int8_t>(n);
        // As in a real deal: a lead is the deal's first exactly when nothing is on the table or taken.
        d.cardsPlayed = static_cast<std::int8_t>(d.takenCount[0] + d.takenCount[1] + d.trickCount);
    }

    DealState d;
};

}  // namespace pellow
