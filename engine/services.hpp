#pragma once
// What the engine needs from the outside world. The app wires real implementations in; tests
// wire fakes, so a whole deal can run without a screen, a sound card or a clock.
#include <cstdint>
#include <random>
#include <string>

namespace pellow {

struct Match;

enum class SoundEffect {
    CardFlip1, CardFlip2, CardFlip3,
    Sign1, Sign2, Sign3,
    Shuffle, Intro, WinGame, LoseGame,
};
inline constexpr int kSoundEffectCount = 10;

// The one random generator of the game: Rnd() is a uniform draw in [0, 1).
class RandomSource {
public:
    virtual ~RandomSource() = default;
    virtual float Rnd() = 0;
};

// Millisecond tick count, used only for the short pause after each card.
class TickClock {
public:
    virtual ~TickClock() = default;
    virtual std::uint32_t TickCount() = 0;
};

class SoundRequests {
public:
    virtual ~SoundRequests() = default;
    virtual void PlaySound(SoundEffect effect) = 0;
};

class MessageRequests {
public:
    virtual ~MessageRequests() = default;
    virtual void ShowMessage(const std::string& text) = 0;
};

// The computer seats' decisions, asked by the phase machine.
class ComputerPlayer {
public:
    virtual ~ComputerPlayer() = default;
    virtual int ChooseTrump(const Match& m, int seat) = 0;
    // May record what the seat has shown about its own hand (voidKnown), nothing else.
    virtual int ChooseCard(Match& m, int seat) = 0;
};

// std::mt19937 behind the RandomSource interface; its owner seeds it once.
class MersenneRandom final : public RandomSource {
public:
    explicit MersenneRandom(std::uint32_t seed) : gen_(seed) {}
    float Rnd() override {
        // 24 random bits fill a float's mantissa exactly, so the result is never 1.0.
        return static_cast<float>(gen_() >> 8) * (1.0f / 16777216.0f);
    }

private:
    std::mt19937 gen_;
};

}  // namespace pellow
