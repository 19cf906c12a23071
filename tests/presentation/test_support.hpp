#pragma once
// Small pictures and sounds made on the spot, and a display fixture released after each test.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "presentation/dx.hpp"

namespace pellow::testing {

struct Rgb {
    int r, g, b;
};

inline std::uint16_t To565(Rgb c) { return modDX::Rgb565(c.r, c.g, c.b); }

inline constexpr Rgb kMagenta{255, 0, 255};

// A folder of its own for each test.
inline std::filesystem::path ScratchDir() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    auto dir = std::filesystem::temp_directory_path() /
               ("pellow-pres-" + std::to_string(::getpid()) + "-" + info->test_suite_name() + "-" + info->name());
    std::filesystem::create_directories(dir);
    return dir;
}

// A 24-bit BMP whose pixel (x, y) is colour(x, y).
inline void WriteBmp(const std::filesystem::path& path, int w, int h, const std::function<Rgb(int, int)>& colour) {
    SDL_Surface* s = SDL_CreateRGBSurfaceWithFormat(0, w, h, 24, SDL_PIXELFORMAT_RGB24);
    ASSERT_NE(s, nullptr);
    for (int y = 0; y < h; ++y) {
        auto* row = static_cast<std::uint8_t*>(s->pixels) + y * s->pitch;
        for (int x = 0; x < w; ++x) {
            const Rgb c = colour(x, y);
            row[3 * x] = static_cast<std::uint8_t>(c.r);
            row[3 * x + 1] = static_cast<std::uint8_t>(c.g);
            row[3 * x + 2] = static_cast<std::uint8_t>(c.b);
        }
    }
    ASSERT_EQ(SDL_SaveBMP(s, path.string().c_str()), 0) << SDL_GetError();
    SDL_FreeSurface(s);
}

// A 16-bit stereo PCM wave of the given length (a quiet square wave).
inline void WriteWav(const std::filesystem::path& path, int milliseconds) {
    const std::uint32_t rate = 22050, frames = rate * static_cast<std::uint32_t>(milliseconds) / 1000;
    const std::uint32_t dataBytes = frames * 4;
    std::ofstream out(path, std::ios::binary);
    auto u32 = [&](std::uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](std::uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4);
    u32(36 + dataBytes);
    out.write("WAVEfmt ", 8);
    u32(16);
    u16(1);
    u16(2);
    u32(rate);
    u32(rate * 4);
    u16(4);
    u16(16);
    out.write("data", 4);
    u32(dataBytes);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const std::int16_t v = (i / 50) % 2 ? 2000 : -2000;
        u16(static_cast<std::uint16_t>(v));
        u16(static_cast<std::uint16_t>(v));
    }
}

// A display of the given kind with the clip rectangle set, released after each test.
class DisplayFixture : public ::testing::Test {
protected:
    void OpenDisplay(int w = 800, int h = 600, modDX::DisplayKind kind = modDX::DisplayKind::Memory) {
        display.DirectX(w, h, kind);
        display.SetClipRect();
    }
    void TearDown() override {
        std::error_code ignored;
        if (!scratch.empty()) std::filesystem::remove_all(scratch, ignored);
    }
    const std::filesystem::path& Scratch() {
        if (scratch.empty()) scratch = ScratchDir();
        return scratch;
    }
    modDX::Surface& backBuffer() { return display.backBuffer(); }
    // Counts back-buffer pixels that are not colour 0.
    int PaintedPixels() const {
        int n = 0;
        const modDX::Surface& buffer = display.backBuffer();
        for (int y = 0; y < buffer.height(); ++y)
            for (int x = 0; x < buffer.width(); ++x) n += modDX::GetPixel(buffer, x, y) != 0;
        return n;
    }

    modDX::Display display;
    std::filesystem::path scratch;
};

// Sets an environment variable for one test and puts the old value back afterwards.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        ::setenv(name, value, 1);
    }
    ~ScopedEnv() {
        if (had_) ::setenv(name_, old_.c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

}  // namespace pellow::testing
