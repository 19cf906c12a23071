// The real game, in-process: launch from the real resource pack onto an in-memory screen, play
// with input put where the platform layer leaves it, and quit.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/game.hpp"
#include "engine/cards.hpp"
#include "engine/deal.hpp"
#include "engine/flow.hpp"
#include "engine/play.hpp"
#include "engine/services.hpp"
#include "presentation/dx.hpp"
#include "presentation/input.hpp"
#include "presentation/table.hpp"
#include "resources/unpack.hpp"

namespace fs = std::filesystem;

namespace pellow {
namespace {

class FakeClockForGame final : public TickClock {
public:
    std::uint32_t TickCount() override { return now; }
    std::uint32_t now = 0;
};

struct QuitSignal {
    int status;
};

class GameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        setenv("SDL_VIDEODRIVER", "dummy", 1);
    }

    void SetUp() override {
        folder = fs::temp_directory_path() / ("pellow-game-" + std::to_string(::getpid()) + "-" +
                                              ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder);
        fs::create_directories(folder);
        fs::copy_file(PELLOW_PAK_PATH, folder / "res002.pak");
    }

    void TearDown() override { fs::remove_all(folder); }

    void Launch(const std::string& deck, const std::string& resolution) {
        Match& m = GameMain::match;
        m = Match{};
        m.deckFolder = deck;
        m.resolution = resolution;
        SetLayout(m);
        m.screenWidth = resolution == "800x600" ? 800 : 1024;
        m.screenHeight = resolution == "800x600" ? 600 : 768;
        GameMain::resourceBase = folder.string() + "/";
        GameMain::unpackBase = UnpackResources(GameMain::resourceBase, m.packFileName);
        ASSERT_TRUE(fs::exists(folder / "res"));
        GameMain::StartGame(GameMain::Screen::Memory);
        // Frames count the time, so the short pauses pass without real waiting.
        m.clock = &clock;
        GameMain::idleWait = [] {};
        modDX::SetShutDownHooks({[this](const std::string& text) { shownMessage = text; },
                                 [](int status) { throw QuitSignal{status}; }});
    }

    // One frame with the given input held.
    void Frame(int x = -1, int y = -1, bool button = false, int key = 0) {
        if (x >= 0) modDX::cursorPos = {x, y};
        modDX::mouseState.rgbButtons[0] = button ? 0x80 : 0;
        modDX::keyState.fill(0);
        if (key) modDX::keyState[static_cast<std::size_t>(key)] = 0x80;
        clock.now += 17;
        GameMain::RunFrame();
        ++frames;
    }

    // Frames without input until the condition holds.
    void Until(const std::function<bool()>& done, int limit = 100000) {
        for (int i = 0; i < limit && !done(); ++i) Frame();
        ASSERT_TRUE(done()) << "phase " << PhaseText(GameMain::match.statusText);
    }

    bool UsersTurn() const {
        const Match& m = GameMain::match;
        return UserMayPick(m, false);
    }

    // The point where a slot of the user's hand shows: its own strip left of the next card.
    static std::pair<int, int> Visible(const CardSprite& c) {
        return {RoundHalfEvenInt(c.x) + 3, RoundHalfEvenInt(c.y) + c.height / 2};
    }
    static int RoundHalfEvenInt(float v) { return static_cast<int>(std::nearbyint(v)); }

    void ClickSlot(int slot) {
        const auto [x, y] = Visible(GameMain::match.userHand[slot]);
        Frame(x, y, true);
        Frame(x, y, false);
    }

    // A point where only illegal cards lie, or (-1, -1) when the hand has none.
    std::pair<int, int> IllegalSpot() const {
        const Match& m = GameMain::match;
        for (int i = 12; i >= 0; --i) {
            const CardSprite& c = m.userHand[i];
            if (!c.inUse) continue;
            for (int dx : {3, 60, 100}) {
                const int px = RoundHalfEvenInt(c.x) + dx, py = RoundHalfEvenInt(c.y) + c.height / 2;
                bool any = false, allIllegal = true;
                for (const CardSprite& o : m.userHand) {
                    if (!o.inUse || !(o.x < px && px < o.x + o.width && o.y < py && py < o.y + o.height)) continue;
                    any = true;
                    allIllegal = allIllegal && !IsLegalPlay(m, o);
                }
                if (any && allIllegal) return {px, py};
            }
        }
        return {-1, -1};
    }

