#include "presentation/surface.hpp"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <utility>

#include "presentation/display.hpp"
#include "presentation/dx_internal.hpp"
#include "presentation/load_error.hpp"

namespace pellow::modDX {

namespace {

// Both pictures in one 16-bit format with their pixels at hand (all but a run-length picture
// SDL has encoded, which it keeps only in runs): copied here a row at a time, a plain row with
// the C library's copy and a keyed one pixel by pixel. SDL's own routines move eight bytes at a
// time and walk a run-length picture from its top for every part copied out of it (a glyph of
// a font sheet), which made up half of a busy frame's copying.
bool CopiedHere(SDL_Surface* from, std::int64_t left, std::int64_t top, std::int64_t w, std::int64_t h,
                SDL_Surface* to, std::int64_t x, std::int64_t y, const std::uint16_t* key,
                const std::vector<std::pair<int, int>>& plainRows) {
    if (!from->pixels || !to->pixels || from->format->format != to->format->format ||
        from->format->BytesPerPixel != 2)
        return false;
    const auto row = [](SDL_Surface* s, std::int64_t line, std::int64_t column) {
        return reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(s->pixels) + line * s->pitch) + column;
    };
    std::size_t plain = 0;
    for (std::int64_t line = top; line < top + h; ++line) {
        const std::uint16_t* in = row(from, line, left);
        std::uint16_t* out = row(to, y + line - top, x);
        while (plain < plainRows.size() && plainRows[plain].second <= line) ++plain;
        if (!key || (plain < plainRows.size() && plainRows[plain].first <= line)) {
            std::memcpy(out, in, static_cast<std::size_t>(w) * 2);
            continue;
        }
        // Written back unchanged where the key is, so the loop needs no branch.
        const std::uint16_t k = *key;
        for (std::int64_t i = 0; i < w; ++i) out[i] = in[i] != k ? in[i] : out[i];
    }
    return true;
}

// The copy underneath BltSurface. Like the hardware copy it replaces, it never clips: a
// rectangle that is empty, inverted, outside the source, or a copy that would not fit inside
// the destination, draws nothing and reports nothing.
void BltFast(Surface& destination, std::int64_t x, std::int64_t y, Surface& source, std::int64_t left, std::int64_t top,
             std::int64_t right, std::int64_t bottom, bool useColorKey, bool note = true) {
    if (!source.exists() || !destination.exists()) return;
    if (left == 0 && top == 0 && right == 0 && bottom == 0) {
        right = source.width();
        bottom = source.height();
    }
    if (left >= right || top >= bottom) return;
    if (left < 0 || top < 0 || right > source.width() || bottom > source.height()) return;
    const std::int64_t w = right - left;
    const std::int64_t h = bottom - top;
    if (x < 0 || y < 0 || x + w > destination.width() || y + h > destination.height()) return;

    if (note)
        destination.noteDrawn(Rect{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                                   static_cast<std::int32_t>(x + w), static_cast<std::int32_t>(y + h)});
    const bool keyed = useColorKey && source.hasColorKey();
    const auto key = static_cast<std::uint16_t>(source.colorKey());
    if (CopiedHere(source.raw(), left, top, w, h, destination.raw(), x, y, keyed ? &key : nullptr, source.plainRows()))
        return;
    // Only a picture SDL keeps run-length encoded comes here (a picture with plain rows has its
    // pixels at hand). Everything is already inside both surfaces: the unclipped copy is enough.
    source.useColorKey(useColorKey);
    SDL_Rect part{static_cast<int>(left), static_cast<int>(top), static_cast<int>(w), static_cast<int>(h)};
    SDL_Rect to{static_cast<int>(x), static_cast<int>(y), static_cast<int>(w), static_cast<int>(h)};
    SDL_LowerBlit(source.raw(), &part, destination.raw(), &to);
}

}  // namespace

// ---- Surface ----

Surface::~Surface() { reset(); }

