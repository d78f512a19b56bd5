// The plain full searches that every nearest-entry search must agree with:
// the first of the least squared distances, in the order the candidates
// come (the lowest index among equals).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <span>

#include "paltab/color_metric.hpp"
#include "paltab/types.hpp"

namespace paltab {

template <class T>
struct FirstNearest {
    std::size_t at = 0;  // 0, with `squared` the largest value, when there are no candidates
    T squared;
};

inline FirstNearest<double> FirstNearestPoint(std::span<const MetricPoint> points, const MetricPoint& target) {
    FirstNearest<double> found{0, std::numeric_limits<double>::infinity()};
    for (std::size_t k = 0; k < points.size(); ++k) {
        const double d = SquaredDistance(points[k], target);
        if (d < found.squared) {
            found = {k, d};
        }
    }
    return found;
}

inline std::array<std::int64_t, 3> WideComponents(Rgb8 c) {
    return {c.r, c.g, c.b};
}
inline const std::array<std::int64_t, 3>& WideComponents(const std::array<std::int64_t, 3>& c) {
    return c;
}

// The target n / q in exact integers: sum (c q - n)^2 over the components,
// at most 3 * (255 q)^2, inside 64 bits for q up to 2^31.
template <class Color>
FirstNearest<std::int64_t> FirstNearestFraction(std::span<const Color> colors, const std::array<std::int64_t, 3>& n,
                                                std::int64_t q) {
    FirstNearest<std::int64_t> found{0, std::numeric_limits<std::int64_t>::max()};
    for (std::size_t k = 0; k < colors.size(); ++k) {
        const auto& c = WideComponents(colors[k]);
        const std::int64_t d0 = c[0] * q - n[0];
        const std::int64_t d1 = c[1] * q - n[1];
        const std::int64_t d2 = c[2] * q - n[2];
        const std::int64_t d = d0 * d0 + d1 * d1 + d2 * d2;
        if (d < found.squared) {
            found = {k, d};
        }
    }
    return found;
}

}  // namespace paltab
