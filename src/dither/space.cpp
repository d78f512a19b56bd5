// The dither spaces: 8-bit sRGB, linear light and Oklab, and the way back
// to the 8-bit colour a lookup is asked for.
#include "dither/space.hpp"

#include <algorithm>
#include <cmath>

#include "paltab/color_metric.hpp"

namespace paltab::dither {
namespace {

using Matrix3 = std::array<std::array<double, 3>, 3>;

// Björn Ottosson's Oklab, back: Lab to LMS' (cube roots), LMS to linear
// sRGB. The way there is OklabFromLinear's.
constexpr Matrix3 kLabToLms{
    {{1.0, 0.3963377774, 0.2158037573}, {1.0, -0.1055613458, -0.0638541728}, {1.0, -0.0894841775, -1.2914855480}}};
constexpr Matrix3 kLmsToLinear{{{4.0767416621, -3.3077115913, 0.2309699292},
                                {-1.2684380046, 2.6097574011, -0.3413193965},
                                {-0.0041960863, -0.7034186147, 1.7076147010}}};

Point Apply(const Matrix3& m, const Point& v) {
    Point out{};
    for (std::size_t i = 0; i < 3; ++i) {
        out[i] = m[i][0] * v[0] + m[i][1] * v[1] + m[i][2] * v[2];
    }
    return out;
}

Point ClampEach(const Point& p, double hi) {
    return {std::clamp(p[0], 0.0, hi), std::clamp(p[1], 0.0, hi), std::clamp(p[2], 0.0, hi)};
}

}  // namespace

Point OklabOf(const Point& linear) {
    return OklabFromLinear(linear);
}

Point LinearOfOklab(const Point& lab) {
    const Point lms = Apply(kLabToLms, lab);
    return Apply(kLmsToLinear, {lms[0] * lms[0] * lms[0], lms[1] * lms[1] * lms[1], lms[2] * lms[2] * lms[2]});
}

Space::Space(DitherSpace space) : kind_(space) {
    for (std::size_t v = 0; v < linear_.size(); ++v) {
        linear_[v] = LinearFromSrgb(static_cast<double>(v));
    }
    for (std::size_t v = 0; v < linearBounds_.size(); ++v) {
        linearBounds_[v] = LinearFromSrgb(static_cast<double>(v) + 0.5);
    }
    for (std::size_t k = 0; k < fineCount_.size(); ++k) {
        const double at = static_cast<double>(k) / kFineSteps;
        fineCount_[k] = static_cast<std::uint8_t>(std::upper_bound(linearBounds_.begin(), linearBounds_.end(), at) -
                                                  linearBounds_.begin());
    }
}

Point Space::Of(Rgb8 color) const {
    if (kind_ == DitherSpace::kSrgb) {
        return {static_cast<double>(color.r), static_cast<double>(color.g), static_cast<double>(color.b)};
    }
    const Point linear{linear_[color.r], linear_[color.g], linear_[color.b]};
    return kind_ == DitherSpace::kLinear ? linear : OklabOf(linear);
}

Point Space::Clamped(const Point& p) const {
    switch (kind_) {
        case DitherSpace::kSrgb:
            return ClampEach(p, 255.0);
        case DitherSpace::kLinear:
            return ClampEach(p, 1.0);
        case DitherSpace::kOklab: {
            // Out of the cube only when some linear component is; then the
            // clamped linear colour's point.
            const Point linear = LinearOfOklab(p);
            const Point clamped = ClampEach(linear, 1.0);
            return clamped == linear ? p : OklabOf(clamped);
        }
    }
    return p;
}

Rgb8 Space::Rounded(const Point& clamped) const {
    switch (kind_) {
        case DitherSpace::kSrgb: {
            // Halves round up, as std::lround does for these non-negative values.
            const auto nearest = [](double v) { return static_cast<std::uint8_t>(v + 0.5); };
            return {nearest(clamped[0]), nearest(clamped[1]), nearest(clamped[2])};
        }
        case DitherSpace::kLinear:
            return {Srgb8OfLinear(clamped[0]), Srgb8OfLinear(clamped[1]), Srgb8OfLinear(clamped[2])};
        case DitherSpace::kOklab: {
            const Point linear = LinearOfOklab(clamped);
            return {Srgb8OfLinear(linear[0]), Srgb8OfLinear(linear[1]), Srgb8OfLinear(linear[2])};
        }
    }
    return {};
}

double Space::SpreadUnit() const {
    return kind_ == DitherSpace::kSrgb ? 1.0 : 1.0 / 255.0;
}

}  // namespace paltab::dither
