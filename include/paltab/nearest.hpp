// The one nearest-entry search: for a colour, a point of a metric's space or
// an exact fraction of integers, over the entries a table may choose.
//
// "Exact" means the entry a plain search over every selectable entry gives,
// by the chosen metric (see color_metric.hpp): the least squared distance,
// and among entries at exactly the same distance the lowest index. The
// floating-point metrics compare the distances computed in double precision
// from ToMetricPoint of both colours, as such a search does. A target that is
// a fraction n / q of integers, compared by the rgb metric, is compared as
// sum (e * q - n)^2 in 64-bit integers: never rounded.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "paltab/color_metric.hpp"
#include "paltab/result.hpp"
#include "paltab/types.hpp"

namespace paltab {

struct MatchOptions {
    Metric metric = Metric::kRgb;
    // Entries never chosen. Entries at or past the palette's size are ignored.
    ReservedEntries reserved;
};

// The palette entries a search may choose, with their points in the metric's
// space. An entry that repeats the colour of a lower selectable entry is left
// out: it could only tie with that entry, and ties go to the lower index.
class MatchPalette {
public:
    // Fails when the palette is empty or has more than 256 colours
    // (kBadInput), or every entry is reserved (kBadSettings): there is
    // nothing to choose.
    static Result<MatchPalette> Create(std::span<const Rgb8> palette, const MatchOptions& options);

    Metric GetMetric() const { return metric_; }
    // Selectable entries, lowest index first.
    std::span<const std::uint8_t> Entries() const { return entries_; }
    std::span<const Rgb8> Colors() const { return colors_; }
    std::span<const MetricPoint> Points() const { return points_; }

    // The exact nearest entry to `color`: a full search of the selectable
    // entries, for single colours (and as the reference the map is tested
    // against).
    std::uint8_t NearestEntry(Rgb8 color) const;

    struct Found {
        std::uint8_t index = 0;
        double distance = 0.0;  // Euclidean, in the metric's units
    };
    // The entry nearest to a point of the metric's space.
    Found NearestTo(const MetricPoint& point) const;
    // The entry nearest to the sRGB colour n / q (each of n at most
    // 255 * q, q at most 10000): exactly, in integers, for the rgb metric.
    Found NearestToFraction(const std::array<std::int64_t, 3>& n, std::int64_t q) const;

private:
    MatchPalette() = default;

    Metric metric_ = Metric::kRgb;
    std::vector<std::uint8_t> entries_;
    std::vector<Rgb8> colors_;
    std::vector<MetricPoint> points_;
};

// How well a table's cells fit their targets: over the cells searched, the
// mean and largest Euclidean distance from the target to the colour chosen,
// in the metric's units (8-bit sRGB units for rgb, linear light 0..1 for
// linear, Oklab units for oklab).
struct FitStats {
    std::size_t cells = 0;  // cells searched
    double meanDistance = 0.0;
    double maxDistance = 0.0;
};

class FitAccumulator {
public:
    void Add(double distance) {
        ++cells_;
        sum_ += distance;
        max_ = std::max(max_, distance);
    }
    void Add(const FitStats& other) {
        cells_ += other.cells;
        sum_ += other.meanDistance * static_cast<double>(other.cells);
        max_ = std::max(max_, other.maxDistance);
    }
    FitStats Stats() const { return {cells_, cells_ == 0 ? 0.0 : sum_ / static_cast<double>(cells_), max_}; }

private:
    std::size_t cells_ = 0;
    double sum_ = 0.0;
    double max_ = 0.0;
};

}  // namespace paltab
