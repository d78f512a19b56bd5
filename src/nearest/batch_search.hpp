// Exact nearest palette entries for many targets at once: a grid of
// candidate lists over the metric's space, built once per palette.
//
// Every query answers what a full search over the selectable entries gives,
// in index order, keeping the first of equal distances (the lowest index):
//   - NearestFraction: an sRGB target n / q with integer numerators and a
//     common denominator, by the rgb metric, compared exactly in integers;
//   - NearestPoint: a point of the metric's space in double precision,
//     compared by SquaredDistance as the full search computes it.
// A grid cell keeps every entry that may be nearest to some point of the
// cell: an entry is dropped only when it is farther than another one from
// every point of the cell (for the floating metrics by a margin far above
// the rounding of the distances), so a query searches its cell's few
// candidates and gets the full search's entry, ties included. A target
// outside the grid is answered by the full search itself.
//
// The grid is read-only after construction: threads may share it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "nearest/candidate_lanes.hpp"
#include "paltab/color_metric.hpp"
#include "paltab/types.hpp"

namespace paltab {

class CandidateGrid {
public:
    // The numerators of an sRGB target over a common denominator.
    using Numerators = std::array<std::int64_t, 3>;
    // Denominators above this are searched in full (the exact distances
    // would leave 64 bits); the tables use 100, 255, levels and 10000.
    static constexpr std::int64_t kMaxDenominator = std::int64_t{1} << 22;

    struct FractionMatch {
        std::uint8_t index = 0;
        std::int64_t squared = 0;  // sum (e * q - n)^2 over the components
    };
    struct PointMatch {
        std::uint8_t index = 0;
        double squared = 0.0;  // SquaredDistance in the metric's space
    };

    // `colors` is the palette; entries flagged in `excluded` and those that
    // repeat the colour of a lower selectable entry are never answered. At
    // least one entry must remain (callers check; with none every query
    // answers entry 0). `queries` is about how many targets will be asked:
    // a finer grid pays for itself only over many.
    CandidateGrid(std::span<const Rgb8> colors, Metric metric, const ReservedEntries& excluded,
                  std::size_t queries);

    Metric GetMetric() const { return metric_; }
    bool Empty() const { return indices_.empty(); }

    // n / q with 0 <= n <= 255 q, 1 <= q <= kMaxDenominator; by the rgb
    // metric whatever the grid's metric. Other targets take the full search.
    FractionMatch NearestFraction(const Numerators& n, std::int64_t q) const;
    PointMatch NearestPoint(const MetricPoint& point) const;
    // out[i] = NearestFraction(targets[i], q) for every target, with the
    // work of each call shared across them.
    void NearestFractions(std::span<const Numerators> targets, std::int64_t q, std::span<FractionMatch> out) const;

    // The plain full searches over every selectable entry: the reference the
    // grid must agree with.
    FractionMatch FullSearchFraction(const Numerators& n, std::int64_t q) const;
    PointMatch FullSearchPoint(const MetricPoint& point) const;

    // Cells per axis, and the longest candidate list (for tests and tuning).
    int Side() const { return side_; }
    std::size_t LongestList() const;

    // A grid cell's candidates: positions_[begin, begin + count).
    struct Cell {
        std::uint32_t begin = 0;
        std::uint32_t count = 0;
    };

private:
    const Cell* CellOfPoint(const MetricPoint& point) const;
    const Cell* CellOfFraction(const Numerators& n, std::int64_t q) const;
    std::size_t CellNumber(std::size_t r, std::size_t g, std::size_t b) const;
    void BuildLanes();
    LaneQuery QueryOf(const Cell& cell, const Numerators& n) const;

    Metric metric_;
    int side_ = 1;
    std::size_t shift_ = 0;  // log2 of side_
    std::size_t last_ = 0;   // side_ - 1
    // The space the grid covers, per axis: lo_ + k * width_ for k = 0..side_.
    MetricPoint lo_{};
    MetricPoint hi_{};
    MetricPoint width_{};
    // How far each floating cell's box reaches past its ends (0 for rgb,
    // whose cells have whole-number ends).
    double slack_ = 0.0;

    // Selectable entries, lowest index first, by position.
    std::vector<std::uint8_t> indices_;
    std::vector<MetricPoint> points_;
    std::vector<std::array<std::int64_t, 3>> rgb_;
    std::vector<std::int64_t> norms_;  // |e|^2 of the 8-bit colour

    std::vector<Cell> cells_;
    std::vector<std::uint8_t> positions_;  // candidate positions, each cell's in index order
    // For rgb, each cell's candidates also eight side by side, from
    // lanes_[cellLanes_[cell]], for the vector search of NearestFraction.
    std::vector<CandidateLanes> lanes_;
    std::vector<std::uint32_t> cellLanes_;
    LaneSearch laneSearch_ = nullptr;
    LaneSearch wideSearch_ = nullptr;
};

}  // namespace paltab
