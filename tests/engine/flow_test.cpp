#include "engine/flow.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

#include "engine/cards.hpp"
#include "engine/deal.hpp"
#include "engine/play.hpp"
#include "support/engine_fakes.hpp"
#include "support/scripted_player.hpp"

namespace pellow {
namespace {

// Frames a movement takes: it ends at the first step that brings the card within the arrival
// tolerance of its target, which for short moves comes before the nominal frame count.
int FramesToArrive(const CardSprite& start, int tolerance) {
    CardSprite c = start;
    for (int f = 1; f <= 1000; ++f) {
        c.x += static_cast<float>(c.dirX) * c.stepX;
        c.y += static_cast<float>(c.dirY) * c.stepY;
        if (std::fabs(c.x - c.targetX) <= tolerance && std::fabs(c.y - c.targetY) <= tolerance) return f;
    }
    return -1;
}

// Drives the match as the frame loop does, minus the drawing: input, UpdateMatch, send.
class FlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        m.random = &rnd;
        m.clock = &clock;
        m.sounds = &sounds;
        m.messages = &messages;
        m.computer = &player;
        m.resolution = "800x600";
        MakeCardFileNames(m);
        SetLayout(m);
    }

    // One frame at 60 Hz; the user plays the first legal card of their hand when asked.
    void Frame(bool autoUser = true) {
        clock.now += 17;
        m.clickedCard = -1;
        if (autoUser && UserMayPick(m, false)) ClickFirstLegal();
        UpdateMatch(m);
        SendClickedCard(m);
        ++frames;
    }

    void ClickFirstLegal() {
        for (int i = 0; i <= 12; ++i) {
            const CardSprite& c = m.userHand[i];
            if (c.inUse && IsLegalPlay(m, c)) {
                UserClick(m, static_cast<int>(c.x) + 3, static_cast<int>(c.y) + 60, false);
                return;
            }
        }
    }

    // Runs frames until the condition holds; fails the test after a generous limit.
    void RunUntil(const std::function<bool()>& done, bool autoUser = true, int limit = 200000) {
        for (int i = 0; i < limit; ++i) {
            if (done()) return;
            Frame(autoUser);
        }
        FAIL() << "condition not reached, phase " << PhaseText(m.statusText);
    }

    void DealOut() {
        NewDeal(m);
        RunUntil([&] { return m.statusText != Phase::DealingCards; });
    }

    Match m;
    FakeRandom rnd{11};
    FakeClock clock;
    RecordingSounds sounds;
    RecordingMessages messages;
    ScriptedPlayer player;
    long frames = 0;
};

TEST_F(FlowTest, DealGivesThirteenConsecutiveCardsPerSeatInDealOrder) {
    for (int deal = 0; deal < 6; ++deal) {
        NewDeal(m);
        EXPECT_EQ(sounds.played.back(), SoundEffect::Shuffle);
        const auto order = m.dealOrder;
        const auto stock = m.deckCards;
        EXPECT_EQ(order[0], m.turnSeat);
        RunUntil([&] { return m.statusText != Phase::DealingCards; });
        ASSERT_EQ(m.statusText, Phase::NormalPlay);
        const int receivers[4] = {order[0], order[3], order[2], order[1]};
        for (int block = 0; block < 4; ++block) {
            const int seat = receivers[block];
            ASSERT_EQ(HandCount(m, seat), 13);
            for (int k = 0; k < 13; ++k) {
                EXPECT_EQ(HandCodes(m, seat)[k], stock[13 * block + k].card);
                EXPECT_EQ(HandSprites(m, seat)[k].faceUp, seat == userSeat);
            }
        }
        // Each dealt card flew for exactly playFrames frames.
        EXPECT_EQ(m.cardsDealt, 52);
        EXPECT_EQ(m.nextDeckCard, 52);
        // Finish the deal so the next one starts from the score page.
        RunUntil([&] { return m.statusText == Phase::EndOfMatch; });
    }
}

