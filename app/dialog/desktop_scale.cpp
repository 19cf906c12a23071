// The desktop's text scale (see desktop_scale.hpp).
#include "app/dialog/desktop_scale.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstddef>
#include <optional>
#include <system_error>

namespace pellow {

namespace {

constexpr double kBaseDpi = 96;
constexpr double kMaxScale = 3;
// Ten times the base is past every screen made; a value beyond is a typing error, not a wish.
constexpr double kAbsurdDpi = 10 * kBaseDpi;

std::string_view TrimBlanks(std::string_view text) {
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The value of one "Xft.dpi: value" line, or nothing when it is not one or its value is no number.
std::optional<double> DpiOfLine(std::string_view line) {
    constexpr std::string_view kName = "Xft.dpi";
    line = TrimBlanks(line);
    if (!line.starts_with(kName)) return std::nullopt;
    line = TrimBlanks(line.substr(kName.size()));
    if (!line.starts_with(':')) return std::nullopt;
    line = TrimBlanks(line.substr(1));
    double dpi = 0;
    const auto [end, error] = std::from_chars(line.data(), line.data() + line.size(), dpi);
    if (line.empty() || error != std::errc{} || end != line.data() + line.size()) return 0.0;
    return dpi;
}

}  // namespace

double TextScaleFromResources(std::string_view resources) {
    // The database keeps the last of two lines for one name; a malformed last line counts as 0.
    std::optional<double> dpi;
    while (!resources.empty()) {
        const std::size_t end = std::min(resources.find('\n'), resources.size());
        if (const std::optional<double> value = DpiOfLine(resources.substr(0, end))) dpi = value;
        resources.remove_prefix(std::min(end + 1, resources.size()));
    }
    if (!dpi || !std::isfinite(*dpi) || *dpi <= 0 || *dpi > kAbsurdDpi) return 1;
    return std::clamp(*dpi / kBaseDpi, 1.0, kMaxScale);
}

double ScaleToFit(double scale, int width, int height, int areaWidth, int areaHeight) {
    if (scale <= 1 || width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0) return 1;
    scale = std::min({scale, static_cast<double>(areaWidth) / width, static_cast<double>(areaHeight) / height});
    return std::max(scale, 1.0);
}

int ScaledEdge(int value, double scale) { return static_cast<int>(std::lround(value * scale)); }

std::vector<std::uint32_t> ResamplePicture(const DialogPicture& picture, int width, int height) {
    // Where a target pixel's centre falls in the source: the two source pixels on either side
    // and the share of the second, for one axis.
    struct Tap {
        int first, second, share;  // share of second in 1/256
    };
    const auto taps = [](int from, int to) {
        std::vector<Tap> result(static_cast<std::size_t>(to));
        for (int i = 0; i < to; ++i) {
            const double at = std::clamp((i + 0.5) * from / to - 0.5, 0.0, from - 1.0);
            const int first = static_cast<int>(at);
            const int second = std::min(first + 1, from - 1);
            result[static_cast<std::size_t>(i)] = {first, second, static_cast<int>(std::lround((at - first) * 256))};
        }
        return result;
    };
    const std::vector<Tap> columns = taps(picture.width, width);
    const std::vector<Tap> rows = taps(picture.height, height);
    const auto blend = [](std::uint32_t a, std::uint32_t b, int share) {
        std::uint32_t out = 0;
        for (int shift = 0; shift <= 16; shift += 8) {
            const int ca = static_cast<int>((a >> shift) & 0xFF), cb = static_cast<int>((b >> shift) & 0xFF);
            out |= static_cast<std::uint32_t>((ca * (256 - share) + cb * share + 128) >> 8) << shift;
        }
        return out;
    };
    std::vector<std::uint32_t> out(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::size_t i = 0;
    for (const Tap& row : rows) {
        const std::uint32_t* above = picture.pixels + static_cast<std::ptrdiff_t>(row.first) * picture.width;
        const std::uint32_t* below = picture.pixels + static_cast<std::ptrdiff_t>(row.second) * picture.width;
        for (const Tap& column : columns) {
            const std::uint32_t top = blend(above[column.first], above[column.second], column.share);
            const std::uint32_t bottom = blend(below[column.first], below[column.second], column.share);
            out[i++] = blend(top, bottom, row.share);
        }
    }
    return out;
}

}  // namespace pellow
