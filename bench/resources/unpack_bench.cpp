// How long a start spends unpacking and removing an archive shaped like the game's own (four
// decks of 53 cards, ten sounds, the pictures and fonts, the JPEG background), and what one
// loader's case-insensitive path lookup costs.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <stdlib.h>
#include <string>
#include <vector>

#include "resources/jpeg_picture.hpp"
#include "resources/pak_bytes.hpp"
#include "resources/picture_cache.hpp"
#include "resources/unpack.hpp"

namespace {

namespace fs = std::filesystem;

class Workspace {
public:
    Workspace() {
        std::string pattern = (fs::temp_directory_path() / "pellow-bench-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
        dir_ = pattern;
        std::vector<pellow::test::PakItem> items;
        const std::string card(100 * 151 * 3 + 54, 'c');
        for (const char* deck : {"Royal_", "Roya2_", "Vintage_", "Worn_"}) {
            for (int i = 0; i < 53; ++i) items.push_back({deck + std::to_string(i) + ".BMP", card});
        }
        for (int i = 0; i < 10; ++i) items.push_back({"Sounds_" + std::to_string(i) + ".WAV", std::string(40000, 's')});
        items.push_back({"Sounds_CARD_FLIP.WAV", std::string(40000, 's')});
        items.push_back({"Bitmaps_Back_1024x768.bmp", std::string(1024 * 768 * 3 + 54, 'b')});
        items.push_back({"Bitmaps_Back_800x600.jpg", pellow::test::EncodeTestCardJpeg(800, 600)});
        for (int i = 0; i < 3; ++i)
            items.push_back({"fntFonts_" + std::to_string(i) + ".bmp", std::string(380 * 300 * 3, 'f')});
        pellow::test::WriteBytes(dir_ / "res002.pak", pellow::test::PakBytes(items));
    }
    ~Workspace() { fs::remove_all(dir_); }
    std::string Base() const { return dir_.string() + "/"; }

private:
    fs::path dir_;
};

void BM_UnpackAndRemove(benchmark::State& state) {
    Workspace w;
    for (auto _ : state) {
        pellow::UnpackResources(w.Base(), "res002.pak").Remove();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(w.Base() + "res002.pak")));
}
BENCHMARK(BM_UnpackAndRemove)->Unit(benchmark::kMillisecond);

void BM_ResolveMiscasedPath(benchmark::State& state) {
    Workspace w;
    pellow::UnpackedTree tree = pellow::UnpackResources(w.Base(), "res002.pak");
    for (auto _ : state) benchmark::DoNotOptimize(pellow::ResolveResourcePath(tree.base(), "res\\royal\\52.bmp"));
    tree.Remove();
}
BENCHMARK(BM_ResolveMiscasedPath)->Unit(benchmark::kMicrosecond);

// The pictures kept for a screen read back and checked, as a start meets them: the table's 61
// pictures for 1920 x 1080 (arg 0) or 3840 x 2160 (arg 1), about 12 and 47 MB.
void BM_LoadKeptPictures(benchmark::State& state) {
    const double scale = state.range(0) ? 2.8125 : 1.40625;
    const int width = state.range(0) ? 3840 : 1920, height = state.range(0) ? 2160 : 1080;
    pellow::PictureSet set;
    const auto add = [&set](int w, int h) {
        std::uint16_t* px = set.Add(w, h);
        for (int i = 0; i < w * h; ++i) px[i] = static_cast<std::uint16_t>(i * 2654435761u >> 16);
    };
    for (int i = 0; i < 53; ++i) add(static_cast<int>(138 * scale), static_cast<int>(193 * scale));
    add(width, height);
    add(static_cast<int>(332 * scale), static_cast<int>(544 * scale));
    for (int i = 0; i < 3; ++i) add(static_cast<int>(222 * scale), static_cast<int>(5 * scale) + 1);
    for (int i = 0; i < 3; ++i) add(20 * static_cast<int>(19 * scale), 12 * static_cast<int>(27 * scale));
    std::string pattern = (fs::temp_directory_path() / "pellow-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    const pellow::PictureCache cache(pattern + "/pellow");
    std::ostringstream notes;
    if (!cache.Store({"Bench-1", 1}, set, notes)) throw std::runtime_error("cannot store: " + notes.str());
    for (auto _ : state) benchmark::DoNotOptimize(cache.Load({"Bench-1", 1}));
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(set.PixelCount() * 2));
    fs::remove_all(pattern);
}
BENCHMARK(BM_LoadKeptPictures)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

}  // namespace
