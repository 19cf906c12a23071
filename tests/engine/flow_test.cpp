#include "engine/phases.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>
#include <optional>
#include <random>
#include <set>
#include <vector>

#include "engine/dealing.hpp"
#include "engine/layout.hpp"
#include "engine/motion.hpp"
#include "engine/services.hpp"
#include "engine/trick.hpp"
#include "engine/user_input.hpp"
#include "support/scripted_player.hpp"

namespace pellow {
namespace {

// A click on the user's first card that may be played.
FrameInput ClickOnFirstLegalCard(const Match& m) {
    for (int i = 0; i <= 12; ++i) {
        const CardSprite& c = m.motion.userHand[i];
        if (c.inUse && MayPlay(m.deal, userSeat, c.card))
            return {false, true, static_cast<int>(c.x) + 3, static_cast<int>(c.y) + 60, false};
    }
    return {};
}

// The user's turn in a test: R first while the hand is unsorted, when asked to sort it, then the
// first card that may be played.
FrameInput UsersTurn(const Match& m, bool sortFirst) {
    if (sortFirst && !m.motion.userHandSorted && m.deal.handCount[userSeat] == kHandCards) {
        FrameInput input;
        input.reorder = true;
        return input;
    }
    return ClickOnFirstLegalCard(m);
}

// Drives the match as the frame loop does, minus the drawing.
class FlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m.random = &rnd;
        m.clock = &clock;
        m.sounds = &sounds;
        m.computer = &player;
        m.settings.screen = ScreenSize::Small800x600;
        m.layout = MakeTableLayout(m.settings.screen, false);
    }

    // A fresh deal on which the user leads, one frame in: the user's turn to pick.
    void DealToTheUsersLead() {
        for (int tries = 0; tries < 40; ++tries) {
            DealOut();
            if (NextSeat(m.motion.turnSeat) == userSeat) break;
            m.score.matchOver = true;
        }
        Frame(false);
    }

    // One frame at 60 Hz; the user plays the first legal card of their hand when asked.
    void Frame(bool autoUser = true) {
        clock.now += 17;
        FrameInput input;
        if (autoUser && UserMayPick(m, false)) input = UsersTurn(m, sortOnFirstTurn);
        StepFrame(m, input);
        ++frames;
    }

    FrameInput ClickOnFirstLegal() const { return ClickOnFirstLegalCard(m); }

    // Runs frames until the condition holds; fails the test after a generous limit.
    void RunUntil(const std::function<bool()>& done, bool autoUser = true, int limit = 200000) {
        for (int i = 0; i < limit; ++i) {
            if (done()) return;
            Frame(autoUser);
        }
        FAIL() << "condition not reached, phase " << PhaseText(m.motion.statusText);
    }

    void DealOut() {
        NewDeal(m);
        RunUntil([&] { return m.motion.statusText != Phase::DealingCards; });
    }

    Match m;
    MersenneRandom rnd{11};
    ManualClock clock;
    RecordingSounds sounds;
    ScriptedPlayer player;
    long frames = 0;
    // The user presses R on their first turn of every deal (Frame).
    bool sortOnFirstTurn = false;
};

TEST_F(FlowTest, DealGivesThirteenConsecutiveCardsPerSeatInDealOrder) {
    for (int deal = 0; deal < 6; ++deal) {
        NewDeal(m);
        EXPECT_EQ(sounds.played.back(), SoundEffect::Shuffle);
        const auto order = m.motion.dealOrder;
        const auto stock = m.motion.deckCards;
        EXPECT_EQ(order[0], m.motion.turnSeat);
        RunUntil([&] { return m.motion.statusText != Phase::DealingCards; });
        ASSERT_EQ(m.motion.statusText, Phase::NormalPlay);
        const int receivers[4] = {order[0], order[3], order[2], order[1]};
        for (int block = 0; block < 4; ++block) {
            const int seat = receivers[block];
            ASSERT_EQ(m.deal.handCount[seat], 13);
            for (int k = 0; k < 13; ++k) {
                EXPECT_EQ(m.deal.hand[seat][k], stock[13 * block + k].card);
                EXPECT_EQ(HandSprites(m.motion, seat)[k].faceUp, seat == userSeat);
            }
        }
        // Each dealt card flew for exactly playFrames frames.
        EXPECT_EQ(m.motion.cardsDealt, 52);
        EXPECT_EQ(m.motion.nextDeckCard, 52);
        // Finish the deal so the next one starts from the score page.
        RunUntil([&] { return m.motion.statusText == Phase::EndOfMatch; });
    }
}

TEST_F(FlowTest, UsersDealtCardsLieAtTheirHomes) {
    DealOut();
    for (int k = 0; k < 13; ++k) {
        EXPECT_NEAR(m.motion.userHand[k].x, 155 + 33 * k, 0.01);
        EXPECT_NEAR(m.motion.userHand[k].y, 420, 0.01);
        EXPECT_EQ(m.motion.userHand[k].homeX, 155 + 33 * k);
    }
}

