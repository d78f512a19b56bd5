// The candidate grid's build: recursive halving of the metric's space down
// to the grid's cells, each half keeping the candidates of its parent that
// may still be nearest somewhere in it (NarrowToBox). For rgb the entries
// and the box ends are whole numbers, so every value is an exact integer in
// double precision. A box with few candidates left is not halved further:
// its cells share its list.
#include "nearest/batch_search.hpp"
#include "nearest/box_pruning.hpp"

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

// T is float for rgb, whose values here are whole numbers below 2^24 and so
// exact, and double for the floating metrics.
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
        CandidateList<T>& all = levels_[0];
        all.count = points.size();
        for (std::size_t i = 0; i < all.count; ++i) {
            all.id[i] = static_cast<std::uint8_t>(i);
            for (std::size_t axis = 0; axis < 3; ++axis) {
                all.point[axis][i] = static_cast<T>(points[i][axis]);
            }
        }
    }

    void Run() { Visit({0, 0, 0}, 1 << depth_, 0); }

private:
    using Corner = std::array<int, 3>;

    void Visit(const Corner& k0, int side, std::size_t depth) {
        const CandidateList<T>& in = levels_[depth];
        if (side == 1 || in.count <= kSmallList) {
            Store(k0, side, in);
            return;
        }
        const int half = side / 2;
        CandidateList<T>& out = levels_[depth + 1];
        for (int octant = 0; octant < 8; ++octant) {
            const Corner k{k0[0] + (octant >> 2 & 1) * half, k0[1] + (octant >> 1 & 1) * half,
                           k0[2] + (octant & 1) * half};
            Narrow(k, half, in, out);
            Visit(k, half, depth + 1);
        }
    }

    // The list once, shared by every cell of the block.
    void Store(const Corner& k0, int side, const CandidateList<T>& in) {
        const Cell cell{static_cast<std::uint32_t>(positions_.size()), static_cast<std::uint32_t>(in.count)};
        positions_.insert(positions_.end(), in.id.begin(),
                          in.id.begin() + static_cast<std::ptrdiff_t>(in.count));
        const auto n = static_cast<std::size_t>(1) << depth_;
        for (int r = k0[0]; r < k0[0] + side; ++r) {
            for (int g = k0[1]; g < k0[1] + side; ++g) {
                const std::size_t row = (static_cast<std::size_t>(r) * n + static_cast<std::size_t>(g)) * n;
                std::fill_n(cells_.begin() + static_cast<std::ptrdiff_t>(row + static_cast<std::size_t>(k0[2])), side,
                            cell);
            }
        }
    }

    void Narrow(const Corner& k, int side, const CandidateList<T>& in, CandidateList<T>& out) {
        std::array<T, 3> lo;
        std::array<T, 3> hi;
        for (std::size_t axis = 0; axis < 3; ++axis) {
            lo[axis] = lows_[axis][static_cast<std::size_t>(k[axis])];
            hi[axis] = highs_[axis][static_cast<std::size_t>(k[axis] + side)];
        }
        NarrowToBox(lo, hi, margin_, in, out);
    }

    int depth_;
    T margin_;
    std::vector<Cell>& cells_;
    std::vector<std::uint8_t>& positions_;
    // Box ends by cell border: lo_ + k * width_, widened by the slack.
    std::array<std::array<T, (1 << kMaxDepth) + 1>, 3> lows_{};
    std::array<std::array<T, (1 << kMaxDepth) + 1>, 3> highs_{};
    // One list per depth: the root and one per halving.
    std::array<CandidateList<T>, kMaxDepth + 1> levels_;
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

}  // namespace paltab
