// Frames drawn from fixed match states with the real pack, compared pixel for pixel (through a
// 64-bit digest) with the frames recorded when they were last looked at and approved. The
// pictures themselves are written beside the test binary for looking at.
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "game_fixture.hpp"
#include "opponent/pellow_ai.hpp"

namespace pellow {
namespace {

class GoldenTest : public GameFixture {
protected:
    // A fresh match with fixed seeds on the loaded table.
    void FreshMatch() {
        Match& m = game->match;
        Match fresh;
        fresh.settings = m.settings;
        fresh.layout = m.layout;
        fresh.random = &random;
        fresh.clock = &clock;
        fresh.computer = &rules;
        m = fresh;
        NewDeal(m);
    }

    // Advances the match as the frame loop does, the player taking their first legal card.
    void Step() {
        Match& m = game->match;
        clock.now += 17;
        FrameInput input;
        if (UserMayPick(m, false)) {
            for (int i = 0; i <= 12; ++i) {
                const CardSprite& c = m.motion.userHand[i];
                if (c.inUse && MayPlay(m.deal, userSeat, c.card)) {
                    input = {false, true, static_cast<int>(c.x) + 3, static_cast<int>(c.y) + 40, false};
                    break;
                }
            }
        }
        StepFrame(m, input);
    }

    void StepUntil(const std::function<bool()>& done) {
        for (int i = 0; i < 200000 && !done(); ++i) Step();
        ASSERT_TRUE(done());
    }

    // Composes one frame as the game does and returns its digest; the picture is kept as BMP.
    std::uint64_t Compose(const std::string& name) {
        modDX::Display& display = game->display();
        modDX::Surface& backBuffer = display.backBuffer();
        TableView& table = game->table();
        display.BltSurface(table.background(), backBuffer, modDX::Rect{}, 0, 0, false);
        table.DrawTable(game->match, "10:30 AM", CaptionLine());
        const ScreenSize screen = game->match.settings.screen;
        game->input().cursorPos = {ScreenWidth(screen) / 2, ScreenHeight(screen) / 2};
        game->input().DrawMouseCursor(table.pointer(), 16, 16, 32, 32, true);
        display.SaveScreenshot(std::string(PELLOW_GOLDEN_OUT) + "/golden-" + name + ".bmp");
        std::uint64_t h = 1469598103934665603ull;
        for (int y = 0; y < backBuffer.height(); ++y)
            for (int x = 0; x < backBuffer.width(); ++x) {
                h ^= modDX::GetPixel(backBuffer, x, y);
                h *= 1099511628211ull;
            }
        return h;
    }

    void CheckFrames(const std::string& size) {
        Match& m = game->match;
        std::map<std::string, std::uint64_t> got;
        FreshMatch();
        StepUntil([&] { return m.motion.trickCount == 3 && m.motion.statusText == Phase::Paused; });
        got["midtrick-" + size] = Compose("midtrick-" + size);

        StepUntil([&] {
            return std::max(m.motion.ourPileCount, m.motion.theirPileCount) >= 16 && m.motion.trickCount == 2 &&
                   m.motion.statusText == Phase::Paused;
        });
        got["piles-" + size] = Compose("piles-" + size);

        m.motion.statusText = Phase::EndOfMatch;
        m.motion.ourDealScore = 45;
        m.motion.theirDealScore = 35;
        ScoreDeal(m);
        m.motion.ourDealScore = 40;
        m.motion.theirDealScore = 40;
        ScoreDeal(m);
        ASSERT_EQ(m.score.resultText, "We Won!");
        got["score-" + size] = Compose("score-" + size);

        const std::string file = PELLOW_GOLDEN_FILE;
        std::map<std::string, std::uint64_t> want;
        std::ifstream in(file);
        std::string name;
        std::uint64_t digest = 0;
        while (in >> name >> std::hex >> digest) want[name] = digest;
        if (std::getenv("PELLOW_UPDATE_GOLDEN")) {
            for (const auto& [n, d] : got) want[n] = d;
            std::ofstream out(file);
            for (const auto& [n, d] : want) out << n << ' ' << std::hex << d << '\n';
            return;
        }
        for (const auto& [n, d] : got) {
            ASSERT_TRUE(want.count(n)) << "no recorded frame " << n;
            EXPECT_EQ(want[n], d) << "frame " << n << " differs; see golden-" << n << ".bmp in "
                                  << PELLOW_GOLDEN_OUT;
        }
    }

    MersenneRandom random{20261208};
    RulesPlayer rules;
};

TEST_F(GoldenTest, SmallTableFrames) {
    Launch("Royal", "800x600");
    CheckFrames("800");
}

TEST_F(GoldenTest, LargeTableFrames) {
    Launch("Vintage", "");
    CheckFrames("1024");
}

}  // namespace
}  // namespace pellow
