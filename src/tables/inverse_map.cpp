// Inverse colour map by an incremental scan: each entry walks outward from its
// home cell plane by plane (red), line by line (green) and cell by cell (blue),
// and stops walking an axis at the first line or plane where it no longer wins
// anything. The plain walk tests one cell at a time, carrying squared distances
// by additions only; the vector walk takes the same steps but compares a whole
// line of 32 cells at once and reads the walk's decisions off the bit mask.
#include "paltab/inverse_map.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>

#if defined(__x86_64__) || defined(__SSE2__)
#include <immintrin.h>
#define PALTAB_X86_VECTOR 1
#endif

namespace paltab {
namespace {

// Sizes of a cube with n bits per component, all derived from n.
struct Geometry {
    explicit constexpr Geometry(int n)
        : cellsPerAxis(1 << n),
          maxPosition(cellsPerAxis - 1),
          cellWidth(1 << (8 - n)),
          halfWidth(cellWidth / 2),
          secondDifference(2 * cellWidth * cellWidth),
          lineStride(cellsPerAxis),
          planeStride(cellsPerAxis * cellsPerAxis),
          cellCount(planeStride * cellsPerAxis),
          shift(8 - n) {}

    int cellsPerAxis;
    int maxPosition;
    int cellWidth;         // x: 8-bit values covered by one cell
    int halfWidth;         // x / 2: centre of a cell from its low edge
    int secondDifference;  // 2 x^2: how much the step grows per position
    int lineStride;
    int planeStride;
    int cellCount;
    int shift;             // 8-bit value to cell position
};

// Where an entry's walk starts: its components, its home cell and its
// distance there.
struct EntryStart {
    EntryStart(const Geometry& geo, PaletteEntry entry, bool weightedDistance)
        : value{Low8(entry.r), Low8(entry.g), Low8(entry.b)},
          home{value[0] >> geo.shift, value[1] >> geo.shift, value[2] >> geo.shift} {
        const int dr = value[0] - (home[0] * geo.cellWidth + geo.halfWidth);
        const int dg = value[1] - (home[1] * geo.cellWidth + geo.halfWidth);
        const int db = value[2] - (home[2] * geo.cellWidth + geo.halfWidth);
        // The weighting changes only where an entry starts; the walks stay
        // unweighted, so it lowers the entry's distance to every cell alike.
        distance = weightedDistance ? db * db + (dr * dr) / 9 + (dg * dg) / 36 : dr * dr + dg * dg + db * db;
    }

    std::array<int, 3> value;  // red, green, blue: 0..255
    std::array<int, 3> home;   // cell positions
    int distance = 0;
};

// One position along an axis: the cell number, the candidate distance there
// (signed; compared unsigned against the buffer) and nothing else. Steps are
// kept beside it because their meaning depends on the pass.
struct Cursor {
    int cell = 0;
    int distance = 0;
};

// The state the three passes share for the whole build. Steps are always
// t(p) = d(p + 1) - d(p) at the position they belong to.
template <bool CountTests>
class Scan {
public:
    Scan(const Geometry& geometry, DistanceBuffer& distances, InverseColorMap& map)
        : geo_(geometry), distances_(distances), map_(map) {}

    void ScanEntry(int index, PaletteEntry entry, bool weightedDistance) {
        const EntryStart start(geo_, entry, weightedDistance);
        index_ = static_cast<std::uint8_t>(index);
        homeR_ = start.home[0];
        homeG_ = start.home[1];
        homeB_ = start.home[2];
        startDistance_ = start.distance;
        homeStepR_ = HomeStep(homeR_, start.value[0]);
        homeStepG_ = HomeStep(homeG_, start.value[1]);
        homeStepB_ = HomeStep(homeB_, start.value[2]);
        homeCell_ = homeR_ * geo_.planeStride + homeG_ * geo_.lineStride + homeB_;
        ScanPlanes();
    }

