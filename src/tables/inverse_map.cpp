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
#include <cstring>
#include <memory>

#include "line_walk.hpp"

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

// Bit b of a line's mask stands for the cell at blue position b.
static_assert(kCellsPerAxis == 32, "a line's cells must fit one 32-bit mask");

// Each axis's share of an entry's distance: d(p) - d(home) at position p. A
// distance is the sum of three per-axis squares, so the distance of cell
// (r, g, b) is the start distance plus the three shares, exactly what the
// plain walk carries there by additions.
using AxisShares = std::array<std::int32_t, kCellsPerAxis>;

// Wins that form one block (none and all among them): what the walk claims
// whole.
constexpr bool IsOneBlock(std::uint32_t wins) {
    return (wins & (wins + (wins & (0u - wins)))) == 0;
}

// Each unit's Lines compares a line of 32 cells with an entry's candidates
// and claims its wins when they form one block (ClaimBlock), tells whether a
// line holds any win (AnyWin), writes a whole line or some cells of one
// entry (WriteLine, WriteCells), and holds a group of lines' values side by
// side (Group, Signs). A candidate wins where it is below the stored
// distance; some comparisons are written "candidate + 1 > stored", which is
// "it does not win", so that the stored values can be read straight from
// memory.

// Cells of one entry's line, bit b for cell b, one at a time: its candidates
// base + blue[b] and its index.
inline void WriteCellsOneByOne(std::int32_t* stored, std::uint8_t* map, const std::int32_t* blue, std::int32_t base,
                               std::uint8_t index, std::uint32_t cells) {
    for (; cells != 0; cells &= cells - 1) {
        const int b = std::countr_zero(cells);
        stored[b] = base + blue[b];
        map[b] = index;
    }
}

// 128 bits, four cells per step: what every x86-64 processor has.
namespace sse2 {

struct Lines {
    // Four lines' values side by side, and the sign bits of such a group.
    using Group = std::int32_t __attribute__((vector_size(16)));

    static std::uint32_t Signs(Group v) {
        return static_cast<std::uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(reinterpret_cast<__m128i>(v))));
    }

    // What a sweep compares with: the entry's blue shares and its index.
    struct Entry {
        __m128i blue[8];
        __m128i index;
    };

    static Entry Load(const std::int32_t* blue, std::uint8_t index) {
        Entry entry;
        for (std::size_t k = 0; k < 8; ++k) {
            entry.blue[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(blue + 4 * k));
        }
        entry.index = _mm_set1_epi8(static_cast<char>(index));
        return entry;
    }

    // One compared line: the candidates, the loss masks (per cell and per
    // byte of the map) and the wins as bits.
    struct Line {
        __m128i candidate[8];
        __m128i loss[8];
        __m128i lossBytes[2];
        std::uint32_t wins;
    };

    [[gnu::always_inline]] static Line Compare(const std::int32_t* stored, const Entry& entry, std::int32_t base) {
        Line line;
        const __m128i atBase = _mm_set1_epi32(base);
        const __m128i one = _mm_set1_epi32(1);
        for (std::size_t k = 0; k < 8; ++k) {
            line.candidate[k] = _mm_add_epi32(atBase, entry.blue[k]);
            line.loss[k] = _mm_cmpgt_epi32(_mm_add_epi32(line.candidate[k], one),
                                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + 4 * k)));
        }
        line.lossBytes[0] = _mm_packs_epi16(_mm_packs_epi32(line.loss[0], line.loss[1]),
                                            _mm_packs_epi32(line.loss[2], line.loss[3]));
        line.lossBytes[1] = _mm_packs_epi16(_mm_packs_epi32(line.loss[4], line.loss[5]),
                                            _mm_packs_epi32(line.loss[6], line.loss[7]));
        line.wins = ~(static_cast<std::uint32_t>(_mm_movemask_epi8(line.lossBytes[0])) |
                      (static_cast<std::uint32_t>(_mm_movemask_epi8(line.lossBytes[1])) << 16));
        return line;
    }

    [[gnu::always_inline]] static bool AnyWin(const std::int32_t* stored, const Entry& entry, std::int32_t base) {
        const __m128i above = _mm_set1_epi32(base + 1);
        __m128i loss = _mm_set1_epi32(-1);
        for (std::size_t k = 0; k < 8; ++k) {
            const __m128i candidate = _mm_add_epi32(above, entry.blue[k]);
            loss = _mm_and_si128(
                loss, _mm_cmpgt_epi32(candidate, _mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + 4 * k))));
        }
        return _mm_movemask_epi8(loss) != 0xFFFF;
    }

    // A whole line of one entry: its candidates base + blue[b] and its index.
    static void WriteLine(std::int32_t* stored, std::uint8_t* map, const std::int32_t* blue, std::int32_t base,
                          std::uint8_t index) {
        const __m128i atBase = _mm_set1_epi32(base);
        for (std::size_t k = 0; k < 8; ++k) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(stored + 4 * k),
                             _mm_add_epi32(atBase, _mm_load_si128(reinterpret_cast<const __m128i*>(blue + 4 * k))));
        }
        std::memset(map, index, kCellsPerAxis);
    }

    // Some cells of one entry's line, bit b for cell b.
    static void WriteCells(std::int32_t* stored, std::uint8_t* map, const std::int32_t* blue, std::int32_t base,
                           std::uint8_t index, std::uint32_t cells) {
        WriteCellsOneByOne(stored, map, blue, base, index, cells);
    }

    static __m128i Select(__m128i keep, __m128i old, __m128i replacement) {
        return _mm_or_si128(_mm_and_si128(keep, old), _mm_andnot_si128(keep, replacement));
    }

    // Every win of the line goes to `index`: the loss masks select.
    [[gnu::always_inline]] static void ClaimWins(const Line& line, std::int32_t* stored, std::uint8_t* map,
                                                 const Entry& entry) {
        const __m128i indices = entry.index;
        for (std::size_t k = 0; k < 8; ++k) {
            auto* group = reinterpret_cast<__m128i*>(stored + 4 * k);
            _mm_storeu_si128(group, Select(line.loss[k], _mm_loadu_si128(group), line.candidate[k]));
        }
        for (std::size_t half = 0; half < 2; ++half) {
            auto* bytes = reinterpret_cast<__m128i*>(map + 16 * half);
            _mm_storeu_si128(bytes, Select(line.lossBytes[half], _mm_loadu_si128(bytes), indices));
        }
    }

    // A line's wins; when they form one block, which is all but always,
    // they are claimed too.
    [[gnu::always_inline]] static std::uint32_t ClaimBlock(std::int32_t* stored, std::uint8_t* map, const Entry& entry,
                                                          std::int32_t base) {
        const Line line = Compare(stored, entry, base);
        const std::uint32_t wins = line.wins;
        if (IsOneBlock(wins)) {
            ClaimWins(line, stored, map, entry);
        }
        return wins;
    }
};

