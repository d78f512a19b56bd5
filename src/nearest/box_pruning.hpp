// The pruning step of the exact map and the candidate grid: of a box's
// candidates, keep those that may be nearest to some point of the box.
//
// Take f, the candidate nearest the box's centre. For any other candidate e,
// |e - x|^2 - |f - x|^2 = sum (e - f)(e + f - 2x) is linear in x, so its
// least value over the box is found axis by axis at the box's ends. Above
// the margin, e is farther than f from every point of the box and is
// dropped; ties are kept, and the survivors stay in order.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "paltab/types.hpp"

namespace paltab {

// Candidates of a box, by component so that the loops over them vectorise.
// `id` is what the caller follows them by: a palette entry or a position.
template <class T>
struct CandidateList {
    std::size_t count = 0;
    std::array<std::uint8_t, kPaletteSize> id;
    std::array<std::array<T, kPaletteSize>, 3> point;
};

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

// Keeps in `out` the candidates of `in` (at least one) that may be nearest
// to some point of the box lo..hi: all but those whose least difference
// over the box is above `margin`.
template <class T>
void NarrowToBox(const std::array<T, 3>& lo, const std::array<T, 3>& hi, T margin, const CandidateList<T>& in,
                 CandidateList<T>& out) {
    std::array<T, 3> centre;
    for (std::size_t axis = 0; axis < 3; ++axis) {
        centre[axis] = (lo[axis] + hi[axis]) / 2;
    }
    const std::size_t n = in.count;
    std::array<T, kPaletteSize> work;
    for (std::size_t i = 0; i < n; ++i) {
        const T d0 = in.point[0][i] - centre[0];
        const T d1 = in.point[1][i] - centre[1];
        const T d2 = in.point[2][i] - centre[2];
        work[i] = d0 * d0 + d1 * d1 + d2 * d2;
    }
    const std::size_t central = FirstLeast(work, n);
    const std::array<T, 3> f{in.point[0][central], in.point[1][central], in.point[2][central]};
    for (std::size_t i = 0; i < n; ++i) {
        T sum = 0;
        for (std::size_t axis = 0; axis < 3; ++axis) {
            const T e = in.point[axis][i];
            const T slope = e - f[axis];
            const T twice = e + f[axis];
            sum += std::min(slope * (twice - 2 * lo[axis]), slope * (twice - 2 * hi[axis]));
        }
        work[i] = sum;
    }
    // Written whether kept or not, counted only when kept: no branch.
    std::size_t count = 0;
    for (std::size_t i = 0; i < n; ++i) {
        out.id[count] = in.id[i];
        out.point[0][count] = in.point[0][i];
        out.point[1][count] = in.point[1][i];
        out.point[2][count] = in.point[2][i];
        count += work[i] > margin ? 0 : 1;
    }
    out.count = count;
}

}  // namespace paltab