    std::uint64_t cellTests() const { return cellTests_; }

private:
    // 2 ((h + 1) x^2 - v x): distance growth from home position h one up.
    int HomeStep(int home, int value) const {
        return 2 * ((home + 1) * geo_.cellWidth * geo_.cellWidth - value * geo_.cellWidth);
    }

    // Candidate distance beats the cell's current owner (strictly).
    bool Wins(int cell, int distance) {
        if constexpr (CountTests) {
            ++cellTests_;
        }
        return static_cast<std::uint32_t>(distance) < distances_[static_cast<std::size_t>(cell)];
    }

    void Claim(int cell, int distance) {
        distances_[static_cast<std::size_t>(cell)] = static_cast<std::uint32_t>(distance);
        map_[static_cast<std::size_t>(cell)] = index_;
    }

    // Red axis. Always starts at the home plane; the downward walk begins
    // again from the home values, wherever the upward one left the cursor.
    void ScanPlanes() {
        bool found = false;

        plane_ = {homeCell_, startDistance_};
        int step = homeStepR_;
        for (int r = homeR_; r <= geo_.maxPosition; ++r) {
            if (ScanLines(r == homeR_)) {
                found = true;
            } else if (found) {
                break;
            }
            plane_.cell += geo_.planeStride;
            plane_.distance += step;
            step += geo_.secondDifference;
        }

        step = homeStepR_ - geo_.secondDifference;
        plane_ = {homeCell_ - geo_.planeStride, startDistance_ - step};
        for (int r = homeR_ - 1; r >= 0; --r) {
            if (ScanLines(r == homeR_ - 1)) {
                found = true;
            } else if (found) {
                break;
            }
            step -= geo_.secondDifference;
            plane_.distance -= step;
            plane_.cell -= geo_.planeStride;
        }
    }

    // Green axis within the current plane. The start line moves to the first
    // line that wins and carries over to the next plane; moving it moves the
    // plane cursor too.
    bool ScanLines(bool restart) {
        if (restart) {
            startLine_ = homeG_;
            startLineStep_ = homeStepG_;
        }
        bool found = false;

        const int upFrom = startLine_;
        line_ = anchor_ = plane_;
        int step = startLineStep_;
        for (int g = upFrom; g <= geo_.maxPosition; ++g) {
            const bool won = ScanCells(g == upFrom);
            if (won && !found) {
                if (g > startLine_) {
                    MoveStartLine(g, step);
                }
                found = true;
            } else if (!won && found) {
                break;
            }
            line_.cell += geo_.lineStride;
            anchor_.cell += geo_.lineStride;
            line_.distance += step;
            anchor_.distance += step;
            step += geo_.secondDifference;
        }

        const int downFrom = startLine_ - 1;
        step = startLineStep_ - geo_.secondDifference;
        line_ = anchor_ = {plane_.cell - geo_.lineStride, plane_.distance - step};
        for (int g = downFrom; g >= 0; --g) {
            const bool won = ScanCells(g == downFrom);
            if (won && !found) {
                MoveStartLine(g, step);
                found = true;
            } else if (!won && found) {
                break;
            }
            step -= geo_.secondDifference;
            line_.cell -= geo_.lineStride;
            anchor_.cell -= geo_.lineStride;
            line_.distance -= step;
            anchor_.distance -= step;
        }
        return found;
    }

    void MoveStartLine(int g, int step) {
        startLine_ = g;
        startLineStep_ = step;
        plane_ = anchor_;
    }

