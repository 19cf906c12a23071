// The cost of one busy frame (drawn and composed, not presented) at both screen sizes, and of
// the whole launch from Play to the first frame: unpacking, conversion, loading and deletion.
#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/game.hpp"
#include "engine/phases.hpp"
#include "engine/trick.hpp"
#include "engine/user_input.hpp"
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

// The design's table at 800 x 600 or 1024 x 768; with `pixels`, the table drawn for a screen of
// that size instead, its pictures kept in `cache` (rendered at the first launch only).
void Launch(const char* deck, const char* resolution, ComputerLevel computer = ComputerLevel::Classic,
            std::pair<int, int> pixels = {0, 0}, const std::string& cache = {}) {
    setenv("SDL_AUDIODRIVER", "dummy", 1);
    game.reset();  // one game at a time holds the audio device
    game = std::make_unique<Game>();
    game->options.classicTable = pixels.first == 0;
    game->options.windowWidth = pixels.first;
    game->options.windowHeight = pixels.second;
    game->cacheFolder = cache;
    game->artModulePath = PELLOW_ART_MODULE_PATH;
    Match& m = game->match;
    m.settings.deckFolder = deck;
    m.settings.screen = std::string_view(resolution) == "800x600" ? ScreenSize::Small800x600
                                                                  : ScreenSize::Large1024x768;
    m.settings.partner = m.settings.opponents = computer;
    game->resourceBase = Folder().string() + "/";
    game->unpacked = UnpackResources(game->resourceBase, m.settings.packFileName);
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

void BusyFrame(benchmark::State& state, const char* deck, const char* resolution, const TableExtras& extras = {},
               std::pair<int, int> pixels = {0, 0}) {
    Launch(deck, resolution, ComputerLevel::Classic, pixels, pixels.first ? (Folder() / "cache").string() : "");
    MidTrick();
    for (auto _ : state) {
        modDX::Display& display = game->display();
        display.LayFelt(game->table().background());
        StepFrame(game->match, FrameInput{});
        game->table().DrawTable(game->match, CurrentClockText(), CaptionLine(), extras);
        modDX::Surface& pointer = game->table().pointer();
        game->input().DrawMouseCursor(pointer, pointer.width() / 2, pointer.height() / 2, pointer.width(),
                                      pointer.height(), true);
        benchmark::DoNotOptimize(display.backBuffer().raw());
    }
}

void BM_BusyFrame800(benchmark::State& state) { BusyFrame(state, "Royal", "800x600"); }
void BM_BusyFrame1024(benchmark::State& state) { BusyFrame(state, "Vintage", ""); }
BENCHMARK(BM_BusyFrame800)->Unit(benchmark::kMicrosecond);
// The same frame with the table information, and with the menu over the darkened table.
void BM_BusyFrameWithInformation800(benchmark::State& state) {
    TableExtras extras;
    extras.tableInfo = true;
    BusyFrame(state, "Royal", "800x600", extras);
}
void BM_BusyFrameWithMenu800(benchmark::State& state) {
    TableMenu menu;
    menu.Open();
    TableExtras extras;
    extras.tableInfo = true;
    extras.panel = menu.View(PlayerOptions{}, MenuFacts{});
    BusyFrame(state, "Royal", "800x600", extras);
}
BENCHMARK(BM_BusyFrameWithInformation800)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BusyFrameWithMenu800)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BusyFrame1024)->Unit(benchmark::kMicrosecond);
// The table drawn for a 1920 x 1080 and a 3840 x 2160 screen, with its information.
void BM_BusyFrameDrawnFor1080p(benchmark::State& state) {
    TableExtras extras;
    extras.tableInfo = true;
    BusyFrame(state, "Vintage", "", extras, {1920, 1080});
}
void BM_BusyFrameDrawnFor4K(benchmark::State& state) {
    TableExtras extras;
    extras.tableInfo = true;
    BusyFrame(state, "Vintage", "", extras, {3840, 2160});
}
BENCHMARK(BM_BusyFrameDrawnFor1080p)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_BusyFrameDrawnFor4K)->Unit(benchmark::kMicrosecond);