#include "inverse_map_walk.inc"

}  // namespace sse2

// 256 bits, eight cells per step, where the processor has AVX2. Everything in
// this namespace, the walk included, is compiled for AVX2, so that the line
// operations inline into the walk.
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,bmi"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,bmi")
#endif
namespace avx2 {

struct Lines {
    // Eight lines' values side by side, and the sign bits of such a group.
    using Group = std::int32_t __attribute__((vector_size(32)));

    static std::uint32_t Signs(Group v) {
        return static_cast<std::uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(reinterpret_cast<__m256i>(v))));
    }

    // What a sweep compares with: the entry's blue shares and its index.
    struct Entry {
        const __m256i* blue;
        std::uint8_t index;
    };

    static Entry Load(const std::int32_t* blue, std::uint8_t index) {
        return {reinterpret_cast<const __m256i*>(blue), index};
    }

    [[gnu::always_inline]] static bool AnyWin(const std::int32_t* stored, const Entry& entry, std::int32_t base) {
        const __m256i above = _mm256_set1_epi32(base + 1);
        __m256i loss = _mm256_set1_epi32(-1);
        for (std::size_t k = 0; k < 4; ++k) {
            const __m256i candidate = _mm256_add_epi32(above, _mm256_load_si256(entry.blue + k));
            loss = _mm256_and_si256(
                loss,
                _mm256_cmpgt_epi32(candidate, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(stored + 8 * k))));
        }
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(loss)) != 0xFFFFFFFFu;
    }

    // A whole line of one entry: its candidates base + blue[b] and its index.
    static void WriteLine(std::int32_t* stored, std::uint8_t* map, const std::int32_t* blue, std::int32_t base,
                          std::uint8_t index) {
        const __m256i atBase = _mm256_set1_epi32(base);
        for (std::size_t k = 0; k < 4; ++k) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(stored + 8 * k),
                                _mm256_add_epi32(atBase, _mm256_load_si256(reinterpret_cast<const __m256i*>(blue + 8 * k))));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(map), _mm256_set1_epi8(static_cast<char>(index)));
    }

    // Some cells of one entry's line, bit b for cell b: a few one at a time,
    // more as masked vector stores.
    static void WriteCells(std::int32_t* stored, std::uint8_t* map, const std::int32_t* blue, std::int32_t base,
                           std::uint8_t index, std::uint32_t cells) {
        if (std::popcount(cells) <= 3) {
            WriteCellsOneByOne(stored, map, blue, base, index, cells);
            return;
        }
        const __m256i atBase = _mm256_set1_epi32(base);
        const __m256i laneBits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
        for (std::size_t k = 0; k < 4; ++k) {
            const __m256i selected = _mm256_cmpeq_epi32(
                _mm256_and_si256(_mm256_set1_epi32(static_cast<int>(cells >> (8 * k))), laneBits), laneBits);
            _mm256_maskstore_epi32(
                stored + 8 * k, selected,
                _mm256_add_epi32(atBase, _mm256_load_si256(reinterpret_cast<const __m256i*>(blue + 8 * k))));
        }
        // Byte b of the map takes bit b: each byte of `cells` spread over
        // eight bytes, then each of those tested against its own bit.
        const __m256i spread = _mm256_shuffle_epi8(
            _mm256_set1_epi32(static_cast<int>(cells)),
            _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
        const __m256i byteBits = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
        const __m256i selectedBytes = _mm256_cmpeq_epi8(_mm256_and_si256(spread, byteBits), byteBits);
        auto* bytes = reinterpret_cast<__m256i*>(map);
        _mm256_storeu_si256(bytes, _mm256_blendv_epi8(_mm256_loadu_si256(bytes),
                                                      _mm256_set1_epi8(static_cast<char>(index)), selectedBytes));
    }

    // A line's wins; when they form one block, which is all but always,
    // they are claimed too. Written out value by value, so that the
    // compiler keeps every vector in a register.
    [[gnu::always_inline]] static std::uint32_t ClaimBlock(std::int32_t* stored, std::uint8_t* map, const Entry& entry,
                                                          std::int32_t base) {
        const __m256i atBase = _mm256_set1_epi32(base);
        auto* cells = reinterpret_cast<__m256i*>(stored);
        const __m256i old0 = _mm256_loadu_si256(cells);
        const __m256i old1 = _mm256_loadu_si256(cells + 1);
        const __m256i old2 = _mm256_loadu_si256(cells + 2);
        const __m256i old3 = _mm256_loadu_si256(cells + 3);
        const __m256i min0 = _mm256_min_epi32(_mm256_add_epi32(atBase, _mm256_load_si256(entry.blue)), old0);
        const __m256i min1 = _mm256_min_epi32(_mm256_add_epi32(atBase, _mm256_load_si256(entry.blue + 1)), old1);
        const __m256i min2 = _mm256_min_epi32(_mm256_add_epi32(atBase, _mm256_load_si256(entry.blue + 2)), old2);
        const __m256i min3 = _mm256_min_epi32(_mm256_add_epi32(atBase, _mm256_load_si256(entry.blue + 3)), old3);
        // A cell loses where the smaller value is the stored one. The packs
        // interleave the two 128-bit halves; the permutation puts the groups
        // of four cells back in blue order.
        const __m256i packed = _mm256_packs_epi16(
            _mm256_packs_epi32(_mm256_cmpeq_epi32(min0, old0), _mm256_cmpeq_epi32(min1, old1)),
            _mm256_packs_epi32(_mm256_cmpeq_epi32(min2, old2), _mm256_cmpeq_epi32(min3, old3)));
        const __m256i lossBytes = _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        const std::uint32_t wins = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(lossBytes));
        if (IsOneBlock(wins)) {
            _mm256_storeu_si256(cells, min0);
            _mm256_storeu_si256(cells + 1, min1);
            _mm256_storeu_si256(cells + 2, min2);
            _mm256_storeu_si256(cells + 3, min3);
            auto* bytes = reinterpret_cast<__m256i*>(map);
            _mm256_storeu_si256(bytes, _mm256_blendv_epi8(_mm256_set1_epi8(static_cast<char>(entry.index)),
                                                          _mm256_loadu_si256(bytes), lossBytes));
        }
        return wins;
    }
};

#include "inverse_map_walk.inc"

}  // namespace avx2
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif

bool HasAvx2() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
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
                                ? avx2::BuildVector(colorCount, palette, distances, map, options.weightedDistance)
                                : sse2::BuildVector(colorCount, palette, distances, map, options.weightedDistance);
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
