// What the map's plain walk and its vector walks share: the geometry of the
// cube and where an entry's walk starts, and the entry points of the vector
// walk, one per instruction set (map_walk_sse2.cpp, map_walk_avx2.cpp), that
// inverse_map.cpp dispatches to.
#pragma once

#include <array>
#include <cstdint>

#include "paltab/types.hpp"

#if defined(__x86_64__) || defined(__SSE2__)
#define PALTAB_X86_VECTOR 1
#endif

namespace paltab::map_walk {

// Sizes of a cube with n bits per component, all derived from the cell
// geometry of n bits.
struct Geometry {
    explicit constexpr Geometry(int n)
        : cellsPerAxis(CellGeometry{n}.CellsPerAxis()),
          maxPosition(cellsPerAxis - 1),
          cellWidth(CellGeometry{n}.Width()),
          halfWidth(CellGeometry{n}.Centre(0)),
          secondDifference(2 * cellWidth * cellWidth),
          lineStride(cellsPerAxis),
          planeStride(cellsPerAxis * cellsPerAxis),
          cellCount(planeStride * cellsPerAxis),
          shift(CellGeometry{n}.Shift()) {}

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

#ifdef PALTAB_X86_VECTOR
// The vector walk of the 5-bit map: the same bytes and distances as the plain
// walk; returns the lines it compared.
namespace sse2 {
std::uint64_t BuildVector(int colorCount, const Palette& palette, DistanceBuffer& distances, InverseColorMap& map,
                          bool weightedDistance);
}
namespace avx2 {
std::uint64_t BuildVector(int colorCount, const Palette& palette, DistanceBuffer& distances, InverseColorMap& map,
                          bool weightedDistance);
}
#endif

}  // namespace paltab::map_walk