    // Blue axis within the current line; the only pass that writes. The
    // start cell moves to the first cell that wins and carries over to the
    // next line; moving it moves the line cursor too.
    bool ScanCells(bool restart) {
        if (restart) {
            startCell_ = homeB_;
            startCellStep_ = homeStepB_;
        }
        bool found = false;

        int b = startCell_;
        int cell = line_.cell;
        int distance = line_.distance;
        int step = startCellStep_;
        for (; b <= geo_.maxPosition; ++b) {
            if (Wins(cell, distance)) {
                if (b > startCell_) {
                    MoveStartCell(b, cell, distance, step);
                }
                found = true;
                break;
            }
            distance += step;
            step += geo_.secondDifference;
            ++cell;
        }
        for (; b <= geo_.maxPosition && Wins(cell, distance); ++b) {
            Claim(cell, distance);
            distance += step;
            step += geo_.secondDifference;
            ++cell;
        }

        b = startCell_ - 1;
        cell = line_.cell - 1;
        step = startCellStep_ - geo_.secondDifference;
        distance = line_.distance - step;
        if (!found) {
            for (; b >= 0; --b) {
                if (Wins(cell, distance)) {
                    MoveStartCell(b, cell, distance, step);
                    found = true;
                    break;
                }
                step -= geo_.secondDifference;
                distance -= step;
                --cell;
            }
        }
        for (; b >= 0 && Wins(cell, distance); --b) {
            Claim(cell, distance);
            step -= geo_.secondDifference;
            distance -= step;
            --cell;
        }
        return found;
    }

    void MoveStartCell(int b, int cell, int distance, int step) {
        startCell_ = b;
        startCellStep_ = step;
        line_ = {cell, distance};
    }

    const Geometry& geo_;
    DistanceBuffer& distances_;
    InverseColorMap& map_;
    std::uint64_t cellTests_ = 0;

    // The entry being scanned.
    std::uint8_t index_ = 0;
    int homeR_ = 0, homeG_ = 0, homeB_ = 0;
    int homeCell_ = 0;
    int startDistance_ = 0;
    int homeStepR_ = 0, homeStepG_ = 0, homeStepB_ = 0;

    // Carried between calls of the passes.
    int startLine_ = 0;
    int startLineStep_ = 0;
    int startCell_ = 0;
    int startCellStep_ = 0;
    Cursor plane_;   // (current plane, start line, home blue)
    Cursor line_;    // (current plane, current line, start cell)
    Cursor anchor_;  // (current plane, current line, home blue)
};

template <bool CountTests>
std::uint64_t BuildWith(const Geometry& geometry, int colorCount, const Palette& palette,
                        DistanceBuffer& distances, InverseColorMap& map, bool weightedDistance) {
    std::fill_n(distances.begin(), geometry.cellCount, 0xFFFFFFFFu);
    Scan<CountTests> scan(geometry, distances, map);
    for (int i = 0; i < colorCount; ++i) {
        const PaletteEntry entry = palette[static_cast<std::size_t>(i)];
        if (!IsSkippedByMap(entry)) {
            scan.ScanEntry(i, entry, weightedDistance);
        }
    }
    return scan.cellTests();
}

#ifdef PALTAB_X86_VECTOR

// The vector walk keeps stored distances as signed 32-bit values: every
// candidate lies in 0..2^31-1, and an unclaimed cell holds kUnclaimed, which
// every candidate beats, as 0xFFFFFFFF does in the unsigned comparison.
inline constexpr std::int32_t kUnclaimed = 0x7FFFFFFF;

// A line is compared as "candidate + 1 > stored", which is "the candidate does
// not win": that form lets the stored values be read straight from memory.
// Bit b of a loss mask stands for the cell at blue position b.
static_assert(kCellsPerAxis == 32, "a line's wins must fit one 32-bit mask");

// 128 bits, four cells per step: what every x86-64 processor has.
struct Sse2Lines {
    static std::uint32_t LossMask(const std::int32_t* stored, const std::int32_t* offsets, std::int32_t base) {
        const __m128i above = _mm_set1_epi32(base + 1);
        __m128i loss[8];
        for (std::size_t k = 0; k < 8; ++k) {
            const __m128i candidate =
                _mm_add_epi32(above, _mm_load_si128(reinterpret_cast<const __m128i*>(offsets + 4 * k)));
            loss[k] = _mm_cmpgt_epi32(candidate, _mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + 4 * k)));
        }
        const __m128i low = _mm_packs_epi16(_mm_packs_epi32(loss[0], loss[1]), _mm_packs_epi32(loss[2], loss[3]));
        const __m128i high = _mm_packs_epi16(_mm_packs_epi32(loss[4], loss[5]), _mm_packs_epi32(loss[6], loss[7]));
        return static_cast<std::uint32_t>(_mm_movemask_epi8(low)) |
               (static_cast<std::uint32_t>(_mm_movemask_epi8(high)) << 16);
    }