// A window resized between two sizes, as the frame after the last size event meets it: the
// table moved and its pictures for the new size, kept from before (the second time at a
// size) or stretched while they are rendered beside the play.
void Resizes(benchmark::State& state, bool kept) {
    const std::string cache = kept ? (Folder() / "cache").string() : std::string();
    Launch("Vintage", "", ComputerLevel::Classic, {1920, 1080}, cache);
    MidTrick();
    if (kept) {
        // Both sizes in the cache first.
        game->display().SetWindowedSize(1280, 1024);
        game->FollowDisplaySize();
        while (!std::filesystem::exists(Folder() / "cache" / "Vintage-1280x1024.pics")) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            game->FollowDisplaySize();
        }
    }
    bool wide = false;
    for (auto _ : state) {
        game->display().SetWindowedSize(wide ? 1920 : 1280, wide ? 1080 : 1024);
        game->FollowDisplaySize();
        wide = !wide;
    }
}
void BM_ResizeToKeptPictures(benchmark::State& state) { Resizes(state, true); }
void BM_ResizeWhileRendering(benchmark::State& state) { Resizes(state, false); }
BENCHMARK(BM_ResizeToKeptPictures)->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(BM_ResizeWhileRendering)->Unit(benchmark::kMillisecond)->Iterations(20);

// Whole deals through the game's own frame, every computer seat Expert and the user asking for
// the hint each turn: the searches run on their own threads, so the longest frame stays a
// drawing frame. The pauses pass on the frame clock, faster than the eye would see them.
double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

void FramesOfWholeDeals(benchmark::State& state, ComputerLevel computer) {
    Launch("Royal", "800x600", computer);
    game->idleWait = [](int) {};
    Match& m = game->match;
    modDX::Input& input = game->input();
    std::vector<double> ms, cpuMs;
    int deals = 0;
    for (auto _ : state) {
        // A click is a press and then a release on the next frame.
        const bool released = input.mouseState.rgbButtons[0] != 0;
        input.mouseState.rgbButtons[0] = 0;
        input.keyState.fill(0);
        if (released) {
        } else if (m.motion.statusText == Phase::EndOfMatch) {
            ++deals;
            input.cursorPos = {400, 300};
            input.mouseState.rgbButtons[0] = 0x80;
        } else if (UserMayPick(m, false)) {
            input.keyState[modDX::keyH] = 0x80;
            const int hint = game->HintCard(true);
            const int slot = hint >= 0 ? FindHandIndex(m, hint, userSeat) : -1;
            if (slot >= 0) {
                const CardSprite& c = m.motion.userHand[slot];
                input.cursorPos = {static_cast<int>(c.x) + 3, static_cast<int>(c.y) + 40};
                input.mouseState.rgbButtons[0] = 0x80;
            }
        }
        frameClock.now += 17;
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = ThreadCpuMs();
        game->RunFrame();
        ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        cpuMs.push_back(ThreadCpuMs() - cpuStart);
    }
    std::sort(ms.begin(), ms.end());
    state.counters["frame ms p99"] = ms[ms.size() * 99 / 100];
    state.counters["frame ms max"] = ms.back();
    state.counters["frame ms p99.9"] = ms[ms.size() * 999 / 1000];
    // The frame's own work, without the time other programs and the search threads held the core.
    state.counters["frame cpu ms max"] = *std::max_element(cpuMs.begin(), cpuMs.end());
    state.counters["deals ended"] = deals;
}
void BM_FramesWhileExpertsThink(benchmark::State& state) { FramesOfWholeDeals(state, ComputerLevel::Expert); }
// The same deals with Classic seats, to compare the longest frames with.
void BM_FramesOfAClassicTable(benchmark::State& state) { FramesOfWholeDeals(state, ComputerLevel::Classic); }
BENCHMARK(BM_FramesWhileExpertsThink)->Unit(benchmark::kMicrosecond)->Iterations(300000);
BENCHMARK(BM_FramesOfAClassicTable)->Unit(benchmark::kMicrosecond)->Iterations(300000);

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
