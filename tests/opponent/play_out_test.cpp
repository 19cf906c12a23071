// Whole deals played out by four computer seats, checking every decision against the rules of
// play rather than against the scores behind it.
#include <gtest/gtest.h>

#include <vector>

#include "opponent/pellow_ai.hpp"
#include "support/core_deals.hpp"

namespace pellow {
namespace {

constexpr int kDeals = 3000;

struct DealRecord {
    int trumpSuit = 0;
    std::vector<int> cards;
};

// Plays one deal, checking each card as it is chosen, and returns what was played.
DealRecord PlayCheckedDeal(DealState d, ComputerPlayer& player) {
    DealRecord record;
    // The suits each seat has really shown it lacks, kept apart from the deal's own records.
    bool lacks[4][4] = {};
    for (int turn = 0; turn < kCards; ++turn) {
        const int seat = d.toPlay;
        const bool firstLead = FirstLeadOfDeal(d);
        if (firstLead) {
            d.trumps = static_cast<std::int8_t>(player.ChooseTrump(d, seat));
            record.trumpSuit = d.trumps;
            EXPECT_TRUE(HoldsSuit(d, seat, d.trumps)) << "trumps the leader cannot lead";
        }
        const int ledSuit = d.trickCount > 0 ? LedSuit(d) : -1;
        const bool canFollow = ledSuit >= 0 && HoldsSuit(d, seat, ledSuit);

        const int code = player.ChooseCard(d, seat);
        record.cards.push_back(code);
        if (!Holds(d, seat, code)) {
            ADD_FAILURE() << "seat " << seat << " chose card " << code << " it does not hold";
            return record;
        }
        const int suit = SuitOf(code);
        if (firstLead && suit != d.trumps) ADD_FAILURE() << "the first lead of a deal is not a trump";
        if (canFollow && suit != ledSuit) ADD_FAILURE() << "seat " << seat << " did not follow suit";
        if (ledSuit >= 0 && suit != ledSuit) lacks[seat][ledSuit] = true;

        PlayCard(d, code);
        // A void is on record exactly when a computer seat has failed to follow that suit.
        for (int s = 0; s < 4; ++s)
            for (int u = 0; u < 4; ++u)
                if (d.voidKnown[s][u] != ((s != userSeat && lacks[s][u]) ? 0 : -1))
                    ADD_FAILURE() << "seat " << s << " suit " << u << " void record " << int{d.voidKnown[s][u]};
    }
    EXPECT_EQ(d.takenCount[0] + d.takenCount[1], kCards);
    EXPECT_EQ(DealPoints(d, 0) + DealPoints(d, 1), 80);
    return record;
}

TEST(PlayOutTest, EveryCardIsHeldLegalAndEveryRecordedVoidIsReal) {
    std::mt19937 gen(2024);
    RulesPlayer player;
    for (int deal = 0; deal < kDeals && !::testing::Test::HasFailure(); ++deal)
        PlayCheckedDeal(ShuffledDeal(gen, deal % 4), player);
}

TEST(PlayOutTest, TheSameDealIsPlayedTheSameWayEveryTime) {
    RulesPlayer player;
    for (std::uint32_t seed = 1; seed <= 50; ++seed) {
        std::mt19937 gen(seed);
        const DealState deal = ShuffledDeal(gen, seed % 4);
        const DealRecord first = PlayCheckedDeal(deal, player);
        const DealRecord second = PlayCheckedDeal(deal, player);
        EXPECT_EQ(first.trumpSuit, second.trumpSuit) << "seed " << seed;
        EXPECT_EQ(first.cards, second.cards) << "seed " << seed;
    }
}

}  // namespace
}  // namespace pellow