Surface::Surface(Surface&& other) noexcept
    : surface_(std::exchange(other.surface_, nullptr)),
      hasKey_(std::exchange(other.hasKey_, false)),
      key_(std::exchange(other.key_, 0)),
      keyActive_(std::exchange(other.keyActive_, false)),
      fixedPixels_(std::exchange(other.fixedPixels_, false)),
      plainRows_(std::exchange(other.plainRows_, {})),
      keyedCorners_(std::exchange(other.keyedCorners_, {-1, -1})),
      generation_(std::exchange(other.generation_, 0)),
      drawn_(std::move(other.drawn_)) {}

Surface& Surface::operator=(Surface&& other) noexcept {
    if (this != &other) {
        reset();
        surface_ = std::exchange(other.surface_, nullptr);
        hasKey_ = std::exchange(other.hasKey_, false);
        key_ = std::exchange(other.key_, 0);
        keyActive_ = std::exchange(other.keyActive_, false);
        fixedPixels_ = std::exchange(other.fixedPixels_, false);
        plainRows_ = std::exchange(other.plainRows_, {});
        keyedCorners_ = std::exchange(other.keyedCorners_, {-1, -1});
        generation_ = std::exchange(other.generation_, 0);
        drawn_ = std::move(other.drawn_);
    }
    return *this;
}

int Surface::width() const { return surface_ ? surface_->w : 0; }
int Surface::height() const { return surface_ ? surface_->h : 0; }

void Surface::reset() {
    forgetPlainRows();
    if (surface_) SDL_FreeSurface(surface_);
    surface_ = nullptr;
    hasKey_ = false;
    key_ = 0;
    keyActive_ = false;
    fixedPixels_ = false;
    generation_ = 0;
    drawn_.reset();
}

void Surface::forgetPlainRows() {
    plainRows_.clear();
    keyedCorners_ = {-1, -1};
}

void Surface::adopt(SDL_Surface* surface) {
    static std::atomic<std::uint64_t> made{0};
    reset();
    surface_ = surface;
    if (surface_) generation_ = ++made;
}

void Surface::noteDrawing() {
    if (surface_) drawn_ = std::make_unique<DrawnArea>();
}

void Surface::NoteInto(DrawnArea& area, const Rect& r) {
    area.sinceFelt.Add(r);
    area.unshown.Add(r);
}

void DrawnArea::Rects::Add(const Rect& r) {
    // A frame's copies come a few hundred at most, mostly cards of a hand and letters of a line
    // that touch the one before: those are joined while the joined box wastes nothing.
    constexpr std::size_t kMostRects = 48;
    if (all || r.right <= r.left || r.bottom <= r.top) return;
    const auto area = [](const Rect& a) {
        return static_cast<std::int64_t>(a.right - a.left) * static_cast<std::int64_t>(a.bottom - a.top);
    };
    for (Rect& had : rects) {
        const Rect box{std::min(had.left, r.left), std::min(had.top, r.top), std::max(had.right, r.right),
                       std::max(had.bottom, r.bottom)};
        if (area(box) <= area(had) + area(r)) {
            had = box;
            return;
        }
    }
    if (rects.size() == kMostRects) {
        MarkAll();
        return;
    }
    rects.push_back(r);
}

void DrawnArea::Rects::AddAll(const Rects& other) {
    if (other.all) {
        MarkAll();
        return;
    }
    for (const Rect& r : other.rects) Add(r);
}

