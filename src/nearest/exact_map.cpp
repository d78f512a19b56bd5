// Exact nearest entries: the full search for one colour, and the whole-cube
// map by recursive subdivision with distance bounds.
//
// The map starts with the whole cube and every selectable entry as
// candidates. A block's candidates are narrowed for each of its eight
// octants (NarrowToBox), with the box that holds the octant's cell points in
// the metric's space (MetricBoxOf): an entry dropped is farther than another
// from every cell of the octant, so it wins none of them. An octant left
// with one candidate is filled with it; a small one is searched cell by cell
// over its few candidates with the distance a full search computes, so the
// result is the full search's, ties included.
//
// Maps of 7 and 8 bits are built by two threads.
#include "paltab/exact_map.hpp"
#include "nearest/box_pruning.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <system_error>
#include <thread>

namespace paltab {
namespace {

// The points of linear and oklab lie within a few units of 1, so their
// distances' rounding is far below this; a difference of distances must
// exceed it to count.
constexpr double kFloatMargin = 1e-9;

// Cell points and distances for the rgb metric: whole numbers, in floats
// because every value the pruning computes lies below 2^24 in magnitude
// (3 * 255 * 510 at most), which float holds exactly, and float vector
// arithmetic is fast.
struct RgbSpace {
    using Point = std::array<float, 3>;
    using Distance = float;
    // Blocks of this many cells across, or fewer, are searched cell by cell.
    static constexpr Metric metric = Metric::kRgb;
    static constexpr int kLeafSide = 4;
    static int LeafSide() { return kLeafSide; }

    // Whole numbers: any difference above zero counts.
    static constexpr Distance kMargin = 0;

    static Point CellPoint(Rgb8 c) { return {static_cast<float>(c.r), static_cast<float>(c.g), static_cast<float>(c.b)}; }
};

// Cell points and distances for linear and oklab: the values ToMetricPoint
// gives.
struct FloatSpace {
    using Point = MetricPoint;
    using Distance = double;

    static constexpr Distance kMargin = kFloatMargin;

    Metric metric;

    // Each cell searched costs a conversion, dearer for oklab than the
    // pruning of smaller blocks.
    int LeafSide() const { return metric == Metric::kOklab ? 2 : 4; }
    Point CellPoint(Rgb8 c) const { return ToMetricPoint(metric, c); }
    static Distance Between(const Point& a, const Point& b) { return SquaredDistance(a, b); }
};

template <class Space>
class MapBuilder {
public:
    using Point = typename Space::Point;
    using Distance = typename Space::Distance;
    // A block's candidates: palette entries in index order.
    using List = CandidateList<Distance>;
    using Corner = std::array<int, 3>;

    MapBuilder(const Space& space, const MatchPalette& palette, int bits, std::vector<std::uint8_t>& cells)
        : space_(space), palette_(palette), bits_(bits), cells_(cells) {}

    // Fills the cells of the block of `side` cells across at `k0`.
    void Run(const Corner& k0, int side) {
        List& all = levels_[0];
        all.count = palette_.Entries().size();
        for (std::size_t i = 0; i < all.count; ++i) {
            all.id[i] = palette_.Entries()[i];
            const Point p = space_.CellPoint(palette_.Colors()[i]);
            for (std::size_t axis = 0; axis < 3; ++axis) {
                all.point[axis][i] = p[axis];
            }
        }
        Visit(k0, side, 0);
    }

private:
    std::uint8_t CellComponent(int k) const { return CellGeometry{bits_}.Centre(k); }

    std::size_t CellNumber(int r, int g, int b) const { return CellGeometry{bits_}.Number(r, g, b); }

    // The block's candidates are levels_[depth].
    void Visit(const Corner& k0, int side, std::size_t depth) {
        const List& in = levels_[depth];
        if (in.count == 1) {
            Fill(k0, side, in.id[0]);
            return;
        }
        if (side <= space_.LeafSide()) {
            SearchCells(k0, side, in);
            return;
        }
        const int half = side / 2;
        List& out = levels_[depth + 1];
        for (int octant = 0; octant < 8; ++octant) {
            const Corner k{k0[0] + (octant >> 2 & 1) * half, k0[1] + (octant >> 1 & 1) * half,
                           k0[2] + (octant & 1) * half};
            Narrow(BoxOf(k, half), in, out);
            Visit(k, half, depth + 1);
        }
    }