    FakeClockForGame clock;
    fs::path folder;
    std::string shownMessage = "none";
    long frames = 0;
};

TEST_F(GameTest, PlaysWholeDealsAndQuits) {
    Launch("Royal", "800x600");
    Match& m = GameMain::match;
    // Everything was loaded and the unpacked files are gone before the first frame.
    EXPECT_FALSE(fs::exists(folder / "res"));
    EXPECT_TRUE(backgroundSurface.exists());
    EXPECT_EQ(backgroundSurface.width(), 800);
    EXPECT_EQ(cardSurface[51].width(), 108);

    bool reordered = false, pausedOnce = false, triedIllegal = false;
    int deals = 0;
    while (deals < 2) {
        Until([&] { return UsersTurn() || m.statusText == Phase::EndOfMatch; });
        if (m.statusText == Phase::EndOfMatch) {
            ++deals;
            // The score page shows what the engine recorded.
            const auto lines = ScoreTableLines(m);
            ASSERT_GE(lines.size(), 3u);
            EXPECT_EQ(lines.front().text, "   We   They ");
            EXPECT_EQ(lines[lines.size() - 2].text, Pad5(m.ourMatchPoints) + Pad5(m.theirMatchPoints));
            EXPECT_EQ(lines[1].text, Pad5(m.ourDealPoints[0]) + Pad5(m.theirDealPoints[0]));
            EXPECT_EQ(lines.back().text, m.resultText);
            EXPECT_EQ(m.ourDealScore + m.theirDealScore, 80);
            // A click starts the next deal and is not also a card pick.
            Frame(400, 300, true);
            EXPECT_EQ(m.statusText, Phase::DealingCards);
            EXPECT_EQ(m.clickedCard, -1);
            Frame(400, 300, false);
            continue;
        }
        if (!reordered && m.userHandCount == 13) {
            Frame(-1, -1, false, modDX::keyR);
            EXPECT_EQ(m.statusText, Phase::GatherAroundFirstCard);
            Until([&] { return m.statusText == Phase::NormalPlay && UsersTurn(); });
            reordered = true;
        }
        if (!pausedOnce) {
            const auto before = m.userHand;
            for (int i = 0; i < 5; ++i) Frame(-1, -1, false, modDX::keyP);  // held: pauses once
            EXPECT_TRUE(modDX::paused);
            const auto [x, y] = Visible(m.userHand[0]);
            Frame(x, y, true);  // a click while paused is not a pick
            Frame(x, y, false);
            EXPECT_FALSE(m.userHasChosen);
            Frame(-1, -1, false, modDX::keyP);
            EXPECT_FALSE(modDX::paused);
            EXPECT_EQ(m.userHand[0].x, before[0].x);
            pausedOnce = true;
        }
        int legal = -1;
        for (int i = 0; i <= 12 && legal < 0; ++i)
            if (m.userHand[i].inUse && IsLegalPlay(m, m.userHand[i])) legal = i;
        ASSERT_GE(legal, 0);
        const auto [ix, iy] = IllegalSpot();
        if (ix >= 0) {
            const int held = m.userHandCount;
            Frame(ix, iy, true);
            Frame(ix, iy, false);
            EXPECT_FALSE(m.userHasChosen);
            EXPECT_EQ(m.userHandCount, held);
            EXPECT_FALSE(AnyCardMoving(m));
            triedIllegal = true;
        }
        const int card = m.userHand[legal].card;
        const int before = m.trickCodeCount;
        ClickSlot(legal);
        Until([&] { return m.trickCodeCount > before || m.trickCodeCount == 0; });
        EXPECT_TRUE(m.trickCodeCount == 0 || m.trickCodes[m.trickCodeCount - 1] == card);
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
    // Nothing is left beside the archive.
    int entries = 0;
    for (const auto& e : fs::directory_iterator(folder)) {
        ++entries;
        EXPECT_EQ(e.path().filename(), "res002.pak");
    }
    EXPECT_EQ(entries, 1);
}

}  // namespace
}  // namespace pellow
