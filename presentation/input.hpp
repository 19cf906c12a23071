#pragma once
// Mouse and keyboard, polled once per frame. Keys are reported under the game's scan codes
// (Escape 1, P 25, R 19, ...), translated from the platform's own codes.
//
// With no window (DisplayKind::Memory) there is no pointer and no keyboard to read: cursorPos,
// the button bytes and keyState keep whatever they hold, so the logic above them can be driven
// directly.
#include <array>
#include <cstdint>
#include <optional>

#include "presentation/dx.hpp"

namespace pellow::modDX {

inline constexpr std::uint8_t keyEscape = 1;
inline constexpr std::uint8_t keyR = 19;
inline constexpr std::uint8_t keyP = 25;

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct MouseState {
    std::int32_t lX = 0, lY = 0, lZ = 0;
    std::array<std::uint8_t, 4> rgbButtons{};
};

struct InputDevice {
    bool acquired = false;
};

// ---- Module state ----
extern bool di;  // the input system is running
extern std::optional<InputDevice> mouseDevice, keyboardDevice;
extern Point cursorPos;
extern std::int32_t mouseX, mouseY;
extern std::int32_t mouseMinX, mouseMinY, mouseMaxX, mouseMaxY;
extern MouseState mouseState;
extern std::array<std::uint8_t, 256> keyState;
extern bool systemCursorShown;
extern bool paused;
extern bool keyLatchP;

// ---- Operations ----
void GiveMeInput();
void KeyBoard();
void Mouse();
void AcquireMouse();
void AcquireKeyBoard();
void UnAcquireMouse();
void UnAcquireKeyBoard();
void SetMouseBounds(std::int32_t minX, std::int32_t minY, std::int32_t maxX, std::int32_t maxY);
void ReadMouse();
bool MouseButton(int button);
void ReadKeyBoard();
bool KeyDown(std::uint8_t scanCode);
void DrawMouseCursor(Surface& cursor, std::int32_t hotX, std::int32_t hotY, std::int32_t width,
                     std::int32_t height, bool useColorKey);
void ShowSystemCursor(bool show);
void TogglePause();
// The P key toggles the pause once per press: held over many frames it counts once.
void HandlePauseKey();
// Ends the input system; ShutDown's last input step, after the devices are released.
void CloseInput();

// The game's scan code for a platform scan code, 0 for keys the game has no code for.
std::uint8_t ScanCodeFromPlatform(int platformScanCode);
// Translates the platform's key array (one byte per platform scan code) into keyState form.
void MapKeyboardState(const std::uint8_t* platformKeys, int count,
                      std::array<std::uint8_t, 256>& out);

}  // namespace pellow::modDX