void Surface::setColorKey(std::uint32_t key, bool runLength) {
    if (!surface_) return;
    if (hasKey_ && key != key_ && SDL_MUSTLOCK(surface_)) {
        // The run-length data was made with the old key and is only undone correctly while
        // that key is still set: take the plain pixels out first, then change the key.
        SDL_Surface* plain = SDL_CreateRGBSurfaceWithFormat(0, surface_->w, surface_->h, surface_->format->BitsPerPixel,
                                                            surface_->format->format);
        if (!plain || SDL_LockSurface(surface_) != 0) {
            SDL_FreeSurface(plain);
            return;
        }
        const auto* from = static_cast<const std::uint8_t*>(surface_->pixels);
        auto* to = static_cast<std::uint8_t*>(plain->pixels);
        const std::size_t rowBytes = static_cast<std::size_t>(surface_->w) * surface_->format->BytesPerPixel;
        for (int y = 0; y < surface_->h; ++y)
            std::memcpy(to + static_cast<std::ptrdiff_t>(y) * plain->pitch,
                        from + static_cast<std::ptrdiff_t>(y) * surface_->pitch, rowBytes);
        SDL_UnlockSurface(surface_);
        SDL_FreeSurface(surface_);
        SDL_SetSurfaceBlendMode(plain, SDL_BLENDMODE_NONE);
        surface_ = plain;
    }
    hasKey_ = true;
    key_ = key;
    SDL_SetColorKey(surface_, SDL_TRUE, key);
    // Run-length encoding skips the transparent runs instead of testing every pixel.
    SDL_SetSurfaceRLE(surface_, runLength ? 1 : 0);
    keyActive_ = true;
    forgetPlainRows();
    if (fixedPixels_ && !runLength && surface_->format->BytesPerPixel == 2) findPlainRows();
}

void Surface::FindKeyedCorners() {
    const auto key = static_cast<std::uint16_t>(key_);
    const int w = surface_->w, h = surface_->h;
    const auto at = [&](int x, int y) {
        return reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(surface_->pixels) +
                                                      static_cast<std::ptrdiff_t>(y) * surface_->pitch)[x];
    };
    // The longest run of key from each edge, along rows and along columns.
    int cornerW = 0, cornerH = 0;
    for (int y = 0; y < h; ++y) {
        int left = 0, right = 0;
        while (left < w && at(left, y) == key) ++left;
        while (right < w && at(w - 1 - right, y) == key) ++right;
        cornerW = std::max({cornerW, left, right});
    }
    for (int x = 0; x < w; ++x) {
        int top = 0, bottom = 0;
        while (top < h && at(x, top) == key) ++top;
        while (bottom < h && at(x, h - 1 - bottom) == key) ++bottom;
        cornerH = std::max({cornerH, top, bottom});
    }
    if (cornerW * 2 >= w || cornerH * 2 >= h) return;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (at(x, y) == key && !((x < cornerW || x >= w - cornerW) && (y < cornerH || y >= h - cornerH))) return;
    keyedCorners_ = {cornerW, cornerH};
}

void Surface::findPlainRows() {
    // Runs shorter than this cost more in extra copies than they save.
    constexpr int kShortest = 8;
    constexpr std::size_t kMostRuns = 8;
    const auto key = static_cast<std::uint16_t>(key_);
    const auto hasKey = [&](int y) {
        const auto* row = reinterpret_cast<const std::uint16_t*>(static_cast<const std::uint8_t*>(surface_->pixels) +
                                                                 static_cast<std::ptrdiff_t>(y) * surface_->pitch);
        return std::find(row, row + surface_->w, key) != row + surface_->w;
    };
    std::vector<std::pair<int, int>> runs;
    for (int y = 0; y < surface_->h;) {
        if (hasKey(y)) {
            ++y;
            continue;
        }
        const int first = y;
        while (y < surface_->h && !hasKey(y)) ++y;
        if (y - first >= kShortest) runs.emplace_back(first, y);
    }
    FindKeyedCorners();
    if (runs.empty() || runs.size() > kMostRuns) return;
    plainRows_ = std::move(runs);
}

void Surface::useColorKey(bool use) {
    const bool want = use && hasKey_;
    if (!surface_ || want == keyActive_) return;
    SDL_SetColorKey(surface_, want ? SDL_TRUE : SDL_FALSE, key_);
    keyActive_ = want;
}

// ---- The clipped copy ----
// A display's members, kept beside the copy beneath them: the clip rectangle is the screen's.

void Display::SetClipRect() { clip_ = Rect{0, 0, width_, height_}; }

void Display::BltSurface(Surface& source, Surface& destination, const Rect& rect, int x, int y,
                         bool useColorKey) const {
    std::int64_t left = rect.left, top = rect.top, right = rect.right, bottom = rect.bottom;
    std::int64_t px = x, py = y;
    const std::int64_t w = right - left;
    const std::int64_t h = bottom - top;
    if (px + w > clip_.right) right = left + clip_.right - px;
    if (py + h > clip_.bottom) bottom = top + clip_.bottom - py;
    if (px < clip_.left) {
        left = left + clip_.left - px;
        px = clip_.left;
    }
    if (py < clip_.top) {
        top = top + clip_.top - py;
        py = clip_.top;
    }
    BltFast(destination, px, py, source, left, top, right, bottom, useColorKey);
}

