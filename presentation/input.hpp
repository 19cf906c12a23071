#pragma once
// Mouse and keyboard, polled once per frame. Keys are reported under the game's scan codes
// (Escape 1, P 25, R 19, ...), translated from the platform's own codes. What is held is the
// state at the read; a press is also taken from the window system's events in between, so one
// let go before the next read (a quick tap, a slow frame) still counts, once.
//
// With no window (DisplayKind::Memory) there is no pointer and no keyboard to read: cursorPos,
// the button bytes and keyState keep whatever they hold, so the logic above them can be driven
// directly.
#include <array>
#include <cstdint>

#include "presentation/display.hpp"

namespace pellow::modDX {

inline constexpr std::uint8_t keyEscape = 1;
inline constexpr std::uint8_t keyR = 19;
inline constexpr std::uint8_t keyH = 35;
inline constexpr std::uint8_t keyP = 25;
inline constexpr std::uint8_t keyReturn = 0x1C;
inline constexpr std::uint8_t keyL = 0x26;
inline constexpr std::uint8_t keyN = 0x31;
inline constexpr std::uint8_t keyLeftAlt = 0x38;
inline constexpr std::uint8_t keySpace = 0x39;
inline constexpr std::uint8_t keyF11 = 0x57;
inline constexpr std::uint8_t keyPadEnter = 0x9C;
inline constexpr std::uint8_t keyRightAlt = 0xB8;
inline constexpr std::uint8_t keyLeft = 0xCB;
inline constexpr std::uint8_t keyRight = 0xCD;
inline constexpr std::uint8_t keyUp = 0xC8;
inline constexpr std::uint8_t keyDown = 0xD0;
inline constexpr std::uint8_t keyM = 0x32;
inline constexpr std::uint8_t keyF1 = 0x3B;
inline constexpr std::uint8_t keyF10 = 0x44;
inline constexpr std::uint8_t keyBackspace = 0x0E;
// The digit a key types, on the main row or the keypad; -1 for other keys.
constexpr int DigitOfKey(std::uint8_t key) {
    if (key >= 0x02 && key <= 0x0A) return key - 0x01;  // 1..9
    if (key == 0x0B || key == 0x52) return 0;
    constexpr std::uint8_t kPad[9] = {0x4F, 0x50, 0x51, 0x4B, 0x4C, 0x4D, 0x47, 0x48, 0x49};  // 1..9
    for (int d = 0; d < 9; ++d)
        if (kPad[d] == key) return d + 1;
    return -1;
}

struct Point {
    std::int32_t x = 0;
    std::int32_t y = 0;
};

struct MouseState {
    std::array<std::uint8_t, 4> rgbButtons{};
};

// The input system of one display: devices, pointer, keys and the pause latch. Ends the input
// system when destroyed.
class Input {
public:
    explicit Input(Display& display) : display_(display) {}
    ~Input();
    Input(const Input&) = delete;
    Input& operator=(const Input&) = delete;

    // Set-up, in this order; each throws LoadError under its own name.
    void GiveMeInput();
    void KeyBoard();
    void Mouse();
    // Releases a device; reading it then does nothing.
    void UnAcquireMouse();
    void UnAcquireKeyBoard();
    // Ends the input system, after the devices are released.
    void CloseInput();
    bool HasMouse() const { return mouse_; }
    bool HasKeyboard() const { return keyboard_; }

    void SetMouseBounds(std::int32_t minX, std::int32_t minY, std::int32_t maxX, std::int32_t maxY);
    // Reads the pointer and the buttons held, and takes the presses noted since the last read.
    void ReadMouse();
    bool MouseButton(int button) const;
    // Pressed since the read before, however briefly.
    bool ButtonPressed(int button) const;
    // A click: a press the window system reported since the read before. Without a window
    // (the tests' memory display) the button found down where the read before found it up.
    // The two are never mixed: the button state read and the press events need not arrive in
    // the same frame, and one press would count twice.
    bool Clicked(int button) const;
    // The pointer in the table's units (the display's table transform; back-buffer pixels for
    // the design's table), held within the bounds.
    std::int32_t mouseX() const { return mouseX_; }
    std::int32_t mouseY() const { return mouseY_; }
    // Where the pointer's picture is drawn, in back-buffer pixels.
    std::int32_t pointerX() const { return pointerX_; }
    std::int32_t pointerY() const { return pointerY_; }
    void ReadKeyBoard();
    bool KeyDown(std::uint8_t scanCode) const { return keyState[scanCode] != 0; }
    // Down in this read and not in the one before, or pressed and let go in between: one press,
    // however long or short. A key down at both reads is not pressed anew, even if the events
    // say so: the window system sends the held keys again when the window regains the focus
    // (going full screen does that).
    // A press reported while the key was seen down at the read before is that same press, whose
    // event was handled only after that read: it does not count again at the release.
    bool KeyPressed(std::uint8_t scanCode) const {
        return previousKeys_[scanCode] == 0 && (readKeys_[scanCode] != 0 || tappedKeys_[scanCode] != 0);
    }
    // Held at this read, or pressed since the one before: for keys that act while held.
    bool KeyDownOrPressed(std::uint8_t scanCode) const { return KeyDown(scanCode) || KeyPressed(scanCode); }
    // A press the window system reported; it counts at the next read (the display's press
    // handler calls these, and tests without a window may too).
    void NoteKeyPress(std::uint8_t scanCode);
    void NoteButtonPress(int button);
    // Reads the pointer and draws the cursor picture's top-left width x height on the back
    // buffer with its hot spot on the pointer.
    void DrawMouseCursor(Surface& cursor, std::int32_t hotX, std::int32_t hotY, std::int32_t width, std::int32_t height,
                         bool useColorKey);
    void ShowSystemCursor(bool show);
    bool SystemCursorShown() const { return systemCursorShown_; }

    // The P key toggles the pause once per press: held over many frames it counts once, and a
    // press let go before the read counts too.
    void HandlePauseKey();
    bool Paused() const { return paused_; }

    // What the last read found (set directly when there is no window).
    Point cursorPos;
    MouseState mouseState;
    std::array<std::uint8_t, 256> keyState{};

private:
    Display& display_;
    bool running_ = false;
    bool mouse_ = false;
    bool keyboard_ = false;
    std::int32_t mouseX_ = 0, mouseY_ = 0;
    // Where the pointer's picture goes, in back-buffer pixels.
    std::int32_t pointerX_ = 0, pointerY_ = 0;
    std::int32_t mouseMinX_ = 0, mouseMinY_ = 0, mouseMaxX_ = 0, mouseMaxY_ = 0;
    bool systemCursorShown_ = true;
    bool paused_ = false;
    bool keyLatchP_ = false;
    std::array<std::uint8_t, 256> readKeys_{}, previousKeys_{};
    // Presses noted since the last read, and those the last read took.
    std::array<std::uint8_t, 256> notedKeys_{}, tappedKeys_{};
    std::array<bool, 4> notedButtons_{}, tappedButtons_{};
    // The buttons as this read and the one before found them.
    std::array<std::uint8_t, 4> readButtons_{}, previousButtons_{};

    void ReadPointer();
};

// The game's scan code for a platform scan code, 0 for keys the game has no code for.
std::uint8_t ScanCodeFromPlatform(int platformScanCode);
// Translates the platform's key array (one byte per platform scan code) into keyState form.
void MapKeyboardState(const std::uint8_t* platformKeys, int count, std::array<std::uint8_t, 256>& out);

}  // namespace pellow::modDX
