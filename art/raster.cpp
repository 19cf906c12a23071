#include "art/raster.hpp"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace pellow::art {

Image::Image(int width, int height, Rgb fill)
    : width_(width), height_(height), px_(static_cast<std::size_t>(width) * height * 3) {
    for (std::size_t i = 0; i < px_.size(); i += 3) {
        px_[i] = fill.r;
        px_[i + 1] = fill.g;
        px_[i + 2] = fill.b;
    }
}

Rgb Image::At(int x, int y) const {
    const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
    return {px_[i], px_[i + 1], px_[i + 2]};
}

void Image::Set(int x, int y, Rgb c) {
    const std::size_t i = (static_cast<std::size_t>(y) * width_ + x) * 3;
    px_[i] = c.r;
    px_[i + 1] = c.g;
    px_[i + 2] = c.b;
}

void Image::Paste(const Image& src, int x, int y, const Rgb* key) {
    for (int sy = 0; sy < src.Height(); ++sy) {
        const int dy = y + sy;
        if (dy < 0 || dy >= height_) continue;
        for (int sx = 0; sx < src.Width(); ++sx) {
            const int dx = x + sx;
            if (dx < 0 || dx >= width_) continue;
            const Rgb c = src.At(sx, sy);
            if (key && c == *key) continue;
            Set(dx, dy, c);
        }
    }
}

Image Image::Crop(int x, int y, int width, int height) const {
    Image out(width, height);
    for (int yy = 0; yy < height; ++yy)
        for (int xx = 0; xx < width; ++xx) out.Set(xx, yy, At(x + xx, y + yy));
    return out;
}

void WritePng(const Image& img, const std::string& path) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, img.Width(), img.Height());
    unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < img.Height(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(data + y * stride);
        for (int x = 0; x < img.Width(); ++x) {
            const Rgb c = img.At(x, y);
            row[x] = 0xFF000000u | (c.r << 16) | (c.g << 8) | c.b;
        }
    }
    cairo_surface_mark_dirty(s);
    const cairo_status_t st = cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
    if (st != CAIRO_STATUS_SUCCESS) throw std::runtime_error("cannot write " + path);
}

// ---- Cairo surfaces and keying ----

cairo_surface_t* NewSurface(int width, int height) {
    return cairo_image_surface_create(CAIRO_FORMAT_ARGB32, width, height);
}

RgbaImage FromSurface(cairo_surface_t* s) {
    cairo_surface_flush(s);
    RgbaImage img;
    img.width = cairo_image_surface_get_width(s);
    img.height = cairo_image_surface_get_height(s);
    img.px.resize(static_cast<std::size_t>(img.width) * img.height);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            const std::uint32_t p = *reinterpret_cast<const std::uint32_t*>(data + y * stride + x * 4);
            const float a = static_cast<float>((p >> 24) & 0xFF);
            RgbaPixel& o = img.At(x, y);
            if (a == 0) continue;
            o.a = a / 255.0f;
            o.r = ((p >> 16) & 0xFF) * 255.0f / a;
            o.g = ((p >> 8) & 0xFF) * 255.0f / a;
            o.b = (p & 0xFF) * 255.0f / a;
        }
    return img;
}

namespace {

std::uint8_t Mix(float fg, float bg, float a) {
    const float v = bg + (fg - bg) * a;
    return static_cast<std::uint8_t>(std::clamp(v + 0.5f, 0.0f, 255.0f));
}

Rgb Over(const RgbaPixel& p, Rgb bg) { return {Mix(p.r, bg.r, p.a), Mix(p.g, bg.g, p.a), Mix(p.b, bg.b, p.a)}; }

}  // namespace

Image Flatten(const RgbaImage& src, Rgb backdrop) {
    Image img(src.width, src.height);
    for (int y = 0; y < src.height; ++y)
        for (int x = 0; x < src.width; ++x) img.Set(x, y, Over(src.At(x, y), backdrop));
    return img;
}

Image KeyShape(const RgbaImage& src, Rgb edgeBackdrop, Rgb holeBackdrop, float keep) {
    const int w = src.width, h = src.height;
    std::vector<std::uint8_t> outside(static_cast<std::size_t>(w) * h, 0);
    std::vector<int> stack;
    auto push = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        const std::size_t i = static_cast<std::size_t>(y) * w + x;
        if (outside[i] || src.At(x, y).a >= keep) return;
        outside[i] = 1;
        stack.push_back(static_cast<int>(i));
    };
    for (int x = 0; x < w; ++x) {
        push(x, 0);
        push(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        push(0, y);
        push(w - 1, y);
    }
    while (!stack.empty()) {
        const int i = stack.back();
        stack.pop_back();
        const int x = i % w, y = i / w;
        push(x + 1, y);
        push(x - 1, y);
        push(x, y + 1);
        push(x, y - 1);
    }
    auto isOut = [&](int x, int y) {
        return x >= 0 && y >= 0 && x < w && y < h && outside[static_cast<std::size_t>(y) * w + x];
    };
    Image img(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            if (isOut(x, y)) {
                img.Set(x, y, kMagenta);
                continue;
            }
            bool edge = false;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx) edge = edge || isOut(x + dx, y + dy);
            Rgb c = Over(src.At(x, y), edge ? edgeBackdrop : holeBackdrop);
            if (LooksLikeKey(c)) c.g = 8;
            img.Set(x, y, c);
        }
    return img;
}

void RoundedRectPath(cairo_t* cr, double x, double y, double w, double h, double r) {
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

namespace {

// The FreeType objects behind a cairo font face. cairo may keep the face in its caches after
// we let go of it, so they are freed only when cairo frees the face.
struct FreeTypeFace {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    ~FreeTypeFace() {
        if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }
};

cairo_user_data_key_t kFreeTypeKey;

}  // namespace

CairoFont::CairoFont(const std::string& path) {
    auto ft = std::make_unique<FreeTypeFace>();
    if (FT_Init_FreeType(&ft->library)) throw std::runtime_error("cannot start FreeType");
    if (FT_New_Face(ft->library, path.c_str(), 0, &ft->face)) throw std::runtime_error("cannot read font " + path);
    face_ = cairo_ft_font_face_create_for_ft_face(ft->face, 0);
    FreeTypeFace* owned = ft.release();
    if (cairo_font_face_set_user_data(face_, &kFreeTypeKey, owned,
                                      [](void* p) { delete static_cast<FreeTypeFace*>(p); }) != CAIRO_STATUS_SUCCESS) {
        cairo_font_face_destroy(face_);
        delete owned;
        throw std::runtime_error("cannot use font " + path);
    }
}

CairoFont::~CairoFont() { cairo_font_face_destroy(face_); }

bool LooksLikeKey(Rgb c) {
    // In RGB565 and RGB555 these all become the key colour.
    return c.r >= 248 && c.b >= 248 && c.g < 8;
}

void AvoidKeyColour(Image& img) {
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            Rgb c = img.At(x, y);
            if (LooksLikeKey(c)) {
                c.g = 8;
                img.Set(x, y, c);
            }
        }
}

}  // namespace pellow::art
