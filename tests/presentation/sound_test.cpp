#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "engine/match.hpp"
#include "presentation/sound.hpp"
#include "presentation/test_support.hpp"
#include "engine/services.hpp"

namespace pellow::testing {
namespace {

// Ten one-second waves under res/sounds, found through a resolver like the game's.
class SoundTest : public DisplayFixture {
protected:
    void SetUp() override {
        std::filesystem::create_directories(Scratch() / "res" / "sounds");
        for (const char* name : {"CARD_FLIP.WAV", "CARD_FLIP2.WAV", "CARD_FLIP3.WAV", "SIGN1.WAV", "SIGN2.WAV",
                                 "SIGN3.WAV", "SHUFFLE.WAV", "INTRO.WAV", "WIN_GAME.WAV", "LOSE_GAME.WAV"})
            WriteWav(Scratch() / "res" / "sounds" / name, 1000);
    }
    modDX::PathResolver Resolver() {
        return [base = Scratch().string()](std::string_view relative) {
            std::string path = base + "/" + std::string(relative);
            std::replace(path.begin(), path.end(), '\\', '/');
            return path;
        };
    }
    static SoundEffect Effect(int i) { return static_cast<SoundEffect>(i); }
    static int Playing(SoundEffect e) { return Mix_Playing(static_cast<int>(e)); }

    modDX::SoundBuffer& SoundFor(SoundEffect e) { return audio.SoundFor(e); }

    Match m;
    modDX::Audio audio;
};

class NoAudioDevice : public SoundTest {
protected:
    ScopedEnv driver{"SDL_AUDIODRIVER", "no-such-driver"};
};

TEST_F(NoAudioDevice, EverythingStaysSilent) {
    audio.InitSound();
    EXPECT_FALSE(audio.Enabled());
    EXPECT_TRUE(audio.LoadSounds(Resolver()).empty()) << "nothing is loaded, so nothing fails";
    for (int i = 0; i < kSoundEffectCount; ++i) EXPECT_FALSE(SoundFor(Effect(i)).loaded()) << i;

    MersenneRandom rnd(3);
    m.random = &rnd;
    m.sounds = &audio;
    PlayCardSound(m);
    PlaySignSound(m);
    audio.PlaySound(SoundEffect::WinGame);
    for (int i = 0; i < kSoundEffectCount; ++i) EXPECT_EQ(SoundFor(Effect(i)).timesStarted(), 0);
}

class DummyAudio : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        audio.InitSound();
        ASSERT_TRUE(audio.Enabled()) << SDL_GetError();
    }
    ScopedEnv driver{"SDL_AUDIODRIVER", "dummy"};
};

TEST_F(DummyAudio, EngineCardAndSignSoundsPlayTheDrawnEffect) {
    audio.LoadSounds(Resolver());
    MersenneRandom rnd(11), same(11);
    m.random = &rnd;
    m.sounds = &audio;
    Match predictor;
    predictor.random = &same;
    const int card = RandomBelow(predictor, 3);
    const int sign = RandomBelow(predictor, 3);

    PlayCardSound(m);
    PlaySignSound(m);
    for (int i = 0; i < kSoundEffectCount; ++i) {
        const bool expected = i == card || i == 3 + sign;
        EXPECT_EQ(SoundFor(Effect(i)).timesStarted(), expected ? 1 : 0) << i;
        EXPECT_EQ(Playing(Effect(i)), expected ? 1 : 0) << "effects overlap on their own channels";
    }
}

TEST_F(DummyAudio, AnEffectAskedForAgainWhilePlayingIsHeardOnce) {
    audio.LoadSounds(Resolver());
    for (int i = 0; i < 3; ++i) audio.PlaySound(SoundEffect::CardFlip2);
    EXPECT_EQ(SoundFor(SoundEffect::CardFlip2).timesStarted(), 1);
    EXPECT_EQ(Playing(SoundEffect::CardFlip2), 1);
    EXPECT_EQ(Mix_Playing(-1), 1) << "no other channel took the repeats";
}