void Display::LayFelt(Surface& felt) {
    DrawnArea* area = backBuffer_.drawnArea();
    if (!area) {
        BltSurface(felt, backBuffer_, Rect{}, 0, 0, false);
        return;
    }
    // Everything not drawn into since the felt was last laid is that felt still.
    const bool sameFelt = area->feltGeneration == felt.generation() && felt.width() == width_ &&
                          felt.height() == height_;
    if (!sameFelt || area->sinceFelt.all) {
        BltFast(backBuffer_, 0, 0, felt, 0, 0, 0, 0, false, false);
        area->unshown.MarkAll();
    } else {
        for (const Rect& r : area->sinceFelt.rects) {
            const Rect in{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width_), std::min(r.bottom, height_)};
            BltFast(backBuffer_, in.left, in.top, felt, in.left, in.top, in.right, in.bottom, false, false);
        }
        area->unshown.AddAll(area->sinceFelt);
    }
    area->sinceFelt.Clear();
    area->feltGeneration = felt.generation();
}

// ---- Helpers ----

std::uint16_t Rgb565(int red, int green, int blue) {
    return static_cast<std::uint16_t>(((red & 0xF8) << 8) | ((green & 0xFC) << 3) | (blue >> 3));
}

void CreateSurface(Surface& surface, int width, int height) {
    SDL_Surface* made = SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, detail::kBackBufferFormat);
    surface.adopt(made);
}

void SurfaceOverPixels(Surface& surface, int width, int height, const std::uint16_t* pixels) {
    // Only read: copies from it and its run-length form, which the library makes beside the
    // pixels of a surface it did not allocate.
    SDL_Surface* made = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<std::uint16_t*>(pixels), width, height, 16,
                                                           width * 2, detail::kBackBufferFormat);
    if (!made) throw LoadError("SurfaceOverPixels", errPictureFormat, SDL_GetError());
    SDL_SetSurfaceBlendMode(made, SDL_BLENDMODE_NONE);
    surface.adopt(made);
    surface.markFixedPixels();
}

void StretchedCopy(const Surface& from, Surface& to, int width, int height) {
    SDL_Surface* made = SDL_CreateRGBSurfaceWithFormat(0, width, height, 16, detail::kBackBufferFormat);
    if (!made) throw LoadError("StretchedCopy", errPictureFormat, SDL_GetError());
    SDL_Surface* source = from.raw();
    // The stretch reads plain pixels: a run-length encoded source is read through a lock.
    const bool mustLock = SDL_MUSTLOCK(source);
    if (mustLock) SDL_LockSurface(source);
    SDL_Rect all{0, 0, source->w, source->h};
    SDL_Rect into{0, 0, width, height};
    SDL_SoftStretch(source, &all, made, &into);
    if (mustLock) SDL_UnlockSurface(source);
    SDL_SetSurfaceBlendMode(made, SDL_BLENDMODE_NONE);
    const bool keyed = from.hasColorKey();
    const std::uint32_t key = from.colorKey();
    to.adopt(made);
    if (keyed) to.setColorKey(key, false);
}

void FillRect(Surface& surface, const Rect& rect, std::uint16_t color) {
    if (!surface.exists() || rect.right <= rect.left || rect.bottom <= rect.top) return;
    SDL_Rect area{rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top};
    surface.noteDrawn(rect);
    // A keyed surface may be run-length encoded; locking gives its plain pixels for the fill.
    SDL_Surface* s = surface.raw();
    const bool mustLock = SDL_MUSTLOCK(s);
    if (mustLock && SDL_LockSurface(s) != 0) return;
    SDL_FillRect(s, &area, color);
    if (mustLock) SDL_UnlockSurface(s);
}

