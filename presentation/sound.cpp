#include "presentation/sound.hpp"

#include <SDL.h>
#include <SDL_mixer.h>

namespace pellow::modDX {

namespace {

// The files in SoundEffect order, which is also the loading order of the game.
constexpr const char* kSoundFiles[kSoundEffectCount] = {
    "CARD_FLIP.WAV", "CARD_FLIP2.WAV", "CARD_FLIP3.WAV", "SIGN1.WAV",    "SIGN2.WAV",
    "SIGN3.WAV",     "SHUFFLE.WAV",    "INTRO.WAV",      "WIN_GAME.WAV", "LOSE_GAME.WAV",
};

}  // namespace

SoundBuffer::~SoundBuffer() { reset(); }

void SoundBuffer::reset() {
    if (chunk_) {
        // A chunk must not be freed while the mixer may still read it. Chunks are only loaded
        // while the device is open, and the device closes only after they are freed.
        Mix_HaltChannel(channel_);
        Mix_FreeChunk(chunk_);
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
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    if (Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    Mix_AllocateChannels(kSoundEffectCount);
    enabled_ = true;
}

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
        buffer.chunk_ = Mix_LoadWAV(path.c_str());
        if (!buffer.chunk_) silent.push_back(path + ": " + Mix_GetError());
    }
    return silent;
}

SoundBuffer& Audio::SoundFor(SoundEffect effect) { return effects_[static_cast<int>(effect)]; }

void Audio::PlaySound(SoundEffect effect) {
    SoundBuffer& buffer = SoundFor(effect);
    if (!enabled_ || !buffer.loaded()) return;
    // Asked again while it still plays, the effect carries on rather than starting twice.
    if (Mix_Playing(buffer.channel_)) return;
    if (Mix_PlayChannel(buffer.channel_, buffer.chunk_, 0) >= 0) ++buffer.starts_;
}

void Audio::ReleaseSounds() {
    for (SoundBuffer& buffer : effects_) buffer.reset();
}

void Audio::CloseSound() {
    ReleaseSounds();
    if (enabled_) {
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    enabled_ = false;
}

}  // namespace pellow::modDX