    // Whether the line at `stored` holds a win, without building the mask.
    static bool AnyWin(const std::int32_t* stored, const std::int32_t* offsets, std::int32_t base) {
        const __m128i above = _mm_set1_epi32(base + 1);
        __m128i loss = _mm_set1_epi32(-1);
        for (std::size_t k = 0; k < 8; ++k) {
            const __m128i candidate =
                _mm_add_epi32(above, _mm_load_si128(reinterpret_cast<const __m128i*>(offsets + 4 * k)));
            loss = _mm_and_si128(
                loss, _mm_cmpgt_epi32(candidate, _mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + 4 * k))));
        }
        return _mm_movemask_epi8(loss) != 0xFFFF;
    }
};

// 256 bits, eight cells per step, where the processor has AVX2.
struct Avx2Lines {
    [[gnu::target("avx2")]] static std::uint32_t LossMask(const std::int32_t* stored, const std::int32_t* offsets,
                                                          std::int32_t base) {
        const __m256i above = _mm256_set1_epi32(base + 1);
        __m256i loss[4];
        for (std::size_t k = 0; k < 4; ++k) {
            const __m256i candidate =
                _mm256_add_epi32(above, _mm256_load_si256(reinterpret_cast<const __m256i*>(offsets + 8 * k)));
            loss[k] =
                _mm256_cmpgt_epi32(candidate, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(stored + 8 * k)));
        }
        // The packs interleave the two 128-bit halves; the permutation puts
        // the four-cell groups back in blue order.
        const __m256i packed = _mm256_packs_epi16(_mm256_packs_epi32(loss[0], loss[1]), _mm256_packs_epi32(loss[2], loss[3]));
        const __m256i ordered = _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(ordered));
    }

    [[gnu::target("avx2")]] static bool AnyWin(const std::int32_t* stored, const std::int32_t* offsets,
                                               std::int32_t base) {
        const __m256i above = _mm256_set1_epi32(base + 1);
        __m256i loss = _mm256_set1_epi32(-1);
        for (std::size_t k = 0; k < 4; ++k) {
            const __m256i candidate =
                _mm256_add_epi32(above, _mm256_load_si256(reinterpret_cast<const __m256i*>(offsets + 8 * k)));
            loss = _mm256_and_si256(
                loss,
                _mm256_cmpgt_epi32(candidate, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(stored + 8 * k))));
        }
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(loss)) != 0xFFFFFFFFu;
    }
};

// Each axis's share of an entry's distance: d(p) - d(home) at position p. A
// distance is the sum of three per-axis squares, so the distance of cell
// (r, g, b) is the start distance plus the three shares, exactly what the
// plain walk carries there by additions.
using AxisShares = std::array<std::int32_t, kCellsPerAxis>;

// The plain walk's steps, positions only: the same start planes, start lines
// and start cells, moved at the same moments. Lines that cannot matter to the
// walk's decisions (every line before the first win of a sweep) are only
// asked whether they hold a win.
template <class Lines>
class VectorScan {
public:
    VectorScan(DistanceBuffer& distances, InverseColorMap& map)
        : stored_(reinterpret_cast<std::int32_t*>(distances.data())), map_(map) {}

