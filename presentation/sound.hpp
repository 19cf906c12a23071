#pragma once
// The ten sound effects. Each effect plays on its own mixer channel, so effects overlap; an
// effect asked for again while it still plays is heard once. Without an audio device
// Enabled() stays false and every request is silent.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "engine/services.hpp"

struct Mix_Chunk;

namespace pellow::modDX {

struct MixerCalls;

// One loaded wave file and the mixer channel it plays on.
class SoundBuffer {
public:
    SoundBuffer() = default;
    ~SoundBuffer();
    SoundBuffer(const SoundBuffer&) = delete;
    SoundBuffer& operator=(const SoundBuffer&) = delete;

    bool loaded() const { return chunk_ != nullptr; }
    // How many times the effect has actually started playing.
    int timesStarted() const { return starts_; }
    // The loudness it last played at, 0 to the mixer's full 128.
    int volume() const;
    // deviceOpen false: the mixer is closed, so nothing plays and there is no channel to halt.
    void reset(bool deviceOpen = true);

private:
    friend class Audio;
    const MixerCalls* mixer_ = nullptr;  // the calls that loaded chunk_, which free it
    Mix_Chunk* chunk_ = nullptr;
    int channel_ = 0;
    int starts_ = 0;
};

// Maps a path relative to the resource folder, written the game's way
// ("res\\sounds\\CARD_FLIP.WAV"), to a file on disk.
using PathResolver = std::function<std::string(std::string_view relative)>;

// The audio device and the ten effects; the engine's sound requests play through it. Closes
// the device when destroyed.
class Audio final : public SoundRequests {
public:
    Audio();
    ~Audio() override;
    Audio(const Audio&) = delete;
    Audio& operator=(const Audio&) = delete;

    // Opens the audio device; without one the game plays on silently.
    void InitSound();
    // Loads the mixer library ahead of InitSound, on any thread, while InitSound may already be
    // waiting for it on another (InitSound loads it otherwise).
    void LoadMixer();
    bool Enabled() const { return enabled_; }
    // The ten sound files LoadSounds reads, relative to the resource base.
    static std::vector<std::string> Files();
    // Loads the ten effects. An effect that cannot be loaded only goes silent; the returned
    // lines ("path: reason") say which.
    std::vector<std::string> LoadSounds(const PathResolver& resolve);
    SoundBuffer& SoundFor(SoundEffect effect);
    void PlaySound(SoundEffect effect) override;
    // How loud the effects play from the next one on, 0 to 100 percent; muted plays none.
    void SetVolume(int percent, bool muted);
    int Volume() const { return volume_; }
    bool Muted() const { return muted_; }
    // Frees the ten effects (the game's quit does this before shutting down).
    void ReleaseSounds();
    // Frees the effects and closes the audio device.
    void CloseSound();
    // An open device wakes its thread every few milliseconds even in silence, which is most of
    // what a game waiting for a click costs. Once nothing has played for a while the device is
    // let go; the next effect opens it again in the same format the effects were loaded in.
    void SleepWhenSilent(std::uint32_t nowTick);
    bool Asleep() const { return asleep_; }

private:
    bool Wake();
    // The mixer's calls, loaded on first use; null where the library cannot be loaded.
    const MixerCalls* Mixer();

    std::once_flag mixerLoaded_;
    std::unique_ptr<const MixerCalls> mixer_;
    // After the mixer: the effects go first, while their calls are still there.
    std::array<SoundBuffer, kSoundEffectCount> effects_;
    bool enabled_ = false;
    bool asleep_ = false;
    std::uint32_t lastHeard_ = 0;  // tick at which an effect was last seen playing
    bool playedSinceCheck_ = false;
    // The device's format as first opened, asked for exactly when it is opened again.
    int frequency_ = 0;
    std::uint16_t format_ = 0;
    int channels_ = 0;
    int volume_ = 100;
    bool muted_ = false;
};

}  // namespace pellow::modDX