TEST_F(FlowTest, FirstLeadFixesTrumpsOnceAndTheTwoOfDiamondsLeads) {
    for (int deal = 0; deal < 8; ++deal) {
        player.calls.clear();
        DealOut();
        const int leader = NextSeat(m.motion.turnSeat);
        if (deal == 0) {
            EXPECT_EQ(leader, FindTwoOfDiamonds(m.deal));
        } else {
            EXPECT_EQ(leader, m.dealerSeat);  // the dealer leads later deals
        }
        RunUntil([&] { return m.deal.cardsPlayed == 1; });
        if (leader == userSeat) {
            EXPECT_TRUE(std::none_of(player.calls.begin(), player.calls.end(), [](auto c) { return c.trump; }));
            EXPECT_EQ(m.deal.trumps, SuitOf(m.deal.trick[0]));
        } else {
            ASSERT_GE(player.calls.size(), 2u);
            EXPECT_TRUE(player.calls[0].trump);
            EXPECT_EQ(player.calls[0].seat, leader);
            EXPECT_FALSE(player.calls[1].trump);
        }
        const int trumps = m.deal.trumps;
        RunUntil([&] { return m.motion.statusText == Phase::EndOfMatch; });
        EXPECT_EQ(std::count_if(player.calls.begin(), player.calls.end(), [](auto c) { return c.trump; }),
                  leader == userSeat ? 0 : 1);
        EXPECT_EQ(m.deal.trumps, trumps);
        m.score.matchOver = false;  // keep the match going so the leader rule for later deals applies
    }
}

TEST_F(FlowTest, PauseOfSevenHundredMillisecondsAfterEveryCard) {
    DealOut();
    for (int card = 1; card <= 4; ++card) {
        RunUntil([&] { return m.motion.statusText == Phase::Paused; });
        EXPECT_EQ(m.motion.trickCount, card);
        const auto start = m.motion.pauseStartTick;
        // Time stands still: the pause holds however many frames pass, and nothing moves.
        clock.now = start + 700;
        for (int i = 0; i < 50; ++i) {
            UpdateMatch(m);
            ASSERT_EQ(m.motion.statusText, Phase::Paused);
        }
        clock.now = start + 701;
        UpdateMatch(m);
        EXPECT_TRUE(m.motion.pauseDone);
        if (card < 4) {
            EXPECT_EQ(m.motion.statusText, Phase::NormalPlay);
        } else {
            // The gather starts only after the fourth card's pause.
            EXPECT_TRUE(m.motion.statusText == Phase::WeGathering || m.motion.statusText == Phase::TheyGathering);
            for (int i = 0; i < 4; ++i) EXPECT_FALSE(m.motion.trickCards[i].moving);
        }
    }
}

// A computer seat still thinking when its turn comes holds the turn: the frames go on, no card
// is asked for or played, and the seat plays as soon as it is ready.
TEST_F(FlowTest, SeatStillThinkingHoldsItsTurnWithoutStoppingTheFrames) {
    DealOut();
    RunUntil([&] { return m.motion.statusText == Phase::Paused && m.deal.toPlay != userSeat; });
    const int played = m.deal.cardsPlayed;
    const std::size_t asked = player.calls.size();
    player.busy = 40;
    for (int i = 0; i < 200 && player.busy > 0; ++i) {
        Frame();
        ASSERT_EQ(m.deal.cardsPlayed, played);
        ASSERT_EQ(player.calls.size(), asked);
        ASSERT_FALSE(AnyCardMoving(m.motion));
    }
    EXPECT_EQ(player.busy, 0) << "the turn did not ask whether the seat was ready";
    RunUntil([&] { return m.deal.cardsPlayed == played + 1; }, true, 200);
}

TEST_F(FlowTest, GatherThenCarryWithTheirTargetsAndFrameCounts) {
    for (bool slow : {false, true}) {
        m.layout = MakeTableLayout(m.settings.screen, slow);
        DealOut();
        RunUntil(
            [&] { return m.motion.statusText == Phase::WeGathering || m.motion.statusText == Phase::TheyGathering; });
        const bool ours = m.motion.statusText == Phase::WeGathering;
        const int winner = m.motion.trickWinnerCard;
        // The rules core took the trick the moment its fourth card landed; the table catches up.
        const int team = ours ? 0 : 1;
        ASSERT_GE(m.deal.takenCount[team], 4);
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(m.deal.taken[team][m.deal.takenCount[team] - 4 + i], m.motion.trickCards[i].card);
        EXPECT_EQ(TeamOf(m.deal.lastTrickWinner), team);
        const float wx = m.motion.trickCards[winner].x, wy = m.motion.trickCards[winner].y;

        UpdateMatch(m);  // GatherTrick launches the three other cards
        for (int i = 0; i < 4; ++i) {
            const CardSprite& c = m.motion.trickCards[i];
            EXPECT_EQ(c.moving, i != winner);
            if (i == winner) continue;
            EXPECT_GE(c.targetX, wx);
            EXPECT_LT(c.targetX, wx + 8);
            EXPECT_GE(c.targetY, wy);
            EXPECT_LT(c.targetY, wy + 8);
            EXPECT_TRUE(c.faceUp);
        }
        const CardSprite gatherTest = m.motion.trickCards[winner == 0 ? 1 : 0];
        const int expectedGather = FramesToArrive(gatherTest, m.layout);
        EXPECT_LE(expectedGather, m.layout.moveFrames);
        int gatherFrames = 0;
        while (AnyCardMoving(m.motion)) {
            UpdateMatch(m);
            ++gatherFrames;
        }
        EXPECT_EQ(gatherFrames, expectedGather);
        EXPECT_EQ(m.motion.statusText, ours ? Phase::WeGetting : Phase::TheyGetting);

        const int pileBefore = ours ? m.motion.ourPileCount : m.motion.theirPileCount;
        UpdateMatch(m);  // the carry
        const int px = ours ? m.layout.ourPileX : m.layout.theirPileX,
                  py = ours ? m.layout.ourPileY : m.layout.theirPileY;
        for (int i = 0; i < 4; ++i) {
            const CardSprite& c = m.motion.trickCards[i];
            EXPECT_TRUE(c.moving);
            EXPECT_FALSE(c.faceUp);
            EXPECT_GE(c.targetX, px);
            EXPECT_LT(c.targetX, px + 8);
            EXPECT_GE(c.targetY, py);
            EXPECT_LT(c.targetY, py + 8);
        }
        const int expectedCarry = FramesToArrive(m.motion.trickCards[winner == 0 ? 1 : 0], m.layout);
        EXPECT_LE(expectedCarry, m.layout.moveFrames);
        int carryFrames = 0;
        while (m.motion.trickCount > 0) {
            UpdateMatch(m);
            ++carryFrames;
        }
        EXPECT_EQ(carryFrames, expectedCarry);
        EXPECT_EQ(ours ? m.motion.ourPileCount : m.motion.theirPileCount, pileBefore + 4);
        EXPECT_EQ(m.motion.statusText, Phase::NormalPlay);
        EXPECT_EQ(m.motion.ourDealScore, DealPoints(m.deal, 0));
        // The winner leads next.
        EXPECT_EQ(NextSeat(m.motion.turnSeat), m.deal.lastTrickWinner);
        EXPECT_EQ(m.deal.toPlay, m.deal.lastTrickWinner);
    }
}

