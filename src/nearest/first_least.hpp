// The first least of a run of distances, shared by the full searches of the
// exact map and the candidate grid.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>

#include "paltab/types.hpp"

namespace paltab {

// The position of the first least of values[0..n), n >= 1: four running
// minimums side by side, then a search for the first equal value.
template <class T>
std::size_t FirstLeast(const std::array<T, kPaletteSize>& values, std::size_t n) {
    std::array<T, 4> least;
    least.fill(std::numeric_limits<T>::max());
    const std::size_t whole = n / 4 * 4;
    for (std::size_t i = 0; i < whole; i += 4) {
        for (std::size_t j = 0; j < 4; ++j) {
            least[j] = std::min(least[j], values[i + j]);
        }
    }
    for (std::size_t i = whole; i < n; ++i) {
        least[0] = std::min(least[0], values[i]);
    }
    const T m = std::min(std::min(least[0], least[1]), std::min(least[2], least[3]));
    std::size_t i = 0;
    while (values[i] != m) {
        ++i;
    }
    return i;
}

}  // namespace paltab