TEST_F(DummyAudio, VolumeScalesTheNextEffectAndMuteSilencesAll) {
    audio.LoadSounds(Resolver());
    audio.SetVolume(50, false);
    audio.PlaySound(SoundEffect::Sign1);
    EXPECT_EQ(SoundFor(SoundEffect::Sign1).timesStarted(), 1);
    EXPECT_EQ(SoundFor(SoundEffect::Sign1).volume(), MIX_MAX_VOLUME / 2);
    audio.SetVolume(50, true);
    audio.PlaySound(SoundEffect::Sign2);
    audio.SetVolume(0, false);
    audio.PlaySound(SoundEffect::Sign3);
    EXPECT_EQ(SoundFor(SoundEffect::Sign2).timesStarted() + SoundFor(SoundEffect::Sign3).timesStarted(), 0);
    audio.SetVolume(250, false);
    EXPECT_EQ(audio.Volume(), 100) << "a volume past full is full";
}

TEST_F(DummyAudio, AMissingWaveSilencesThatEffectOnly) {
    std::filesystem::remove(Scratch() / "res" / "sounds" / "SIGN2.WAV");
    const auto silent = audio.LoadSounds(Resolver());
    ASSERT_EQ(silent.size(), 1u);
    EXPECT_NE(silent[0].find("SIGN2.WAV: "), std::string::npos) << silent[0];
    for (int i = 0; i < kSoundEffectCount; ++i)
        EXPECT_EQ(SoundFor(Effect(i)).loaded(), Effect(i) != SoundEffect::Sign2) << i;
    audio.PlaySound(SoundEffect::Sign2);
    audio.PlaySound(SoundEffect::Sign3);
    EXPECT_EQ(Mix_Playing(-1), 1);
    EXPECT_EQ(Playing(SoundEffect::Sign3), 1);
}

// Quiet for a while, the device is let go; the next effect opens it in the format the effects
// were converted to, and a shutdown while asleep closes nothing twice.
TEST_F(DummyAudio, ASilentDeviceSleepsAndTheNextEffectWakesIt) {
    audio.LoadSounds(Resolver());
    int frequency = 0, channels = 0;
    Uint16 format = 0;
    Mix_QuerySpec(&frequency, &format, &channels);
    audio.PlaySound(SoundEffect::WinGame);
    audio.SleepWhenSilent(100000);
    audio.SleepWhenSilent(102999);
    EXPECT_FALSE(audio.Asleep()) << "asleep while an effect plays";
    Mix_HaltChannel(-1);
    audio.SleepWhenSilent(104000);
    EXPECT_FALSE(audio.Asleep()) << "asleep before three quiet seconds";
    audio.SleepWhenSilent(106000);
    ASSERT_TRUE(audio.Asleep());
    EXPECT_EQ(SDL_GetAudioStatus(), SDL_AUDIO_STOPPED) << "the device is still open";

    audio.PlaySound(SoundEffect::Sign1);
    EXPECT_FALSE(audio.Asleep());
    EXPECT_EQ(Playing(SoundEffect::Sign1), 1);
    EXPECT_EQ(SoundFor(SoundEffect::Sign1).timesStarted(), 1);
    int againFrequency = 0, againChannels = 0;
    Uint16 againFormat = 0;
    Mix_QuerySpec(&againFrequency, &againFormat, &againChannels);
    EXPECT_EQ(std::tie(againFrequency, againFormat, againChannels), std::tie(frequency, format, channels));
    audio.SleepWhenSilent(106100);
    EXPECT_FALSE(audio.Asleep()) << "the effect that woke it was not counted as heard";

    Mix_HaltChannel(-1);
    audio.SleepWhenSilent(200000);
    ASSERT_TRUE(audio.Asleep());
    audio.CloseSound();
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
}

TEST_F(DummyAudio, ClosingReleasesTheEffectsAndTheDevice) {
    audio.LoadSounds(Resolver());
    audio.PlaySound(SoundEffect::Intro);
    audio.CloseSound();
    EXPECT_FALSE(audio.Enabled());
    EXPECT_EQ(SDL_WasInit(SDL_INIT_AUDIO), 0u);
    EXPECT_FALSE(SoundFor(SoundEffect::Intro).loaded());
    audio.PlaySound(SoundEffect::Intro);  // after shutdown: silent, and no crash
    EXPECT_EQ(SoundFor(SoundEffect::Intro).timesStarted(), 0);
}

}  // namespace
}  // namespace pellow::testing
