#pragma once
// Surfaces: pictures in system memory, and the helpers that make and inspect them.
//
// Surfaces live in system memory in the back buffer's 16-bit RGB565 format, so nothing is
// converted per frame and nothing is lost when the window is hidden or the renderer resets.
// The clipped copy between them is Display::BltSurface (display.hpp), since the clip rectangle
// is the screen's.
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

struct SDL_Surface;

namespace pellow::modDX {

// Left, top, right, bottom. An all-zero rectangle as a copy's source means the whole source.
struct Rect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// Where a surface was drawn into, as a few rectangles: since the felt was last laid (to lay it
// again only there) and since the picture was last shown (to show only that). Too many or too
// scattered, a list gives way to "everywhere".
struct DrawnArea {
    struct Rects {
        std::vector<Rect> rects;
        bool all = true;
        void Add(const Rect& r);
        void AddAll(const Rects& other);
        void Clear() { rects.clear(), all = false; }
        void MarkAll() { rects.clear(), all = true; }
    };
    Rects sinceFelt;
    Rects unshown;
    std::uint64_t feltGeneration = 0;
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

    // For pixels that never change (SurfaceOverPixels): the runs of rows [first, second) that
    // hold no key pixel, so a keyed copy takes those rows as a plain copy instead of testing
    // every pixel. Empty for any other surface.
    const std::vector<std::pair<int, int>>& plainRows() const { return plainRows_; }
    // For such a keyed picture whose key lies only in its four corners: the corners' width and
    // height (everything else is opaque, so a picture drawn over another hides it there).
    // {-1, -1} when not known.
    std::pair<int, int> keyedCorners() const { return keyedCorners_; }
    void markFixedPixels() { fixedPixels_ = true; }

    // Each picture made or taken over gets a number of its own, so a picture is never mistaken
    // for another one that happens to sit at the same address.
    std::uint64_t generation() const { return generation_; }
    // From now on every copy and fill into this surface is noted (the back buffer's), starting
    // with everything; null while not noted.
    void noteDrawing();
    DrawnArea* drawnArea() const { return drawn_.get(); }
    void noteDrawn(const Rect& r) {
        if (drawn_) NoteInto(*drawn_, r);
    }

private:
    static void NoteInto(DrawnArea& area, const Rect& r);
    void forgetPlainRows();
    void findPlainRows();
    void FindKeyedCorners();

    SDL_Surface* surface_ = nullptr;
    bool hasKey_ = false;
    std::uint32_t key_ = 0;
    bool keyActive_ = false;
    bool fixedPixels_ = false;
    std::vector<std::pair<int, int>> plainRows_;
    std::pair<int, int> keyedCorners_{-1, -1};
    std::uint64_t generation_ = 0;
    std::unique_ptr<DrawnArea> drawn_;
};

// ---- Helpers for making and inspecting pictures ----
std::uint16_t Rgb565(int red, int green, int blue);
// A new in-memory surface in the back buffer's format, filled with colour 0.
void CreateSurface(Surface& surface, int width, int height);
// A copy of `from` stretched to width x height (each pixel the nearest one's, so a key stays a
// key), keyed like it; throws LoadError when it cannot be made.
void StretchedCopy(const Surface& from, Surface& to, int width, int height);
// A surface showing width x height pixels in the back buffer's format, rows without padding,
// where they are: they must stay there, unchanged, as long as the surface does. Throws LoadError
// when it cannot be made.
void SurfaceOverPixels(Surface& surface, int width, int height, const std::uint16_t* pixels);
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
