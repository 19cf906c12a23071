// The Expert level plays by the rules, repeats itself for the same seed, and decides only from
// what its seat may know.
#include <gtest/gtest.h>

#include <algorithm>
#include <numeric>
#include <optional>
#include <random>
#include <thread>
#include <vector>

#include "ai_fixture.hpp"
#include "engine/rules.hpp"
#include "opponent/expert.hpp"
#include "opponent/pellow_ai.hpp"
#include "opponent/play_reading.hpp"
#include "opponent/table_players.hpp"

namespace pellow {
namespace {

// Small searches: the properties under test do not depend on their size.
constexpr ExpertSettings kQuick{3000, 4, 16, 3, 16};

DealState NewDeal(std::mt19937& rng, int leader) {
    std::array<int, kCards> deck;
    std::iota(deck.begin(), deck.end(), 0);
    std::shuffle(deck.begin(), deck.end(), rng);
    DealState d;
    for (int k = 0; k < kCards; ++k) GiveCard(d, (leader + 4 * kCards - k) % 4, deck[k]);
    BeginPlay(d, leader);
    return d;
}

// Asks the seat to play for its card the way the game does, trumps first on the deal's first lead.
int Decide(ExpertPlayer& player, DealState& d) {
    const int seat = d.toPlay;
    if (FirstLeadOfDeal(d)) d.trumps = static_cast<std::int8_t>(player.ChooseTrump(d, seat));
    return player.ChooseCard(d, seat);
}

// Four Expert seats play a deal out; every card is checked against the rules. Returns the cards.
std::vector<int> PlayCheckedDeal(std::uint32_t seed, std::uint32_t dealSeed) {
    std::mt19937 rng(dealSeed);
    DealState d = NewDeal(rng, static_cast<int>(dealSeed % 4));
    ExpertPlayer player(seed, kQuick);
    std::vector<int> cards;
    while (!DealOver(d)) {
        const int seat = d.toPlay;
        const bool first = FirstLeadOfDeal(d);
        const int card = Decide(player, d);
        if (first) {
            EXPECT_TRUE(HoldsSuit(d, seat, d.trumps)) << "trumps the leader cannot lead";
            EXPECT_EQ(SuitOf(card), d.trumps) << "the first lead is not a trump";
        }
        EXPECT_TRUE(MayPlay(d, seat, card)) << "seat " << seat << " card " << card << " deal " << dealSeed;
        if (!MayPlay(d, seat, card)) return cards;
        cards.push_back(card);
        PlayCard(d, card);
    }
    return cards;
}

TEST(Expert, PlaysLegallyAndTheSameSeedPlaysTheSameDeal) {
    for (std::uint32_t deal = 0; deal < 60; ++deal) {
        const std::vector<int> once = PlayCheckedDeal(7, deal);
        ASSERT_EQ(once.size(), static_cast<std::size_t>(kCards));
        EXPECT_EQ(PlayCheckedDeal(7, deal), once) << "deal " << deal;
    }
}

// Deals the other seats' cards afresh, keeping each seat's count and every void it has shown.
void PermuteHiddenCards(DealState& d, int me, std::mt19937& rng) {
    std::vector<int> others;
    for (int s = 0; s < 4; ++s)
        if (s != me && d.handCount[s] > 0) others.push_back(s);
    if (others.size() < 2) return;
    for (int step = 0; step < 300; ++step) {
        const int a = others[rng() % others.size()];
        const int b = others[rng() % others.size()];
        if (a == b) continue;
        auto& ca = d.hand[a][rng() % d.handCount[a]];
        auto& cb = d.hand[b][rng() % d.handCount[b]];
        const bool fits = !(d.shownVoid[b] & (1u << SuitOf(ca))) && !(d.shownVoid[a] & (1u << SuitOf(cb)));
        if (fits) std::swap(ca, cb);
    }
    // Hand order says nothing either.
    for (int s : others) std::shuffle(d.hand[s].begin(), d.hand[s].begin() + d.handCount[s], rng);
}

// The Expert reads the plays it has seen by how each seat plays: the Classic seats by their
// rules, the Expert seats and the person softly. Whatever it reads, any arrangement of the unseen
// cards that fits what its seat has seen (hand counts, shown voids) must give the same choice:
// the order of play, who played what and trumps are all it may use.
TEST(Expert, ChoiceDoesNotDependOnTheHiddenHands) {
    constexpr SeatStyle kClassic = SeatStyle::Classic, kExpertSeat = SeatStyle::Expert;
    const std::array<SeatStyles, 3> tables{SeatStyles{kExpertSeat, kExpertSeat, kExpertSeat, kExpertSeat},
                                           SeatStyles{kExpertSeat, kClassic, kExpertSeat, kClassic},
                                           SeatStyles{SeatStyle::Person, kClassic, kClassic, kExpertSeat}};
    std::mt19937 rng(2024);
    int changedPositions = 0;
    for (std::uint32_t deal = 0; deal < 48; ++deal) {
        const SeatStyles& styles = tables[deal % tables.size()];
        ExpertPlayer player(11, kQuick, styles);
        DealState d = NewDeal(rng, static_cast<int>(deal % 4));
        // Stop at a different point of each deal, shown voids included, then ask the seat to play;
        // the Classic seats have played by their rules up to there, so that they can be read.
        const int stop = static_cast<int>(deal * 7 % 48);
        while (d.cardsPlayed < stop) {
            const int seat = d.toPlay;
            if (styles[seat] == kClassic) {
                if (FirstLeadOfDeal(d)) d.trumps = static_cast<std::int8_t>(pellow::ChooseTrump(d, seat));
                PlayCard(d, pellow::ChooseCard(d, seat));
            } else {
                PlayCard(d, Decide(player, d));
            }
        }
        const int me = d.toPlay;
        const bool first = FirstLeadOfDeal(d);
        const int trump = first ? player.ChooseTrump(d, me) : -1;
        if (first) d.trumps = static_cast<std::int8_t>(trump);
        const int card = player.ChooseCard(d, me);
        for (int k = 0; k < 5; ++k) {
            DealState other = d;
            PermuteHiddenCards(other, me, rng);
            if (other.hand != d.hand) ++changedPositions;
            if (first) {
                EXPECT_EQ(player.ChooseTrump(other, me), trump) << "deal " << deal;
            }
            EXPECT_EQ(player.ChooseCard(other, me), card) << "deal " << deal << " after " << stop;
        }
    }
    EXPECT_GT(changedPositions, 180);
}

// The reading rebuilds the order of play from what every seat sees, and never rules out the
// hands a Classic seat truly held: its rules, asked again on them as the table then stood,
// choose the card it played (or one they score alike).
TEST(Expert, ReadingRebuildsThePlayAndKeepsTheClassicSeatsTrueHands) {
    std::mt19937 rng(77);
    const SeatStyles classic{SeatStyle::Classic, SeatStyle::Classic, SeatStyle::Classic, SeatStyle::Classic};
    int read = 0;
    for (int deal = 0; deal < 40; ++deal) {
        DealState d = NewDeal(rng, deal % 4);
        std::vector<int> played;
        while (!DealOver(d)) {
            std::array<std::int8_t, kCards> order{};
            ASSERT_TRUE(PlayOrder(d, order)) << "deal " << deal << " after " << played.size();
            EXPECT_TRUE(std::equal(played.begin(), played.end(), order.begin())) << "deal " << deal;
            const int seat = d.toPlay;
            // A miss costs so much here that any would show.
            const PlayReading reading(d, seat, classic, -1000.0f);
            for (int other = 0; other < 4; ++other) {
                if (other == seat || !reading.ReadsSeat(other)) continue;
                EXPECT_GT(reading.SeatLog(other, d.hand[other].data(), d.handCount[other], -1e9f), -500.0f)
                    << "deal " << deal << " seat " << other << " after " << played.size();
                ++read;
            }
            if (FirstLeadOfDeal(d)) d.trumps = static_cast<std::int8_t>(pellow::ChooseTrump(d, seat));
            const int card = pellow::ChooseCard(d, seat);
            played.push_back(card);
            PlayCard(d, card);
        }
    }
    EXPECT_GT(read, 5000);
}

// The hint's values: one for each card the user may play, in hand order, each between what the
// team has taken and what the other team has not, and none above the hinted card's (on the
// deal's first lead, none of the hinted card's suit: the suit is chosen over fewer deals).
void ExpectHintValues(const DealState& d, const ExpertAdvice& hint) {
    const CardList playable = LegalCards(d);
    ASSERT_EQ(hint.count, playable.count) << "after " << int{d.cardsPlayed};
    const std::optional<float> best = hint.PointsOf(hint.card);
    ASSERT_TRUE(best.has_value()) << "no value for the hinted card";
    for (int i = 0; i < playable.count; ++i) {
        const CardValue& v = hint.values[i];
        EXPECT_EQ(v.card, playable.card[i]);
        EXPECT_GE(v.points, DealPoints(d, 0)) << "card " << v.card;
        EXPECT_LE(v.points, 80 - DealPoints(d, 1)) << "card " << v.card;
        if (!FirstLeadOfDeal(d) || SuitOf(v.card) == SuitOf(hint.card)) {
            EXPECT_LE(v.points, *best) << "card " << v.card << " above the hint " << hint.card;
        }
    }
}

// The table's players answer from their threads exactly what each level answers in place: the
// Expert seats and the hint the Expert's card, the Classic seats the Classic card, whatever
// order the frames ask in. The hint comes from the Expert with a Classic partner too.
TEST(Expert, TablePlayersAnswerEachSeatAtItsLevel) {
    for (const bool expertPartner : {true, false}) {
        const ComputerLevel partner = expertPartner ? ComputerLevel::Expert : ComputerLevel::Classic;
        const ComputerLevel opponents = expertPartner ? ComputerLevel::Classic : ComputerLevel::Expert;
        TablePlayers table(5, partner, opponents, kQuick);
        const ExpertPlayer expert(5, kQuick, TableStyles(partner, opponents));
        std::mt19937 rng(99);
        for (int deal = 0; deal < 4; ++deal) {
            DealState d = NewDeal(rng, deal);
            while (!DealOver(d)) {
                const int seat = d.toPlay;
                DealState asked = d;
                const bool first = FirstLeadOfDeal(d);
                if (first) asked.trumps = static_cast<std::int8_t>(expert.ChooseTrump(d, seat));
                const int expertCard = expert.ChooseCard(asked, seat);
                int card = -1;
                if (seat == userSeat) {
                    std::optional<ExpertAdvice> hint;
                    while (!(hint = table.HintDetails(d))) std::this_thread::yield();
                    card = hint->card;
                    EXPECT_EQ(card, expertCard);
                    EXPECT_EQ(table.Hint(d), card);
                    ExpectHintValues(d, *hint);
                } else {
                    table.Think(d);
                    while (!table.Ready(d, seat)) std::this_thread::yield();
                    const bool isExpert = table.LevelOf(seat) == ComputerLevel::Expert;
                    if (first) {
                        d.trumps = static_cast<std::int8_t>(table.ChooseTrump(d, seat));
                        EXPECT_EQ(d.trumps, isExpert ? asked.trumps : pellow::ChooseTrump(d, seat));
                    }
                    card = table.ChooseCard(d, seat);
                    EXPECT_EQ(card, isExpert ? expertCard : pellow::ChooseCard(d, seat)) << "seat " << seat;
                }
                ASSERT_TRUE(MayPlay(d, seat, card));
                PlayCard(d, card);
            }
        }
    }
}

// The user's first lead may be any card, and its suit becomes trumps: the hint weighs the whole
// hand, then the best suit's cards over more deals, and picks the card the game's own Expert
// seat would lead.
TEST(Expert, FirstLeadHintWeighsTheWholeHand) {
    std::mt19937 rng(31);
    const ExpertPlayer player(17, kQuick);
    for (int deal = 0; deal < 40; ++deal) {
        DealState d = NewDeal(rng, userSeat);
        const ExpertAdvice advice = player.Advise(d, userSeat);
        DealState asked = d;
        asked.trumps = static_cast<std::int8_t>(player.ChooseTrump(d, userSeat));
        EXPECT_EQ(advice.card, player.ChooseCard(asked, userSeat)) << "deal " << deal;
        ExpectHintValues(d, advice);
    }
}

// A position set out card by card, the user to play: every card not in a hand or on the table
// was taken earlier, the first `ourCards` of them by the user's team.
class ExpertHintTest : public AiTest {
protected:
    ExpertHintTest() { d.toPlay = userSeat; }

