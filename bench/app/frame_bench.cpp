// The cost of one busy frame (drawn and composed, not presented) at both screen sizes, and of
// the whole launch from Play to the first frame: unpacking, conversion, loading and deletion.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <memory>

#include "app/game.hpp"
#include "engine/deal.hpp"
#include "engine/flow.hpp"
#include "engine/play.hpp"
#include "resources/unpack.hpp"

namespace fs = std::filesystem;
using namespace pellow;

namespace {

ManualClock frameClock;
std::unique_ptr<Game> game;

fs::path Folder() {
    const fs::path folder = fs::temp_directory_path() / ("pellow-bench-" + std::to_string(::getpid()));
    fs::create_directories(folder);
    if (!fs::exists(folder / "res002.pak")) fs::copy_file(PELLOW_PAK_PATH, folder / "res002.pak");
    return folder;
}

void Launch(const char* deck, const char* resolution) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    game.reset();  // one game at a time holds the audio device
    game = std::make_unique<Game>();
    Match& m = game->match;
    m.settings.deckFolder = deck;
    m.settings.screen = std::string_view(resolution) == "800x600" ? ScreenSize::Small800x600 : ScreenSize::Large1024x768;
    game->resourceBase = Folder().string() + "/";
    game->unpackBase = UnpackResources(game->resourceBase, m.settings.packFileName);
    game->StartGame(modDX::DisplayKind::Memory);
    m.clock = &frameClock;
}

// Plays on until three cards lie on the table and the hands are still nearly full.
void MidTrick() {
    Match& m = game->match;
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
        modDX::Display& display = game->display();
        display.BltSurface(game->table().background(), display.backBuffer(), modDX::Rect{}, 0, 0, false);
        StepFrame(game->match, FrameInput{});
        game->table().DrawTable(game->match, CurrentClockText(), CaptionLine());
        game->input().DrawMouseCursor(game->table().pointer(), 16, 16, 32, 32, true);
        benchmark::DoNotOptimize(display.backBuffer().raw());
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
        game->RunFrame();
        state.PauseTiming();
        game.reset();
        state.ResumeTiming();
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["peak RSS MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
}
BENCHMARK(BM_PlayToFirstFrame)->Unit(benchmark::kMillisecond)->Iterations(10);

}  // namespace
