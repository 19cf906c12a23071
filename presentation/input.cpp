#include "presentation/input.hpp"

#include <algorithm>
#include <cmath>
#include <utility>

#include "presentation/dx_internal.hpp"

namespace pellow::modDX {

namespace {

struct KeyPair {
    SDL_Scancode platform;
    std::uint8_t game;
};

// The game's scan codes are those of the PC keyboard (set 1, extended keys with the high bit).
// Laid out as the keyboard rows run.
// clang-format off
constexpr KeyPair kKeyTable[] = {
    {SDL_SCANCODE_ESCAPE, 0x01},
    {SDL_SCANCODE_1, 0x02}, {SDL_SCANCODE_2, 0x03}, {SDL_SCANCODE_3, 0x04},
    {SDL_SCANCODE_4, 0x05}, {SDL_SCANCODE_5, 0x06}, {SDL_SCANCODE_6, 0x07},
    {SDL_SCANCODE_7, 0x08}, {SDL_SCANCODE_8, 0x09}, {SDL_SCANCODE_9, 0x0A},
    {SDL_SCANCODE_0, 0x0B}, {SDL_SCANCODE_MINUS, 0x0C}, {SDL_SCANCODE_EQUALS, 0x0D},
    {SDL_SCANCODE_BACKSPACE, 0x0E}, {SDL_SCANCODE_TAB, 0x0F},
    {SDL_SCANCODE_Q, 0x10}, {SDL_SCANCODE_W, 0x11}, {SDL_SCANCODE_E, 0x12},
    {SDL_SCANCODE_R, 0x13}, {SDL_SCANCODE_T, 0x14}, {SDL_SCANCODE_Y, 0x15},
    {SDL_SCANCODE_U, 0x16}, {SDL_SCANCODE_I, 0x17}, {SDL_SCANCODE_O, 0x18},
    {SDL_SCANCODE_P, 0x19}, {SDL_SCANCODE_LEFTBRACKET, 0x1A}, {SDL_SCANCODE_RIGHTBRACKET, 0x1B},
    {SDL_SCANCODE_RETURN, 0x1C}, {SDL_SCANCODE_LCTRL, 0x1D},
    {SDL_SCANCODE_A, 0x1E}, {SDL_SCANCODE_S, 0x1F}, {SDL_SCANCODE_D, 0x20},
    {SDL_SCANCODE_F, 0x21}, {SDL_SCANCODE_G, 0x22}, {SDL_SCANCODE_H, 0x23},
    {SDL_SCANCODE_J, 0x24}, {SDL_SCANCODE_K, 0x25}, {SDL_SCANCODE_L, 0x26},
    {SDL_SCANCODE_SEMICOLON, 0x27}, {SDL_SCANCODE_APOSTROPHE, 0x28}, {SDL_SCANCODE_GRAVE, 0x29},
    {SDL_SCANCODE_LSHIFT, 0x2A}, {SDL_SCANCODE_BACKSLASH, 0x2B},
    {SDL_SCANCODE_Z, 0x2C}, {SDL_SCANCODE_X, 0x2D}, {SDL_SCANCODE_C, 0x2E},
    {SDL_SCANCODE_V, 0x2F}, {SDL_SCANCODE_B, 0x30}, {SDL_SCANCODE_N, 0x31},
    {SDL_SCANCODE_M, 0x32}, {SDL_SCANCODE_COMMA, 0x33}, {SDL_SCANCODE_PERIOD, 0x34},
    {SDL_SCANCODE_SLASH, 0x35}, {SDL_SCANCODE_RSHIFT, 0x36}, {SDL_SCANCODE_KP_MULTIPLY, 0x37},
    {SDL_SCANCODE_LALT, 0x38}, {SDL_SCANCODE_SPACE, 0x39}, {SDL_SCANCODE_CAPSLOCK, 0x3A},
    {SDL_SCANCODE_F1, 0x3B}, {SDL_SCANCODE_F2, 0x3C}, {SDL_SCANCODE_F3, 0x3D},
    {SDL_SCANCODE_F4, 0x3E}, {SDL_SCANCODE_F5, 0x3F}, {SDL_SCANCODE_F6, 0x40},
    {SDL_SCANCODE_F7, 0x41}, {SDL_SCANCODE_F8, 0x42}, {SDL_SCANCODE_F9, 0x43},
    {SDL_SCANCODE_F10, 0x44}, {SDL_SCANCODE_NUMLOCKCLEAR, 0x45}, {SDL_SCANCODE_SCROLLLOCK, 0x46},
    {SDL_SCANCODE_KP_7, 0x47}, {SDL_SCANCODE_KP_8, 0x48}, {SDL_SCANCODE_KP_9, 0x49},
    {SDL_SCANCODE_KP_MINUS, 0x4A}, {SDL_SCANCODE_KP_4, 0x4B}, {SDL_SCANCODE_KP_5, 0x4C},
    {SDL_SCANCODE_KP_6, 0x4D}, {SDL_SCANCODE_KP_PLUS, 0x4E}, {SDL_SCANCODE_KP_1, 0x4F},
    {SDL_SCANCODE_KP_2, 0x50}, {SDL_SCANCODE_KP_3, 0x51}, {SDL_SCANCODE_KP_0, 0x52},
    {SDL_SCANCODE_KP_PERIOD, 0x53}, {SDL_SCANCODE_NONUSBACKSLASH, 0x56},
    {SDL_SCANCODE_F11, 0x57}, {SDL_SCANCODE_F12, 0x58},
    {SDL_SCANCODE_KP_ENTER, 0x9C}, {SDL_SCANCODE_RCTRL, 0x9D}, {SDL_SCANCODE_KP_DIVIDE, 0xB5},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7}, {SDL_SCANCODE_RALT, 0xB8}, {SDL_SCANCODE_PAUSE, 0xC5},
    {SDL_SCANCODE_HOME, 0xC7}, {SDL_SCANCODE_UP, 0xC8}, {SDL_SCANCODE_PAGEUP, 0xC9},
    {SDL_SCANCODE_LEFT, 0xCB}, {SDL_SCANCODE_RIGHT, 0xCD}, {SDL_SCANCODE_END, 0xCF},
    {SDL_SCANCODE_DOWN, 0xD0}, {SDL_SCANCODE_PAGEDOWN, 0xD1}, {SDL_SCANCODE_INSERT, 0xD2},
    {SDL_SCANCODE_DELETE, 0xD3}, {SDL_SCANCODE_LGUI, 0xDB}, {SDL_SCANCODE_RGUI, 0xDC},
    {SDL_SCANCODE_APPLICATION, 0xDD},
};
// clang-format on

}  // namespace