    void TakeTheRest(int ourCards) {
        std::array<bool, kCards> out{};
        for (int seat = 0; seat < 4; ++seat)
            for (int i = 0; i < d.handCount[seat]; ++i) out[d.hand[seat][i]] = true;
        for (int i = 0; i < d.trickCount; ++i) {
            out[d.trick[i]] = true;
            d.playedBy[d.trick[i]] = static_cast<std::int8_t>((d.trickLeader + 3 * i) % 4);  // turns run downwards
        }
        for (int code = 0; code < kCards; ++code) {
            if (out[code]) continue;
            const int team = d.takenCount[0] < ourCards ? 0 : 1;
            d.taken[team][d.takenCount[team]++] = static_cast<std::int8_t>(code);
            d.playedBy[code] = static_cast<std::int8_t>(team);
        }
        d.cardsPlayed = static_cast<std::int8_t>(d.takenCount[0] + d.takenCount[1] + d.trickCount);
    }
};

// Two tricks left, spades trumps. Left led the nine of hearts, the partner could not follow, right played low:
// the king takes the nine for the user's team and the four then wins the last trick on the
// diamonds; the four leaves the nine to left and the king falls to a diamond lead. Whatever the
// hidden diamonds' seats, the king is worth exactly nine points more.
TEST_F(ExpertHintTest, ValuesShowTheNineTheUserCanTake) {
    d.trickLeader = leftSeat;
    SeatHolds(leftSeat, {"2D"});
    SeatHolds(partnerSeat, {"3D"});
    SeatHolds(rightSeat, {"4D"});
    Table({"9H", "2C", "3H"});
    Hand({"4H", "KH"});
    d.shownVoid[partnerSeat] = 1u << kHearts;
    TakeTheRest(24);
    const int taken = DealPoints(d, 0);

    const ExpertAdvice advice = ExpertPlayer(3).Advise(d, userSeat);
    EXPECT_EQ(advice.card, Card("KH"));
    ASSERT_EQ(advice.count, 2);
    EXPECT_EQ(advice.PointsOf(Card("KH")), taken + 9.0f);
    EXPECT_EQ(advice.PointsOf(Card("4H")), static_cast<float>(taken));
}

}  // namespace
}  // namespace pellow
