// How near two colours are: the distances the exact maps, the image remapper
// and the light and translucency tables choose palette entries by.
//
//   rgb     squared difference of the 8-bit components, in integers
//   linear  squared difference in linear light (the sRGB transfer function of
//           IEC 61966-2-1), each component 0..1
//   oklab   squared Euclidean distance in Oklab, computed from linear sRGB
//
// The floating-point metrics are computed in double precision from one
// conversion per colour, so the same two colours always give the same
// distance. Comparisons use the squared distance; among entries at exactly the
// same distance the lowest index is chosen, as everywhere in this toolkit.
#pragma once

#include <array>
#include <bitset>
#include <optional>
#include <string>
#include <string_view>

#include "paltab/result.hpp"
#include "paltab/types.hpp"

namespace paltab {

enum class Metric { kRgb, kLinear, kOklab };

// "rgb", "linear", "oklab".
std::string_view MetricName(Metric metric);
std::optional<Metric> ParseMetric(std::string_view name);

// A colour in the space a metric compares in: 8-bit units for rgb, linear
// light 0..1 for linear, Oklab (L 0..1) for oklab.
using MetricPoint = std::array<double, 3>;

// An 8-bit sRGB component in linear light, 0..1.
double LinearFromSrgb(double component8);
// Linear light 0..1 back to the 8-bit sRGB scale (not rounded).
double SrgbFromLinear(double linear);
MetricPoint OklabFromLinear(const MetricPoint& linear);

// The point of an sRGB colour whose components may be fractional (a mix of
// two palette colours), in 8-bit units.
MetricPoint ToMetricPoint(Metric metric, const MetricPoint& srgb8);
MetricPoint ToMetricPoint(Metric metric, Rgb8 color);

constexpr double SquaredDistance(const MetricPoint& a, const MetricPoint& b) {
    const double d0 = a[0] - b[0];
    const double d1 = a[1] - b[1];
    const double d2 = a[2] - b[2];
    return d0 * d0 + d1 * d1 + d2 * d2;
}

// Per-component bounds of a set of points in a metric's space.
struct MetricBox {
    MetricPoint lo;
    MetricPoint hi;
};

// A box in the metric's space that holds the point (ToMetricPoint) of every
// colour whose components lie between those of `lo` and `hi`, inclusive, as
// computed in double precision: the exact searches prune entries with it.
// For rgb and linear it is the box of the two corners; for oklab, which does
// not keep the order of any one component, a larger box by interval
// arithmetic through the conversion, widened for rounding.
MetricBox MetricBoxOf(Metric metric, Rgb8 lo, Rgb8 hi);

// Palette entries that are never chosen (a transparent index, fullbrights,
// colour-cycling ranges).
using ReservedEntries = std::bitset<kPaletteSize>;

// "0,240-255" -> entries 0 and 240 to 255. Spaces around items are allowed;
// an empty list reserves nothing. Fails with kBadSettings on a malformed
// item or a number outside 0..255 ("'300' is not an index 0..255 or a range
// like 240-255").
Result<ReservedEntries> ParseReservedList(std::string_view list);

}  // namespace paltab
