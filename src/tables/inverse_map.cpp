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

#include "map_walk.hpp"

namespace paltab {
namespace {

using map_walk::EntryStart;
using map_walk::Geometry;

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
bool HasAvx2() {
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
}
#endif

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
                                ? map_walk::avx2::BuildVector(colorCount, palette, distances, map, options.weightedDistance)
                                : map_walk::sse2::BuildVector(colorCount, palette, distances, map, options.weightedDistance);
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
