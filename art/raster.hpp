#pragma once
// Pictures as the art is made: 8-bit RGB rows, top row first, PNG for looking at them, and the
// soft-edged drawing that becomes a keyed picture.
#include <cstdint>
#include <string>
#include <vector>

typedef struct _cairo_surface cairo_surface_t;
typedef struct _cairo cairo_t;
typedef struct _cairo_font_face cairo_font_face_t;

namespace pellow::art {

struct Rgb {
    std::uint8_t r = 0, g = 0, b = 0;
    friend bool operator==(Rgb, Rgb) = default;
};

// The transparent colour of every keyed picture of the game.
inline constexpr Rgb kMagenta{255, 0, 255};

class Image {
public:
    Image() = default;
    Image(int width, int height, Rgb fill = {});

    int Width() const { return width_; }
    int Height() const { return height_; }
    Rgb At(int x, int y) const;
    void Set(int x, int y, Rgb c);
    // Copies src with its top-left corner at (x, y), leaving out src pixels equal to key.
    void Paste(const Image& src, int x, int y, const Rgb* key = nullptr);
    Image Crop(int x, int y, int width, int height) const;
    const std::vector<std::uint8_t>& Bytes() const { return px_; }

private:
    int width_ = 0, height_ = 0;
    std::vector<std::uint8_t> px_;
};

// Throws std::runtime_error when the file cannot be written.
void WritePng(const Image& img, const std::string& path);

// ---- Pictures with coverage, and keying them ----

// Straight (not premultiplied) colour 0..255 with coverage 0..1, for drawing that still has
// soft edges before it becomes a keyed picture.
struct RgbaPixel {
    float r = 0, g = 0, b = 0, a = 0;
};
struct RgbaImage {
    int width = 0, height = 0;
    std::vector<RgbaPixel> px;
    RgbaPixel& At(int x, int y) { return px[static_cast<std::size_t>(y) * width + x]; }
    const RgbaPixel& At(int x, int y) const { return px[static_cast<std::size_t>(y) * width + x]; }
};

// A fully transparent ARGB32 cairo surface (the caller destroys it).
cairo_surface_t* NewSurface(int width, int height);
RgbaImage FromSurface(cairo_surface_t* s);
// The picture over an opaque backdrop colour.
Image Flatten(const RgbaImage& img, Rgb backdrop);
// A keyed picture: pixels reachable from the border through mostly transparent pixels become
// magenta; every other pixel is made opaque, its partial coverage blended with edgeBackdrop
// next to the outside and with holeBackdrop inside the shape. So no pixel is ever half pink,
// and a shape never gets magenta holes. `keep` is the coverage from which an edge pixel stays:
// a half for shapes that land on anything, less for thin strokes on a known backdrop.
Image KeyShape(const RgbaImage& img, Rgb edgeBackdrop, Rgb holeBackdrop, float keep = 0.5f);
// Adds a rounded rectangle to the current path.
void RoundedRectPath(cairo_t* cr, double x, double y, double w, double h, double r);

// A font file opened for cairo's text drawing. Throws std::runtime_error when it cannot be read.
class CairoFont {
public:
    explicit CairoFont(const std::string& path);
    ~CairoFont();
    CairoFont(const CairoFont&) = delete;
    CairoFont& operator=(const CairoFont&) = delete;
    cairo_font_face_t* Face() const { return face_; }

private:
    cairo_font_face_t* face_ = nullptr;
};

// Moves opaque pixels that a 16-bit display would confuse with the key one step away from it.
void AvoidKeyColour(Image& img);
bool LooksLikeKey(Rgb c);

}  // namespace pellow::art
