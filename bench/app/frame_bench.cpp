// The cost of one busy frame (drawn and composed, not presented) at both screen sizes, and of
// the whole launch from Play to the first frame: unpacking, conversion, loading and deletion.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "app/game.hpp"
#include "engine/deal.hpp"
#include "engine/flow.hpp"
#include "engine/play.hpp"
#include "presentation/dx.hpp"
#include "presentation/input.hpp"
#include "presentation/table.hpp"
#include "resources/unpack.hpp"

namespace fs = std::filesystem;
using namespace pellow;

namespace {

ManualClock frameClock;

fs::path Folder() {
    const fs::path folder = fs::temp_directory_path() / ("pellow-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    if (!fs::exists(folder / "res002.pak")) fs::copy_file(PELLOW_PAK_PATH, folder / "res002.pak");
    return folder;
}

void Launch(const char* deck, const char* resolution) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    Match& m = GameMain::match;
    m = Match{};
    m.settings.deckFolder = deck;
    m.settings.screen = std::string_view(resolution) == "800x600" ? ScreenSize::Small800x600 : ScreenSize::Large1024x768;
    GameMain::resourceBase = Folder().string() + "/";
    GameMain::unpackBase = UnpackResources(GameMain::resourceBase, m.settings.packFileName);
    GameMain::StartGame(modDX::DisplayKind::Memory);
    m.clock = &frameClock;
}

// Plays on until three cards lie on the table and the hands are still nearly full.
void MidTrick() {
    Match& m = GameMain::match;
    for (int i = 0; i < 100000 && !(m.motion.trickCount == 3 && m.motion.statusText == Phase::Paused); ++i) {
        frameClock.now += 17;
        FrameInput input;
        if (UserMayPick(m, false))
            for (const CardSprite& c : m.motion.userHand)
                if (c.inUse && MayPlay(m.deal, userSeat, c.card)) {
                    input = {false, true, static_cast<int>(c.x) + 3, static_cast<int>(c.y) + 40, false};
                    break;
                }
        StepFrame(m, input);
    }
}

void BusyFrame(benchmark::State& state, const char* deck, const char* resolution) {
    Launch(deck, resolution);
    MidTrick();
    for (auto _ : state) {
        modDX::BltSurface(backgroundSurface, modDX::backBuffer, modDX::Rect{}, 0, 0, false);
        StepFrame(GameMain::match, FrameInput{});
        DrawTable(GameMain::match, CurrentClockText(), GameMain::CaptionLine());
        modDX::DrawMouseCursor(lineSurface[3], 16, 16, 32, 32, true);
        benchmark::DoNotOptimize(modDX::backBuffer.raw());
    }
}

void BM_BusyFrame800(benchmark::State& state) { BusyFrame(state, "Royal", "800x600"); }
void BM_BusyFrame1024(benchmark::State& state) { BusyFrame(state, "Vintage", ""); }
BENCHMARK(BM_BusyFrame800)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BusyFrame1024)->Unit(benchmark::kMicrosecond);

// Play to the first frame, with everything the launch does on the way.
void BM_PlayToFirstFrame(benchmark::State& state) {
    for (auto _ : state) {
        Launch("Royal", "800x600");
        GameMain::RunFrame();
        state.PauseTiming();
        ReleaseBitmaps();
        state.ResumeTiming();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak RSS MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_PlayToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
