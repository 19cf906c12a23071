// Writes the fuzz target's starting corpus: small archives of every shape the game meets.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "resources/jpeg_picture.hpp"
#include "resources/pak_bytes.hpp"

int main(int argc, char** argv) {
    using namespace pellow::test;
    if (argc != 2) {
        std::cerr << "usage: pak_fuzz_seeds FOLDER\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    const std::string bmp = "BM" + std::string(52, '\0');
    const std::vector<std::pair<std::string, std::string>> seeds = {
        {"whole", PakBytes({{"fntFonts_fntDigit.bmp", bmp},
                            {"Royal_AC.BMP", bmp},
                            {"Worn_S_cardback.bmp", "xy"},
                            {"Unknown_file", "z"},
                            {"Sounds_CARD_FLIP.WAV", "RIFF....WAVE"}})},
        {"jpeg", PakBytes({{"Bitmaps_Back_800x600.jpg", EncodeTestCardJpeg(16, 8)}})},
        {"padded_names", PakBytes({{"Roya2_ AC.BMP  ", bmp, ' '}, {"sounds_lower.wav", "x"}})},
        {"climbing_name", PakBytes({{"Bitmaps_../x", "x"}})},
        {"long_directory", PakBytes({{"Royal_2C.BMP", "ab"}}, 100)},
        {"empty_directory", Header(16, 0)},
        {"not_an_archive", "KCAP and some more bytes"},
    };
    for (const auto& [name, bytes] : seeds) WriteBytes(dir / name, bytes);
    return 0;
}
