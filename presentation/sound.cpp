#include "presentation/sound.hpp"

#include <SDL.h>
#include <SDL_mixer.h>
#include <dlfcn.h>

#include <algorithm>
#include <iostream>
#include <memory>
#include <mutex>

namespace pellow::modDX {

namespace {

// The mixer, and the codec libraries beneath it (some twenty), are loaded when sound is first
// wanted rather than with the program: the start-up dialog shows sooner without them.
constexpr const char* kMixerLibrary = "libSDL2_mixer-2.0.so.0";

}  // namespace

// The mixer's calls, found by name in the library loaded when sound is first wanted.
struct MixerCalls {
    decltype(&::Mix_OpenAudioDevice) OpenAudioDevice = nullptr;
    decltype(&::Mix_AllocateChannels) AllocateChannels = nullptr;
    decltype(&::Mix_QuerySpec) QuerySpec = nullptr;
    decltype(&::Mix_CloseAudio) CloseAudio = nullptr;
    decltype(&::Mix_LoadWAV) LoadWAV = nullptr;
    decltype(&::Mix_FreeChunk) FreeChunk = nullptr;
    decltype(&::Mix_PlayChannel) PlayChannel = nullptr;
    decltype(&::Mix_HaltChannel) HaltChannel = nullptr;
    decltype(&::Mix_Playing) Playing = nullptr;
    decltype(&::Mix_VolumeChunk) VolumeChunk = nullptr;
};

namespace {

template <class Call>
bool Find(void* library, const char* name, Call& call) {
    call = reinterpret_cast<Call>(dlsym(library, name));
    return call != nullptr;
}

// The mixer's calls, or null (said on stderr) where the library cannot be loaded: the game then
// plays on silently, as it does without an audio device.
std::unique_ptr<const MixerCalls> LoadMixerCalls() {
    void* library = dlopen(kMixerLibrary, RTLD_NOW | RTLD_LOCAL);
    auto found = std::make_unique<MixerCalls>();
    if (library && Find(library, "Mix_OpenAudioDevice", found->OpenAudioDevice) &&
        Find(library, "Mix_AllocateChannels", found->AllocateChannels) &&
        Find(library, "Mix_QuerySpec", found->QuerySpec) && Find(library, "Mix_CloseAudio", found->CloseAudio) &&
        Find(library, "Mix_LoadWAV", found->LoadWAV) && Find(library, "Mix_FreeChunk", found->FreeChunk) &&
        Find(library, "Mix_PlayChannel", found->PlayChannel) && Find(library, "Mix_HaltChannel", found->HaltChannel) &&
        Find(library, "Mix_Playing", found->Playing) && Find(library, "Mix_VolumeChunk", found->VolumeChunk))
        return found;
    const char* why = dlerror();
    std::cerr << "Pellow: no sound: " << (why ? why : kMixerLibrary) << '\n';
    return nullptr;
}

// The files in SoundEffect order, which is also the loading order of the game.
constexpr const char* kSoundFiles[kSoundEffectCount] = {
    "CARD_FLIP.WAV", "CARD_FLIP2.WAV", "CARD_FLIP3.WAV", "SIGN1.WAV",    "SIGN2.WAV",
    "SIGN3.WAV",     "SHUFFLE.WAV",    "INTRO.WAV",      "WIN_GAME.WAV", "LOSE_GAME.WAV",
};

constexpr std::uint32_t kQuietBeforeSleep = 3000;
// The effects' own format (22050 Hz, 16-bit stereo): they play as they are, with no resampled
// copy twice their size kept in memory. 512 frames keep the delay before a sound at 23 ms.
constexpr int kFrequency = 22050;
constexpr int kChunkSize = 512;

}  // namespace

SoundBuffer::~SoundBuffer() { reset(); }

void SoundBuffer::reset(bool deviceOpen) {
    if (chunk_) {
        // A chunk must not be freed while the mixer may still read it. Chunks are only loaded
        // while the device is open; a closed mixer has no channels left to touch.
        if (deviceOpen) mixer_->HaltChannel(channel_);
        mixer_->FreeChunk(chunk_);
    }
    chunk_ = nullptr;
    starts_ = 0;
}

// Each effect owns the mixer channel of its place in SoundEffect.
Audio::Audio() {
    for (int i = 0; i < kSoundEffectCount; ++i) effects_[i].channel_ = i;
}

Audio::~Audio() { CloseSound(); }

void Audio::InitSound() {
    CloseSound();
    const MixerCalls* mixer = Mixer();
    if (!mixer || SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    if (mixer->OpenAudioDevice(kFrequency, AUDIO_S16SYS, 2, kChunkSize, nullptr, 0) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    mixer->AllocateChannels(kSoundEffectCount);
    mixer->QuerySpec(&frequency_, &format_, &channels_);
    enabled_ = true;
    asleep_ = false;
}

void Audio::SleepWhenSilent(std::uint32_t nowTick) {
    if (!enabled_ || asleep_) return;
    if (Mixer()->Playing(-1) > 0 || playedSinceCheck_) lastHeard_ = nowTick;
    playedSinceCheck_ = false;
    if (nowTick - lastHeard_ < kQuietBeforeSleep) return;
    Mixer()->CloseAudio();
    asleep_ = true;
}

bool Audio::Wake() {
    // No change allowed: the effects were converted to this format when they were loaded.
    if (Mixer()->OpenAudioDevice(frequency_, format_, channels_, kChunkSize, nullptr, 0) != 0) return false;
    Mixer()->AllocateChannels(kSoundEffectCount);
    asleep_ = false;
    return true;
}

// Loaded once per Audio, whichever thread asks first. The library itself is never unloaded: it
// stays until the process ends, and a later Audio's dlopen finds it already there.
const MixerCalls* Audio::Mixer() {
    std::call_once(mixerLoaded_, [this] { mixer_ = LoadMixerCalls(); });
    return mixer_.get();
}

void Audio::LoadMixer() { Mixer(); }

std::vector<std::string> Audio::Files() {
    std::vector<std::string> files;
    for (const char* name : kSoundFiles) files.push_back(std::string("res\\sounds\\") + name);
    return files;
}

std::vector<std::string> Audio::LoadSounds(const PathResolver& resolve) {
    std::vector<std::string> silent;
    if (!enabled_) return silent;
    const std::vector<std::string> files = Files();
    for (int i = 0; i < kSoundEffectCount; ++i) {
        const std::string path = resolve(files[static_cast<std::size_t>(i)]);
        SoundBuffer& buffer = effects_[i];
        buffer.reset();
        buffer.mixer_ = Mixer();
        buffer.chunk_ = buffer.mixer_->LoadWAV(path.c_str());
        if (!buffer.chunk_) silent.push_back(path + ": " + Mix_GetError());
    }
    return silent;
}

SoundBuffer& Audio::SoundFor(SoundEffect effect) { return effects_[static_cast<int>(effect)]; }

void Audio::PlaySound(SoundEffect effect) {
    SoundBuffer& buffer = SoundFor(effect);
    if (!enabled_ || !buffer.loaded() || muted_ || volume_ == 0) return;
    if (asleep_ && !Wake()) return;
    // Asked again while it still plays, the effect carries on rather than starting twice.
    if (Mixer()->Playing(buffer.channel_)) return;
    Mixer()->VolumeChunk(buffer.chunk_, volume_ * MIX_MAX_VOLUME / 100);
    if (Mixer()->PlayChannel(buffer.channel_, buffer.chunk_, 0) >= 0) ++buffer.starts_;
    playedSinceCheck_ = true;
}

int SoundBuffer::volume() const { return chunk_ ? chunk_->volume : 0; }

void Audio::SetVolume(int percent, bool muted) {
    volume_ = std::clamp(percent, 0, 100);
    muted_ = muted;
}

void Audio::ReleaseSounds() {
    for (SoundBuffer& buffer : effects_) buffer.reset(enabled_ && !asleep_);
}

void Audio::CloseSound() {
    ReleaseSounds();
    if (enabled_) {
        if (!asleep_) Mixer()->CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    enabled_ = false;
    asleep_ = false;
}

}  // namespace pellow::modDX
