#include "raster.hpp"

#include <cairo-ft.h>
#include <cairo.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <memory>
#include <stdexcept>

#include "resources/file_formats.hpp"

namespace pellow::pack {

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

namespace {

std::vector<std::uint8_t> BmpHeaders(int width, int height, int bits, int colours) {
    const auto h = format::BmpHeader(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), bits,
                                     colours);
    return {h.begin(), h.end()};
}

}  // namespace

std::vector<std::uint8_t> EncodeBmp24(const Image& img) {
    std::vector<std::uint8_t> v = BmpHeaders(img.Width(), img.Height(), 24, 0);
    const int pad = (4 - (img.Width() * 3) % 4) % 4;
    for (int y = img.Height() - 1; y >= 0; --y) {
        for (int x = 0; x < img.Width(); ++x) {
            const Rgb c = img.At(x, y);
            v.push_back(c.b);
            v.push_back(c.g);
            v.push_back(c.r);
        }
        v.insert(v.end(), pad, 0);
    }
    return v;
}

std::vector<std::uint8_t> EncodeBmp8(const IndexedImage& img) {
    std::vector<std::uint8_t> v = BmpHeaders(img.width, img.height, 8, 256);
    for (int i = 0; i < 256; ++i) {
        const Rgb c = i < static_cast<int>(img.palette.size()) ? img.palette[i] : Rgb{};
        v.push_back(c.b);
        v.push_back(c.g);
        v.push_back(c.r);
        v.push_back(0);
    }
    const int pad = (4 - img.width % 4) % 4;
    for (int y = img.height - 1; y >= 0; --y) {
        const auto row = img.index.begin() + static_cast<std::ptrdiff_t>(y) * img.width;
        v.insert(v.end(), row, row + img.width);
        v.insert(v.end(), pad, 0);
    }
    return v;
}

std::vector<std::uint8_t> EncodeJpeg(const Image& img, int quality) {
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = img.Width();
    cinfo.image_height = img.Height();
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, quality, TRUE);
    cinfo.optimize_coding = TRUE;
    cinfo.dct_method = JDCT_ISLOW;  // the exact integer transform: same bytes on every machine
    jpeg_start_compress(&cinfo, TRUE);
    const auto& px = img.Bytes();
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(px.data() +
                                            static_cast<std::size_t>(cinfo.next_scanline) * img.Width() * 3);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

Image DecodeJpeg(const std::vector<std::uint8_t>& bytes) {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, bytes.data(), bytes.size());
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB;
    cinfo.dct_method = JDCT_ISLOW;
    jpeg_start_decompress(&cinfo);
    Image img(cinfo.output_width, cinfo.output_height);
    std::vector<std::uint8_t> row(cinfo.output_width * 3);
    while (cinfo.output_scanline < cinfo.output_height) {
        const int y = cinfo.output_scanline;
        JSAMPROW r = row.data();
        jpeg_read_scanlines(&cinfo, &r, 1);
        for (int x = 0; x < img.Width(); ++x) img.Set(x, y, {row[x * 3], row[x * 3 + 1], row[x * 3 + 2]});
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return img;
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

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    f.close();
    if (!f) throw std::runtime_error("cannot write " + path);
}

// ---- Colour reduction ----

namespace {

struct Box {
    std::vector<std::uint32_t> colours;  // packed 0xRRGGBB, one per pixel
    int Channel(std::uint32_t c, int ch) const { return (c >> (16 - 8 * ch)) & 0xFF; }
    int Range(int ch) const {
        int lo = 255, hi = 0;
        for (auto c : colours) {
            lo = std::min(lo, Channel(c, ch));
            hi = std::max(hi, Channel(c, ch));
        }
        return hi - lo;
    }
};

}  // namespace