TEST_F(FlowTest, PlayedCardFliesForPlayFramesAndLandsNearItsSpot) {
    for (bool slow : {false, true}) {
        m.layout = MakeTableLayout(m.settings.screen, slow);
        DealOut();
        for (int card = 0; card < 8; ++card) {
            RunUntil([&] { return AnyCardMoving(m.motion) && m.motion.statusText == Phase::NormalPlay; });
            const int seat = m.motion.turnSeat;
            const CardSprite* flying = nullptr;
            for (int s2 = 0; s2 < 4 && !flying; ++s2)
                for (auto& c : HandSprites(m.motion, s2))
                    if (c.moving) flying = &c;
            ASSERT_NE(flying, nullptr);
            const int expected = FramesToArrive(*flying, m.layout);
            const float tx = flying->targetX, ty = flying->targetY;
            EXPECT_LE(expected, m.layout.playFrames);
            EXPECT_GE(expected, m.layout.playFrames - 1);
            EXPECT_GE(tx, m.motion.tableSpots[seat].x);
            EXPECT_LT(tx, m.motion.tableSpots[seat].x + 20);
            EXPECT_GE(ty, m.motion.tableSpots[seat].y);
            EXPECT_LT(ty, m.motion.tableSpots[seat].y + 16);
            int flight = 0;
            const int before = m.deal.cardsPlayed;
            while (m.deal.cardsPlayed == before) {
                Frame();
                ++flight;
            }
            EXPECT_EQ(flight, expected);
            const CardSprite& t = m.motion.trickCards[m.motion.trickCount - 1];
            EXPECT_EQ(t.spot, seat);
            EXPECT_NEAR(t.x, tx, m.layout.arriveToleranceX);
            EXPECT_NEAR(t.y, ty, m.layout.arriveToleranceY);
            RunUntil([&] { return m.motion.statusText == Phase::NormalPlay && !AnyCardMoving(m.motion); });
        }
    }
}

TEST_F(FlowTest, TrickWonBySeatZeroMakesTheUserLead) {
    bool seen = false;
    for (int deal = 0; deal < 5 && !seen; ++deal) {
        DealOut();
        while (m.motion.statusText != Phase::EndOfMatch && !seen) {
            RunUntil(
                [&] { return m.motion.statusText == Phase::WeGetting || m.motion.statusText == Phase::EndOfMatch; });
            if (m.motion.statusText == Phase::EndOfMatch || m.deal.lastTrickWinner != userSeat) {
                if (m.motion.statusText != Phase::EndOfMatch) Frame();
                continue;
            }
            RunUntil([&] { return m.motion.statusText == Phase::NormalPlay; });
            EXPECT_EQ(m.motion.turnSeat, 1);
            if (m.deal.cardsPlayed < 52) {
                Frame(false);
                EXPECT_EQ(m.motion.turnSeat, userSeat);
                EXPECT_TRUE(m.motion.waitingForUser);
                EXPECT_FALSE(m.motion.userHasChosen);
            }
            seen = true;
        }
        m.score.matchOver = true;
    }
    EXPECT_TRUE(seen);
}