std::uint8_t ScanCodeFromPlatform(int platformScanCode) {
    for (const KeyPair& pair : kKeyTable)
        if (pair.platform == platformScanCode) return pair.game;
    return 0;
}

void MapKeyboardState(const std::uint8_t* platformKeys, int count, std::array<std::uint8_t, 256>& out) {
    out.fill(0);
    if (!platformKeys) return;
    for (const KeyPair& pair : kKeyTable)
        if (pair.platform < count && platformKeys[pair.platform]) out[pair.game] = 0x80;
}

Input::~Input() { CloseInput(); }

void Input::GiveMeInput() {
    if (SDL_InitSubSystem(SDL_INIT_EVENTS) != 0) throw LoadError("GiveMeInput", errInputStart, SDL_GetError());
    running_ = true;
    display_.SetPressHandler([this](const SDL_Event& event) {
        if (event.type == SDL_KEYDOWN && !event.key.repeat) {
            NoteKeyPress(ScanCodeFromPlatform(event.key.keysym.scancode));
        } else if (event.type == SDL_MOUSEBUTTONDOWN) {
            // The same order as the button bytes ReadMouse fills.
            switch (event.button.button) {
                case SDL_BUTTON_LEFT: NoteButtonPress(0); break;
                case SDL_BUTTON_RIGHT: NoteButtonPress(1); break;
                case SDL_BUTTON_MIDDLE: NoteButtonPress(2); break;
                case SDL_BUTTON_X1: NoteButtonPress(3); break;
                default: break;
            }
        }
    });
}