TEST_F(FlowTest, UsersDealtCardsLieAtTheirHomes) {
    DealOut();
    for (int k = 0; k < 13; ++k) {
        EXPECT_NEAR(m.userHand[k].x, 155 + 33 * k, 0.01);
        EXPECT_NEAR(m.userHand[k].y, 420, 0.01);
        EXPECT_EQ(m.userHand[k].homeX, 155 + 33 * k);
    }
}

TEST_F(FlowTest, FirstLeadFixesTrumpsOnceAndTheTwoOfDiamondsLeads) {
    for (int deal = 0; deal < 8; ++deal) {
        player.calls.clear();
        DealOut();
        const int leader = (m.turnSeat + 3) % 4;
        if (deal == 0) {
            EXPECT_EQ(leader, FindTwoOfDiamonds(m));
        } else {
            EXPECT_EQ(leader, m.dealerSeat);  // the dealer leads later deals
        }
        RunUntil([&] { return m.trickCodeCount == 1; });
        if (leader == userSeat) {
            EXPECT_TRUE(std::none_of(player.calls.begin(), player.calls.end(), [](auto c) { return c.trump; }));
            EXPECT_EQ(m.trumpSuit, m.cardSuit[m.trickCodes[0]]);
        } else {
            ASSERT_GE(player.calls.size(), 2u);
            EXPECT_TRUE(player.calls[0].trump);
            EXPECT_EQ(player.calls[0].seat, leader);
            EXPECT_FALSE(player.calls[1].trump);
        }
        const int trumps = m.trumpSuit;
        RunUntil([&] { return m.statusText == Phase::EndOfMatch; });
        EXPECT_EQ(std::count_if(player.calls.begin(), player.calls.end(), [](auto c) { return c.trump; }),
                  leader == userSeat ? 0 : 1);
        EXPECT_EQ(m.trumpSuit, trumps);
        m.matchOver = false;  // keep the match going so the leader rule for later deals applies
    }
}

TEST_F(FlowTest, PauseOfSevenHundredMillisecondsAfterEveryCard) {
    DealOut();
    for (int card = 1; card <= 4; ++card) {
        RunUntil([&] { return m.statusText == Phase::Paused; });
        EXPECT_EQ(m.trickCodeCount, card);
        const auto start = m.pauseStartTick;
        // Time stands still: the pause holds however many frames pass, and nothing moves.
        clock.now = start + 700;
        for (int i = 0; i < 50; ++i) {
            UpdateMatch(m);
            ASSERT_EQ(m.statusText, Phase::Paused);
        }
        clock.now = start + 701;
        UpdateMatch(m);
        EXPECT_TRUE(m.pauseDone);
        if (card < 4) {
            EXPECT_EQ(m.statusText, Phase::NormalPlay);
        } else {
            // The gather starts only after the fourth card's pause.
            EXPECT_TRUE(m.statusText == Phase::WeGathering || m.statusText == Phase::TheyGathering);
            for (int i = 0; i < 4; ++i) EXPECT_FALSE(m.trickCards[i].moving);
        }
    }
}

