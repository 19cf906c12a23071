#include <SDL_mixer.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "engine/match.hpp"
#include "presentation/sound.hpp"
#include "presentation/test_support.hpp"
#include "engine/services.hpp"

namespace pellow::testing {
namespace {

using modDX::SoundFor;

// Ten one-second waves under res/sounds, found through a resolver like the game's.
class SoundTest : public DisplayFixture {
protected:
    void SetUp() override {
        DisplayFixture::SetUp();
        std::filesystem::create_directories(Scratch() / "res" / "sounds");
        for (const char* name : {"CARD_FLIP.WAV", "CARD_FLIP2.WAV", "CARD_FLIP3.WAV", "SIGN1.WAV",
                                 "SIGN2.WAV", "SIGN3.WAV", "SHUFFLE.WAV", "INTRO.WAV",
                                 "WIN_GAME.WAV", "LOSE_GAME.WAV"})
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

    Match m;
    modDX::DXSoundRequests requests;
};

class NoAudioDevice : public SoundTest {
protected:
    ScopedEnv driver{"SDL_AUDIODRIVER", "no-such-driver"};
};

TEST_F(NoAudioDevice, EverythingStaysSilent) {
    modDX::InitSound();
    EXPECT_FALSE(modDX::soundEnabled);
    modDX::LoadSounds(Resolver());
    for (int i = 0; i < kSoundEffectCount; ++i) EXPECT_FALSE(SoundFor(Effect(i)).loaded()) << i;

    MersenneRandom rnd(3);
    m.random = &rnd;
    m.sounds = &requests;
    PlayCardSound(m);
    PlaySignSound(m);
    requests.PlaySound(SoundEffect::WinGame);
    for (int i = 0; i < kSoundEffectCount; ++i) EXPECT_EQ(SoundFor(Effect(i)).timesStarted(), 0);
    EXPECT_TRUE(watch.messages.empty()) << "a missing sound device is not an error";
}

class DummyAudio : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        modDX::InitSound();
        ASSERT_TRUE(modDX::soundEnabled) << SDL_GetError();
    }
    ScopedEnv driver{"SDL_AUDIODRIVER", "dummy"};
};

TEST_F(DummyAudio, EngineCardAndSignSoundsPlayTheDrawnEffect) {
    modDX::LoadSounds(Resolver());
    MersenneRandom rnd(11), same(11);
    m.random = &rnd;
    m.sounds = &requests;
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
    modDX::LoadSounds(Resolver());
    for (int i = 0; i < 3; ++i) requests.PlaySound(SoundEffect::CardFlip2);
    EXPECT_EQ(SoundFor(SoundEffect::CardFlip2).timesStarted(), 1);
    EXPECT_EQ(Playing(SoundEffect::CardFlip2), 1);
    EXPECT_EQ(Mix_Playing(-1), 1) << "no other channel took the repeats";
}

TEST_F(DummyAudio, AMissingWaveSilencesThatEffectOnly) {
    std::filesystem::remove(Scratch() / "res" / "sounds" / "SIGN2.WAV");
    ::testing::internal::CaptureStderr();
    modDX::LoadSounds(Resolver());
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(err.find("SIGN2.WAV"), std::string::npos);
    for (int i = 0; i < kSoundEffectCount; ++i)
        EXPECT_EQ(SoundFor(Effect(i)).loaded(), Effect(i) != SoundEffect::Sign2) << i;
    requests.PlaySound(SoundEffect::Sign2);
    requests.PlaySound(SoundEffect::Sign3);
    EXPECT_EQ(Mix_Playing(-1), 1);
    EXPECT_EQ(Playing(SoundEffect::Sign3), 1);
    EXPECT_TRUE(watch.messages.empty());
}

TEST_F(DummyAudio, ShutDownReleasesTheEffectsAndTheDevice) {
    modDX::LoadSounds(Resolver());
    requests.PlaySound(SoundEffect::Intro);
    modDX::ShutDown("");
    EXPECT_FALSE(modDX::soundEnabled);
    EXPECT_FALSE(SoundFor(SoundEffect::Intro).loaded());
    requests.PlaySound(SoundEffect::Intro);  // after shutdown: silent, and no crash
    EXPECT_EQ(SoundFor(SoundEffect::Intro).timesStarted(), 0);
}

}  // namespace
}  // namespace pellow::testing
