#pragma once
// Engine services for tests: a seeded generator, a clock the test moves, and recorders.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/services.hpp"

namespace pellow {

class FakeRandom final : public RandomSource {
public:
    explicit FakeRandom(std::uint32_t seed) : inner_(seed) {}
    float Rnd() override { ++draws; return inner_.Rnd(); }
    int draws = 0;

private:
    MersenneRandom inner_;
};

class FakeClock final : public TickClock {
public:
    std::uint32_t TickCount() override { return now; }
    std::uint32_t now = 1000;
};

class RecordingSounds final : public SoundRequests {
public:
    void PlaySound(SoundEffect e) override { played.push_back(e); }
    std::vector<SoundEffect> played;
};

class RecordingMessages final : public MessageRequests {
public:
    void ShowMessage(const std::string& text) override { shown.push_back(text); }
    std::vector<std::string> shown;
};

}  // namespace pellow
