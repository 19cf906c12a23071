#pragma once
// Launches the real game from the real resource pack onto an in-memory screen, with input put
// where the platform layer leaves it and a clock that frames move forward.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "app/game.hpp"
#include "engine/motion.hpp"
#include "engine/numeric.hpp"
#include "engine/phases.hpp"
#include "engine/services.hpp"
#include "engine/trick.hpp"
#include "engine/user_input.hpp"
#include "resources/unpack.hpp"

namespace pellow {

namespace fs = std::filesystem;

struct QuitSignal {
    int status;
};

class GameFixture : public ::testing::Test {
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

    void TearDown() override {
        game.reset();
        fs::remove_all(folder);
    }

    // The match set up as the start-up dialog leaves it, the end watched instead of ending the
    // test process.
    void Prepare(const std::string& deck, const std::string& resolution) {
        game = std::make_unique<Game>();
        Match& m = game->match;
        m.settings.deckFolder = deck;
        m.settings.screen = resolution == "800x600" ? ScreenSize::Small800x600 : ScreenSize::Large1024x768;
        game->resourceBase = folder.string() + "/";
        // The design's table at its own size, as the golden frames hold it.
        game->options.classicTable = true;
        game->artModulePath = PELLOW_ART_MODULE_PATH;
        game->SetEndHooks(
            {[this](const std::string& text) { shownMessage = text; }, [](int status) { throw QuitSignal{status}; }});
    }

    void Launch(const std::string& deck, const std::string& resolution, ComputerLevel partner = ComputerLevel::Classic,
                ComputerLevel opponents = ComputerLevel::Classic) {
        Prepare(deck, resolution);
        game->match.settings.partner = partner;
        game->match.settings.opponents = opponents;
        game->unpacked = UnpackResources(game->resourceBase, game->match.settings.packFileName);
        ASSERT_TRUE(fs::exists(folder / "res"));
        game->StartGame(modDX::DisplayKind::Memory);
        // Frames count the time, so the short pauses pass without real waiting.
        game->match.clock = &clock;
        game->idleWait = [](int) {};
    }

    // One frame with the given input held.
    void Frame(int x = -1, int y = -1, bool button = false, int key = 0, bool rightButton = false) {
        modDX::Input& input = game->input();
        if (x >= 0) input.cursorPos = {x, y};
        input.mouseState.rgbButtons[0] = button ? 0x80 : 0;
        input.mouseState.rgbButtons[1] = rightButton ? 0x80 : 0;
        input.keyState.fill(0);
        if (key) input.keyState[static_cast<std::size_t>(key)] = 0x80;
        clock.now += 17;
        game->RunFrame();
        ++frames;
    }

    // Frames without input until the condition holds.
    void Until(const std::function<bool()>& done, int limit = 100000) {
        for (int i = 0; i < limit && !done(); ++i) Frame();
        ASSERT_TRUE(done()) << "phase " << PhaseText(game->match.motion.statusText);
    }

    bool UsersTurn() const {
        const Match& m = game->match;
        return UserMayPick(m, false);
    }

    // The point where a slot of the user's hand shows: its own strip left of the next card.
    static std::pair<int, int> Visible(const CardSprite& c) {
        return {RoundHalfEven(c.x) + 3, RoundHalfEven(c.y) + c.height / 2};
    }

    void ClickSlot(int slot) {
        const auto [x, y] = Visible(game->match.motion.userHand[slot]);
        Frame(x, y, true);
        Frame(x, y, false);
    }

    // A point where only illegal cards lie, or (-1, -1) when the hand has none.
    std::pair<int, int> IllegalSpot() const {
        const Match& m = game->match;
        for (int i = 12; i >= 0; --i) {
            const CardSprite& c = m.motion.userHand[i];
            if (!c.inUse) continue;
            for (int dx : {3, 60, 100}) {
                const int px = RoundHalfEven(c.x) + dx, py = RoundHalfEven(c.y) + c.height / 2;
                bool any = false, allIllegal = true;
                for (const CardSprite& o : m.motion.userHand) {
                    if (!o.inUse || !(o.x < px && px < o.x + o.width && o.y < py && py < o.y + o.height)) continue;
                    any = true;
                    allIllegal = allIllegal && !MayPlay(m.deal, userSeat, (o).card);
                }
                if (any && allIllegal) return {px, py};
            }
        }
        return {-1, -1};
    }

    std::unique_ptr<Game> game;
    ManualClock clock;
    fs::path folder;
    std::string shownMessage = "none";
    long frames = 0;
};

}  // namespace pellow