TEST_F(FlowTest, GatherThenCarryWithTheirTargetsAndFrameCounts) {
    for (bool slow : {false, true}) {
        m.slowAnimation = slow;
        SetLayout(m);
        DealOut();
        RunUntil([&] { return m.statusText == Phase::WeGathering || m.statusText == Phase::TheyGathering; });
        const bool ours = m.statusText == Phase::WeGathering;
        const int winner = m.trickWinnerCard;
        const float wx = m.trickCards[winner].x, wy = m.trickCards[winner].y;

        UpdateMatch(m);  // GatherTrick launches the three other cards
        for (int i = 0; i < 4; ++i) {
            const CardSprite& c = m.trickCards[i];
            EXPECT_EQ(c.moving, i != winner);
            if (i == winner) continue;
            EXPECT_GE(c.targetX, wx);
            EXPECT_LT(c.targetX, wx + 8);
            EXPECT_GE(c.targetY, wy);
            EXPECT_LT(c.targetY, wy + 8);
            EXPECT_TRUE(c.faceUp);
        }
        const CardSprite gatherTest = m.trickCards[winner == 0 ? 1 : 0];
        const int expectedGather = FramesToArrive(gatherTest, m.arriveToleranceX);
        EXPECT_LE(expectedGather, m.moveFrames);
        int gatherFrames = 0;
        while (AnyCardMoving(m)) {
            UpdateMatch(m);
            ++gatherFrames;
        }
        EXPECT_EQ(gatherFrames, expectedGather);
        EXPECT_EQ(m.statusText, ours ? Phase::WeGetting : Phase::TheyGetting);

        const int pileBefore = ours ? m.ourPileCount : m.theirPileCount;
        const int takenBefore = ours ? m.ourTakenCount : m.theirTakenCount;
        UpdateMatch(m);  // the carry
        const int px = ours ? m.ourPileX : m.theirPileX, py = ours ? m.ourPileY : m.theirPileY;
        for (int i = 0; i < 4; ++i) {
            const CardSprite& c = m.trickCards[i];
            EXPECT_TRUE(c.moving);
            EXPECT_FALSE(c.faceUp);
            EXPECT_GE(c.targetX, px);
            EXPECT_LT(c.targetX, px + 8);
            EXPECT_GE(c.targetY, py);
            EXPECT_LT(c.targetY, py + 8);
        }
        const int expectedCarry = FramesToArrive(m.trickCards[winner == 0 ? 1 : 0], m.arriveToleranceX);
        EXPECT_LE(expectedCarry, m.moveFrames);
        int carryFrames = 0;
        while (m.trickCount > 0) {
            UpdateMatch(m);
            ++carryFrames;
        }
        EXPECT_EQ(carryFrames, expectedCarry);
        EXPECT_EQ(ours ? m.ourPileCount : m.theirPileCount, pileBefore + 4);
        EXPECT_EQ(ours ? m.ourTakenCount : m.theirTakenCount, takenBefore + 4);
        EXPECT_EQ(m.trickCodeCount, 0);
        EXPECT_EQ(m.statusText, Phase::NormalPlay);
        int taken = 0;
        for (int i = 0; i < m.ourTakenCount; ++i) taken += CardPoints(m, m.ourTakenCodes[i]);
        EXPECT_EQ(m.ourDealScore, taken);
        // The winner leads next.
        EXPECT_EQ((m.turnSeat + 3) % 4, m.trickWinner);
    }
}

TEST_F(FlowTest, PlayedCardFliesForPlayFramesAndLandsNearItsSpot) {
    for (bool slow : {false, true}) {
        m.slowAnimation = slow;
        SetLayout(m);
        DealOut();
        for (int card = 0; card < 8; ++card) {
            RunUntil([&] { return AnyCardMoving(m) && m.statusText == Phase::NormalPlay; });
            const int seat = m.turnSeat;
            const CardSprite* flying = nullptr;
            for (int s2 = 0; s2 < 4 && !flying; ++s2)
                for (auto& c : HandSprites(m, s2))
                    if (c.moving) flying = &c;
            ASSERT_NE(flying, nullptr);
            const int expected = FramesToArrive(*flying, m.arriveToleranceX);
            const float tx = flying->targetX, ty = flying->targetY;
            EXPECT_LE(expected, m.playFrames);
            EXPECT_GE(expected, m.playFrames - 1);
            EXPECT_GE(tx, m.tableSpots[seat].x);
            EXPECT_LT(tx, m.tableSpots[seat].x + 20);
            EXPECT_GE(ty, m.tableSpots[seat].y);
            EXPECT_LT(ty, m.tableSpots[seat].y + 16);
            int flight = 0;
            const int before = m.trickCodeCount;
            while (m.trickCodeCount == before) {
                Frame();
                ++flight;
            }
            EXPECT_EQ(flight, expected);
            const CardSprite& t = m.trickCards[m.trickCount - 1];
            EXPECT_EQ(t.spot, seat);
            EXPECT_NEAR(t.x, tx, m.arriveToleranceX);
            EXPECT_NEAR(t.y, ty, m.arriveToleranceY);
            RunUntil([&] { return m.statusText == Phase::NormalPlay && !AnyCardMoving(m); });
        }
    }
}

