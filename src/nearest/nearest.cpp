// The one nearest-entry search: the selectable entries of a palette, and
// full searches over them.
#include "paltab/nearest.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "nearest/full_search.hpp"

namespace paltab {

Result<MatchPalette> MatchPalette::Create(std::span<const Rgb8> palette, const MatchOptions& options) {
    if (palette.empty()) {
        return Error{"", "the palette has no colours"};
    }
    if (palette.size() > kPaletteSize) {
        return Error{"", "the palette has " + std::to_string(palette.size()) + " colours, more than 256"};
    }
    MatchPalette match;
    match.metric_ = options.metric;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        if (options.reserved.test(i) ||
            std::find(match.colors_.begin(), match.colors_.end(), palette[i]) != match.colors_.end()) {
            continue;
        }
        match.entries_.push_back(static_cast<std::uint8_t>(i));
        match.colors_.push_back(palette[i]);
        match.points_.push_back(ToMetricPoint(options.metric, palette[i]));
    }
    if (match.entries_.empty()) {
        return Error{"", "every one of the palette's " + std::to_string(palette.size()) + " colours is reserved",
                     ErrorKind::kBadSettings};
    }
    return match;
}

std::uint8_t MatchPalette::NearestEntry(Rgb8 color) const {
    std::size_t best = 0;
    if (metric_ == Metric::kRgb) {
        int bestDistance = std::numeric_limits<int>::max();
        for (std::size_t i = 0; i < colors_.size(); ++i) {
            const int dr = color.r - colors_[i].r;
            const int dg = color.g - colors_[i].g;
            const int db = color.b - colors_[i].b;
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
    } else {
        best = FirstNearestPoint(points_, ToMetricPoint(metric_, color)).at;
    }
    return entries_[best];
}

MatchPalette::Found MatchPalette::NearestTo(const MetricPoint& point) const {
    const FirstNearest<double> found = FirstNearestPoint(points_, point);
    return {entries_[found.at], std::sqrt(found.squared)};
}

MatchPalette::Found MatchPalette::NearestToFraction(const std::array<std::int64_t, 3>& n, std::int64_t q) const {
    if (metric_ != Metric::kRgb) {
        const double scale = static_cast<double>(q);
        return NearestTo(ToMetricPoint(metric_, MetricPoint{static_cast<double>(n[0]) / scale,
                                                            static_cast<double>(n[1]) / scale,
                                                            static_cast<double>(n[2]) / scale}));
    }
    const FirstNearest<std::int64_t> found = FirstNearestFraction(std::span<const Rgb8>(colors_), n, q);
    return {entries_[found.at], std::sqrt(static_cast<double>(found.squared)) / static_cast<double>(q)};
}

}  // namespace paltab
