// The copies one frame is made of: colour-keyed cards and the full-screen background.
#include <benchmark/benchmark.h>

#include "presentation/dx.hpp"

namespace {

using namespace pellow::modDX;

void OpenMemoryDisplay(Display& display, int w, int h) {
    display.DirectX(w, h, DisplayKind::Memory);
    display.SetClipRect();
}

// A card face: white with a magenta border two pixels wide (the transparent corners) and a
// few coloured pips.
void MakeCard(Surface& card) {
    CreateSurface(card, 108, 151);
    FillRect(card, Rect{0, 0, 108, 151}, Rgb565(255, 0, 255));
    FillRect(card, Rect{2, 2, 106, 149}, Rgb565(255, 255, 255));
    for (int i = 0; i < 6; ++i)
        FillRect(card, Rect{20 + 12 * i, 30 + 15 * i, 30 + 12 * i, 42 + 15 * i}, Rgb565(200, 0, 0));
    SetColorKey(card, 2);
}

void BM_BltKeyedCard(benchmark::State& state) {
    Display display;
    OpenMemoryDisplay(display, 1024, 768);
    Surface card;
    MakeCard(card);
    int x = 0;
    for (auto _ : state) {
        display.BltSurface(card, display.backBuffer(), Rect{}, 100 + x, 300, true);
        x = (x + 7) & 255;
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * 108 * 151 * 2);
}
BENCHMARK(BM_BltKeyedCard);

void BM_BltBackground(benchmark::State& state) {
    const int w = static_cast<int>(state.range(0));
    const int h = static_cast<int>(state.range(1));
    Display display;
    OpenMemoryDisplay(display, w, h);
    Surface background;
    CreateSurface(background, w, h);
    for (int y = 0; y < h; y += 8) FillRect(background, Rect{0, y, w, y + 4}, Rgb565(0, 120 + y % 64, 40));
    for (auto _ : state) {
        display.BltSurface(background, display.backBuffer(), Rect{}, 0, 0, false);
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(w) * h * 2);
}
BENCHMARK(BM_BltBackground)->Args({800, 600})->Args({1024, 768});

}  // namespace
