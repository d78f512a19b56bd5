// The candidate grid: recursive halving of the metric's space down to the
// grid's cells, each half keeping the candidates of its parent that may still
// be nearest somewhere in it.
//
// Pruning. Take f, the candidate nearest the centre of a box. For any other
// candidate e, |e - x|^2 - |f - x|^2 = sum (e - f)(e + f - 2x) is linear in
// x, so its least value over the box is found axis by axis at the box's ends.
// Above the margin, e is farther than f from every point of the box and is
// dropped. For rgb the entries and the box ends are whole numbers, so every
// value is an exact integer in double precision. A box with few candidates
// left is not halved further: its cells share its list.
#include "nearest/batch_search.hpp"
#include "nearest/first_least.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

namespace paltab {
namespace {

// The floating points lie within a few units of 1, so the rounding of their
// distances is far below this; rgb distances (up to 3 * 255^2) round at
// 1e-10 at most when a target is fractional.
constexpr double kFloatMargin = 1e-9;
constexpr double kRgbMargin = 1e-6;
// Widens every floating box far beyond the rounding of its ends.
constexpr double kFloatSlack = 1e-9;

// Halving stops at this many candidates: a smaller list costs a query less
// than the narrowing of eight boxes costs the build.
constexpr std::size_t kSmallList = 4;
constexpr int kMaxDepth = 5;

// Candidates of one box, by component so that the loops over them
// vectorise. T is float for rgb, whose values here are whole numbers below
// 2^24 and so exact, and double for the floating metrics.
template <class T>
struct List {
    std::size_t count = 0;
    std::array<std::uint8_t, kPaletteSize> position;
    std::array<std::array<T, kPaletteSize>, 3> point;
};

// Cells per axis for about `queries` targets: each halving multiplies the
// boxes to narrow by eight, worth it while a cell has about 16 targets.
constexpr std::size_t kTargetsPerCell = 64;
int DepthFor(std::size_t queries) {
    int depth = 2;
    while (depth < kMaxDepth && (std::size_t{1} << (3 * (depth + 1))) * kTargetsPerCell <= queries) {
        ++depth;
    }
    return depth;
}

using Cell = CandidateGrid::Cell;

template <class T>
class GridBuilder {
public:
    GridBuilder(std::span<const MetricPoint> points, int depth, const MetricPoint& lo, const MetricPoint& width,
                double margin, double slack, std::vector<Cell>& cells, std::vector<std::uint8_t>& positions)
        : depth_(depth), margin_(static_cast<T>(margin)), cells_(cells), positions_(positions) {
        for (std::size_t axis = 0; axis < 3; ++axis) {
            for (int k = 0; k <= (1 << depth); ++k) {
                const double at = lo[axis] + width[axis] * k;
                lows_[axis][static_cast<std::size_t>(k)] = static_cast<T>(at - slack);
                highs_[axis][static_cast<std::size_t>(k)] = static_cast<T>(at + slack);
            }
        }
        List<T>& all = levels_[0];
        all.count = points.size();
        for (std::size_t i = 0; i < all.count; ++i) {
            all.position[i] = static_cast<std::uint8_t>(i);
            for (std::size_t axis = 0; axis < 3; ++axis) {
                all.point[axis][i] = static_cast<T>(points[i][axis]);
            }
        }
    }

    void Run() { Visit({0, 0, 0}, 1 << depth_, 0); }

private:
    using Corner = std::array<int, 3>;

    void Visit(const Corner& k0, int side, std::size_t depth) {
        const List<T>& in = levels_[depth];
        if (side == 1 || in.count <= kSmallList) {
            Store(k0, side, in);
            return;
        }
        const int half = side / 2;
        List<T>& out = levels_[depth + 1];
        for (int octant = 0; octant < 8; ++octant) {
            const Corner k{k0[0] + (octant >> 2 & 1) * half, k0[1] + (octant >> 1 & 1) * half,
                           k0[2] + (octant & 1) * half};
            Narrow(k, half, in, out);
            Visit(k, half, depth + 1);
        }
    }

