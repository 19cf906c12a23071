#include "art/card_art.hpp"

#include <cairo.h>
#include <librsvg/rsvg.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>

#include "art/prng.hpp"
#include "art/texture.hpp"

namespace pellow::art {

namespace {

constexpr const char* kRankIds[13] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "jack", "queen", "king"};
constexpr const char* kSuitIds[4] = {"club", "diamond", "heart", "spade"};
constexpr int kBackCode = kCardBackCode;

struct Rect {
    double x = 0, y = 0, w = 0, h = 0;
};

std::string ElementFor(int code) {
    std::string id = "#";
    id += code == kBackCode ? std::string("back") : CardElementId(code);
    return id;
}

// The element's own ink rectangle. librsvg's figure can be far larger than the card (it counts
// clipped-away art and, in some decks, the origin), so it only tells where to look.
Rect InkRect(RsvgHandle* h, const std::string& id) {
    RsvgRectangle ink{}, logical{};
    GError* err = nullptr;
    if (!rsvg_handle_get_geometry_for_element(h, id.c_str(), &ink, &logical, &err)) {
        std::string msg = err ? err->message : "not found";
        if (err) g_error_free(err);
        throw std::runtime_error("card element " + id + ": " + msg);
    }
    return {ink.x, ink.y, ink.width, ink.height};
}

// Draws the element so that its own coordinates map onto the current cairo matrix.
void DrawElement(RsvgHandle* h, cairo_t* cr, const std::string& id, const Rect& ink) {
    const RsvgRectangle vp{ink.x, ink.y, ink.w, ink.h};
    GError* err = nullptr;
    if (!rsvg_handle_render_element(h, cr, id.c_str(), &vp, &err)) {
        std::string msg = err ? err->message : "cannot render";
        if (err) g_error_free(err);
        throw std::runtime_error("card element " + id + ": " + msg);
    }
}

// Bounding box, in element units, of what the element really paints within `area`, found by
// rendering `area` at `scale` pixels per unit. The partial coverage of the outermost painted
// column and row places each edge to a fraction of a pixel.
bool PaintedBox(RsvgHandle* h, const std::string& id, const Rect& ink, const Rect& area, double scale, Rect& box) {
    const int w = std::max(1, static_cast<int>(std::ceil(area.w * scale)));
    const int hgt = std::max(1, static_cast<int>(std::ceil(area.h * scale)));
    cairo_surface_t* s = NewSurface(w, hgt);
    cairo_t* cr = cairo_create(s);
    cairo_scale(cr, scale, scale);
    cairo_translate(cr, -area.x, -area.y);
    DrawElement(h, cr, id, ink);
    cairo_destroy(cr);
    cairo_surface_flush(s);
    const unsigned char* data = cairo_image_surface_get_data(s);
    const int stride = cairo_image_surface_get_stride(s);
    std::vector<int> colMax(w, 0), rowMax(hgt, 0);
    for (int y = 0; y < hgt; ++y)
        for (int x = 0; x < w; ++x) {
            const int a = data[y * stride + x * 4 + 3];  // alpha byte of little-endian ARGB32
            colMax[x] = std::max(colMax[x], a);
            rowMax[y] = std::max(rowMax[y], a);
        }
    cairo_surface_destroy(s);
    constexpr int kFaint = 24;  // ignore specks of antialiasing dust
    auto first = [](const std::vector<int>& v) {
        for (std::size_t i = 0; i < v.size(); ++i)
            if (v[i] > kFaint) return static_cast<int>(i);
        return -1;
    };
    auto last = [](const std::vector<int>& v) {
        for (std::size_t i = v.size(); i-- > 0;)
            if (v[i] > kFaint) return static_cast<int>(i);
        return -1;
    };
    const int x0 = first(colMax), x1 = last(colMax), y0 = first(rowMax), y1 = last(rowMax);
    if (x0 < 0 || y0 < 0) return false;
    const double left = x0 + 1 - colMax[x0] / 255.0, right = x1 + colMax[x1] / 255.0;
    const double top = y0 + 1 - rowMax[y0] / 255.0, bottom = y1 + rowMax[y1] / 255.0;
    box = {area.x + left / scale, area.y + top / scale, (right - left) / scale, (bottom - top) / scale};
    return true;
}

// Where the card is within its element. One look at about twice the final size finds it when
// the ink rectangle is the card, as it is for most; when the ink rectangle is far larger, a
// second, closer look around what was found places it exactly.
Rect CardBox(RsvgHandle* h, const std::string& id, const Rect& ink, int targetWidth) {
    const double first = std::min(2.0 * targetWidth / ink.w, 1200.0 / std::max(ink.w, ink.h));
    Rect box;
    if (!PaintedBox(h, id, ink, ink, first, box)) throw std::runtime_error("card element " + id + " paints nothing");
    if (box.w * first >= 1.5 * targetWidth) return box;
    const double margin = 2.0 / first;
    const Rect around{box.x - margin, box.y - margin, box.w + 2 * margin, box.h + 2 * margin};
    Rect exact;
    if (!PaintedBox(h, id, ink, around, 2.0 * targetWidth / box.w, exact)) return box;
    return exact;
}

float Clamp255(float v) { return std::clamp(v, 0.0f, 255.0f); }

void MultiplyColour(RgbaPixel& p, float r, float g, float b) {
    p.r = Clamp255(p.r * r);
    p.g = Clamp255(p.g * g);
    p.b = Clamp255(p.b * b);
}

void BlendColour(RgbaPixel& p, float r, float g, float b, float t) {
    p.r = Clamp255(p.r + (r - p.r) * t);
    p.g = Clamp255(p.g + (g - p.g) * t);
    p.b = Clamp255(p.b + (b - p.b) * t);
}

// Ivory paper and a touch of faded ink, with faint mottling: kept cards of a century ago.
void ApplyVintage(RgbaImage& img, std::uint32_t seed) {
    const float scale = img.width / 108.0f;
    for (int y = 0; y < img.height; ++y)
        for (int x = 0; x < img.width; ++x) {
            RgbaPixel& p = img.At(x, y);
            if (p.a == 0) continue;
            const float mottle = static_cast<float>(ValueNoise(seed, x / (14.0 * scale), y / (14.0 * scale), 3));
            BlendColour(p, 246, 238, 218, 0.05f);
            const float m = 0.985f + 0.03f * mottle;
            MultiplyColour(p, 1.0f * m, 0.968f * m, 0.885f * m);
        }
}

// A deck that has seen many evenings: every card a little different.
void ApplyWorn(RgbaImage& img, std::uint32_t seed) {
    Prng rng(seed);
    const int w = img.width, h = img.height;
    const float scale = w / 108.0f;
    // Stains: soft rings of spilt drink, at most two to a card.
    struct Stain {
        float cx, cy, r, strength;
    };
    std::vector<Stain> stains;
    const int nStains = rng.Unit() < 0.45 ? 0 : (rng.Unit() < 0.7 ? 1 : 2);
    for (int i = 0; i < nStains; ++i)
        stains.push_back({static_cast<float>(rng.Range(0.1, 0.9) * w), static_cast<float>(rng.Range(0.1, 0.9) * h),
                          static_cast<float>(rng.Range(0.10, 0.24) * w), static_cast<float>(rng.Range(0.05, 0.11))});
    // A crease across the card on about every third card.
    const bool creased = rng.Unit() < 0.35;
    const double angle = rng.Range(-0.6, 0.6) + (rng.Unit() < 0.5 ? 0.0 : 1.5707963);
    const double cx = rng.Range(0.3, 0.7) * w, cy = rng.Range(0.3, 0.7) * h;
    const double nx = -std::sin(angle), ny = std::cos(angle);
    // Thumb grime where the card is held: top-left and bottom-right corners.
    const float thumb = static_cast<float>(rng.Range(0.10, 0.22));

    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            RgbaPixel& p = img.At(x, y);
            if (p.a == 0) continue;
            const double n1 = ValueNoise(seed, x / (18.0 * scale), y / (18.0 * scale), 3);
            const double n2 = ValueNoise(seed + 7, x / (3.0 * scale), y / (3.0 * scale), 2);
            // Ink that has faded a little into the paper, then yellowed paper.
            BlendColour(p, 240, 230, 205, 0.07f);
            const float yellow = static_cast<float>(0.55 + 0.45 * n1);
            MultiplyColour(p, 1.0f - 0.02f * yellow, 0.975f - 0.045f * yellow, 0.90f - 0.11f * yellow);
            // Grime towards the edges.
            const float d = static_cast<float>(std::min(std::min(x, w - 1 - x), std::min(y, h - 1 - y))) / scale;
            const float edge = std::exp(-d / 6.0f) * static_cast<float>(0.16 + 0.14 * n1);
            MultiplyColour(p, 1.0f - edge * 0.7f, 1.0f - edge * 0.8f, 1.0f - edge);
            for (int corner = 0; corner < 2; ++corner) {
                const float ccx = corner == 0 ? 0.0f : static_cast<float>(w),
                            ccy = corner == 0 ? 0.0f : static_cast<float>(h);
                const float dd = std::hypot(x - ccx, y - ccy) / (0.45f * w);
                const float g = thumb * std::exp(-dd * dd) * static_cast<float>(0.7 + 0.6 * n2);
                MultiplyColour(p, 1.0f - g * 0.8f, 1.0f - g * 0.9f, 1.0f - g);
            }
            for (const Stain& s : stains) {
                const float dist = std::hypot(x - s.cx, y - s.cy) / s.r;
                if (dist > 1.15f) continue;
                // Darker at the ring where the drink dried, faint inside.
                const float ring = std::exp(-(dist - 1.0f) * (dist - 1.0f) / 0.006f);
                const float inside = dist < 1.0f ? 0.35f : 0.0f;
                const float t = s.strength * (ring + inside) * static_cast<float>(0.8 + 0.4 * n2);
                MultiplyColour(p, 1.0f - t * 0.55f, 1.0f - t * 0.8f, 1.0f - t * 1.2f);
            }
            if (creased) {
                const double off = (x - cx) * nx + (y - cy) * ny;
                if (std::abs(off) < 1.6 * scale) {
                    const float k = static_cast<float>(1.0 - std::abs(off) / (1.6 * scale));
                    // Shadow on one side of the fold, a lighter ridge on the other.
                    const float t = (off < 0 ? -0.10f : 0.07f) * k;
                    if (t < 0) MultiplyColour(p, 1 + t, 1 + t, 1 + t);
                    else BlendColour(p, 255, 252, 240, t);
                }
            }
            // Fine dirt specks, and runs of print rubbed off the very edge.
            if (n2 > 0.9) MultiplyColour(p, 0.93f, 0.92f, 0.90f);
            if (d < 1.6f && n1 > 0.62) BlendColour(p, 226, 216, 192, 0.45f);
        }
}

