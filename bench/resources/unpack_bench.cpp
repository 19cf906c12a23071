// How long a start spends unpacking and removing an archive shaped like the game's own (four
// decks of 53 cards, ten sounds, the pictures and fonts, the JPEG background), and what one
// loader's case-insensitive path lookup costs.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <stdlib.h>
#include <string>
#include <vector>

#include "resources/jpeg_picture.hpp"
#include "resources/pak_bytes.hpp"
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

}  // namespace
