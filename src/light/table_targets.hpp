// What the light, translucency and engine lump tables share: exact targets
// as fractions of integers, linear-light mixing, the palette check and the
// one search over the entries a table may choose.
#pragma once

#include <array>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "nearest/batch_search.hpp"
#include "paltab/nearest.hpp"
#include "paltab/table_search.hpp"

namespace paltab::table_targets {

using Numerators = std::array<std::int64_t, 3>;

inline constexpr int kPercent = 100;
inline constexpr std::int64_t kFull = 255;

// A point of the metric's space from linear light 0..1.
inline MetricPoint MetricFromLinear(Metric metric, const MetricPoint& linear) {
    switch (metric) {
        case Metric::kRgb:
            return {SrgbFromLinear(linear[0]), SrgbFromLinear(linear[1]), SrgbFromLinear(linear[2])};
        case Metric::kLinear:
            return linear;
        case Metric::kOklab:
            return OklabFromLinear(linear);
    }
    return linear;
}

inline Numerators Components(Rgb8 c) {
    return {c.r, c.g, c.b};
}

inline MetricPoint LinearOf(Rgb8 c) {
    return {LinearFromSrgb(c.r), LinearFromSrgb(c.g), LinearFromSrgb(c.b)};
}

inline Status CheckColors(std::span<const Rgb8> colors) {
    if (colors.empty() || colors.size() > kPaletteSize) {
        return Error{"", "a palette needs 1 to 256 colours, not " + std::to_string(colors.size())};
    }
    return {};
}

// The search of a table's cells: a candidate grid built once for them, which
// answers as the one full search does (MatchPalette: the least distance,
// the lowest index among equal ones), with its distances.
class TableSearch {
public:
    TableSearch(std::span<const Rgb8> colors, const MatchOptions& options, std::size_t cells)
        : grid_(colors, options.metric, options.reserved, cells) {}

    bool Empty() const { return grid_.Empty(); }
    Metric GetMetric() const { return grid_.GetMetric(); }

    // The entry nearest to a point of the metric's space.
    MatchPalette::Found NearestTo(const MetricPoint& point) const {
        const CandidateGrid::PointMatch match = grid_.NearestPoint(point);
        return {match.index, std::sqrt(match.squared)};
    }

    // The entry nearest to the sRGB colour n / q: exactly, in integers, for
    // the rgb metric.
    MatchPalette::Found NearestToFraction(const Numerators& n, std::int64_t q) const {
        if (GetMetric() != Metric::kRgb) {
            const double scale = static_cast<double>(q);
            return NearestTo(ToMetricPoint(GetMetric(), MetricPoint{static_cast<double>(n[0]) / scale,
                                                                    static_cast<double>(n[1]) / scale,
                                                                    static_cast<double>(n[2]) / scale}));
        }
        const CandidateGrid::FractionMatch match = grid_.NearestFraction(n, q);
        return {match.index, std::sqrt(static_cast<double>(match.squared)) / static_cast<double>(q)};
    }

    // Many targets over one denominator at once, by the rgb metric (the
    // caller checks GetMetric).
    void NearestFractions(std::span<const Numerators> targets, std::int64_t q,
                          std::span<CandidateGrid::FractionMatch> out) const {
        grid_.NearestFractions(targets, q, out);
    }

private:
    CandidateGrid grid_;
};

// The search over the entries a table of `cells` cells may choose, besides
// `excluded`; kBadSettings when every entry is left out (`colors` holds
// 1..256 colours, checked before).
inline Result<TableSearch> SearchOf(std::span<const Rgb8> colors, const SearchSettings& settings,
                                    const ReservedEntries& excluded, std::size_t cells) {
    MatchOptions options = settings.Match();
    options.reserved |= excluded;
    TableSearch search(colors, options, cells);
    if (search.Empty()) {
        return Error{"", "no entry can be chosen: every colour of the palette is reserved or fullbright",
                     ErrorKind::kBadSettings};
    }
    return search;
}

}  // namespace paltab::table_targets