    void ScanEntry(int index, PaletteEntry entry, bool weightedDistance) {
        static const Geometry geometry(kCellBits);
        const EntryStart start(geometry, entry, weightedDistance);
        index_ = static_cast<std::uint8_t>(index);
        homeR_ = start.home[0];
        homeG_ = start.home[1];
        homeB_ = start.home[2];
        startDistance_ = start.distance;
        FillShares(red_, start.home[0], start.value[0]);
        FillShares(green_, start.home[1], start.value[1]);
        FillShares(blue_, start.home[2], start.value[2]);
        ScanPlanes();
    }

    std::uint64_t lineTests() const { return lineTests_; }

private:
    static constexpr int kAxis = static_cast<int>(kCellsPerAxis);
    static constexpr int kWidth = 1 << (8 - kCellBits);

    static void FillShares(AxisShares& shares, int home, int value) {
        auto square = [](int v) { return v * v; };
        const int atHome = square(home * kWidth + kWidth / 2 - value);
        for (int p = 0; p < kAxis; ++p) {
            shares[static_cast<std::size_t>(p)] = square(p * kWidth + kWidth / 2 - value) - atHome;
        }
    }

    void ScanPlanes() {
        bool found = false;
        for (int r = homeR_; r < kAxis; ++r) {
            if (ScanLines(r == homeR_, r)) {
                found = true;
            } else if (found) {
                break;
            }
        }
        for (int r = homeR_ - 1; r >= 0; --r) {
            if (ScanLines(r == homeR_ - 1, r)) {
                found = true;
            } else if (found) {
                break;
            }
        }
    }

    // The first line of g, g + step, ... before `end` that holds a win, or
    // `end`.
    int FirstLineWithWin(int r, int g, int end, int step) {
        for (; g != end; g += step) {
            ++lineTests_;
            if (Lines::AnyWin(stored_ + LineStart(r, g), blue_.data(), LineBase(r, g))) {
                break;
            }
        }
        return g;
    }

    bool ScanLines(bool restart, int r) {
        if (restart) {
            startLine_ = homeG_;
        }
        bool found = false;

        // Upwards. Lines without a win change nothing, so the sweep may
        // jump to the first line with one, where the start cell is still
        // the home cell, and go on while lines win.
        int g = FirstLineWithWin(r, startLine_, kAxis, 1);
        if (g < kAxis) {
            startCell_ = homeB_;
            ScanCells(r, g);
            startLine_ = g;
            found = true;
            for (++g; g < kAxis && ScanCells(r, g); ++g) {
            }
        }

        // Downwards from below the (moved) start line; the start cell begins
        // at home again.
        g = startLine_ - 1;
        startCell_ = homeB_;
        if (!found) {
            g = FirstLineWithWin(r, g, -1, -1);
            if (g < 0) {
                return false;
            }
            startLine_ = g;
            found = true;
        }
        for (; g >= 0 && ScanCells(r, g); --g) {
        }
        return found;
    }

    // One line: the walk's start cell, first win, fill in each direction and
    // early end, all read off the line's win mask.
    bool ScanCells(int r, int g) {
        ++lineTests_;
        const int lineStart = LineStart(r, g);
        const std::int32_t base = LineBase(r, g);
        const std::uint32_t wins = ~Lines::LossMask(stored_ + lineStart, blue_.data(), base);
        const int s = startCell_;

        const std::uint32_t fromStart = wins & (~0u << s);
        if (fromStart != 0) {
            // The first win at or past the start cell and the run of wins
            // from it upwards; a start cell that wins also fills downwards.
            const int first = std::countr_zero(fromStart);
            Claim(lineStart, base, first, first + std::countr_one(wins >> first));
            if (first > s) {
                startCell_ = first;
            } else if (s > 0) {
                Claim(lineStart, base, s - std::countl_one(wins << (kAxis - s)), s);
            }
            return true;
        }
        const std::uint32_t belowStart = wins & ((1u << s) - 1);
        if (belowStart == 0) {
            return false;
        }
        // The nearest win below the start cell and the run of wins from it
        // downwards.
        const int last = kAxis - 1 - std::countl_zero(belowStart);
        startCell_ = last;
        Claim(lineStart, base, last + 1 - std::countl_one(wins << (kAxis - 1 - last)), last + 1);
        return true;
    }

