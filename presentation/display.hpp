#pragma once
// The display: the one back buffer every picture is copied onto, the clipped copy, the window
// that shows the back buffer, the presented and paced frame, and the window system's events.
//
// Without a window (DisplayKind::Memory) the back buffer is an ordinary in-memory surface:
// every drawing operation works and FlipScreen presents nothing.
//
// Set-up steps that fail throw LoadError; the game shows its report and ends.
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "presentation/load_error.hpp"
#include "presentation/surface.hpp"

union SDL_Event;

namespace pellow::modDX {

// How the table's units map to the back buffer's pixels: a picture at (x, y) in table units is
// drawn at (offsetX + x * scale, offsetY + y * scale). The design's table is 1:1.
struct TableTransform {
    double scale = 1.0;
    int offsetX = 0, offsetY = 0;
    int tableWidth = 0, tableHeight = 0;  // the table in its units
    bool operator==(const TableTransform&) const = default;
};

enum class DisplayKind {
    FullScreen,  // borderless window covering the desktop, the picture scaled with aspect kept
    Window,      // an ordinary window, the picture scaled to its size with aspect kept
    Memory,      // no window at all: back buffer and surfaces only
};

// The screen: back buffer, clip rectangle and (unless DisplayKind::Memory) the window that
// shows it. Releases everything when destroyed.
class Display {
public:
    Display();
    ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    // Opens a display of the given size; throws LoadError under the name "DirectX". With
    // `native` the back buffer is the window's own size instead (the size given is then only
    // the window's first size when none was chosen), and it follows the window as it is
    // resized (FollowWindowSize): the picture is drawn for the pixels it is shown on.
    void DirectX(int width, int height, DisplayKind kind = DisplayKind::FullScreen, bool native = false);
    // With a native back buffer: makes it the window's size when the window changed size (the
    // windowed size, without a window), and says whether it did. The back buffer is then
    // cleared and must be drawn anew.
    bool FollowWindowSize();
    bool Native() const { return native_; }
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
    // Where the table lies in the back buffer; the identity at the back buffer's size until set.
    void SetTableTransform(const TableTransform& t) { transform_ = t; }
    TableTransform tableTransform() const {
        return transform_.tableWidth > 0 ? transform_ : TableTransform{1.0, 0, 0, width_, height_};
    }

    // The clip is the whole screen from here on; until then copies draw nothing.
    void SetClipRect();
    // Copies `rect` of source (all zero: the whole source) to (x, y) of destination, cut at the
    // clip rectangle.
    void BltSurface(Surface& source, Surface& destination, const Rect& rect, int x, int y, bool useColorKey) const;
    void ClearBackBuffer();
    // Covers the back buffer with `felt`, a picture of its size, as the start of a frame. Drawn
    // for the window's size, the back buffer notes what each frame draws, so only that is
    // covered again and only what changed is shown.
    void LayFelt(Surface& felt);
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
    // The window, when not full screen, may be resized (down to three quarters of the back
    // buffer's size, the picture scaled with its aspect kept; native, down to 640 x 480). The size the player gave it
    // last time is set before DirectX (0 for the back buffer's own); WindowedSize is the size
    // it has out of full screen now, or had last.
    void SetWindowedSize(int width, int height);
    std::pair<int, int> WindowedSize() const;
    // True once after the window system lost what the window showed (exposed, shown again,
    // restored, resized, the renderer reset): the next frame must be drawn and presented even
    // if nothing on the table changed.
    bool TakeRedrawRequest();

    // Lets the window system process pending events once: the game's message pump.
    void DoEvents();
    // Sleeps until the window system has an event or the time is up; the event stays queued
    // for the message pump. Without a window it only sleeps.
    void WaitForEvent(int milliseconds);
    // What closing the window does. Unset, closing only sets CloseRequested().
    void SetCloseHandler(std::function<void()> handler);
    bool CloseRequested() const { return closeRequested_; }
    // Who hears the pump's key and button presses (the Input, so that a press let go before
    // the next read still counts). Unset, they only update the platform's key state.
    void SetPressHandler(std::function<void(const SDL_Event&)> handler);

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
    int windowWidth_ = 0, windowHeight_ = 0;
    int width_ = 0;
    int height_ = 0;
    // The size DirectX was asked for: the window's own size and its minimum follow from it.
    int baseWidth_ = 0, baseHeight_ = 0;
    bool native_ = false;
    TableTransform transform_;
    Rect clip_;
    std::function<void()> closeHandler_;
    std::function<void(const SDL_Event&)> pressHandler_;
    bool closeRequested_ = false;
    bool fullScreen_ = false;
    bool videoPrepared_ = false;
    bool redrawWanted_ = false;
};

}  // namespace pellow::modDX