    // The list once, shared by every cell of the block.
    void Store(const Corner& k0, int side, const List<T>& in) {
        const Cell cell{static_cast<std::uint32_t>(positions_.size()), static_cast<std::uint32_t>(in.count)};
        positions_.insert(positions_.end(), in.position.begin(),
                          in.position.begin() + static_cast<std::ptrdiff_t>(in.count));
        const auto n = static_cast<std::size_t>(1) << depth_;
        for (int r = k0[0]; r < k0[0] + side; ++r) {
            for (int g = k0[1]; g < k0[1] + side; ++g) {
                const std::size_t row = (static_cast<std::size_t>(r) * n + static_cast<std::size_t>(g)) * n;
                std::fill_n(cells_.begin() + static_cast<std::ptrdiff_t>(row + static_cast<std::size_t>(k0[2])), side,
                            cell);
            }
        }
    }

    void Narrow(const Corner& k, int side, const List<T>& in, List<T>& out) {
        std::array<T, 3> lo;
        std::array<T, 3> hi;
        std::array<T, 3> centre;
        for (std::size_t axis = 0; axis < 3; ++axis) {
            lo[axis] = lows_[axis][static_cast<std::size_t>(k[axis])];
            hi[axis] = highs_[axis][static_cast<std::size_t>(k[axis] + side)];
            centre[axis] = (lo[axis] + hi[axis]) / 2;
        }
        const std::size_t n = in.count;
        for (std::size_t i = 0; i < n; ++i) {
            const T d0 = in.point[0][i] - centre[0];
            const T d1 = in.point[1][i] - centre[1];
            const T d2 = in.point[2][i] - centre[2];
            work_[i] = d0 * d0 + d1 * d1 + d2 * d2;
        }
        const std::size_t central = FirstLeast(work_, n);
        const std::array<T, 3> f{in.point[0][central], in.point[1][central], in.point[2][central]};
        // The least of |e - x|^2 - |f - x|^2 over the box, axis by axis.
        for (std::size_t i = 0; i < n; ++i) {
            T sum = 0;
            for (std::size_t axis = 0; axis < 3; ++axis) {
                const T e = in.point[axis][i];
                const T slope = e - f[axis];
                const T twice = e + f[axis];
                sum += std::min(slope * (twice - 2 * lo[axis]), slope * (twice - 2 * hi[axis]));
            }
            work_[i] = sum;
        }
        // Written whether kept or not, counted only when kept: no branch.
        std::size_t count = 0;
        for (std::size_t i = 0; i < n; ++i) {
            out.position[count] = in.position[i];
            out.point[0][count] = in.point[0][i];
            out.point[1][count] = in.point[1][i];
            out.point[2][count] = in.point[2][i];
            count += work_[i] > margin_ ? 0 : 1;
        }
        out.count = count;
    }

    int depth_;
    T margin_;
    std::vector<Cell>& cells_;
    std::vector<std::uint8_t>& positions_;
    // Box ends by cell border: lo_ + k * width_, widened by the slack.
    std::array<std::array<T, (1 << kMaxDepth) + 1>, 3> lows_{};
    std::array<std::array<T, (1 << kMaxDepth) + 1>, 3> highs_{};
    std::array<T, kPaletteSize> work_{};
    // One list per depth: the root and one per halving.
    std::array<List<T>, kMaxDepth + 1> levels_;
};

}  // namespace

CandidateGrid::CandidateGrid(std::span<const Rgb8> colors, Metric metric, const ReservedEntries& excluded,
                             std::size_t queries)
    : metric_(metric) {
    // Entries by colour, then index: the first of each colour is kept.
    std::array<std::uint32_t, kPaletteSize> byColor{};
    std::size_t selectable = 0;
    for (std::size_t i = 0; i < colors.size() && i < kPaletteSize; ++i) {
        if (!excluded.test(i)) {
            const Rgb8 c = colors[i];
            byColor[selectable++] = (std::uint32_t{c.r} << 24 | std::uint32_t{c.g} << 16 | std::uint32_t{c.b} << 8) |
                                    static_cast<std::uint32_t>(i);
        }
    }
    std::sort(byColor.begin(), byColor.begin() + static_cast<std::ptrdiff_t>(selectable));
    ReservedEntries repeats;
    for (std::size_t k = 1; k < selectable; ++k) {
        if (byColor[k] >> 8 == byColor[k - 1] >> 8) {
            repeats.set(byColor[k] & 255);
        }
    }
    for (std::size_t i = 0; i < colors.size() && i < kPaletteSize; ++i) {
        if (excluded.test(i) || repeats.test(i)) {
            continue;
        }
        indices_.push_back(static_cast<std::uint8_t>(i));
        points_.push_back(ToMetricPoint(metric, colors[i]));
        const std::array<std::int64_t, 3> c{colors[i].r, colors[i].g, colors[i].b};
        rgb_.push_back(c);
        norms_.push_back(c[0] * c[0] + c[1] * c[1] + c[2] * c[2]);
    }
    if (indices_.empty()) {
        return;
    }
    const int depth = DepthFor(queries);
    side_ = 1 << depth;
    shift_ = static_cast<std::size_t>(depth);
    last_ = static_cast<std::size_t>(side_ - 1);
    MetricBox box{{0, 0, 0}, {kPaletteSize, kPaletteSize, kPaletteSize}};
    double margin = kRgbMargin;
    if (metric != Metric::kRgb) {
        box = MetricBoxOf(metric, Rgb8{0, 0, 0}, Rgb8{255, 255, 255});
        margin = kFloatMargin;
        slack_ = kFloatSlack;
    }
    lo_ = box.lo;
    hi_ = box.hi;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        width_[axis] = (box.hi[axis] - box.lo[axis]) / side_;
    }
    cells_.resize(std::size_t{1} << (3 * depth));
    positions_.reserve(cells_.size() * 2);
    if (metric == Metric::kRgb) {
        std::make_unique<GridBuilder<float>>(points_, depth, lo_, width_, margin, slack_, cells_, positions_)->Run();
        BuildLanes();
    } else {
        std::make_unique<GridBuilder<double>>(points_, depth, lo_, width_, margin, slack_, cells_, positions_)->Run();
    }
}