TEST_F(FlowTest, TrickWonBySeatZeroMakesTheUserLead) {
    bool seen = false;
    for (int deal = 0; deal < 5 && !seen; ++deal) {
        DealOut();
        while (m.statusText != Phase::EndOfMatch && !seen) {
            RunUntil([&] { return m.statusText == Phase::WeGetting || m.statusText == Phase::EndOfMatch; });
            if (m.statusText == Phase::EndOfMatch || m.trickWinner != userSeat) {
                if (m.statusText != Phase::EndOfMatch) Frame();
                continue;
            }
            RunUntil([&] { return m.statusText == Phase::NormalPlay; });
            EXPECT_EQ(m.turnSeat, 1);
            if (m.cardsPlayed < 52) {
                Frame(false);
                EXPECT_EQ(m.turnSeat, userSeat);
                EXPECT_TRUE(m.waitingForUser);
                EXPECT_FALSE(m.userHasChosen);
            }
            seen = true;
        }
        m.matchOver = true;
    }
    EXPECT_TRUE(seen);
}

TEST_F(FlowTest, ReorderRoundTripSortsTheHandAndRestoresThePhase) {
    // Find a deal in which the user is the first to play, so all 13 cards are held.
    for (int tries = 0; tries < 40; ++tries) {
        DealOut();
        if ((m.turnSeat + 3) % 4 == userSeat) break;
        m.matchOver = true;
    }
    ASSERT_EQ((m.turnSeat + 3) % 4, userSeat);
    Frame(false);  // the user's turn begins
    ASSERT_TRUE(m.waitingForUser);
    const auto codesBefore = m.userHandCodes;
    ASSERT_TRUE(RequestReorder(m));
    EXPECT_EQ(m.statusText, Phase::GatherAroundFirstCard);
    EXPECT_EQ(m.statusBeforeReorder, Phase::NormalPlay);

    int gather = 0;
    UpdateMatch(m);  // gathers onto card 0
    while (m.statusText == Phase::GatherAroundFirstCard) {
        // Clicking a card while the hand moves is not a pick and does not use up the turn.
        UserClick(m, 160, 480, false);
        EXPECT_EQ(m.clickedCard, -1);
        UpdateMatch(m);
        ++gather;
    }
    EXPECT_EQ(gather, m.moveFrames);
    EXPECT_EQ(m.statusText, Phase::SpreadAheadFirstCard);
    RunUntil([&] { return m.statusText == Phase::NormalPlay; }, false);
    for (int k = 0; k < 13; ++k) {
        EXPECT_NEAR(m.userHand[k].x, 155 + 33 * k, 8.0);
        EXPECT_FALSE(m.userHand[k].moving);
    }
    for (int k = 0; k + 1 < 13; ++k) {
        const int a = m.userHand[k].card, b = m.userHand[k + 1].card;
        EXPECT_TRUE(m.cardSuit[a] < m.cardSuit[b] ||
                    (m.cardSuit[a] == m.cardSuit[b] && Strength(m, a) > Strength(m, b)));
    }
    EXPECT_EQ(m.userHandCodes, codesBefore);  // the compact list keeps the dealt order
    EXPECT_FALSE(m.userHasChosen);
    // The turn is still the user's and a click now plays.
    ClickFirstLegal();
    EXPECT_GE(m.clickedCard, 0);
}

