#pragma once
// A computer player for tests: leads and follows with the first legal card of its code list,
// names the suit of its first card as trumps, and records every question it is asked.
#include <vector>

#include "engine/cards.hpp"
#include "engine/match.hpp"

namespace pellow {

class ScriptedPlayer final : public ComputerPlayer {
public:
    struct Call { bool trump; int seat; };

    int ChooseTrump(const Match& m, int seat) override {
        calls.push_back({true, seat});
        return m.cardSuit[HandCodes(m, seat)[0]];
    }

    int ChooseCard(Match& m, int seat) override {
        calls.push_back({false, seat});
        const auto& codes = HandCodes(m, seat);
        const int n = HandCount(m, seat);
        const bool firstLead = m.trickCount == 0 && m.ourPileCount == 0 && m.theirPileCount == 0;
        for (int i = 0; i < n; ++i) {
            const int suit = m.cardSuit[codes[i]];
            if (firstLead && suit != m.trumpSuit) continue;
            if (m.trickCount > 0 && suit != m.cardSuit[m.trickCards[0].card] && Holds(m, seat, m.cardSuit[m.trickCards[0].card]))
                continue;
            return codes[i];
        }
        return codes[0];
    }

    std::vector<Call> calls;

private:
    static bool Holds(const Match& m, int seat, int suit) {
        for (int i = 0; i < HandCount(m, seat); ++i)
            if (m.cardSuit[HandCodes(m, seat)[i]] == suit) return true;
        return false;
    }
};

}  // namespace pellow
