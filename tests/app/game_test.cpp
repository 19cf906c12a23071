// The real game, in-process: launch from the real resource pack onto an in-memory screen, play
// with input put where the platform layer leaves it, and quit.
#include <malloc.h>

#include <chrono>
#include <thread>
#include <vector>

#include "game_fixture.hpp"

namespace pellow {
namespace {

using GameTest = GameFixture;

TEST_F(GameTest, PlaysWholeDealsAndQuits) {
    Launch("Royal", "800x600");
    Match& m = game->match;
    // Everything was loaded and the unpacked files are gone before the first frame.
    EXPECT_FALSE(fs::exists(folder / "res"));
    EXPECT_TRUE(game->table().background().exists());
    EXPECT_EQ(game->table().background().width(), 800);
    EXPECT_EQ(game->table().card(51).width(), 108);

    bool reordered = false, pausedOnce = false, triedIllegal = false;
    int deals = 0;
    while (deals < 2) {
        Until([&] { return UsersTurn() || m.motion.statusText == Phase::EndOfMatch; });
        if (m.motion.statusText == Phase::EndOfMatch) {
            ++deals;
            // The score page shows what the engine recorded.
            const auto lines = ScoreTableLines(m.score, ScorePageFor(m.settings.screen));
            ASSERT_GE(lines.size(), 3u);
            EXPECT_EQ(lines.front().text, "   We   They ");
            EXPECT_EQ(lines[lines.size() - 2].text, Pad5(m.score.ourMatchPoints) + Pad5(m.score.theirMatchPoints));
            EXPECT_EQ(lines[1].text, Pad5(m.score.ourDealPoints[0]) + Pad5(m.score.theirDealPoints[0]));
            EXPECT_EQ(lines.back().text, m.score.resultText);
            EXPECT_EQ(m.motion.ourDealScore + m.motion.theirDealScore, 80);
            // A click starts the next deal and is not also a card pick.
            Frame(400, 300, true);
            EXPECT_EQ(m.motion.statusText, Phase::DealingCards);
            EXPECT_EQ(m.motion.clickedCard, -1);
            Frame(400, 300, false);
            continue;
        }
        if (!reordered && m.deal.handCount[userSeat] == 13) {
            Frame(-1, -1, false, modDX::keyR);
            EXPECT_EQ(m.motion.statusText, Phase::GatherAroundFirstCard);
            Until([&] { return m.motion.statusText == Phase::NormalPlay && UsersTurn(); });
            reordered = true;
        }
        if (!pausedOnce) {
            const auto before = m.motion.userHand;
            for (int i = 0; i < 5; ++i) Frame(-1, -1, false, modDX::keyP);  // held: pauses once
            EXPECT_TRUE(game->input().Paused());
            const auto [x, y] = Visible(m.motion.userHand[0]);
            Frame(x, y, true);  // a click while paused is not a pick
            Frame(x, y, false);
            EXPECT_FALSE(m.motion.userHasChosen);
            Frame(-1, -1, false, modDX::keyP);
            EXPECT_FALSE(game->input().Paused());
            EXPECT_EQ(m.motion.userHand[0].x, before[0].x);
            pausedOnce = true;
        }
        int legal = -1;
        for (int i = 0; i <= 12 && legal < 0; ++i)
            if (m.motion.userHand[i].inUse && MayPlay(m.deal, userSeat, (m.motion.userHand[i]).card)) legal = i;
        ASSERT_GE(legal, 0);
        const auto [ix, iy] = IllegalSpot();
        if (ix >= 0) {
            const int held = m.deal.handCount[userSeat];
            Frame(ix, iy, true);
            Frame(ix, iy, false);
            EXPECT_FALSE(m.motion.userHasChosen);
            EXPECT_EQ(m.deal.handCount[userSeat], held);
            EXPECT_FALSE(AnyCardMoving(m.motion));
            triedIllegal = true;
        }
        const int card = m.motion.userHand[legal].card;
        const int before = m.motion.trickCount;
        ClickSlot(legal);
        Until([&] { return m.motion.trickCount > before || m.motion.trickCount == 0; });
        EXPECT_TRUE(m.motion.trickCount == 0 || m.motion.trickCards[m.motion.trickCount - 1].card == card);
    }
    EXPECT_TRUE(reordered);
    EXPECT_TRUE(triedIllegal);

    try {
        Frame(-1, -1, false, modDX::keyEscape);
        FAIL() << "Escape did not quit";
    } catch (const QuitSignal& q) {
        EXPECT_EQ(q.status, 0);
    }
    EXPECT_EQ(shownMessage, "none");  // quitting shows no message
    // Everything was let go of on the way out, and the player has a pointer again.
    EXPECT_FALSE(game->display().backBuffer().exists());
    EXPECT_FALSE(game->audio().Enabled());
    EXPECT_FALSE(game->input().HasMouse());
    EXPECT_FALSE(game->input().HasKeyboard());
    EXPECT_TRUE(game->input().SystemCursorShown());
    // Nothing is left beside the archive.
    int entries = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        ++entries;
        EXPECT_EQ(e.path().filename(), "res002.pak");
    }
    EXPECT_EQ(entries, 1);
}

// A table of Expert seats plays a whole deal while the frames go on, and the hint, asked by H or
// a right click, raises a card the user may play until the user plays.
TEST_F(GameTest, ExpertSeatsPlayAndTheHintRaisesAPlayableCardUntilThePlay) {
    Launch("Royal", "800x600", ComputerLevel::Expert, ComputerLevel::Expert);
    // Idle frames wait a little, as the game's do, so the searches get the time they need
    // within the frame limits however busy the machine is.
    game->idleWait = [](int) { std::this_thread::sleep_for(std::chrono::microseconds(200)); };
    Match& m = game->match;
    int hints = 0;
    while (m.motion.statusText != Phase::EndOfMatch) {
        Until([&] { return UsersTurn() || m.motion.statusText == Phase::EndOfMatch; });
        if (m.motion.statusText == Phase::EndOfMatch) break;
        EXPECT_EQ(game->HintCard(false), -1) << "a hint nobody asked for";
        if (hints % 2) Frame(-1, -1, false, 0, true);
        else Frame(-1, -1, false, modDX::keyH);
        Until([&] { return game->HintCard(false) >= 0; });
        const int hint = game->HintCard(false);
        ASSERT_TRUE(MayPlay(m.deal, userSeat, hint)) << "card " << hint;
        for (int i = 0; i < 3; ++i) Frame();
        EXPECT_EQ(game->HintCard(false), hint);
        ++hints;
        const int slot = FindHandIndex(m, hint, userSeat);
        ASSERT_GE(slot, 0);
        const int played = m.deal.cardsPlayed;
        ClickSlot(slot);
        Until([&] { return m.deal.cardsPlayed > played; });
        EXPECT_EQ(m.deal.playedBy[hint], userSeat);
        EXPECT_EQ(game->HintCard(false), -1);
    }
    EXPECT_EQ(hints, 13);
    EXPECT_EQ(m.motion.ourDealScore + m.motion.theirDealScore, 80);
}

// Launch failures end through one place: the report, status 1, everything released and
// nothing left beside the archive.
TEST_F(GameTest, LaunchFailuresEndWithTheirReport) {
    Prepare("Royal", "800x600");
    {
        // Unpacked, but the screen cannot open.
        const char* old = std::getenv("SDL_VIDEODRIVER");
        const std::string saved = old ? old : "";
        setenv("SDL_VIDEODRIVER", "no-such-driver", 1);
        try {
            game->Form1_Load(modDX::DisplayKind::Window);
            ADD_FAILURE() << "the launch went on";
        } catch (const QuitSignal& q) {
            EXPECT_EQ(q.status, 1);
        }
        setenv("SDL_VIDEODRIVER", saved.c_str(), 1);
    }
    EXPECT_EQ(shownMessage.rfind("Error in function DirectX() \nError Number: 1001\n", 0), 0u)
        << shownMessage;
    EXPECT_FALSE(fs::exists(folder / "res"));
    EXPECT_FALSE(game->display().backBuffer().exists());

    // No archive: nothing is unpacked.
    Prepare("Royal", "800x600");
    fs::remove(folder / "res002.pak");
    try {
        game->Form1_Load(modDX::DisplayKind::Memory);
        ADD_FAILURE() << "the launch went on";
    } catch (const QuitSignal& q) {
        EXPECT_EQ(q.status, 1);
    }
    EXPECT_EQ(shownMessage.rfind("Pellow cannot start.\n", 0), 0u) << shownMessage;
    EXPECT_NE(shownMessage.find("res002.pak\" is missing."), std::string::npos) << shownMessage;
    EXPECT_TRUE(fs::is_empty(folder));
}

// Many deals through the real frame loop: what the heap holds must not grow from deal to deal.
TEST_F(GameTest, TwentyDealsWithoutGrowingMemory) {
    Launch("Roya2", "800x600");
    Match& m = game->match;
    std::vector<std::size_t> heapAtDeal;
    while (heapAtDeal.size() < 22) {
        Until([&] { return UsersTurn() || m.motion.statusText == Phase::EndOfMatch; });
        if (m.motion.statusText == Phase::EndOfMatch) {
            heapAtDeal.push_back(mallinfo2().uordblks);
            Frame(400, 300, true);
            Frame(400, 300, false);
            continue;
        }
        for (int i = 0; i <= 12; ++i)
            if (m.motion.userHand[i].inUse && MayPlay(m.deal, userSeat, (m.motion.userHand[i]).card)) {
                ClickSlot(i);
                break;
            }
    }
    // The first deals may still settle caches (the sound mixer, the clock's time zone).
    const std::size_t settled = heapAtDeal[2];
    for (std::size_t d = 3; d < heapAtDeal.size(); ++d)
        EXPECT_LE(heapAtDeal[d], settled + 16 * 1024) << "heap grew by deal " << d;
}

}  // namespace
}  // namespace pellow