TEST_F(FlowTest, ReorderRefusedOutsideTheUsersFullHandTurn) {
    DealOut();
    m.turnSeat = 2;
    EXPECT_FALSE(RequestReorder(m));
    m.turnSeat = userSeat;
    m.userHand[3].moving = true;
    EXPECT_FALSE(RequestReorder(m));
    m.userHand[3].moving = false;
    m.userHandCount = 12;
    EXPECT_FALSE(RequestReorder(m));
    EXPECT_EQ(m.statusText, Phase::NormalPlay);
}

TEST_F(FlowTest, PicksWhilePausedOrMovingAreNotLostNorStuck) {
    for (int tries = 0; tries < 40; ++tries) {
        DealOut();
        if ((m.turnSeat + 3) % 4 == userSeat) break;
        m.matchOver = true;
    }
    Frame(false);
    ASSERT_TRUE(m.waitingForUser);
    const CardSprite& c = m.userHand[12];
    const int x = static_cast<int>(c.x) + 50, y = static_cast<int>(c.y) + 50;

    UserClick(m, x, y, /*paused=*/true);
    EXPECT_EQ(m.clickedCard, -1);
    EXPECT_FALSE(m.userHasChosen);

    m.partnerHand[0].moving = true;  // something still moves
    UserClick(m, x, y, false);
    EXPECT_EQ(m.clickedCard, -1);
    EXPECT_FALSE(m.userHasChosen);
    m.partnerHand[0].moving = false;

    UserClick(m, x, y, false);
    EXPECT_EQ(m.clickedCard, 12);
    // A card is never sent outside normal play; the turn is handed back instead.
    m.statusText = Phase::GatherAroundFirstCard;
    SendClickedCard(m);
    EXPECT_FALSE(m.userHand[12].moving);
    EXPECT_FALSE(m.userHasChosen);
    m.statusText = Phase::NormalPlay;
    UserClick(m, x, y, false);
    EXPECT_EQ(m.clickedCard, 12);
    SendClickedCard(m);
    EXPECT_TRUE(m.userHand[12].moving);
    EXPECT_EQ(m.trumpSuit, m.cardSuit[m.userHand[12].card]);  // the first lead fixes trumps
}

TEST_F(FlowTest, HitTestTakesTheTopmostLegalCard) {
    DealOut();
    m.trickCount = 0;
    const CardSprite& s7 = m.userHand[7];
    const int px = static_cast<int>(s7.x) + 10, py = static_cast<int>(s7.y) + 10;  // slot 7 lies over 6
    EXPECT_EQ(HitTestHand(m, px, py), 7);
    m.userHasChosen = false;
    // Slot 7 illegal (another suit led while the hand holds it): slot 6 beneath is taken.
    const int suit7 = m.cardSuit[m.userHand[7].card];
    const int suit6 = m.cardSuit[m.userHand[6].card];
    if (suit6 != suit7) {
        m.trickCount = 1;
        m.trickCards[0].card = m.userHand[6].card;
        EXPECT_EQ(HitTestHand(m, px, py), 6);
    }
    m.userHasChosen = true;
    EXPECT_EQ(HitTestHand(m, px, py), -1);
}

TEST_F(FlowTest, DealEndsInEndOfMatchAfterTheFiftySecondCard) {
    DealOut();
    RunUntil([&] { return m.cardsPlayed == 52; });
    EXPECT_NE(m.statusText, Phase::EndOfMatch);  // the last trick still travels
    RunUntil([&] { return m.statusText == Phase::EndOfMatch; });
    EXPECT_EQ(m.ourDealScore + m.theirDealScore, 80);
    EXPECT_EQ(m.ourPileCount + m.theirPileCount, 52);
    EXPECT_EQ(m.dealHistoryCount, 1);
    for (int i = 0; i < 200; ++i) UpdateMatch(m);
    EXPECT_EQ(m.statusText, Phase::EndOfMatch);
    // A click on the score page starts the next deal and is not also a pick.
    UserClick(m, 200, 480, false);
    EXPECT_EQ(m.statusText, Phase::DealingCards);
    EXPECT_EQ(m.clickedCard, -1);
}