TEST_F(FlowTest, ReorderRoundTripSortsTheHandAndRestoresThePhase) {
    // A deal in which the user is the first to play, so all 13 cards are held.
    DealToTheUsersLead();
    ASSERT_EQ(m.motion.turnSeat, userSeat);
    ASSERT_TRUE(m.motion.waitingForUser);
    ASSERT_TRUE(RequestReorder(m));
    EXPECT_EQ(m.motion.statusText, Phase::GatherAroundFirstCard);
    EXPECT_EQ(m.motion.statusBeforeReorder, Phase::NormalPlay);

    int gather = 0;
    UpdateMatch(m);  // gathers onto card 0
    while (m.motion.statusText == Phase::GatherAroundFirstCard) {
        // Clicking a card while the hand moves is not a pick and does not use up the turn.
        UserClick(m, 160, 480, false);
        EXPECT_EQ(m.motion.clickedCard, -1);
        UpdateMatch(m);
        ++gather;
    }
    EXPECT_EQ(gather, m.layout.moveFrames);
    EXPECT_EQ(m.motion.statusText, Phase::SpreadAheadFirstCard);
    RunUntil([&] { return m.motion.statusText == Phase::NormalPlay; }, false);
    for (int k = 0; k < 13; ++k) {
        EXPECT_NEAR(m.motion.userHand[k].x, 155 + 33 * k, 8.0);
        EXPECT_FALSE(m.motion.userHand[k].moving);
    }
    for (int k = 0; k + 1 < 13; ++k) {
        const int a = m.motion.userHand[k].card, b = m.motion.userHand[k + 1].card;
        EXPECT_TRUE(SuitOf(a) < SuitOf(b) || (SuitOf(a) == SuitOf(b) && StrengthOf(a) > StrengthOf(b)));
    }
    // The rules core holds the user's cards in the order shown.
    for (int k = 0; k < 13; ++k) EXPECT_EQ(m.deal.hand[userSeat][k], m.motion.userHand[k].card);
    EXPECT_FALSE(m.motion.userHasChosen);
    // The turn is still the user's and a click now plays.
    EXPECT_TRUE(StepFrame(m, ClickOnFirstLegal()));
}

// R sorts the hand under the keyboard's highlight: it stays on its card, not on the slot.
TEST_F(FlowTest, ReorderKeepsTheHighlightOnItsCard) {
    DealToTheUsersLead();
    ASSERT_TRUE(UserMayPick(m, false));
    std::array<int, kHandCards> sorted{};
    for (int k = 0; k < kHandCards; ++k) sorted[k] = m.motion.userHand[k].card;
    std::sort(sorted.begin(), sorted.end(), [](int a, int b) {
        return SuitOf(a) < SuitOf(b) || (SuitOf(a) == SuitOf(b) && StrengthOf(a) > StrengthOf(b));
    });
    // The first slot whose card the sort moves elsewhere; the user leads, so all may be played.
    int slot = 0;
    while (slot < kHandCards && sorted[slot] == m.motion.userHand[slot].card) ++slot;
    ASSERT_LT(slot, kHandCards) << "the deal came sorted";
    MoveHighlight(m, +1, false);
    for (int k = 0; k < slot; ++k) MoveHighlight(m, +1, false);
    ASSERT_EQ(HighlightedSlot(m), slot);
    const int card = m.motion.userHand[slot].card;
    ASSERT_TRUE(RequestReorder(m));
    RunUntil([&] { return m.motion.statusText == Phase::NormalPlay; }, false);
    ASSERT_GE(HighlightedSlot(m), 0);
    EXPECT_EQ(m.motion.userHand[HighlightedSlot(m)].card, card);
}

TEST_F(FlowTest, ReorderRefusedOutsideTheUsersFullHandTurn) {
    DealOut();
    m.motion.turnSeat = 2;
    EXPECT_FALSE(RequestReorder(m));
    m.motion.turnSeat = userSeat;
    m.motion.userHand[3].moving = true;
    EXPECT_FALSE(RequestReorder(m));
    m.motion.userHand[3].moving = false;
    m.deal.handCount[userSeat] = 12;
    EXPECT_FALSE(RequestReorder(m));
    EXPECT_EQ(m.motion.statusText, Phase::NormalPlay);
}

TEST_F(FlowTest, PicksWhilePausedOrMovingAreNotLostNorStuck) {
    DealToTheUsersLead();
    ASSERT_TRUE(m.motion.waitingForUser);
    const CardSprite& c = m.motion.userHand[12];
    const int x = static_cast<int>(c.x) + 50, y = static_cast<int>(c.y) + 50;

    UserClick(m, x, y, /*paused=*/true);
    EXPECT_EQ(m.motion.clickedCard, -1);
    EXPECT_FALSE(m.motion.userHasChosen);

    m.motion.partnerHand[0].moving = true;  // something still moves
    UserClick(m, x, y, false);
    EXPECT_EQ(m.motion.clickedCard, -1);
    EXPECT_FALSE(m.motion.userHasChosen);
    m.motion.partnerHand[0].moving = false;

    UserClick(m, x, y, false);
    EXPECT_EQ(m.motion.clickedCard, 12);
    // A card is never sent outside normal play; the turn is handed back instead.
    m.motion.statusText = Phase::GatherAroundFirstCard;
    SendClickedCard(m);
    EXPECT_FALSE(m.motion.userHand[12].moving);
    EXPECT_FALSE(m.motion.userHasChosen);
    m.motion.statusText = Phase::NormalPlay;
    UserClick(m, x, y, false);
    EXPECT_EQ(m.motion.clickedCard, 12);
    SendClickedCard(m);
    EXPECT_TRUE(m.motion.userHand[12].moving);
    EXPECT_EQ(m.deal.trumps, SuitOf(m.motion.userHand[12].card));  // the first lead fixes trumps
}

