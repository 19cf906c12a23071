// Writes a fuzz target's starting corpus: small inputs of every shape the game meets.
//   fuzz_seeds pak|jpeg|path|font|settings|choices FOLDER
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "app/dialog/choices_pipe.hpp"
#include "resources/jpeg_picture.hpp"
#include "resources/pak_bytes.hpp"

namespace {

using namespace pellow::test;
using Seeds = std::vector<std::pair<std::string, std::string>>;

Seeds Archives() {
    const std::string bmp = "BM" + std::string(52, '\0');
    return {
        {"whole", PakBytes({{"fntFonts_fntDigit.bmp", bmp},
                            {"Royal_AC.BMP", bmp},
                            {"Worn_S_cardback.bmp", "xy"},
                            {"Unknown_file", "z"},
                            {"Sounds_CARD_FLIP.WAV", "RIFF....WAVE"}})},
        {"jpeg", PakBytes({{"Bitmaps_Back_800x600.jpg", EncodeTestCardJpeg(16, 8)}})},
        {"huge_jpeg",
         PakBytes({{"Bitmaps_Back_800x600.jpg", DeclareJpegSize(EncodeTestCardJpeg(16, 8), 5648, 65280)}})},
        {"padded_names", PakBytes({{"Roya2_ AC.BMP  ", bmp, ' '}, {"sounds_lower.wav", "x"}})},
        {"climbing_name", PakBytes({{"Bitmaps_../x", "x"}})},
        {"long_directory", PakBytes({{"Royal_2C.BMP", "ab"}}, 100)},
        {"empty_directory", Header(16, 0)},
        {"not_an_archive", "KCAP and some more bytes"},
    };
}

// The wanted size (two bytes: width - 1 and height - 1), then the picture.
std::string Sized(int width, int height, const std::string& jpeg) {
    std::string s(1, static_cast<char>(width - 1));
    s += static_cast<char>(height - 1);
    return s + jpeg;
}

Seeds Pictures() {
    return {
        {"test_card", Sized(16, 8, EncodeTestCardJpeg(16, 8))},
        {"odd_width", Sized(13, 5, EncodeTestCardJpeg(13, 5))},
        {"other_size", Sized(8, 8, EncodeTestCardJpeg(16, 8))},
        {"huge", Sized(16, 8, DeclareJpegSize(EncodeTestCardJpeg(16, 8), 5648, 65280))},
        {"cut_short", Sized(16, 8, EncodeTestCardJpeg(16, 8).substr(0, 200))},
    };
}

Seeds Paths() {
    return {{"sound", "res\\sounds\\CARD_FLIP.WAV"}, {"bitmaps", "res\\bitmaps\\"},
            {"royal", "RES/royal/ac.bmp"},           {"climbing", "res\\Royal\\up\\..\\RES\\Bitmaps"},
            {"missing", "res\\nothing\\x"},          {"separators", "\\\\res//Sounds\\"}};
}

// Picture width, height, cell width, height, columns, x and y (16 bits each), keyed, text.
std::string FontInput(int picW, int picH, int cellW, int cellH, int columns, int x, int y, const std::string& text) {
    std::string s;
    for (const int b : {picW, picH, cellW, cellH, columns}) s += static_cast<char>(b);
    for (const int v : {x, y}) {
        s += static_cast<char>(v & 0xff);
        s += static_cast<char>((v >> 8) & 0xff);
    }
    s += '\1';
    return s + text;
}

Seeds Fonts() {
    // The game's own font cells (19 x 27 in 20 columns) on a whole picture and on hostile ones.
    return {{"whole", FontInput(190, 135, 19, 27, 20, 3, 10, "12:34 A")},
            {"too_small", FontInput(18, 26, 19, 27, 20, 0, 0, "!")},
            {"ragged", FontInput(200, 30, 19, 27, 20, -5, 40, "~~ \x7f\xff")},
            {"empty", FontInput(0, 0, 8, 8, 4, 0, 0, "a")},
            {"odd_cells", FontInput(64, 64, 1, 3, 1, 60, -2, "   !!")}};
}

Seeds SettingsFiles() {
    // The game's own files, one of each kind, and the kinds of damage a hand edit brings.
    return {{"settings",
             "pellow-settings 1\ndeck = roya2\nslow-animation = no\nplay-in-window = yes\n"
             "show-playable = yes\npartner = expert\nopponents = classic\n"},
            {"settings_not_default",
             "pellow-settings 1\ndeck = vintage\nslow-animation = yes\n"
             "play-in-window = no\nshow-playable = no\npartner = classic\n"
             "opponents = expert\n"},
            {"record", "pellow-record 1\nmatches-played = 12\nmatches-won = 5\ndeals = 61\npoints = 2450\n"},
            {"unknown_keys", "pellow-settings 1\ndeck = worn\nsound = loud\n[window]\n"},
            {"crlf_and_spaces", "pellow-record 1\r\n  deals=3  \r\npoints =\t240\r\n"},
            {"huge_numbers", "pellow-record 1\nmatches-played = 99999999999999999999\ndeals = -4\n"},
            {"wrong_header", "pellow-settings 2\ndeck = royal\n"}};
}

Seeds PlayMessages() {
    // What Play sends for the dialog's first choice and for one with every choice changed, and
    // the damage the game's process must refuse.
    pellow::LaunchSettings royal;
    royal.deckFolder = "Royal";
    royal.screen = pellow::ScreenSize::Small800x600;
    pellow::StoredChoices stored;
    const std::string first = pellow::PlayMessage(royal, stored);
    pellow::LaunchSettings worn;
    worn.deckFolder = "Worn";
    worn.slowAnimation = true;
    worn.partner = pellow::ComputerLevel::Expert;
    pellow::StoredChoices changed;
    changed.options = pellow::PlayerOptions{
        pellow::Deck::Worn, true, true, false, pellow::ComputerLevel::Expert, pellow::ComputerLevel::Classic};
    changed.record = pellow::MatchRecord{12, 5, 61, 2450};
    pellow::LaunchSettings climbing = royal;
    climbing.deckFolder = "..\\..\\Royal";
    std::string huge = first;
    huge[4] = '\x7f';
    return {{"royal", first},
            {"worn_changed", pellow::PlayMessage(worn, changed)},
            {"cut_short", first.substr(0, first.size() - 3)},
            {"more_after", first + "P"},
            {"huge_size", huge},
            {"climbing_deck", pellow::PlayMessage(climbing, stored)},
            {"not_play", "S" + first}};
}

}  // namespace

int main(int argc, char** argv) {
    const std::string kind = argc == 3 ? argv[1] : "";
    const Seeds seeds = kind == "pak"        ? Archives()
                        : kind == "jpeg"     ? Pictures()
                        : kind == "path"     ? Paths()
                        : kind == "font"     ? Fonts()
                        : kind == "settings" ? SettingsFiles()
                        : kind == "choices"  ? PlayMessages()
                                             : Seeds{};
    if (seeds.empty()) {
        std::cerr << "usage: fuzz_seeds pak|jpeg|path|font|settings|choices FOLDER\n";
        return 2;
    }
    for (const auto& [name, bytes] : seeds) WriteBytes(std::filesystem::path(argv[2]) / name, bytes);
    return 0;
}
