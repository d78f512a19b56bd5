// The inverse colour map: for every 5:5:5 cell, the palette entry nearest to
// the cell's centre, found by an incremental scan outward from each entry.
#pragma once

#include <cstdint>

#include "paltab/types.hpp"

namespace paltab {

struct InverseMapOptions {
    // Lowers each entry's starting distance by a bonus that depends on how
    // far its red and green lie from the centre of its home cell (option -c).
    bool weightedDistance = false;
    // Resolution of the cube; only kCellBits fills the whole map.
    int bitsPerComponent = kCellBits;
    // The walk is the same on every path; the vector paths decide a whole
    // line of cells per step. Coarser cubes always take the plain path.
    BuildPath path = BuildPath::kVector;
};

// What one build did, for tests and benchmarks: the plain path counts its
// cell tests (one unsigned comparison each), the vector paths the lines they
// compare whole (a plane found to hold no win counts its 32 lines).
struct InverseMapStats {
    std::uint64_t cellTests = 0;
    std::uint64_t lineTests = 0;
};

// Builds `map` from entries 0..colorCount-1 of `palette` (colorCount is
// clamped to 0..256), using `distances` as working storage.
//
// Entries are taken in index order; each claims the cells to which it is
// strictly nearer than every entry before it, so ties go to the lower index.
// The scan of an entry ends at the first line or plane without a win after
// one with a win, which leaves a few cells of thin slanted regions with a
// farther entry: that is part of the result, not an error.
//
// The map is not cleared first: with no used entry it keeps what it held.
// Returns false, touching nothing, when bitsPerComponent is outside 1..5
// (a finer cube does not fit the fixed-size tables).
[[nodiscard]] bool BuildInverseColorMap(int colorCount, const Palette& palette, DistanceBuffer& distances,
                                        InverseColorMap& map, const InverseMapOptions& options = {},
                                        InverseMapStats* stats = nullptr);

}  // namespace paltab