    void Narrow(const MetricBox& box, const List& in, List& out) {
        Point lo{};
        Point hi{};
        for (std::size_t axis = 0; axis < 3; ++axis) {
            lo[axis] = static_cast<Distance>(box.lo[axis]);
            hi[axis] = static_cast<Distance>(box.hi[axis]);
        }
        NarrowToBox(lo, hi, Space::kMargin, in, out);
    }

    MetricBox BoxOf(const Corner& k, int side) const {
        const Rgb8 lo{CellComponent(k[0]), CellComponent(k[1]), CellComponent(k[2])};
        const Rgb8 hi{CellComponent(k[0] + side - 1), CellComponent(k[1] + side - 1), CellComponent(k[2] + side - 1)};
        return MetricBoxOf(space_.metric, lo, hi);
    }

    void Fill(const Corner& k0, int side, std::uint8_t entry) {
        for (int r = k0[0]; r < k0[0] + side; ++r) {
            for (int g = k0[1]; g < k0[1] + side; ++g) {
                std::memset(cells_.data() + CellNumber(r, g, k0[2]), entry, static_cast<std::size_t>(side));
            }
        }
    }

    void SearchCells(const Corner& k0, int side, const List& in) {
        if constexpr (std::is_same_v<Space, RgbSpace>) {
            SearchCellsRgb(k0, side, in);
        } else {
            for (int r = k0[0]; r < k0[0] + side; ++r) {
                for (int g = k0[1]; g < k0[1] + side; ++g) {
                    for (int b = k0[2]; b < k0[2] + side; ++b) {
                        const Point cell = space_.CellPoint({CellComponent(r), CellComponent(g), CellComponent(b)});
                        std::size_t best = 0;
                        Distance bestDistance = std::numeric_limits<Distance>::infinity();
                        for (std::size_t i = 0; i < in.count; ++i) {
                            const Distance d = Space::Between(cell, {in.point[0][i], in.point[1][i], in.point[2][i]});
                            best = d < bestDistance ? i : best;
                            bestDistance = std::min(d, bestDistance);
                        }
                        cells_[CellNumber(r, g, b)] = in.id[best];
                    }
                }
            }
        }
    }

    // Candidate by candidate over the whole block, each cell keeping the
    // least key distance * 256 + i: the nearest candidate, and among equals
    // the first, which has the lowest index. 3 * 255^2 * 256 fits in 32 bits.
    void SearchCellsRgb(const Corner& k0, int side, const List& in) {
        constexpr auto kSide = static_cast<std::size_t>(Space::kLeafSide);
        std::array<std::int32_t, kSide * kSide * kSide> best;
        best.fill(std::numeric_limits<std::int32_t>::max());
        const auto n = static_cast<std::size_t>(side);
        std::array<std::array<std::int32_t, kSide>, 3> square;
        for (std::size_t i = 0; i < in.count; ++i) {
            for (std::size_t axis = 0; axis < 3; ++axis) {
                for (std::size_t j = 0; j < n; ++j) {
                    const int d = CellComponent(k0[axis] + static_cast<int>(j)) - static_cast<int>(in.point[axis][i]);
                    square[axis][j] = d * d * 256;
                }
            }
            for (std::size_t r = 0; r < n; ++r) {
                for (std::size_t g = 0; g < n; ++g) {
                    const std::int32_t base = square[0][r] + square[1][g] + static_cast<std::int32_t>(i);
                    std::int32_t* row = best.data() + (r * n + g) * n;
                    for (std::size_t b = 0; b < n; ++b) {
                        row[b] = std::min(row[b], base + square[2][b]);
                    }
                }
            }
        }
        for (std::size_t r = 0; r < n; ++r) {
            for (std::size_t g = 0; g < n; ++g) {
                std::uint8_t* out = cells_.data() + CellNumber(k0[0] + static_cast<int>(r), k0[1] + static_cast<int>(g), k0[2]);
                for (std::size_t b = 0; b < n; ++b) {
                    out[b] = in.id[static_cast<std::size_t>(best[(r * n + g) * n + b] & 0xff)];
                }
            }
        }
    }