void Input::NoteKeyPress(std::uint8_t scanCode) {
    if (scanCode != 0) notedKeys_[scanCode] = 0x80;
}

void Input::NoteButtonPress(int button) {
    if (button >= 0 && button < static_cast<int>(notedButtons_.size()))
        notedButtons_[static_cast<std::size_t>(button)] = true;
}

void Input::KeyBoard() {
    if (!running_) throw LoadError("KeyBoard", errInputStart, "The input system is not running.");
    keyboard_ = true;
    keyState.fill(0);
}

void Input::Mouse() {
    if (!running_) throw LoadError("Mouse", errInputStart, "The input system is not running.");
    mouse_ = true;
    const TableTransform t = display_.tableTransform();
    SetMouseBounds(0, 0, t.tableWidth, t.tableHeight);
    mouseX_ = t.tableWidth / 2;
    mouseY_ = t.tableHeight / 2;
    cursorPos = Point{display_.width() / 2, display_.height() / 2};
    pointerX_ = cursorPos.x;
    pointerY_ = cursorPos.y;
    mouseState = MouseState{};
    // Full screen, the pointer starts where the game says; a window leaves the player's
    // pointer where it is.
    const Display::Platform& p = display_.platform();
    if (p.window && display_.FullScreen()) {
        // Without a renderer the back buffer is the window's own size: its pixels are the window's.
        int wx = cursorPos.x, wy = cursorPos.y;
        if (p.renderer)
            SDL_RenderLogicalToWindow(p.renderer, static_cast<float>(cursorPos.x), static_cast<float>(cursorPos.y),
                                      &wx, &wy);
        SDL_WarpMouseInWindow(p.window, wx, wy);
    }
}

void Input::UnAcquireMouse() { mouse_ = false; }

void Input::UnAcquireKeyBoard() { keyboard_ = false; }

void Input::CloseInput() {
    if (running_) {
        display_.SetPressHandler(nullptr);
        SDL_QuitSubSystem(SDL_INIT_EVENTS);
    }
    running_ = false;
    keyState.fill(0);
    readKeys_.fill(0);
    previousKeys_.fill(0);
    notedKeys_.fill(0);
    tappedKeys_.fill(0);
    notedButtons_.fill(false);
    tappedButtons_.fill(false);
    mouseState = MouseState{};
    paused_ = false;
    keyLatchP_ = false;
}

void Input::SetMouseBounds(std::int32_t minX, std::int32_t minY, std::int32_t maxX, std::int32_t maxY) {
    mouseMinX_ = minX;
    mouseMinY_ = minY;
    mouseMaxX_ = maxX;
    mouseMaxY_ = maxY;
}

void Input::ReadMouse() {
    tappedButtons_ = std::exchange(notedButtons_, {});
    if (!mouse_) tappedButtons_.fill(false);
    ReadPointer();
    previousButtons_ = std::exchange(readButtons_, mouseState.rgbButtons);
}

