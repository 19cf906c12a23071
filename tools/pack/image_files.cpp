#include "image_files.hpp"

#include <jpeglib.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

#include "resources/file_formats.hpp"

namespace pellow::pack {

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

}  // namespace pellow::pack
