#pragma once
// Display and surfaces: the one back buffer every picture is copied onto, the pictures
// themselves, the clipped copy, the presented frame and the way the program ends.
//
// Surfaces live in system memory in the back buffer's 16-bit RGB565 format, so nothing is
// converted per frame and nothing is lost when the window is hidden or the renderer resets.
// Without a window (DisplayKind::Memory) the back buffer is an ordinary in-memory surface:
// every drawing operation works and FlipScreen presents nothing.
#include <cstdint>
#include <functional>
#include <string>

struct SDL_Surface;

namespace pellow::modDX {

// Left, top, right, bottom. An all-zero rectangle as a copy's source means the whole source.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// A picture in system memory. Move-only; an empty Surface is "nothing".
class Surface {
public:
    Surface() = default;
    ~Surface();
    Surface(Surface&& other) noexcept;
    Surface& operator=(Surface&& other) noexcept;
    Surface(const Surface&) = delete;
    Surface& operator=(const Surface&) = delete;

    bool exists() const { return surface_ != nullptr; }
    int width() const;
    int height() const;
    // Sets the holder to nothing, freeing the picture.
    void reset();

    // The layer's own access to the platform surface.
    SDL_Surface* raw() const { return surface_; }
    void adopt(SDL_Surface* surface);

    // The source colour key, applied or not per copy.
    bool hasColorKey() const { return hasKey_; }
    std::uint32_t colorKey() const { return key_; }
    void setColorKey(std::uint32_t key);
    // Switches the platform key on or off for the next copy; only touches the platform when
    // the state changes, since that invalidates its copy routines.
    void useColorKey(bool use);

private:
    SDL_Surface* surface_ = nullptr;
    bool hasKey_ = false;
    std::uint32_t key_ = 0;
    bool keyActive_ = false;
};

enum class DisplayKind {
    FullScreen,  // borderless window covering the desktop, the picture scaled with aspect kept
    Window,      // an ordinary window of exactly the back buffer's size
    Memory,      // no window at all: back buffer and surfaces only
};

// ---- Module state ----
extern Surface backBuffer;
extern int screenWidth;
extern int screenHeight;
extern Rect backRect;
extern std::int32_t clipLeft, clipTop, clipRight, clipBottom;

// ---- Operations ----
void DirectX(int width, int height, DisplayKind kind = DisplayKind::FullScreen);
// Loads a BMP file into a new surface in the back buffer's pixel format.
void CreateSurfaceFromFile(Surface& surface, const std::string& path);
// Mode 1: pure black transparent; mode 2: pure magenta transparent; other modes: nothing.
void SetColorKey(Surface& surface, int mode);
void BltSurface(Surface& source, Surface& destination, const Rect& rect, int x, int y,
                bool useColorKey);
void ClearBackBuffer();
void SetClipRect();
void FlipScreen();
bool DisplayReady();
void RecoverSurfaces();
// Releases the display, sound and input, shows a non-empty message, and ends the process:
// exit status 0 for an empty message, 1 otherwise.
void ShutDown(const std::string& message);

// The three-line fatal report of a set-up procedure, handed to ShutDown.
std::string ErrorReport(const std::string& procedure, long number, const std::string& description);
void ReportError(const std::string& procedure, long number, const std::string& description);

// Error numbers of this layer's set-up procedures.
enum ErrorNumber : long {
    errDisplayStart = 1001,
    errWindow = 1002,
    errRenderer = 1003,
    errBackBuffer = 1004,
    errPictureFile = 1005,
    errPictureFormat = 1006,
    errInputStart = 1011,
};

// Lets the window system process pending events once: the game's message pump. Closing the
// window runs the close handler.
void DoEvents();
// While paused the frame does nothing; this waits for the next event or a few milliseconds so
// the loop does not spin.
void PauseWait();
// Sleeps until the window system has an event or the time is up; the event stays queued for the
// message pump. Without a window it only sleeps.
void WaitForEvent(int milliseconds);
// What closing the game window does; the app sets it to QuitGame. Unset, it shuts down.
void SetCloseHandler(std::function<void()> handler);

// The last steps of ShutDown, replaceable so tests can watch them without the process ending.
struct ShutDownHooks {
    std::function<void(const std::string&)> showMessage;  // message box with an OK button
    std::function<void(int)> endProcess;                  // exit status
};
void SetShutDownHooks(ShutDownHooks hooks);
// Restores the hooks that show a real message box and exit.
void ResetShutDownHooks();
// A message box with only an OK button, when a display exists, and the text on stderr.
void ShowMessageBox(const std::string& text);

// ---- Helpers for making and inspecting pictures ----
std::uint16_t Rgb565(int red, int green, int blue);
// A new in-memory surface in the back buffer's format, filled with colour 0.
void CreateSurface(Surface& surface, int width, int height);
void FillRect(Surface& surface, const Rect& rect, std::uint16_t color);
std::uint16_t GetPixel(const Surface& surface, int x, int y);
// Writes the picture of the window as presented (letterbox bars included), or the back buffer
// when there is no window, to a BMP file. Returns false when it could not.
bool SaveScreenshot(const std::string& bmpPath);

}  // namespace pellow::modDX