    // Cells [from, to) of a line go to the entry.
    void Claim(int lineStart, std::int32_t base, int from, int to) {
        for (int b = from; b < to; ++b) {
            const auto cell = static_cast<std::size_t>(lineStart + b);
            stored_[cell] = base + blue_[static_cast<std::size_t>(b)];
            map_[cell] = index_;
        }
    }

    static int LineStart(int r, int g) { return static_cast<int>(CellIndex(r, g, 0)); }
    std::int32_t LineBase(int r, int g) const {
        return startDistance_ + red_[static_cast<std::size_t>(r)] + green_[static_cast<std::size_t>(g)];
    }

    std::int32_t* stored_;
    InverseColorMap& map_;
    std::uint64_t lineTests_ = 0;

    // The entry being scanned.
    std::uint8_t index_ = 0;
    int homeR_ = 0, homeG_ = 0, homeB_ = 0;
    std::int32_t startDistance_ = 0;
    AxisShares red_{};
    AxisShares green_{};
    alignas(32) AxisShares blue_{};

    // Carried between lines and planes, as in the plain walk.
    int startLine_ = 0;
    int startCell_ = 0;
};

template <class Lines>
std::uint64_t BuildVector(int colorCount, const Palette& palette, DistanceBuffer& distances, InverseColorMap& map,
                          bool weightedDistance) {
    distances.fill(static_cast<std::uint32_t>(kUnclaimed));
    VectorScan<Lines> scan(distances, map);
    bool anyScanned = false;
    for (int i = 0; i < colorCount; ++i) {
        const PaletteEntry entry = palette[static_cast<std::size_t>(i)];
        if (!IsSkippedByMap(entry)) {
            scan.ScanEntry(i, entry, weightedDistance);
            anyScanned = true;
        }
    }
    // The first entry walked claims every cell; with none, the buffer reads
    // as the plain walk leaves it.
    if (!anyScanned) {
        distances.fill(0xFFFFFFFFu);
    }
    return scan.lineTests();
}

bool HasAvx2() {
    return __builtin_cpu_supports("avx2");
}

#endif  // PALTAB_X86_VECTOR

}  // namespace

bool BuildInverseColorMap(int colorCount, const Palette& palette, DistanceBuffer& distances, InverseColorMap& map,
                          const InverseMapOptions& options, InverseMapStats* stats) {
    if (options.bitsPerComponent < 1 || options.bitsPerComponent > kCellBits) {
        return false;
    }
    const Geometry geometry(options.bitsPerComponent);
    colorCount = std::clamp(colorCount, 0, static_cast<int>(kPaletteSize));
    InverseMapStats counted;
#ifdef PALTAB_X86_VECTOR
    if (options.path != BuildPath::kPlain && options.bitsPerComponent == kCellBits) {
        counted.lineTests = options.path == BuildPath::kVector && HasAvx2()
                                ? BuildVector<Avx2Lines>(colorCount, palette, distances, map, options.weightedDistance)
                                : BuildVector<Sse2Lines>(colorCount, palette, distances, map, options.weightedDistance);
        if (stats != nullptr) {
            *stats = counted;
        }
        return true;
    }
#endif
    if (stats != nullptr) {
        counted.cellTests = BuildWith<true>(geometry, colorCount, palette, distances, map, options.weightedDistance);
        *stats = counted;
    } else {
        BuildWith<false>(geometry, colorCount, palette, distances, map, options.weightedDistance);
    }
    return true;
}

}  // namespace paltab