TEST_F(FlowTest, HitTestTakesTheTopmostLegalCard) {
    DealOut();
    m.motion.trickCount = 0;
    const CardSprite& s7 = m.motion.userHand[7];
    const int px = static_cast<int>(s7.x) + 10, py = static_cast<int>(s7.y) + 10;  // slot 7 lies over 6
    EXPECT_EQ(HitTestHand(m, px, py), 7);
    m.motion.userHasChosen = false;
    // Slot 7 illegal (another suit led while the hand holds it): slot 6 beneath is taken.
    const int suit7 = SuitOf(m.motion.userHand[7].card);
    const int suit6 = SuitOf(m.motion.userHand[6].card);
    if (suit6 != suit7) {
        m.deal.trickCount = 1;
        m.deal.trick[0] = static_cast<std::int8_t>(m.motion.userHand[6].card);
        EXPECT_EQ(HitTestHand(m, px, py), 6);
    }
    m.motion.userHasChosen = true;
    EXPECT_EQ(HitTestHand(m, px, py), -1);
}

TEST_F(FlowTest, AClickFindsALiftedCardWhereItShows) {
    DealToTheUsersLead();
    ASSERT_TRUE(m.motion.waitingForUser);
    const CardSprite& c = m.motion.userHand[12];
    const int x = static_cast<int>(c.x) + 50;
    const int above = static_cast<int>(c.y) - 10;           // over the row, on no card
    const int left = static_cast<int>(c.y + c.height) - 5;  // the strip a lifted card leaves
    HandLifts lifts{};
    lifts[12] = 20;
    EXPECT_EQ(HitTestHand(m, x, above), -1);
    EXPECT_NE(HitTestHand(m, x, left, lifts), 12) << "the place the lifted card left is not the card";
    m.motion.userHasChosen = false;
    // The frame's input carries the lifts as the game last showed them.
    FrameInput input;
    input.click = true;
    input.x = x;
    input.y = above;
    input.handLifts = lifts;
    EXPECT_TRUE(StepFrame(m, input)) << "the part lifted above the row is the card";
    EXPECT_TRUE(m.motion.userHand[12].moving);
}

// A deal started on the score page of a played deal is the deal a fresh match would start:
// nothing of the last deal's motion (sprites, piles, the pause, the turn) leaks into it.
TEST_F(FlowTest, NewDealAfterAPlayedDealStartsFromAFreshMotion) {
    DealOut();
    RunUntil([&] { return m.motion.statusText == Phase::EndOfMatch; });
    ASSERT_EQ(m.motion.ourPileCount + m.motion.theirPileCount, kCards);

    Match fresh;
    fresh.sounds = &sounds;
    fresh.settings = m.settings;
    fresh.layout = m.layout;
    fresh.dealerChosen = m.dealerChosen;
    fresh.dealerSeat = m.dealerSeat;
    MersenneRandom sameDraws{5}, sameDrawsAgain{5};
    m.random = &sameDraws;
    fresh.random = &sameDrawsAgain;
    NewDeal(m);
    NewDeal(fresh);
    EXPECT_EQ(m.dealerSeat, fresh.dealerSeat);
    EXPECT_TRUE(m.motion == fresh.motion);
}

// A deal number deals the same stock from the same seat wherever it comes: as the launch's first
// deal, in the middle of a match, or first in a match started over. The deals drawn between are
// numbered too and pass the deal on; a match that took a chosen number says so until the next.
TEST_F(FlowTest, ADealNumberDealsTheSameCardsFromTheSameSeatWhereverItComes) {
    struct Dealt {
        std::array<int, kCards> stock{};
        int dealer = 0;
        std::array<std::array<std::int8_t, kHandCards>, 4> hands{};
    };
    // The deal just started, dealt out.
    const auto dealt = [&] {
        Dealt d;
        for (int i = 0; i < kCards; ++i) d.stock[i] = m.motion.deckCards[i].card;
        d.dealer = m.motion.turnSeat;
        EXPECT_EQ(d.dealer, DealerOf(m.dealNumber));
        EXPECT_TRUE(ValidDealNumber(m.dealNumber));
        RunUntil([&] { return m.motion.statusText != Phase::DealingCards; });
        d.hands = m.deal.hand;
        return d;
    };
    const auto dealOut = [&](std::optional<DealNumber> chosen) {
        if (chosen) {
            EXPECT_TRUE(ChooseNextDeal(m, *chosen));
        }
        NewDeal(m);
        return dealt();
    };
    const auto same = [](const Dealt& a, const Dealt& b) {
        return a.stock == b.stock && a.dealer == b.dealer && a.hands == b.hands;
    };
    constexpr DealNumber n = 987654322;
    const Dealt first = dealOut(n);
    EXPECT_EQ(m.dealNumber, n);
    EXPECT_EQ(first.dealer, 2);
    EXPECT_TRUE(m.score.chosenDeals);
    EXPECT_EQ(m.dealerSeat, FindTwoOfDiamonds(m.deal)) << "the first deal of a match";
    RunUntil([&] { return m.motion.statusText == Phase::EndOfMatch; });
    m.score.matchOver = false;

    // Drawn numbers: another deal, dealt by the next seat in turn, in the same match.
    for (int deal = 0; deal < 4; ++deal) {
        const int passedTo = NextSeat(m.dealerSeat);
        const Dealt drawn = dealOut(std::nullopt);
        EXPECT_EQ(drawn.dealer, passedTo);
        EXPECT_FALSE(same(drawn, first));
        EXPECT_TRUE(m.score.chosenDeals) << "the match took a chosen deal";
        EXPECT_EQ(NextSeat(m.motion.turnSeat), m.dealerSeat) << "the dealer leads later deals";
        RunUntil([&] { return m.motion.statusText == Phase::EndOfMatch; });
        m.score.matchOver = false;
    }
    EXPECT_TRUE(same(dealOut(n), first)) << "chosen in the middle of a match";
    EXPECT_EQ(m.dealerSeat, DealerOf(n));
    EXPECT_FALSE(same(dealOut(n + 4), first)) << "the same dealer, another deal";

    // Started over in the middle of a deal: the score goes, the next seat deals and the two of
    // diamonds moves the dealer again.
    m.score.ourMatchPoints = 50;
    const int passedTo = NextSeat(m.dealerSeat);
    StartNewMatch(m);
    EXPECT_EQ(m.score.ourMatchPoints, 0);
    EXPECT_FALSE(m.score.chosenDeals);
    EXPECT_EQ(m.motion.turnSeat, passedTo);
    RunUntil([&] { return m.motion.statusText != Phase::DealingCards; });
    EXPECT_TRUE(m.score.firstDealDone);
    EXPECT_EQ(m.dealerSeat, FindTwoOfDiamonds(m.deal));
    ASSERT_TRUE(ChooseNextDeal(m, n));
    StartNewMatch(m);
    EXPECT_TRUE(m.score.chosenDeals);
    const Dealt again = dealt();
    EXPECT_TRUE(same(again, first)) << "chosen for a match started over";
    EXPECT_FALSE(ChooseNextDeal(m, 0));
    EXPECT_FALSE(ChooseNextDeal(m, kLargestDealNumber + 1));
    EXPECT_FALSE(m.chosenDeal);
}