class ScoringTest : public FlowTest {
protected:
    void Deal(int ours, int theirs) {
        m.ourDealScore = ours;
        m.theirDealScore = theirs;
        ScoreDeal(m);
    }
};

TEST_F(ScoringTest, AllEightyInTheFirstDealWins) {
    Deal(80, 0);
    EXPECT_TRUE(m.matchOver);
    EXPECT_EQ(m.resultText, "We Won!");
    EXPECT_EQ(sounds.played.back(), SoundEffect::WinGame);
}

TEST_F(ScoringTest, FortyFiveThirtyFiveThenFortyFortyWins) {
    Deal(45, 35);
    EXPECT_FALSE(m.matchOver);
    EXPECT_EQ(m.resultText, "");
    EXPECT_EQ(sounds.played.back(), SoundEffect::Intro);
    Deal(40, 40);
    EXPECT_EQ(m.ourMatchPoints, 85);
    EXPECT_EQ(m.theirMatchPoints, 75);
    EXPECT_TRUE(m.matchOver);
    EXPECT_EQ(m.resultText, "We Won!");
    EXPECT_EQ(m.dealHistoryCount, 2);
    EXPECT_EQ(m.ourDealPoints[0], 45);
    EXPECT_EQ(m.theirDealPoints[1], 40);
}

TEST_F(ScoringTest, TiesGoOnAndTheyCanLose) {
    Deal(40, 40);
    Deal(40, 40);
    EXPECT_FALSE(m.matchOver);
    EXPECT_EQ(m.ourMatchPoints, 80);
    EXPECT_EQ(sounds.played.back(), SoundEffect::Intro);
    Deal(30, 50);
    EXPECT_TRUE(m.matchOver);
    EXPECT_EQ(m.resultText, "We lost!");
    EXPECT_EQ(sounds.played.back(), SoundEffect::LoseGame);
}

TEST_F(ScoringTest, SeventyNineIsNotEnough) {
    Deal(79, 1);
    EXPECT_FALSE(m.matchOver);
    EXPECT_EQ(m.resultText, "");
}

TEST_F(ScoringTest, NextDealAfterAWonMatchResetsIt) {
    Deal(80, 0);
    m.firstDealDone = true;
    NewDeal(m);
    EXPECT_FALSE(m.matchOver);
    EXPECT_EQ(m.dealHistoryCount, 0);
    EXPECT_EQ(m.ourMatchPoints, 0);
    EXPECT_EQ(m.theirMatchPoints, 0);
    EXPECT_FALSE(m.firstDealDone);
    EXPECT_EQ(m.winThreshold, 79);
}

TEST_F(ScoringTest, EndlessTiesKeepTheMostRecentDeals) {
    for (int d = 0; d < 60; ++d) Deal(40, 40);
    EXPECT_FALSE(m.matchOver);
    EXPECT_EQ(m.dealHistoryCount, kDealHistory);
    EXPECT_EQ(m.ourMatchPoints, 2400);
    EXPECT_EQ(m.theirMatchPoints, 2400);
}

TEST_F(ScoringTest, FullHistoryDropsTheOldestDeal) {
    m.winThreshold = 1000000;  // lets uneven deals go on, to tell them apart
    for (int d = 0; d < 60; ++d) Deal(40 - d % 3, 40 + d % 3);
    EXPECT_FALSE(m.matchOver);
    EXPECT_EQ(m.dealHistoryCount, kDealHistory);
    int ours = 0, theirs = 0;
    for (int d = 0; d < 60; ++d) ours += 40 - d % 3, theirs += 40 + d % 3;
    EXPECT_EQ(m.ourMatchPoints, ours);
    EXPECT_EQ(m.theirMatchPoints, theirs);
    // The last entry is the 60th deal, the first the 20th.
    EXPECT_EQ(m.ourDealPoints[kDealHistory - 1], 40 - 59 % 3);
    EXPECT_EQ(m.ourDealPoints[0], 40 - 19 % 3);
}

}  // namespace
}  // namespace pellow