std::uint16_t GetPixel(const Surface& surface, int x, int y) {
    if (!surface.exists() || x < 0 || y < 0 || x >= surface.width() || y >= surface.height()) return 0;
    SDL_Surface* s = surface.raw();
    const bool mustLock = SDL_MUSTLOCK(s);
    if (mustLock) SDL_LockSurface(s);
    const auto* row = static_cast<const std::uint8_t*>(s->pixels) + static_cast<std::ptrdiff_t>(y) * s->pitch;
    const std::uint16_t value = reinterpret_cast<const std::uint16_t*>(row)[x];
    if (mustLock) SDL_UnlockSurface(s);
    return value;
}

namespace {

std::uint16_t Scaled565(std::uint16_t v, int percent) {
    const int r = ((v >> 11) & 31) * percent / 100;
    const int g = ((v >> 5) & 63) * percent / 100;
    const int b = (v & 31) * percent / 100;
    return static_cast<std::uint16_t>((r << 11) | (g << 5) | b);
}

std::uint16_t* Row(SDL_Surface* s, int y) {
    return reinterpret_cast<std::uint16_t*>(static_cast<std::uint8_t*>(s->pixels) +
                                            static_cast<std::ptrdiff_t>(y) * s->pitch);
}

}  // namespace

void DimmedInto(Surface& source, Surface& scratch, int percent) {
    if (!source.exists() || source.raw()->format->BitsPerPixel != 16) {
        scratch.reset();
        return;
    }
    SDL_Surface* from = source.raw();
    const bool keyed = source.hasColorKey();
    const auto key = static_cast<std::uint16_t>(source.colorKey());
    if (!scratch.exists() || scratch.width() != from->w || scratch.height() != from->h ||
        scratch.raw()->format->format != from->format->format || scratch.hasColorKey() != keyed ||
        scratch.colorKey() != source.colorKey()) {
        SDL_Surface* made = SDL_CreateRGBSurfaceWithFormat(0, from->w, from->h, 16, from->format->format);
        if (!made) {
            scratch.reset();
            return;
        }
        SDL_SetSurfaceBlendMode(made, SDL_BLENDMODE_NONE);
        scratch.adopt(made);
        if (keyed) scratch.setColorKey(key, false);
    }
    SDL_Surface* to = scratch.raw();
    // A run-length encoded picture is decoded by the lock and encoded again by the unlock:
    // pictures drawn this way are best keyed without it.
    const bool mustLock = SDL_MUSTLOCK(from);
    if (mustLock && SDL_LockSurface(from) != 0) {
        scratch.reset();
        return;
    }
    for (int y = 0; y < from->h; ++y) {
        const std::uint16_t* in = Row(from, y);
        std::uint16_t* out = Row(to, y);
        for (int x = 0; x < from->w; ++x) out[x] = keyed && in[x] == key ? key : Scaled565(in[x], percent);
    }
    if (mustLock) SDL_UnlockSurface(from);
}

void Darken(Surface& surface, int percent) {
    if (!surface.exists() || surface.raw()->format->BitsPerPixel != 16) return;
    surface.noteDrawn(Rect{0, 0, surface.width(), surface.height()});
    SDL_Surface* s = surface.raw();
    const bool mustLock = SDL_MUSTLOCK(s);
    if (mustLock && SDL_LockSurface(s) != 0) return;
    for (int y = 0; y < s->h; ++y) {
        std::uint16_t* row = Row(s, y);
        for (int x = 0; x < s->w; ++x) row[x] = Scaled565(row[x], percent);
    }
    if (mustLock) SDL_UnlockSurface(s);
}

void FrameRect(Surface& surface, const Rect& r, int thickness, std::uint16_t color) {
    FillRect(surface, Rect{r.left, r.top, r.right, r.top + thickness}, color);
    FillRect(surface, Rect{r.left, r.bottom - thickness, r.right, r.bottom}, color);
    FillRect(surface, Rect{r.left, r.top, r.left + thickness, r.bottom}, color);
    FillRect(surface, Rect{r.right - thickness, r.top, r.right, r.bottom}, color);
}

}  // namespace pellow::modDX