TEST_F(FlowTest, DealEndsInEndOfMatchAfterTheFiftySecondCard) {
    DealOut();
    RunUntil([&] { return m.deal.cardsPlayed == 52; });
    EXPECT_NE(m.motion.statusText, Phase::EndOfMatch);  // the last trick still travels
    RunUntil([&] { return m.motion.statusText == Phase::EndOfMatch; });
    EXPECT_EQ(m.motion.ourDealScore + m.motion.theirDealScore, 80);
    EXPECT_EQ(m.motion.ourPileCount + m.motion.theirPileCount, 52);
    EXPECT_EQ(m.score.dealHistoryCount, 1);
    for (int i = 0; i < 200; ++i) UpdateMatch(m);
    EXPECT_EQ(m.motion.statusText, Phase::EndOfMatch);
    // A click on the score page starts the next deal and is not also a pick.
    UserClick(m, 200, 480, false);
    EXPECT_EQ(m.motion.statusText, Phase::DealingCards);
    EXPECT_EQ(m.motion.clickedCard, -1);
    // The next deal's stock is fanned again from its top card, as in the first deal.
    const TableLayout& l = m.layout;
    for (int i = 0; i <= 7; ++i) {
        EXPECT_EQ(m.motion.deckCards[i].homeX, l.stockBaseX + l.stockOffset - i) << i;
        EXPECT_EQ(m.motion.deckCards[i].x, static_cast<float>(l.stockBaseX + l.stockOffset - i)) << i;
    }
}

// ---- The table changes size mid-deal ----

// The tables of the shapes a screen may have: 4:3, 16:10, 16:9, 21:9, 32:9 and 3:4.
std::vector<TableLayout> FittedLayouts() {
    std::vector<TableLayout> layouts;
    for (const auto& [w, h] :
         {std::pair{1600, 1200}, {1920, 1200}, {1920, 1080}, {2520, 1080}, {3840, 1080}, {1080, 1440}})
        layouts.push_back(MakeFittedLayout(FittedTableSize(w, h), false));
    return layouts;
}

// The fixture's deal on a table of its own, with services of its own: the same seed deals the
// same cards, so several run the same deal side by side.
struct SameDeal {
    explicit SameDeal(const TableLayout& layout) {
        m.random = &rnd;
        m.clock = &clock;
        m.sounds = &sounds;
        m.computer = &player;
        m.layout = layout;
    }
    // One frame as FlowTest::Frame plays it, the user sorting their hand first.
    void Frame() {
        clock.now += 17;
        StepFrame(m, UserMayPick(m, false) ? UsersTurn(m, true) : FrameInput{});
    }
    Match m;
    MersenneRandom rnd{11};
    ManualClock clock;
    RecordingSounds sounds;
    ScriptedPlayer player;
};