    const Space& space_;
    const MatchPalette& palette_;
    int bits_;
    std::vector<std::uint8_t>& cells_;
    // One list per depth: the cube of 256 cells across halves down to
    // the leaf side, eight times at most.
    std::array<List, 9> levels_;
};

// Maps this fine are built by two threads, each filling four of the cube's
// octants (the other half of blue each; the octants share no cell). A
// coarser map takes about a millisecond, not worth a thread's start.
constexpr int kThreadedBits = 7;

template <class Space>
void BuildCells(const Space& space, const MatchPalette& palette, int bits, std::vector<std::uint8_t>& cells) {
    if (bits < kThreadedBits) {
        MapBuilder<Space>(space, palette, bits, cells).Run({0, 0, 0}, 1 << bits);
        return;
    }
    constexpr int kThreads = 2;
    std::array<std::unique_ptr<MapBuilder<Space>>, kThreads> builders;
    for (auto& builder : builders) {
        builder = std::make_unique<MapBuilder<Space>>(space, palette, bits, cells);
    }
    const int half = 1 << (bits - 1);
    const auto fill = [&](int first) {
        for (int octant = first; octant < 8; octant += kThreads) {
            builders[static_cast<std::size_t>(first)]->Run(
                {(octant >> 2 & 1) * half, (octant >> 1 & 1) * half, (octant & 1) * half}, half);
        }
    };
    // What either thread throws (std::bad_alloc) reaches the caller once
    // both are done; out of a thread it would end the process.
    std::exception_ptr helperFailed;
    const auto fillCaught = [&](int first, std::exception_ptr& failed) {
        try {
            fill(first);
        } catch (...) {
            failed = std::current_exception();
        }
    };
    // Without a second thread the caller fills all eight.
    std::thread helper;
    try {
        helper = std::thread(fillCaught, 1, std::ref(helperFailed));
    } catch (const std::system_error&) {
        fillCaught(1, helperFailed);
    } catch (const std::bad_alloc&) {
        fillCaught(1, helperFailed);
    }
    std::exception_ptr failed;
    fillCaught(0, failed);
    if (helper.joinable()) {
        helper.join();
    }
    if (failed || helperFailed) {
        std::rethrow_exception(failed ? failed : helperFailed);
    }
}

}  // namespace

Status ExactColorMap::CheckBits(int bits) {
    if (bits < kMinBits || bits > kMaxBits) {
        return Error{"",
                     "the map has " + std::to_string(bits) + " bits per component; it takes " +
                         std::to_string(kMinBits) + " to " + std::to_string(kMaxBits),
                     ErrorKind::kBadSettings};
    }
    return {};
}

Result<ExactColorMap> ExactColorMap::Build(std::span<const Rgb8> palette, int bits, const MatchOptions& options) {
    if (Status checked = CheckBits(bits); !checked) {
        return std::move(checked).error();
    }
    const Result<MatchPalette> match = MatchPalette::Create(palette, options);
    if (!match) {
        return match.error();
    }
    try {
        return Build(*match, bits);
    } catch (const std::bad_alloc&) {
        return Error{"", "out of memory for a map of " + std::to_string(CellCount(bits)) + " cells",
                     ErrorKind::kTooLarge};
    }
}

Result<ExactColorMap> ExactColorMap::Build(const MatchPalette& palette, int bits) {
    if (Status checked = CheckBits(bits); !checked) {
        return std::move(checked).error();
    }
    std::vector<std::uint8_t> cells(CellCount(bits));
    if (palette.GetMetric() == Metric::kRgb) {
        BuildCells(RgbSpace{}, palette, bits, cells);
    } else {
        BuildCells(FloatSpace{palette.GetMetric()}, palette, bits, cells);
    }
    return ExactColorMap(bits, std::move(cells));
}


EntryFinder EntryFinder::FromMap(std::span<const std::uint8_t> cells, int bits) {
    EntryFinder finder;
    finder.cells_ = cells;
    finder.bits_ = bits;
    return finder;
}

EntryFinder EntryFinder::FromSearch(const MatchPalette& palette) {
    EntryFinder finder;
    finder.search_ = &palette;
    return finder;
}

bool ExactMapPays(std::size_t pixels, const MatchPalette& palette) {
    const int costBits = palette.GetMetric() == Metric::kRgb ? 25 : palette.GetMetric() == Metric::kLinear ? 26 : 28;
    return static_cast<double>(pixels) * static_cast<double>(palette.Entries().size()) >= std::ldexp(1.0, costBits);
}

}  // namespace paltab