IndexedImage Quantize(const Image& img) {
    IndexedImage out;
    out.width = img.Width();
    out.height = img.Height();
    std::vector<Box> boxes(1);
    for (int y = 0; y < img.Height(); ++y)
        for (int x = 0; x < img.Width(); ++x) {
            const Rgb c = img.At(x, y);
            boxes[0].colours.push_back((c.r << 16) | (c.g << 8) | c.b);
        }
    while (boxes.size() < 256) {
        // Split the box whose widest channel spread, weighted by its pixel count, is largest.
        int best = -1, bestCh = 0;
        double bestScore = 0;
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            if (boxes[i].colours.size() < 2) continue;
            for (int ch = 0; ch < 3; ++ch) {
                const double score = boxes[i].Range(ch) * std::sqrt(double(boxes[i].colours.size()));
                if (score > bestScore) {
                    bestScore = score;
                    best = static_cast<int>(i);
                    bestCh = ch;
                }
            }
        }
        if (best < 0) break;
        Box& b = boxes[best];
        const int ch = bestCh;
        std::sort(b.colours.begin(), b.colours.end(), [&](std::uint32_t a, std::uint32_t c) {
            const int ka = b.Channel(a, ch), kc = b.Channel(c, ch);
            return ka != kc ? ka < kc : a < c;
        });
        Box upper;
        upper.colours.assign(b.colours.begin() + b.colours.size() / 2, b.colours.end());
        b.colours.resize(b.colours.size() / 2);
        boxes.push_back(std::move(upper));
    }
    for (const Box& b : boxes) {
        double s[3] = {0, 0, 0};
        for (auto c : b.colours)
            for (int ch = 0; ch < 3; ++ch) s[ch] += b.Channel(c, ch);
        const double n = static_cast<double>(b.colours.size());
        out.palette.push_back({static_cast<std::uint8_t>(s[0] / n + 0.5), static_cast<std::uint8_t>(s[1] / n + 0.5),
                               static_cast<std::uint8_t>(s[2] / n + 0.5)});
    }
    // Floyd-Steinberg error diffusion onto the palette.
    const int w = img.Width(), h = img.Height();
    std::vector<std::array<float, 3>> err(static_cast<std::size_t>(w + 2) * 2);
    out.index.resize(static_cast<std::size_t>(w) * h);
    for (int y = 0; y < h; ++y) {
        auto* cur = &err[(y % 2) * (w + 2)];
        auto* nxt = &err[((y + 1) % 2) * (w + 2)];
        for (int i = 0; i < w + 2; ++i) nxt[i] = {0, 0, 0};
        for (int x = 0; x < w; ++x) {
            const Rgb c = img.At(x, y);
            float want[3] = {c.r + cur[x + 1][0], c.g + cur[x + 1][1], c.b + cur[x + 1][2]};
            for (float& v : want) v = std::clamp(v, 0.0f, 255.0f);
            int bestI = 0;
            float bestD = 1e30f;
            for (std::size_t i = 0; i < out.palette.size(); ++i) {
                const Rgb p = out.palette[i];
                const float dr = want[0] - p.r, dg = want[1] - p.g, db = want[2] - p.b;
                const float d = dr * dr * 0.3f + dg * dg * 0.59f + db * db * 0.11f;
                if (d < bestD) {
                    bestD = d;
                    bestI = static_cast<int>(i);
                }
            }
            out.index[static_cast<std::size_t>(y) * w + x] = static_cast<std::uint8_t>(bestI);
            const Rgb p = out.palette[bestI];
            const float e[3] = {want[0] - p.r, want[1] - p.g, want[2] - p.b};
            for (int ch = 0; ch < 3; ++ch) {
                cur[x + 2][ch] += e[ch] * 7 / 16;
                nxt[x][ch] += e[ch] * 3 / 16;
                nxt[x + 1][ch] += e[ch] * 5 / 16;
                nxt[x + 2][ch] += e[ch] * 1 / 16;
            }
        }
    }
    return out;
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

}  // namespace pellow::pack
