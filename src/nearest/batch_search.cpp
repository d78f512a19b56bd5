// The candidate grid's queries: a target's cell, then its candidates
// searched, eight at a time for rgb fractions; targets outside the grid go
// to the full search.
#include "nearest/batch_search.hpp"

#include <algorithm>
#include <limits>

#include "nearest/full_search.hpp"

namespace paltab {

std::size_t CandidateGrid::CellNumber(std::size_t r, std::size_t g, std::size_t b) const {
    return (r << (2 * shift_)) | (g << shift_) | b;
}

const CandidateGrid::Cell* CandidateGrid::CellOfPoint(const MetricPoint& point) const {
    std::array<std::size_t, 3> k{};
    for (std::size_t axis = 0; axis < 3; ++axis) {
        const double x = point[axis];
        // Also refuses NaN. A point within the slack below lo_ goes to the
        // first cell, whose box reaches that far.
        if (!(x >= lo_[axis] - slack_ / 2 && x <= hi_[axis] + slack_ / 2)) {
            return nullptr;
        }
        const double at = std::max((x - lo_[axis]) / width_[axis], 0.0);
        k[axis] = std::min(static_cast<std::size_t>(static_cast<std::int64_t>(at)), last_);
    }
    return &cells_[CellNumber(k[0], k[1], k[2])];
}

const CandidateGrid::Cell* CandidateGrid::CellOfFraction(const Numerators& n, std::int64_t q) const {
    if (metric_ != Metric::kRgb || q < 1 || q > kMaxDenominator) {
        return nullptr;
    }
    // Cells of the rgb grid are whole 8-bit units wide, so the cell of
    // component n / q is floor(n / (q * width)). In double precision that
    // quotient can round up to a whole number k only when it is k exactly:
    // n and q * width * side = 256 q lie below 2^31, so a quotient below k
    // lies at least 2^-31 of k below it. A quotient of k exactly may round
    // down; the target then lies on the border of cells k - 1 and k, and
    // either cell's list holds its nearest.
    const auto limit = static_cast<std::uint64_t>(255 * q);
    if (static_cast<std::uint64_t>(n[0]) > limit || static_cast<std::uint64_t>(n[1]) > limit ||
        static_cast<std::uint64_t>(n[2]) > limit) {
        return nullptr;
    }
    const double scale = 1.0 / (static_cast<double>(q) * width_[0]);
    const auto component = [&](std::size_t axis) {
        return std::min(static_cast<std::size_t>(static_cast<std::int64_t>(static_cast<double>(n[axis]) * scale)), last_);
    };
    return &cells_[(component(0) << (2 * shift_)) | (component(1) << shift_) | component(2)];
}

LaneQuery CandidateGrid::QueryOf(const Cell& cell, const Numerators& n) const {
    const auto c = static_cast<std::size_t>(&cell - cells_.data());
    return {lanes_.data() + cellLanes_[c], (cell.count + CandidateLanes::kWidth - 1) / CandidateLanes::kWidth,
            {2 * n[0], 2 * n[1], 2 * n[2]}};
}

void CandidateGrid::NearestFractions(std::span<const Numerators> targets, std::int64_t q,
                                     std::span<FractionMatch> out) const {
    if (laneSearch_ == nullptr || q < 1 || q > kMaxDenominator) {
        for (std::size_t t = 0; t < targets.size(); ++t) {
            out[t] = NearestFraction(targets[t], q);
        }
        return;
    }
    // As CellOfFraction, with its divisions made once.
    const double scale = 1.0 / (static_cast<double>(q) * width_[0]);
    const auto limit = static_cast<std::uint64_t>(255 * q);
    const auto component = [&](std::int64_t v) {
        return std::min(static_cast<std::size_t>(static_cast<std::int64_t>(static_cast<double>(v) * scale)), last_);
    };
    constexpr std::size_t kBatch = 64;
    std::array<LaneQuery, kBatch> queries;
    std::array<LaneMatch, kBatch> matches;
    for (std::size_t first = 0; first < targets.size(); first += kBatch) {
        const std::size_t count = std::min(kBatch, targets.size() - first);
        // Targets outside the grid (none in the tables) go to the full search,
        // their queries given the first cell's list and their matches replaced.
        bool outside = false;
        for (std::size_t t = 0; t < count; ++t) {
            const Numerators& n = targets[first + t];
            const bool in = static_cast<std::uint64_t>(n[0]) <= limit && static_cast<std::uint64_t>(n[1]) <= limit &&
                            static_cast<std::uint64_t>(n[2]) <= limit;
            outside = outside || !in;
            const Cell& cell = in ? cells_[(component(n[0]) << (2 * shift_)) | (component(n[1]) << shift_) |
                                           component(n[2])]
                                  : cells_[0];
            queries[t] = QueryOf(cell, in ? n : Numerators{});
        }
        (q <= kLaneMaxDenominator ? laneSearch_ : wideSearch_)(queries.data(), count, q, matches.data());
        for (std::size_t t = 0; t < count; ++t) {
            const Numerators& n = targets[first + t];
            out[first + t] = {indices_[static_cast<std::size_t>(matches[t].position)],
                              matches[t].key * q + n[0] * n[0] + n[1] * n[1] + n[2] * n[2]};
        }
        for (std::size_t t = 0; t < count && outside; ++t) {
            const Numerators& n = targets[first + t];
            if (static_cast<std::uint64_t>(n[0]) > limit || static_cast<std::uint64_t>(n[1]) > limit ||
                static_cast<std::uint64_t>(n[2]) > limit) {
                out[first + t] = FullSearchFraction(n, q);
            }
        }
    }
}

CandidateGrid::FractionMatch CandidateGrid::NearestFraction(const Numerators& n, std::int64_t q) const {
    // A target with even numerators over an even denominator, such as the
    // grey row's (in ten-thousandths of even sums), is the same target over
    // half of it: a smaller key that may fit the 32-bit lanes; its squared
    // distance is a quarter.
    if (q > kLaneMaxDenominator && q / 2 <= kLaneMaxDenominator && q % 2 == 0 && n[0] % 2 == 0 && n[1] % 2 == 0 &&
        n[2] % 2 == 0) {
        const FractionMatch half = NearestFraction({n[0] / 2, n[1] / 2, n[2] / 2}, q / 2);
        return {half.index, half.squared * 4};
    }
    const Cell* cell = CellOfFraction(n, q);
    if (cell == nullptr) {
        return FullSearchFraction(n, q);
    }
    // sum (e q - n)^2 = q (q |e|^2 - 2 e.n) + |n|^2: the key in brackets
    // orders the candidates as the distance does, with fewer products.
    const std::int64_t nn = n[0] * n[0] + n[1] * n[1] + n[2] * n[2];
    if (laneSearch_ != nullptr) {
        const LaneQuery query = QueryOf(*cell, n);
        LaneMatch match;
        (q <= kLaneMaxDenominator ? laneSearch_ : wideSearch_)(&query, 1, q, &match);
        return {indices_[static_cast<std::size_t>(match.position)], match.key * q + nn};
    }
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    std::size_t at = 0;
    const std::uint8_t* position = positions_.data() + cell->begin;
    for (std::uint32_t i = 0; i < cell->count; ++i) {
        const std::size_t e = position[i];
        const std::int64_t key = q * norms_[e] - 2 * (rgb_[e][0] * n[0] + rgb_[e][1] * n[1] + rgb_[e][2] * n[2]);
        // Without a branch: which candidate wins is not predictable.
        at = key < best ? e : at;
        best = std::min(key, best);
    }
    return {indices_[at], best * q + nn};
}

CandidateGrid::PointMatch CandidateGrid::NearestPoint(const MetricPoint& point) const {
    const Cell* cell = CellOfPoint(point);
    if (cell == nullptr) {
        return FullSearchPoint(point);
    }
    double best = std::numeric_limits<double>::infinity();
    std::size_t at = 0;
    const std::uint8_t* position = positions_.data() + cell->begin;
    for (std::uint32_t i = 0; i < cell->count; ++i) {
        const std::size_t e = position[i];
        const double d = SquaredDistance(points_[e], point);
        at = d < best ? e : at;
        best = d < best ? d : best;
    }
    return {indices_[at], best};
}

CandidateGrid::FractionMatch CandidateGrid::FullSearchFraction(const Numerators& n, std::int64_t q) const {
    const FirstNearest<std::int64_t> found = FirstNearestFraction(std::span<const Numerators>(rgb_), n, q);
    return {indices_.empty() ? std::uint8_t{0} : indices_[found.at], found.squared};
}

CandidateGrid::PointMatch CandidateGrid::FullSearchPoint(const MetricPoint& point) const {
    const FirstNearest<double> found = FirstNearestPoint(points_, point);
    return {indices_.empty() ? std::uint8_t{0} : indices_[found.at], found.squared};
}

std::size_t CandidateGrid::LongestList() const {
    std::size_t longest = 0;
    for (const Cell& cell : cells_) {
        longest = std::max<std::size_t>(longest, cell.count);
    }
    return longest;
}

}  // namespace paltab
