#pragma once
// Display and surfaces: the one back buffer every picture is copied onto, the pictures
// themselves, the clipped copy, the presented frame and the window system's events.
//
// Surfaces live in system memory in the back buffer's 16-bit RGB565 format, so nothing is
// converted per frame and nothing is lost when the window is hidden or the renderer resets.
// Without a window (DisplayKind::Memory) the back buffer is an ordinary in-memory surface:
// every drawing operation works and FlipScreen presents nothing.
//
// Set-up steps that fail throw LoadError; the game shows its report and ends.
#include <cstdint>
#include <functional>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>

struct SDL_Surface;
union SDL_Event;

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

    // Sets the source colour key, applied or not per copy. Run-length encoding speeds up
    // copying a picture that never changes; one drawn into again and again goes without.
    void setColorKey(std::uint32_t key, bool runLength = true);
    bool hasColorKey() const { return hasKey_; }
    std::uint32_t colorKey() const { return key_; }
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

// A set-up procedure that failed. what() is the three-line report the player is shown.
class LoadError : public std::runtime_error {
public:
    LoadError(std::string procedure, long number, const std::string& description);
    const std::string& procedure() const { return procedure_; }
    long number() const { return number_; }

private:
    std::string procedure_;
    long number_;
};

// Loads a BMP file into a new surface in the back buffer's pixel format; a failure is reported
// under `procedure`.
void CreateSurfaceFromFile(Surface& surface, const std::string& path,
                           const std::string& procedure = "CreateSurfaceFromFile");
// Mode 1: pure black transparent; mode 2: pure magenta transparent; other modes: nothing.
void SetColorKey(Surface& surface, int mode, bool runLength = true);

// The screen: back buffer, clip rectangle and (unless DisplayKind::Memory) the window that
// shows it. Releases everything when destroyed.
class Display {
public:
    Display();
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // Opens a display of the given size; throws LoadError under the name "DirectX".
    void DirectX(int width, int height, DisplayKind kind = DisplayKind::FullScreen);
    // Presents the back buffer as it is (cleared, at the start) without pacing. The first
    // present pays for mapping the window's picture memory on both sides of the connection to
    // the window system; done while the pictures load, the first real frame does not.
    void PrimeScreen();
    // Starts the window system's side while nothing waits for it (the player still choosing),
    // so DirectX finds it running. A failure here is left for DirectX to report.
    void PrepareVideo();
    // Closes the window and frees the back buffer.
    void Release();

    Surface& backBuffer() { return backBuffer_; }
    const Surface& backBuffer() const { return backBuffer_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // The clip is the whole screen from here on; until then copies draw nothing.
    void SetClipRect();
    // Copies `rect` of source (all zero: the whole source) to (x, y) of destination, cut at the
    // clip rectangle.
    void BltSurface(Surface& source, Surface& destination, const Rect& rect, int x, int y,
                    bool useColorKey) const;
    void ClearBackBuffer();
    void FlipScreen();
    // False while the window is minimised or hidden.
    bool DisplayReady() const;
    // Waits for a hidden window and remakes what a renderer reset lost.
    void RecoverSurfaces();
    // Writes the picture of the window as presented (letterbox bars included), or the back
    // buffer when there is no window, to a BMP file. Returns false when it could not.
    bool SaveScreenshot(const std::string& bmpPath);

    // Switches an open window between full screen (the desktop covered, the picture scaled
    // with its aspect kept) and an ordinary window of the back buffer's size.
    void SetFullScreen(bool fullScreen);
    bool FullScreen() const { return fullScreen_; }
    // True once after the window system lost what the window showed (exposed, shown again,
    // restored, resized, the renderer reset): the next frame must be drawn and presented even
    // if nothing on the table changed.
    bool TakeRedrawRequest() { return std::exchange(redrawWanted_, false); }

    // Lets the window system process pending events once: the game's message pump.
    void DoEvents();
    // Sleeps until the window system has an event or the time is up; the event stays queued
    // for the message pump. Without a window it only sleeps.
    void WaitForEvent(int milliseconds);
    // What closing the window does. Unset, closing only sets CloseRequested().
    void SetCloseHandler(std::function<void()> handler);
    bool CloseRequested() const { return closeRequested_; }

    // The platform's window and renderer, for the layer's own files (dx_internal.hpp).
    struct Platform;
    Platform& platform() const { return *platform_; }

private:
    // Composes the back buffer into the window and shows it; false when there is nothing to show.
    bool Present();
    // One window-system event the way the message pump handles it.
    void HandleEvent(const SDL_Event& event);

    std::unique_ptr<Platform> platform_;
    Surface backBuffer_;
    int width_ = 0;
    int height_ = 0;
    Rect clip_;
    std::function<void()> closeHandler_;
    bool closeRequested_ = false;
    bool fullScreen_ = false;
    bool videoPrepared_ = false;
    bool redrawWanted_ = false;
};

// A message box with only an OK button, when a display exists, and the text on stderr.
void ShowMessageBox(const std::string& text);

// ---- Work on other cores ----
// Releases what the display library keeps for the calling thread (its error text); it does so
// by itself only for threads it started.
void ReleaseThreadState();
// Runs `work` on a thread of its own, releasing the library's state for that thread at the end;
// the result, or the exception, comes through the future.
template <class Work>
auto OnOwnThread(Work work) {
    return std::async(std::launch::async, [work = std::move(work)]() mutable {
        struct Release {
            ~Release() { ReleaseThreadState(); }
        } release;
        return work();
    });
}

// ---- Helpers for making and inspecting pictures ----
std::uint16_t Rgb565(int red, int green, int blue);
// A new in-memory surface in the back buffer's format, filled with colour 0.
void CreateSurface(Surface& surface, int width, int height);
void FillRect(Surface& surface, const Rect& rect, std::uint16_t color);
std::uint16_t GetPixel(const Surface& surface, int x, int y);
// Leaves in `scratch` `source` with every colour but its key darkened to `percent` of its
// brightness, keyed like the source; `scratch` is made (again) at the source's size when it
// is not. One scratch serves every picture, so no darkened copy of each is kept.
void DimmedInto(Surface& source, Surface& scratch, int percent);
// Darkens every pixel of a surface in place to `percent` of its brightness.
void Darken(Surface& surface, int percent);
// A frame `thickness` pixels wide just inside the rectangle, cut at the surface's edges.
void FrameRect(Surface& surface, const Rect& rect, int thickness, std::uint16_t color);

}  // namespace pellow::modDX
