#pragma once
// A match set up card by card for judging one computer decision. Cards are named the way their
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
        MakeCardFileNames(m);
        for (int seat = 0; seat < 4; ++seat)
            for (int suit = 0; suit < 4; ++suit) m.voidKnown[seat][suit] = -1;
        m.trumpSuit = kSpades;
        m.turnSeat = rightSeat;
    }

    int Code(const std::string& name) const {
        for (int c = 0; c < kCards; ++c)
            if (m.cardFileName[c] == name + ".BMP") return c;
        ADD_FAILURE() << "no card " << name;
        return 0;
    }
    CardSprite Card(const std::string& name) const {
        CardSprite c;
        c.card = Code(name);
        return c;
    }

    void Hand(std::initializer_list<const char*> names) { handCount = Fill(hand, names); }
    void Table(std::initializer_list<const char*> names) { m.trickCount = Fill(m.trickCards, names); }
    void OurPile(std::initializer_list<const char*> names) { m.ourPileCount = Fill(m.ourPile, names); }
    void TheirPile(std::initializer_list<const char*> names) {
        m.theirPileCount = Fill(m.theirPile, names);
    }
    // The seat's own code list, which ChooseTrump and ChooseCard read.
    void SeatHolds(int seat, std::initializer_list<const char*> names) {
        int& n = HandCount(m, seat);
        n = 0;
        for (const char* name : names) HandCodes(m, seat)[n++] = Code(name);
    }

    template <class Slots>
    int Fill(Slots& slots, std::initializer_list<const char*> names) {
        int n = 0;
        for (const char* name : names) {
            if (n == static_cast<int>(slots.size())) {
                ADD_FAILURE() << "more cards than slots";
                break;
            }
            slots[n++].card = Code(name);  // the judgements read nothing else
        }
        return n;
    }

    Match m;
    AiHand hand{};
    int handCount = 0;
};

}  // namespace pellow