RgbaImage RenderCard(CardPainter& painter, int code, int width, int height) {
    cairo_surface_t* s = NewSurface(width, height);
    cairo_t* cr = cairo_create(s);
    painter.Draw(cr, code, width, height);
    cairo_destroy(cr);
    RgbaImage img = FromSurface(s);
    cairo_surface_destroy(s);
    return img;
}

void Finish(RgbaImage& img, const DeckArt& deckArt, int code) {
    if (deckArt.finish == CardFinish::Vintage) ApplyVintage(img, deckArt.seed + code * 31u);
    if (deckArt.finish == CardFinish::Worn) ApplyWorn(img, deckArt.seed + code * 7919u);
}

}  // namespace

std::string CardElementId(int code) { return std::string(kSuitIds[code % 4]) + "_" + kRankIds[code / 4]; }

Deck RenderDeck(const DeckArt& deckArt) { return RenderDecks({deckArt}, 1)[0]; }

std::vector<Deck> RenderDecks(const std::vector<DeckArt>& deckArts, int threads) {
    constexpr int kPerDeck = kBackCode + 1;
    const int jobs = static_cast<int>(deckArts.size()) * kPerDeck;
    std::vector<Image> done(jobs);
    std::atomic<int> next{0};
    std::mutex failMutex;
    std::string failure;
    // Cards take very different times to draw, so workers take them one at a time from all
    // decks; each worker reads a deck's art once, since handles are not shared between threads.
    auto worker = [&] {
        std::vector<std::unique_ptr<CardPainter>> painters(deckArts.size());
        try {
            for (int j = next++; j < jobs; j = next++) {
                const DeckArt& deckArt = deckArts[j / kPerDeck];
                const int code = j % kPerDeck;
                auto& painter = painters[j / kPerDeck];
                if (!painter) painter = std::make_unique<CardPainter>(deckArt.svgPath);
                done[j] = RenderDeckCard(*painter, deckArt, code);
            }
        } catch (const std::exception& e) {
            std::lock_guard<std::mutex> lock(failMutex);
            if (failure.empty()) failure = e.what();
            next = jobs;
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < std::max(1, threads); ++t) pool.emplace_back(worker);
    worker();
    for (std::thread& t : pool) t.join();
    if (!failure.empty()) throw std::runtime_error(failure);

    std::vector<Deck> decks(deckArts.size());
    for (int j = 0; j < jobs; ++j) {
        Deck& d = decks[j / kPerDeck];
        if (j % kPerDeck == kBackCode) d.back = std::move(done[j]);
        else d.faces.push_back(std::move(done[j]));
    }
    return decks;
}

Image RenderDeckCard(CardPainter& painter, const DeckArt& deckArt, int code) {
    RgbaImage img = RenderCard(painter, code, deckArt.width, deckArt.height);
    Finish(img, deckArt, code);
    return KeyShape(img, kCardEdgeBackdrop, {250, 250, 246});
}

CardPainter::CardPainter(const std::string& svgPath) {
    GError* err = nullptr;
    handle_ = rsvg_handle_new_from_file(svgPath.c_str(), &err);
    if (!handle_) {
        std::string msg = err ? err->message : "unknown error";
        if (err) g_error_free(err);
        throw std::runtime_error("cannot read card art " + svgPath + ": " + msg);
    }
}

CardPainter::~CardPainter() { g_object_unref(handle_); }

void CardPainter::Draw(cairo_t* cr, int code, double width, double height) {
    const std::string id = ElementFor(code);
    const Rect ink = InkRect(handle_, id);
    const Rect box = CardBox(handle_, id, ink, static_cast<int>(std::ceil(width)));
    cairo_save(cr);
    // The card fills its rectangle exactly; a deck printed narrower than that is widened.
    cairo_scale(cr, width / box.w, height / box.h);
    cairo_translate(cr, -box.x, -box.y);
    DrawElement(handle_, cr, id, ink);
    cairo_restore(cr);
}

Image RenderCardOver(const DeckArt& deckArt, int code, int width, int height, Rgb surround) {
    CardPainter painter(deckArt.svgPath);
    RgbaImage img = RenderCard(painter, code, width, height);
    Finish(img, deckArt, code);
    return Flatten(img, surround);
}

}  // namespace pellow::art
