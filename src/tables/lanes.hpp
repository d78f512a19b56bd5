// Eight 16-bit lanes in one 128-bit vector (GCC and Clang vector extensions):
// the unit the shade and blend builders compute cell numbers in. Every value
// they hold (5-bit components, their sums and products with a level, cell
// numbers) lies in -2^15..2^15-1, so the lanes are signed, which the 128-bit
// unit compares and takes maxima of directly.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

#include "paltab/types.hpp"

namespace paltab {

using Lanes = std::int16_t __attribute__((vector_size(16)));
inline constexpr std::size_t kLaneCount = sizeof(Lanes) / sizeof(std::int16_t);

inline Lanes Splat(int value) {
    return Lanes{} + static_cast<std::int16_t>(value);
}

static_assert(kLaneCount == 8);

// 0, 1, ... 7.
inline Lanes LaneNumbers() {
    return Lanes{0, 1, 2, 3, 4, 5, 6, 7};
}

inline Lanes LoadLanes(const std::int16_t* from) {
    Lanes v;
    std::memcpy(&v, from, sizeof v);
    return v;
}

inline void StoreLanes(std::int16_t* to, Lanes v) {
    std::memcpy(to, &v, sizeof v);
}

// All ones where a > b.
inline Lanes Greater(Lanes a, Lanes b) {
    return a > b;
}

inline Lanes Max(Lanes a, Lanes b) {
    return a > b ? a : b;
}

// The map's cell number of 5-bit components, as CellIndex.
inline Lanes CellLanes(Lanes r5, Lanes g5, Lanes b5) {
    return (r5 << (2 * kCellBits)) | (g5 << kCellBits) | b5;
}

}  // namespace paltab
