#pragma once
// What the engine needs from the outside world. The app wires real implementations in; the
// simulator, the benchmarks and the tests wire the plain ones at the end of this file, so a whole
// deal runs without a screen, a sound card or a clock.
#include <cstdint>
#include <random>
#include <vector>

namespace pellow {

struct DealState;

enum class SoundEffect {
    CardFlip1,
    CardFlip2,
    CardFlip3,
    Sign1,
    Sign2,
    Sign3,
    Shuffle,
    Intro,
    WinGame,
    LoseGame,
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

// The computer seats' decisions, asked by the phase machine. A player reads only what the
// seat may know of the deal; the rules core records what the seat shows by playing.
class ComputerPlayer {
public:
    virtual ~ComputerPlayer() = default;
    // The suit of trumps for a computer seat about to lead the deal's first trick.
    virtual int ChooseTrump(const DealState& d, int seat) = 0;
    // The card the seat to play (d.toPlay == seat) plays now. For the first lead of a deal the
    // caller has set d.trumps to ChooseTrump's answer first.
    virtual int ChooseCard(const DealState& d, int seat) = 0;
    // Whether the seat has its answer for this deal. A player that thinks away from the frame
    // says false until it has one: the turn then waits, and the frames go on meanwhile.
    virtual bool Ready(const DealState& /*d*/, int /*seat*/) { return true; }
};

// ---- Plain implementations for running without the platform ----

// std::mt19937 behind the RandomSource interface; its owner seeds it once.
class MersenneRandom final : public RandomSource {
public:
    explicit MersenneRandom(std::uint32_t seed) : gen_(seed) {}
    float Rnd() override {
        ++draws;
        // 24 random bits fill a float's mantissa exactly, so the result is never 1.0.
        return static_cast<float>(gen_() >> 8) * (1.0f / 16777216.0f);
    }
    long draws = 0;

private:
    std::mt19937 gen_;
};

// A clock its owner moves: by hand in tests, a frame at a time in the simulator.
class ManualClock final : public TickClock {
public:
    std::uint32_t TickCount() override { return now; }
    // The tick of frame n when frames come at 60 a second.
    void SetFrame(long frame) { now = static_cast<std::uint32_t>(frame * 1000 / 60); }
    std::uint32_t now = 0;
};

class RecordingSounds final : public SoundRequests {
public:
    void PlaySound(SoundEffect e) override { played.push_back(e); }
    std::vector<SoundEffect> played;
};

}  // namespace pellow
