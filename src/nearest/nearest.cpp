// The one nearest-entry search: the selectable entries of a palette, and
// full searches over them.
#include "paltab/nearest.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

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
        const MetricPoint point = ToMetricPoint(metric_, color);
        double bestDistance = std::numeric_limits<double>::infinity();
        for (std::size_t i = 0; i < points_.size(); ++i) {
            const double d = SquaredDistance(point, points_[i]);
            if (d < bestDistance) {
                bestDistance = d;
                best = i;
            }
        }
    }
    return entries_[best];
}

MatchPalette::Found MatchPalette::NearestTo(const MetricPoint& point) const {
    double best = std::numeric_limits<double>::infinity();
    std::size_t at = 0;
    for (std::size_t k = 0; k < points_.size(); ++k) {
        const double d = SquaredDistance(points_[k], point);
        if (d < best) {
            best = d;
            at = k;
        }
    }
    return {entries_[at], std::sqrt(best)};
}

MatchPalette::Found MatchPalette::NearestToFraction(const std::array<std::int64_t, 3>& n, std::int64_t q) const {
    if (metric_ != Metric::kRgb) {
        const double scale = static_cast<double>(q);
        return NearestTo(ToMetricPoint(metric_, MetricPoint{static_cast<double>(n[0]) / scale,
                                                            static_cast<double>(n[1]) / scale,
                                                            static_cast<double>(n[2]) / scale}));
    }
    // At most 3 * (255 * 10000)^2: well inside 64 bits.
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    std::size_t at = 0;
    for (std::size_t k = 0; k < colors_.size(); ++k) {
        const std::int64_t d0 = std::int64_t{colors_[k].r} * q - n[0];
        const std::int64_t d1 = std::int64_t{colors_[k].g} * q - n[1];
        const std::int64_t d2 = std::int64_t{colors_[k].b} * q - n[2];
        const std::int64_t d = d0 * d0 + d1 * d1 + d2 * d2;
        if (d < best) {
            best = d;
            at = k;
        }
    }
    return {entries_[at], std::sqrt(static_cast<double>(best)) / static_cast<double>(q)};
}

}  // namespace paltab