void CandidateGrid::BuildLanes() {
    constexpr std::size_t kWidth = CandidateLanes::kWidth;
    constexpr auto kNone = std::numeric_limits<std::uint32_t>::max();
    // Cells of one block share a list (the same begin): its groups once.
    std::vector<std::uint32_t> groupOfBegin(positions_.size() + 1, kNone);
    cellLanes_.resize(cells_.size());
    lanes_.reserve(positions_.size() / kWidth + cells_.size());
    for (std::size_t c = 0; c < cells_.size(); ++c) {
        const Cell& cell = cells_[c];
        std::uint32_t& first = groupOfBegin[cell.begin];
        if (first == kNone) {
            first = static_cast<std::uint32_t>(lanes_.size());
            const std::size_t groups = (cell.count + kWidth - 1) / kWidth;
            for (std::size_t k = 0; k < groups * kWidth; ++k) {
                // The last candidate fills the last group's spare lanes.
                const std::size_t e = positions_[cell.begin + std::min<std::size_t>(k, cell.count - 1)];
                if (k % kWidth == 0) {
                    lanes_.emplace_back();
                }
                CandidateLanes& group = lanes_.back();
                group.r[k % kWidth] = static_cast<std::int32_t>(rgb_[e][0]);
                group.g[k % kWidth] = static_cast<std::int32_t>(rgb_[e][1]);
                group.b[k % kWidth] = static_cast<std::int32_t>(rgb_[e][2]);
                group.norm[k % kWidth] = static_cast<std::int32_t>(norms_[e]);
                group.position[k % kWidth] = static_cast<std::int32_t>(e);
            }
        }
        cellLanes_[c] = first;
    }
    laneSearch_ = ChooseLaneSearch(false);
    wideSearch_ = ChooseLaneSearch(true);
}

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
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    std::size_t at = 0;
    for (std::size_t e = 0; e < rgb_.size(); ++e) {
        const std::int64_t d0 = rgb_[e][0] * q - n[0];
        const std::int64_t d1 = rgb_[e][1] * q - n[1];
        const std::int64_t d2 = rgb_[e][2] * q - n[2];
        const std::int64_t d = d0 * d0 + d1 * d1 + d2 * d2;
        if (d < best) {
            best = d;
            at = e;
        }
    }
    return {indices_.empty() ? std::uint8_t{0} : indices_[at], best};
}

CandidateGrid::PointMatch CandidateGrid::FullSearchPoint(const MetricPoint& point) const {
    double best = std::numeric_limits<double>::infinity();
    std::size_t at = 0;
    for (std::size_t e = 0; e < points_.size(); ++e) {
        const double d = SquaredDistance(points_[e], point);
        if (d < best) {
            best = d;
            at = e;
        }
    }
    return {indices_.empty() ? std::uint8_t{0} : indices_[at], best};
}

std::size_t CandidateGrid::LongestList() const {
    std::size_t longest = 0;
    for (const Cell& cell : cells_) {
        longest = std::max<std::size_t>(longest, cell.count);
    }
    return longest;
}

}  // namespace paltab
