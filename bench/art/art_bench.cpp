// The cold cost of drawing the table's art for a screen: everything at once on two threads, as
// the game does when its cache has no pictures for the screen's size, and each part alone on
// one thread. Scales 1.406 and 2.8125 are the 1920 x 1080 and 3840 x 2160 tables.
#include <benchmark/benchmark.h>

#include <cmath>

#include "art/table_art.hpp"
#include "art/table_art_set.hpp"

namespace {

using namespace pellow::art;

struct Screen {
    double scale;
    int width, height;
};
constexpr Screen kScreens[] = {{1.406, 1920, 1080}, {2.8125, 3840, 2160}};

ArtFiles Files(const char* deck) {
    return {deck, PELLOW_FONT_DIGIT, PELLOW_FONT_DIGIT_LETTERS, PELLOW_FONT_DELUXE, PELLOW_FONT_HAND};
}

// The 1024 x 768 table's page, scaled and centred on the wider screen.
ArtRequest RequestFor(const Screen& screen, const char* deck, const char* folder) {
    ArtRequest r;
    r.files = Files(deck);
    const DeckLook look = DeckLookFor(folder);
    r.finish = look.finish;
    r.seed = look.seed;
    r.scale = screen.scale;
    r.tableWidth = screen.width;
    r.tableHeight = screen.height;
    r.pageX = static_cast<int>(std::lround(268 * screen.scale + (screen.width - 1024 * screen.scale) / 2));
    r.pageY = static_cast<int>(std::lround(116 * screen.scale + (screen.height - 768 * screen.scale) / 2));
    return r;
}

// Arg 0: the screen; arg 1: the deck (0 clean Royal, 1 Worn, whose finish costs most).
void BM_TableArt(benchmark::State& state) {
    const Screen& screen = kScreens[state.range(0)];
    const ArtRequest r = state.range(1) == 0 ? RequestFor(screen, PELLOW_DECK_ROYAL, "Royal")
                                             : RequestFor(screen, PELLOW_DECK_WORN, "Worn");
    for (auto _ : state) benchmark::DoNotOptimize(RenderTableArt(r, 2));
}
BENCHMARK(BM_TableArt)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Deck(benchmark::State& state) {
    const Screen& screen = kScreens[state.range(0)];
    const bool worn = state.range(1) == 1;
    const DeckLook look = DeckLookFor(worn ? "Worn" : "Royal");
    const DeckArt deckArt{"", worn ? PELLOW_DECK_WORN : PELLOW_DECK_ROYAL,
                        static_cast<int>(std::lround(kCardUnitsWide * screen.scale)),
                        static_cast<int>(std::lround(kCardUnitsHigh * screen.scale)), look.finish, look.seed};
    for (auto _ : state) benchmark::DoNotOptimize(RenderDecks({deckArt}, 1));
}
BENCHMARK(BM_Deck)->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Felt(benchmark::State& state) {
    const Screen& screen = kScreens[state.range(0)];
    for (auto _ : state) benchmark::DoNotOptimize(RenderFelt(screen.width, screen.height, screen.scale));
}
BENCHMARK(BM_Felt)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Fonts(benchmark::State& state) {
    const Screen& screen = kScreens[state.range(0)];
    const ArtFiles files = Files(PELLOW_DECK_ROYAL);
    for (auto _ : state) {
        benchmark::DoNotOptimize(RenderGlyphSheet(DigitStyle(files), screen.scale));
        benchmark::DoNotOptimize(RenderGlyphSheet(DeluxeStyle(files), screen.scale));
        benchmark::DoNotOptimize(RenderGlyphSheet(HandStyle(files), screen.scale));
    }
}
BENCHMARK(BM_Fonts)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

// The pad with its pen lines and the pointer, over a plain table.
void BM_ScorePage(benchmark::State& state) {
    const Screen& screen = kScreens[state.range(0)];
    const ArtRequest r = RequestFor(screen, PELLOW_DECK_ROYAL, "Royal");
    const Image felt(screen.width, screen.height, {31, 100, 57});
    const int baseline = static_cast<int>(std::lround(20 * screen.scale));
    for (auto _ : state) {
        benchmark::DoNotOptimize(RenderScorePageAt(felt, r.pageX, r.pageY, baseline, r.files.deluxeFont, r.scale));
        benchmark::DoNotOptimize(RenderHorizontalLine(r.scale));
        benchmark::DoNotOptimize(RenderVerticalLine(r.scale));
        benchmark::DoNotOptimize(RenderPointer(r.scale));
    }
}
BENCHMARK(BM_ScorePage)->DenseRange(0, 1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