// Both tables show the same moment of the same deal: every card drawn where the other's is, or
// flying where the other's flies; the same homes for the user's hand and the stock; the same
// layout, landing spots, phase and deal.
testing::AssertionResult SameTable(const Match& a, const Match& b) {
    if (!(a.layout == b.layout)) return testing::AssertionFailure() << "layouts differ";
    if (!(a.deal == b.deal)) return testing::AssertionFailure() << "deals differ";
    const DealMotion &p = a.motion, &q = b.motion;
    if (p.statusText != q.statusText)
        return testing::AssertionFailure() << PhaseText(p.statusText) << " against " << PhaseText(q.statusText);
    if (p.tableSpots != q.tableSpots) return testing::AssertionFailure() << "landing spots differ";
    if (p.trickCount != q.trickCount || p.ourPileCount != q.ourPileCount || p.theirPileCount != q.theirPileCount ||
        p.nextDeckCard != q.nextDeckCard)
        return testing::AssertionFailure() << "counts differ";
    const auto near = [](float u, float v) { return std::fabs(u - v) < 0.01f; };
    const auto same = [&](const CardSprite& c, const CardSprite& d, bool home) {
        if (c.inUse != d.inUse || c.card != d.card || c.faceUp != d.faceUp || c.moving != d.moving) return false;
        if (home && (c.homeX != d.homeX || c.homeY != d.homeY)) return false;
        if (!c.inUse) return true;
        return c.moving ? near(c.targetX, d.targetX) && near(c.targetY, d.targetY) : near(c.x, d.x) && near(c.y, d.y);
    };
    const auto differ = [](const char* what, int i, const CardSprite& c, const CardSprite& d) {
        return testing::AssertionFailure()
               << what << " " << i << ": (" << c.x << ", " << c.y << ") to (" << c.targetX << ", " << c.targetY
               << ") home (" << c.homeX << ", " << c.homeY << ") against (" << d.x << ", " << d.y << ") to ("
               << d.targetX << ", " << d.targetY << ") home (" << d.homeX << ", " << d.homeY << ")";
    };
    for (int seat = 0; seat < 4; ++seat)
        for (int i = 0; i < kHandCards; ++i)
            if (!same(HandSprites(p, seat)[i], HandSprites(q, seat)[i], seat == userSeat))
                return differ(seat == userSeat ? "user's card" : "computer's card", i, HandSprites(p, seat)[i],
                              HandSprites(q, seat)[i]);
    for (int i = 0; i < kCards; ++i)
        if (!same(p.deckCards[i], q.deckCards[i], true)) return differ("stock card", i, p.deckCards[i], q.deckCards[i]);
    for (int i = 0; i < p.trickCount; ++i)
        if (!same(p.trickCards[i], q.trickCards[i], false))
            return differ("trick card", i, p.trickCards[i], q.trickCards[i]);
    for (int i = 0; i < p.ourPileCount; ++i)
        if (!same(p.ourPile[i], q.ourPile[i], false)) return differ("our pile's card", i, p.ourPile[i], q.ourPile[i]);
    for (int i = 0; i < p.theirPileCount; ++i)
        if (!same(p.theirPile[i], q.theirPile[i], false))
            return differ("their pile's card", i, p.theirPile[i], q.theirPile[i]);
    return testing::AssertionSuccess();
}

// Two deals, the table changing shape at random frames, flights and pauses included: at every
// frame the table shows what a deal played on that shape from the start shows at the same frame,
// so the piles, points and frame count are those of the unmoved deal, and no random number more
// was drawn.
TEST_F(FlowTest, ADealResizedAtRandomFramesIsTheDealPlayedOnEachShape) {
    const std::vector<TableLayout> layouts = FittedLayouts();
    std::vector<std::unique_ptr<SameDeal>> played;
    for (const TableLayout& l : layouts) played.push_back(std::make_unique<SameDeal>(l));
    SameDeal resized(layouts[0]);
    std::mt19937 chance(2024);
    std::size_t shape = 0;
    std::set<Phase> movedIn;
    int movedInFlight = 0;
    long frame = 0;
    for (int deal = 0; deal < 2; ++deal) {
        NewDeal(resized.m);
        for (auto& table : played) NewDeal(table->m);
        ASSERT_TRUE(SameTable(resized.m, played[shape]->m));
        while (resized.m.motion.statusText != Phase::EndOfMatch) {
            ASSERT_LT(++frame, 20000) << "the deal never ended";
            resized.Frame();
            for (auto& table : played) table->Frame();
            if (chance() % 5 == 0) {
                shape = chance() % layouts.size();
                movedIn.insert(resized.m.motion.statusText);
                movedInFlight += AnyCardMoving(resized.m.motion);
                MoveToLayout(resized.m, layouts[shape]);
            }
            const Match& same = played[shape]->m;
            ASSERT_TRUE(SameTable(resized.m, same)) << "frame " << frame << ", " << PhaseText(same.motion.statusText);
            ASSERT_EQ(resized.rnd.draws, played[shape]->rnd.draws) << "frame " << frame;
        }
        for (auto& table : played) ASSERT_EQ(table->m.motion.statusText, Phase::EndOfMatch);
        const DealMotion &moved = resized.m.motion, &unmoved = played[0]->m.motion;
        ASSERT_EQ(moved.ourPileCount, unmoved.ourPileCount);
        for (int i = 0; i < moved.ourPileCount; ++i) EXPECT_EQ(moved.ourPile[i].card, unmoved.ourPile[i].card);
        EXPECT_EQ(moved.ourDealScore, unmoved.ourDealScore);
        EXPECT_EQ(moved.theirDealScore, unmoved.theirDealScore);
        EXPECT_EQ(resized.m.score, played[0]->m.score);
        // Resized on the score page: the next deal is laid out on the new shape.
        shape = chance() % layouts.size();
        movedIn.insert(resized.m.motion.statusText);
        MoveToLayout(resized.m, layouts[shape]);
        ASSERT_TRUE(SameTable(resized.m, played[shape]->m));
    }
    EXPECT_GT(movedInFlight, 400);
    for (const Phase p : {Phase::DealingCards, Phase::NormalPlay, Phase::Paused, Phase::WeGathering,
                          Phase::TheyGathering, Phase::WeGetting, Phase::TheyGetting, Phase::GatherAroundFirstCard,
                          Phase::SpreadAheadFirstCard, Phase::EndOfMatch})
        EXPECT_TRUE(movedIn.count(p)) << "never resized in " << PhaseText(p);
}

