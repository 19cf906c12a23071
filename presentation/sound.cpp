#include "presentation/sound.hpp"

#include <SDL.h>
#include <SDL_mixer.h>

#include <iostream>

namespace pellow::modDX {

bool soundEnabled = false;

// Each effect owns the mixer channel of its place in SoundEffect.
SoundBuffer cardFlipSound1{0}, cardFlipSound2{1}, cardFlipSound3{2};
SoundBuffer signSound1{3}, signSound2{4}, signSound3{5};
SoundBuffer shuffleSound{6}, introSound{7}, winSound{8}, loseSound{9};

namespace {

bool audioOpen = false;

struct NamedBuffer {
    SoundBuffer* buffer;
    const char* file;
};

// The loading order of the game.
const NamedBuffer kSoundFiles[] = {
    {&cardFlipSound1, "CARD_FLIP.WAV"}, {&cardFlipSound2, "CARD_FLIP2.WAV"},
    {&cardFlipSound3, "CARD_FLIP3.WAV"}, {&signSound1, "SIGN1.WAV"},
    {&signSound2, "SIGN2.WAV"},         {&signSound3, "SIGN3.WAV"},
    {&shuffleSound, "SHUFFLE.WAV"},     {&introSound, "INTRO.WAV"},
    {&winSound, "WIN_GAME.WAV"},        {&loseSound, "LOSE_GAME.WAV"},
};

}  // namespace

SoundBuffer::~SoundBuffer() { reset(); }

void SoundBuffer::reset() {
    if (chunk_) {
        // A chunk must not be freed while the mixer may still read it.
        if (audioOpen && channel_ >= 0) Mix_HaltChannel(channel_);
        Mix_FreeChunk(chunk_);
    }
    chunk_ = nullptr;
    starts_ = 0;
}

void SoundBuffer::adopt(Mix_Chunk* chunk) {
    reset();
    chunk_ = chunk;
}

void InitSound() {
    soundEnabled = false;
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
    if (Mix_OpenAudio(MIX_DEFAULT_FREQUENCY, MIX_DEFAULT_FORMAT, 2, 1024) != 0) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        return;
    }
    audioOpen = true;
    Mix_AllocateChannels(kSoundEffectCount);
    soundEnabled = true;
}

void LoadSound(SoundBuffer& buffer, const std::string& path) {
    if (!soundEnabled) return;
    Mix_Chunk* chunk = Mix_LoadWAV(path.c_str());
    if (!chunk) {
        // Only this effect goes silent; the game plays on.
        std::cerr << "Sound not loaded: " << path << ": " << Mix_GetError() << '\n';
    }
    buffer.adopt(chunk);
}

void PlaySound(SoundBuffer& buffer, bool loop) {
    if (!soundEnabled || !buffer.loaded()) return;
    // Asked again while it still plays, the effect carries on rather than starting twice.
    if (buffer.channel() >= 0 && Mix_Playing(buffer.channel())) return;
    if (Mix_PlayChannel(buffer.channel(), buffer.raw(), loop ? -1 : 0) >= 0) buffer.countStart();
}

void LoadSounds(const PathResolver& resolve) {
    for (const NamedBuffer& sound : kSoundFiles)
        LoadSound(*sound.buffer, resolve(std::string("res\\sounds\\") + sound.file));
}

SoundBuffer& SoundFor(SoundEffect effect) {
    return *kSoundFiles[static_cast<int>(effect)].buffer;
}

void ReleaseSounds() {
    for (const NamedBuffer& sound : kSoundFiles) sound.buffer->reset();
}

void CloseSound() {
    ReleaseSounds();
    if (audioOpen) {
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    audioOpen = false;
    soundEnabled = false;
}

void DXSoundRequests::PlaySound(SoundEffect effect) { modDX::PlaySound(SoundFor(effect), false); }

}  // namespace pellow::modDX
