// Whole deals played out by four computer seats, checking every decision against the rules of
// play rather than against the scores behind it.
#include <gtest/gtest.h>

#include <vector>

#include "deal_harness.hpp"
#include "opponent/pellow_ai.hpp"
#include "support/engine_fakes.hpp"

namespace pellow {
namespace {

constexpr int kDeals = 3000;

bool Holds(const Match& m, int seat, int code) {
    for (int i = 0; i < HandCount(m, seat); ++i)
        if (HandCodes(m, seat)[i] == code) return true;
    return false;
}

bool HoldsSuit(const Match& m, int seat, int suit) {
    for (int i = 0; i < HandCount(m, seat); ++i)
        if (m.cardSuit[HandCodes(m, seat)[i]] == suit) return true;
    return false;
}

struct DealRecord {
    int trumpSuit = 0;
    std::vector<int> cards;
};

// Plays one deal, checking each card as it is chosen, and returns what was played.
DealRecord PlayCheckedDeal(Match& m, ComputerPlayer& player, int leader) {
    DealRecord record;
    DealHands(m, leader);
    // The suits each seat has really shown it lacks, kept apart from the seats' own records.
    bool lacks[4][4] = {};
    for (int turn = 0; turn < kCards; ++turn) {
        const int seat = StepTurn(m);
        const bool firstLead = FirstLeadOfDeal(m);
        if (firstLead) {
            m.trumpSuit = player.ChooseTrump(m, seat);
            record.trumpSuit = m.trumpSuit;
            EXPECT_TRUE(HoldsSuit(m, seat, m.trumpSuit)) << "trumps the leader cannot lead";
        }
        const int ledSuit = m.trickCount > 0 ? m.cardSuit[m.trickCards[0].card] : -1;
        const bool canFollow = ledSuit >= 0 && HoldsSuit(m, seat, ledSuit);
        const int handBefore = HandCount(m, seat);
        const int trickBefore = m.trickCount;

        const int code = player.ChooseCard(m, seat);
        record.cards.push_back(code);

        if (HandCount(m, seat) != handBefore || m.trickCount != trickBefore || m.turnSeat != seat)
            ADD_FAILURE() << "choosing a card changed the hand, the table or the turn";
        if (!Holds(m, seat, code)) {
            ADD_FAILURE() << "seat " << seat << " chose card " << code << " it does not hold";
            return record;
        }
        const int suit = m.cardSuit[code];
        if (firstLead && suit != m.trumpSuit) ADD_FAILURE() << "the first lead of a deal is not a trump";
        if (canFollow && suit != ledSuit) ADD_FAILURE() << "seat " << seat << " did not follow suit";
        if (ledSuit >= 0 && suit != ledSuit) lacks[seat][ledSuit] = true;

        // A void is on record exactly when a computer seat has failed to follow that suit.
        for (int s = 0; s < 4; ++s)
            for (int u = 0; u < 4; ++u)
                if (m.voidKnown[s][u] != ((s != userSeat && lacks[s][u]) ? 0 : -1))
                    ADD_FAILURE() << "seat " << s << " suit " << u << " void record "
                                  << m.voidKnown[s][u];

        PlayToTable(m, code);
    }
    EXPECT_EQ(m.ourPileCount + m.theirPileCount, kCards);
    SumDealPoints(m);
    EXPECT_EQ(m.ourDealScore + m.theirDealScore, 80);
    return record;
}

TEST(PlayOutTest, EveryCardIsHeldLegalAndEveryRecordedVoidIsReal) {
    Match m;
    MakeCardFileNames(m);
    FakeRandom random(2024);
    m.random = &random;
    RulesPlayer player;
    for (int deal = 0; deal < kDeals && !::testing::Test::HasFailure(); ++deal)
        PlayCheckedDeal(m, player, deal % 4);
}

TEST(PlayOutTest, TheSameDealIsPlayedTheSameWayEveryTime) {
    Match a, b;
    MakeCardFileNames(a);
    MakeCardFileNames(b);
    RulesPlayer player;
    for (std::uint32_t seed = 1; seed <= 50; ++seed) {
        FakeRandom ra(seed), rb(seed);
        a.random = &ra;
        b.random = &rb;
        // b starts from a used match, so nothing left over from an earlier deal may matter.
        PlayCheckedDeal(b, player, (seed + 1) % 4);
        FakeRandom again(seed);
        b.random = &again;
        const DealRecord first = PlayCheckedDeal(a, player, seed % 4);
        const DealRecord second = PlayCheckedDeal(b, player, seed % 4);
        EXPECT_EQ(first.trumpSuit, second.trumpSuit) << "seed " << seed;
        EXPECT_EQ(first.cards, second.cards) << "seed " << seed;
    }
}

}  // namespace
}  // namespace pellow