void Input::ReadPointer() {
    if (!mouse_) return;
    const Display::Platform& p = display_.platform();
    if (p.window) {
        int wx = 0, wy = 0;
        const Uint32 buttons = SDL_GetMouseState(&wx, &wy);
        if (p.renderer) {
            // Window pixels to back-buffer pixels: the window may show the buffer scaled. The
            // pointer's pixel is taken at its centre, halfway to the next one.
            float x0 = 0.0f, y0 = 0.0f, x1 = 0.0f, y1 = 0.0f;
            SDL_RenderWindowToLogical(p.renderer, wx, wy, &x0, &y0);
            SDL_RenderWindowToLogical(p.renderer, wx + 1, wy + 1, &x1, &y1);
            cursorPos = Point{static_cast<std::int32_t>(std::floor((x0 + x1) / 2)),
                              static_cast<std::int32_t>(std::floor((y0 + y1) / 2))};
        } else {
            // Drawn for the window's size, the back buffer's pixels are the window's.
            cursorPos = Point{wx, wy};
        }
        mouseState.rgbButtons[0] = (buttons & SDL_BUTTON_LMASK) ? 0x80 : 0;
        mouseState.rgbButtons[1] = (buttons & SDL_BUTTON_RMASK) ? 0x80 : 0;
        mouseState.rgbButtons[2] = (buttons & SDL_BUTTON_MMASK) ? 0x80 : 0;
        mouseState.rgbButtons[3] = (buttons & SDL_BUTTON_X1MASK) ? 0x80 : 0;
    }
    const TableTransform t = display_.tableTransform();
    const bool identity = t.scale == 1.0 && t.offsetX == 0 && t.offsetY == 0;
    const auto toUnits = [&t](std::int32_t pixel, int offset) {
        return static_cast<std::int32_t>(std::floor((pixel - offset) / t.scale));
    };
    const std::int32_t x = identity ? cursorPos.x : toUnits(cursorPos.x, t.offsetX);
    const std::int32_t y = identity ? cursorPos.y : toUnits(cursorPos.y, t.offsetY);
    mouseX_ = std::clamp(x, mouseMinX_, std::max(mouseMinX_, mouseMaxX_));
    mouseY_ = std::clamp(y, mouseMinY_, std::max(mouseMinY_, mouseMaxY_));
    pointerX_ = identity ? mouseX_ : std::clamp(cursorPos.x, 0, display_.width());
    pointerY_ = identity ? mouseY_ : std::clamp(cursorPos.y, 0, display_.height());
}

bool Input::MouseButton(int button) const {
    if (button < 0 || button >= static_cast<int>(mouseState.rgbButtons.size())) return false;
    return mouseState.rgbButtons[static_cast<std::size_t>(button)] != 0;
}

bool Input::Clicked(int button) const {
    if (button < 0 || button >= static_cast<int>(previousButtons_.size())) return false;
    if (display_.platform().window) return ButtonPressed(button);
    return MouseButton(button) && previousButtons_[static_cast<std::size_t>(button)] == 0;
}

bool Input::ButtonPressed(int button) const {
    if (button < 0 || button >= static_cast<int>(tappedButtons_.size())) return false;
    return tappedButtons_[static_cast<std::size_t>(button)];
}

void Input::ReadKeyBoard() {
    previousKeys_ = readKeys_;
    if (keyboard_ && display_.platform().window) {
        int count = 0;
        const Uint8* keys = SDL_GetKeyboardState(&count);
        MapKeyboardState(keys, count, keyState);
    }
    readKeys_ = keyState;
    tappedKeys_ = std::exchange(notedKeys_, {});
    if (!keyboard_) tappedKeys_.fill(0);
}

void Input::DrawMouseCursor(Surface& cursor, std::int32_t hotX, std::int32_t hotY, std::int32_t width,
                            std::int32_t height, bool useColorKey) {
    // The pointer only: the frame's presses were taken at its start.
    ReadPointer();
    display_.BltSurface(cursor, display_.backBuffer(), Rect{0, 0, width, height}, pointerX_ - hotX, pointerY_ - hotY,
                        useColorKey);
}

void Input::ShowSystemCursor(bool show) {
    if (SDL_WasInit(SDL_INIT_VIDEO)) SDL_ShowCursor(show ? SDL_ENABLE : SDL_DISABLE);
    systemCursorShown_ = show;
}

void Input::HandlePauseKey() {
    // As KeyPressed: down now and not before, or pressed and let go since.
    const bool down = KeyDown(keyP);
    if (!keyLatchP_ && (down || tappedKeys_[keyP] != 0)) paused_ = !paused_;
    keyLatchP_ = down;
}

}  // namespace pellow::modDX
