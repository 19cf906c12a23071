#include <gtest/gtest.h>

#include <chrono>
#include <ctime>

#include "presentation/dx_internal.hpp"
#include "presentation/input.hpp"
#include "presentation/test_support.hpp"

namespace pellow::testing {
namespace {

using modDX::GetPixel;
using modDX::Rect;

TEST(KeyCodes, PlatformKeysMapToTheGameScanCodes) {
    const std::pair<SDL_Scancode, int> expected[] = {
        {SDL_SCANCODE_ESCAPE, 1}, {SDL_SCANCODE_P, 25},          {SDL_SCANCODE_R, 19},        {SDL_SCANCODE_A, 30},
        {SDL_SCANCODE_M, 50},     {SDL_SCANCODE_0, 11},          {SDL_SCANCODE_SPACE, 57},    {SDL_SCANCODE_F12, 88},
        {SDL_SCANCODE_UP, 0xC8},  {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_AUDIOPLAY, 0},
    };
    for (const auto& [platform, game] : expected)
        EXPECT_EQ(modDX::ScanCodeFromPlatform(platform), game) << SDL_GetScancodeName(platform);
    EXPECT_EQ(modDX::keyEscape, 1);
    EXPECT_EQ(modDX::keyP, 25);
    EXPECT_EQ(modDX::keyR, 19);
}

TEST(KeyCodes, KeyboardStateHoldsExactlyTheKeysDown) {
    std::array<std::uint8_t, SDL_NUM_SCANCODES> platform{};
    platform[SDL_SCANCODE_P] = 1;
    platform[SDL_SCANCODE_ESCAPE] = 1;
    std::array<std::uint8_t, 256> state;
    state.fill(0x80);  // stale keys from an earlier frame
    modDX::MapKeyboardState(platform.data(), static_cast<int>(platform.size()), state);
    int down = 0;
    for (std::uint8_t b : state) down += b != 0;
    EXPECT_EQ(down, 2);
    EXPECT_NE(state[25], 0);
    EXPECT_NE(state[1], 0);
    EXPECT_EQ(state[19], 0);
}

class InputTest : public DisplayFixture {
protected:
    void Start(int w, int h, modDX::DisplayKind kind = modDX::DisplayKind::Memory) {
        OpenDisplay(w, h, kind);
        input.GiveMeInput();
        input.KeyBoard();
        input.Mouse();
    }
    void HoldP(bool down) { input.keyState[modDX::keyP] = down ? 0x80 : 0; }
    modDX::Input input{display};
};

TEST_F(InputTest, PHeldOverManyFramesPausesOnceAndASecondPressResumes) {
    Start(800, 600);
    HoldP(true);
    for (int frame = 0; frame < 5; ++frame) input.HandlePauseKey();
    EXPECT_TRUE(input.Paused());
    HoldP(false);
    input.HandlePauseKey();
    EXPECT_TRUE(input.Paused());
    HoldP(true);
    input.HandlePauseKey();
    input.HandlePauseKey();
    EXPECT_FALSE(input.Paused());

    // The window system may update the keys' state before the frame reads it and deliver the
    // press's event only after: seen down at one read and let go before the next, the press
    // counts once, not again at its release (F11 went full screen and straight back).
    HoldP(false);
    input.HandlePauseKey();
    HoldP(true);
    input.HandlePauseKey();
    EXPECT_TRUE(input.Paused());
    input.NoteKeyPress(modDX::keyP);
    HoldP(false);
    input.ReadKeyBoard();
    input.HandlePauseKey();
    EXPECT_TRUE(input.Paused());
    input.keyState[modDX::keyF11] = 0x80;
    input.ReadKeyBoard();
    EXPECT_TRUE(input.KeyPressed(modDX::keyF11));
    input.NoteKeyPress(modDX::keyF11);
    input.keyState[modDX::keyF11] = 0;
    input.ReadKeyBoard();
    EXPECT_FALSE(input.KeyPressed(modDX::keyF11));
}

TEST_F(InputTest, MouseStartsAtTheCentreAndIsHeldWithinTheScreen) {
    Start(1024, 768);
    input.ReadMouse();
    EXPECT_EQ(input.mouseX(), 512);
    EXPECT_EQ(input.mouseY(), 384);
    input.cursorPos = {5000, -3};
    input.ReadMouse();
    EXPECT_EQ(input.mouseX(), 1024);
    EXPECT_EQ(input.mouseY(), 0);
    input.SetMouseBounds(10, 20, 30, 40);
    input.cursorPos = {0, 100};
    input.ReadMouse();
    EXPECT_EQ(input.mouseX(), 10);
    EXPECT_EQ(input.mouseY(), 40);
}

TEST_F(InputTest, CursorSpriteIsCentredOnThePointerAndClippedAtTheEdge) {
    Start(800, 600);
    modDX::Surface cursor;
    modDX::CreateSurface(cursor, 40, 40);
    modDX::FillRect(cursor, Rect{0, 0, 40, 40}, 0x07E0);
    input.cursorPos = {5, 300};
    input.DrawMouseCursor(cursor, 16, 16, 32, 32, true);
    // The sprite's top-left 32 x 32 at (-11, 284): 11 columns cut on the left.
    EXPECT_EQ(GetPixel(backBuffer(), 0, 284), 0x07E0);
    EXPECT_EQ(GetPixel(backBuffer(), 20, 315), 0x07E0);
    EXPECT_EQ(PaintedPixels(), 21 * 32);
}

TEST_F(InputTest, DevicesWithoutTheInputSystemAreReported) {
    OpenDisplay();
    try {
        input.KeyBoard();
        FAIL() << "no error";
    } catch (const modDX::LoadError& e) {
        EXPECT_EQ(std::string(e.what()).rfind("Error in function KeyBoard() \nError Number: 1011\n", 0), 0u);
    }
    EXPECT_THROW(input.Mouse(), modDX::LoadError);
    EXPECT_FALSE(input.HasKeyboard());
    EXPECT_FALSE(input.HasMouse());
}

TEST_F(InputTest, WaitingForEventsSleepsInsteadOfSpinning) {
    Start(800, 600);
    const auto wallStart = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    for (int pass = 0; pass < 20; ++pass) display.WaitForEvent(10);
    const double wallMs =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wallStart).count();
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    EXPECT_GE(wallMs, 100.0);
    EXPECT_LT(cpuMs, wallMs / 2) << "the wait must not busy-loop";
}

class WindowInputTest : public InputTest {
protected:
    ScopedEnv driver{"SDL_VIDEODRIVER", "dummy"};
};

TEST_F(WindowInputTest, PointerIsReadFromTheWindowInBackBufferPixels) {
    Start(640, 480, modDX::DisplayKind::FullScreen);
    input.ReadMouse();
    EXPECT_EQ(input.mouseX(), 320) << "full screen, the pointer was put at the centre";
    EXPECT_EQ(input.mouseY(), 240);
    display.Release();
    input.CloseInput();

    // A window leaves the player's pointer where it was (here, outside the window).
    Start(640, 480, modDX::DisplayKind::Window);
    input.ReadMouse();
    EXPECT_EQ(input.mouseX(), 0);
    EXPECT_EQ(input.mouseY(), 0);
    SDL_WarpMouseInWindow(display.platform().window, 600, 17);
    display.DoEvents();
    input.ReadMouse();
    EXPECT_EQ(input.mouseX(), 600);
    EXPECT_EQ(input.mouseY(), 17);
    EXPECT_FALSE(input.MouseButton(0));
}

TEST_F(WindowInputTest, ReleasedDevicesAreNoLongerRead) {
    Start(640, 480, modDX::DisplayKind::Window);
    input.UnAcquireMouse();
    input.UnAcquireKeyBoard();
    SDL_WarpMouseInWindow(display.platform().window, 600, 17);
    display.DoEvents();
    input.keyState[modDX::keyEscape] = 0x80;
    input.ReadMouse();
    input.ReadKeyBoard();
    EXPECT_EQ(input.mouseX(), 320);
    EXPECT_TRUE(input.KeyDown(modDX::keyEscape)) << "the keys were not read again";
}

// A press let go before the frame reads the keys and buttons (a quick tap, a slow frame) still
// counts, once; the key or button is not held for it.
TEST_F(WindowInputTest, APressLetGoBeforeTheReadCountsOnceAndIsNotHeld) {
    Start(640, 480, modDX::DisplayKind::Window);
    const auto tapKey = [](SDL_Scancode key) {
        SDL_Event e{};
        e.type = SDL_KEYDOWN;
        e.key.state = SDL_PRESSED;
        e.key.keysym.scancode = key;
        SDL_PushEvent(&e);
        e.type = SDL_KEYUP;
        e.key.state = SDL_RELEASED;
        SDL_PushEvent(&e);
    };
    tapKey(SDL_SCANCODE_ESCAPE);
    tapKey(SDL_SCANCODE_P);
    SDL_Event click{};
    click.type = SDL_MOUSEBUTTONDOWN;
    click.button.button = SDL_BUTTON_LEFT;
    click.button.state = SDL_PRESSED;
    SDL_PushEvent(&click);
    click.type = SDL_MOUSEBUTTONUP;
    click.button.state = SDL_RELEASED;
    SDL_PushEvent(&click);
    display.DoEvents();

    input.ReadKeyBoard();
    input.ReadMouse();
    input.HandlePauseKey();
    EXPECT_TRUE(input.KeyPressed(modDX::keyEscape));
    EXPECT_FALSE(input.KeyDown(modDX::keyEscape));
    EXPECT_TRUE(input.Paused());
    EXPECT_TRUE(input.ButtonPressed(0));
    EXPECT_FALSE(input.MouseButton(0));
    EXPECT_FALSE(input.ButtonPressed(1));
    // The cursor's read within the frame leaves the frame's presses as they were.
    modDX::Surface cursor;
    modDX::CreateSurface(cursor, 32, 32);
    input.DrawMouseCursor(cursor, 16, 16, 32, 32, true);
    EXPECT_TRUE(input.ButtonPressed(0));

    input.ReadKeyBoard();
    input.ReadMouse();
    input.HandlePauseKey();
    EXPECT_FALSE(input.KeyPressed(modDX::keyEscape)) << "counted twice";
    EXPECT_TRUE(input.Paused()) << "toggled twice";
    EXPECT_FALSE(input.ButtonPressed(0)) << "counted twice";
}

}  // namespace
}  // namespace pellow::testing
