#pragma once
// The ten sound effects. Each effect plays on its own mixer channel, so effects overlap; an
// effect asked for again while it still plays is heard once. Without an audio device
// soundEnabled stays false and every request is silent.
#include <functional>
#include <string>
#include <string_view>

#include "engine/services.hpp"

struct Mix_Chunk;

namespace pellow::modDX {

// One loaded wave file and the mixer channel it plays on (-1: any free channel).
class SoundBuffer {
public:
    explicit SoundBuffer(int channel = -1) : channel_(channel) {}
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    bool loaded() const { return chunk_ != nullptr; }
    int channel() const { return channel_; }
    // How many times the effect has actually started playing.
    int timesStarted() const { return starts_; }
    void reset();

    Mix_Chunk* raw() const { return chunk_; }
    void adopt(Mix_Chunk* chunk);
    void countStart() { ++starts_; }

private:
    Mix_Chunk* chunk_ = nullptr;
    int channel_;
    int starts_ = 0;
};

// Maps a path relative to the resource folder, written the game's way
// ("res\\sounds\\CARD_FLIP.WAV"), to a file on disk.
using PathResolver = std::function<std::string(std::string_view relative)>;

// ---- Module state ----
extern bool soundEnabled;
extern SoundBuffer cardFlipSound1, cardFlipSound2, cardFlipSound3;
extern SoundBuffer signSound1, signSound2, signSound3;
extern SoundBuffer shuffleSound, introSound, winSound, loseSound;

// ---- Operations ----
void InitSound();
void LoadSound(SoundBuffer& buffer, const std::string& path);
void PlaySound(SoundBuffer& buffer, bool loop);
void LoadSounds(const PathResolver& resolve);
SoundBuffer& SoundFor(SoundEffect effect);
// Frees the ten effects (the game's quit does this before shutting down).
void ReleaseSounds();
// Closes the audio device; the sound system's part of ShutDown.
void CloseSound();

// The engine's sound requests, played through the buffers above.
class DXSoundRequests final : public SoundRequests {
public:
    void PlaySound(SoundEffect effect) override;
};

}  // namespace pellow::modDX
