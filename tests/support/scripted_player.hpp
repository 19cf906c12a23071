#pragma once
// A computer player for tests: leads and follows with the first legal card of its hand, names
// the suit of its first card as trumps, and records every question it is asked. It can be told
// to keep thinking for a while.
#include <vector>

#include "engine/rules.hpp"
#include "engine/services.hpp"

namespace pellow {

class ScriptedPlayer final : public ComputerPlayer {
public:
    struct Call {
        bool trump;
        int seat;
    };

    int ChooseTrump(const DealState& d, int seat) override {
        calls.push_back({true, seat});
        return SuitOf(d.hand[seat][0]);
    }

    int ChooseCard(const DealState& d, int seat) override {
        calls.push_back({false, seat});
        for (int i = 0; i < d.handCount[seat]; ++i) {
            const int code = d.hand[seat][i];
            if (FirstLeadOfDeal(d) && SuitOf(code) != d.trumps) continue;
            if (MayPlay(d, seat, code)) return code;
        }
        return d.hand[seat][0];
    }

    // Says it is still thinking this many times before it answers.
    bool Ready(const DealState&, int) override { return busy == 0 || --busy < 0; }

    std::vector<Call> calls;
    int busy = 0;
};

}  // namespace pellow