// To another shape and back, or by way of a third, at every frame of a deal: every sprite is back
// exactly, however the wider table rounded the cards' positions, and on the way nothing of the
// deal, the phase or the random numbers changed.
TEST_F(FlowTest, ResizedAndBackEveryCardIsExactlyWhereItWas) {
    const std::vector<TableLayout> layouts = FittedLayouts();
    m.layout = layouts[0];
    sortOnFirstTurn = true;
    NewDeal(m);
    int frame = 0;
    while (m.motion.statusText != Phase::EndOfMatch) {
        ASSERT_LT(++frame, 20000) << "the deal never ended";
        Frame();
        const DealMotion before = m.motion;
        const DealState deal = m.deal;
        const long draws = rnd.draws;
        const TableLayout& away = layouts[1 + static_cast<std::size_t>(frame) % (layouts.size() - 1)];
        MoveToLayout(m, away);
        ASSERT_EQ(m.layout, away);
        ASSERT_TRUE(m.deal == deal) << "frame " << frame;
        ASSERT_EQ(rnd.draws, draws) << "frame " << frame;
        ASSERT_EQ(m.motion.statusText, before.statusText);
        ASSERT_EQ(m.motion.statusBeforePause, before.statusBeforePause);
        if (frame % 2 == 0) MoveToLayout(m, layouts[frame % 4 == 0 ? 4 : 5]);
        MoveToLayout(m, layouts[0]);
        ASSERT_EQ(m.layout, layouts[0]);
        ASSERT_TRUE(m.motion == before) << "frame " << frame << ", " << PhaseText(before.statusText);
    }
}

class ScoringTest : public FlowTest {
protected:
    void Deal(int ours, int theirs) {
        m.motion.ourDealScore = ours;
        m.motion.theirDealScore = theirs;
        ScoreDeal(m);
    }
};

TEST_F(ScoringTest, AllEightyInTheFirstDealWins) {
    Deal(80, 0);
    EXPECT_TRUE(m.score.matchOver);
    EXPECT_EQ(m.score.resultText, "We Won!");
    EXPECT_EQ(sounds.played.back(), SoundEffect::WinGame);
}

TEST_F(ScoringTest, FortyFiveThirtyFiveThenFortyFortyWins) {
    Deal(45, 35);
    EXPECT_FALSE(m.score.matchOver);
    EXPECT_EQ(m.score.resultText, "");
    EXPECT_EQ(sounds.played.back(), SoundEffect::Intro);
    Deal(40, 40);
    EXPECT_EQ(m.score.ourMatchPoints, 85);
    EXPECT_EQ(m.score.theirMatchPoints, 75);
    EXPECT_TRUE(m.score.matchOver);
    EXPECT_EQ(m.score.resultText, "We Won!");
    EXPECT_EQ(m.score.dealHistoryCount, 2);
    EXPECT_EQ(m.score.ourDealPoints[0], 45);
    EXPECT_EQ(m.score.theirDealPoints[1], 40);
}

TEST_F(ScoringTest, TiesGoOnAndTheyCanLose) {
    Deal(40, 40);
    Deal(40, 40);
    EXPECT_FALSE(m.score.matchOver);
    EXPECT_EQ(m.score.ourMatchPoints, 80);
    EXPECT_EQ(sounds.played.back(), SoundEffect::Intro);
    Deal(30, 50);
    EXPECT_TRUE(m.score.matchOver);
    EXPECT_EQ(m.score.resultText, "We lost!");
    EXPECT_EQ(sounds.played.back(), SoundEffect::LoseGame);
}

TEST_F(ScoringTest, SeventyNineIsNotEnough) {
    Deal(79, 1);
    EXPECT_FALSE(m.score.matchOver);
    EXPECT_EQ(m.score.resultText, "");
}

TEST_F(ScoringTest, NextDealAfterAWonMatchResetsIt) {
    Deal(80, 0);
    m.score.firstDealDone = true;
    NewDeal(m);
    EXPECT_FALSE(m.score.matchOver);
    EXPECT_EQ(m.score.dealHistoryCount, 0);
    EXPECT_EQ(m.score.ourMatchPoints, 0);
    EXPECT_EQ(m.score.theirMatchPoints, 0);
    EXPECT_FALSE(m.score.firstDealDone);
}

TEST_F(ScoringTest, EndlessTiesKeepTheMostRecentDeals) {
    for (int d = 0; d < 60; ++d) Deal(40, 40);
    EXPECT_FALSE(m.score.matchOver);
    EXPECT_EQ(m.score.dealHistoryCount, kDealHistory);
    EXPECT_EQ(m.score.ourMatchPoints, 2400);
    EXPECT_EQ(m.score.theirMatchPoints, 2400);
}

TEST_F(ScoringTest, FullHistoryDropsTheOldestDeal) {
    // Uneven deals tell the entries apart; they would end the match, so it is kept going.
    for (int d = 0; d < 60; ++d) {
        Deal(40 - d % 3, 40 + d % 3);
        m.score.matchOver = false;
    }
    EXPECT_EQ(m.score.dealHistoryCount, kDealHistory);
    int ours = 0, theirs = 0;
    for (int d = 0; d < 60; ++d) ours += 40 - d % 3, theirs += 40 + d % 3;
    EXPECT_EQ(m.score.ourMatchPoints, ours);
    EXPECT_EQ(m.score.theirMatchPoints, theirs);
    // The last entry is the 60th deal, the first the 20th.
    EXPECT_EQ(m.score.ourDealPoints[kDealHistory - 1], 40 - 59 % 3);
    EXPECT_EQ(m.score.ourDealPoints[0], 40 - 19 % 3);
}

}  // namespace
}  // namespace pellow
