#pragma once
// The game's ten sound effects, synthesised: card flicks, card slides, a riffle shuffle, a
// short jingle, a win fanfare and a losing phrase. 22050 Hz, 16-bit stereo PCM.
#include <cstdint>
#include <string>
#include <vector>

namespace pellow::pack {

inline constexpr int kSampleRate = 22050;

struct Stereo {
    std::vector<float> left, right;  // same length, -1..1
};

struct SoundFile {
    std::string name;  // "CARD_FLIP.WAV" ..
    std::vector<std::uint8_t> bytes;
};

// All ten, in the order the game loads them.
std::vector<SoundFile> SynthesiseSounds();

// A RIFF WAVE file of the samples, clamped to 16 bits.
std::vector<std::uint8_t> EncodeWav(const Stereo& s);

}  // namespace pellow::pack
