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

class FrameClock final : public TickClock {
public:
    std::uint32_t TickCount() override { return now; }
    std::uint32_t now = 0;
};
FrameClock frameClock;

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
    m.deckFolder = deck;
    m.resolution = resolution;
    SetLayout(m);
    m.screenWidth = m.resolution == "800x600" ? 800 : 1024;
    m.screenHeight = m.resolution == "800x600" ? 600 : 768;
    GameMain::resourceBase = Folder().string() + "/";
    GameMain::unpackBase = UnpackResources(GameMain::resourceBase, m.packFileName);
    GameMain::StartGame(modDX::DisplayKind::Memory);
    m.clock = &frameClock;
}

// Plays on until three cards lie on the table and the hands are still nearly full.
void MidTrick() {
    Match& m = GameMain::match;
    for (int i = 0; i < 100000 && !(m.trickCodeCount == 3 && m.statusText == Phase::Paused); ++i) {
        frameClock.now += 17;
        if (UserMayPick(m, false))
            for (int s = 0; s <= 12; ++s)
                if (m.userHand[s].inUse && IsLegalPlay(m, m.userHand[s])) {
                    UserClick(m, static_cast<int>(m.userHand[s].x) + 3, static_cast<int>(m.userHand[s].y) + 40, false);
                    break;
                }
        UpdateMatch(m);
        SendClickedCard(m);
    }
}

void BusyFrame(benchmark::State& state, const char* deck, const char* resolution) {
    Launch(deck, resolution);
    MidTrick();
    for (auto _ : state) {
        modDX::BltSurface(backgroundSurface, modDX::backBuffer, modDX::Rect{}, 0, 0, false);
        UpdateMatch(GameMain::match);
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
