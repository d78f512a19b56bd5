// The vector walk's prerequisites, which map_walk_vector.inc includes: the
// stored-distance convention, each axis's share of a distance, and what a
// unit's `Lines` must provide. Included at file scope, before any target
// attribute, so that everything here is compiled for the baseline.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <memory>

#include "line_walk.hpp"
#include "map_walk.hpp"

#ifdef PALTAB_X86_VECTOR
#include <immintrin.h>
#endif

namespace paltab::map_walk {

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

// The contract of a unit's Lines: it compares a line of 32 cells with an
// entry's candidates and claims its wins when they form one block
// (ClaimBlock), tells whether a line holds any win (AnyWin), writes a whole
// line or some cells of one entry (WriteLine, WriteCells), and holds a group
// of lines' values side by side (Group, Signs). A candidate wins where it is
// below the stored distance; some comparisons are written "candidate + 1 >
// stored", which is "it does not win", so that the stored values can be read
// straight from memory.

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

}  // namespace paltab::map_walk
