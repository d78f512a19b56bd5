// Colour conversions and the reserved-entry list shared by every exact search.
#include "paltab/color_metric.hpp"

#include <charconv>
#include <array>
#include <cmath>

#include "common/name_table.hpp"

namespace paltab {

namespace {

constexpr std::array kMetricNames{NamedValue<Metric>{Metric::kRgb, "rgb"}, NamedValue<Metric>{Metric::kLinear, "linear"},
                                  NamedValue<Metric>{Metric::kOklab, "oklab"}};

}  // namespace

std::string_view MetricName(Metric metric) {
    return NameIn(kMetricNames, metric, "rgb");
}

std::optional<Metric> ParseMetric(std::string_view name) {
    return ValueIn(kMetricNames, name);
}

double LinearFromSrgb(double component8) {
    const double c = component8 / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double SrgbFromLinear(double linear) {
    const double c = linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
    return c * 255.0;
}

namespace {

// Björn Ottosson's matrices, linear sRGB to LMS and LMS' (cube roots) to Lab.
// Every coefficient of the first is positive, which MetricBoxOf relies on.
using Matrix3 = std::array<std::array<double, 3>, 3>;
constexpr Matrix3 kLinearToLms{{{0.4122214708, 0.5363325363, 0.0514459929},
                                {0.2119034982, 0.6806995451, 0.1073969566},
                                {0.0883024619, 0.2817188376, 0.6299787005}}};
constexpr Matrix3 kLmsToLab{{{0.2104542553, 0.7936177850, -0.0040720468},
                             {1.9779984951, -2.4285922050, 0.4505937099},
                             {0.0259040371, 0.7827717662, -0.8086757660}}};

double Row(const std::array<double, 3>& row, const MetricPoint& v) {
    return row[0] * v[0] + row[1] * v[1] + row[2] * v[2];
}

// Rounding in the conversions is a few units in the last place of values
// near 1; a box widened by far more holds every computed point.
constexpr double kBoxSlack = 1e-12;

}  // namespace

MetricPoint OklabFromLinear(const MetricPoint& rgb) {
    const MetricPoint lms{std::cbrt(Row(kLinearToLms[0], rgb)), std::cbrt(Row(kLinearToLms[1], rgb)),
                          std::cbrt(Row(kLinearToLms[2], rgb))};
    return {Row(kLmsToLab[0], lms), Row(kLmsToLab[1], lms), Row(kLmsToLab[2], lms)};
}

MetricBox MetricBoxOf(Metric metric, Rgb8 lo, Rgb8 hi) {
    const MetricPoint low8{static_cast<double>(lo.r), static_cast<double>(lo.g), static_cast<double>(lo.b)};
    const MetricPoint high8{static_cast<double>(hi.r), static_cast<double>(hi.g), static_cast<double>(hi.b)};
    if (metric == Metric::kRgb) {
        return {low8, high8};
    }
    // The transfer function rises, so the linear box is the corners' box.
    const MetricBox linear{ToMetricPoint(Metric::kLinear, lo), ToMetricPoint(Metric::kLinear, hi)};
    if (metric == Metric::kLinear) {
        return linear;
    }
    // LMS rises with every linear component and the cube root keeps order, so
    // the LMS' box is exact; Lab mixes signs, so each bound takes the end of
    // each LMS' range that makes it least or greatest.
    MetricBox lms;
    for (std::size_t i = 0; i < 3; ++i) {
        lms.lo[i] = std::cbrt(Row(kLinearToLms[i], linear.lo));
        lms.hi[i] = std::cbrt(Row(kLinearToLms[i], linear.hi));
    }
    MetricBox lab;
    for (std::size_t j = 0; j < 3; ++j) {
        MetricPoint least;
        MetricPoint greatest;
        for (std::size_t i = 0; i < 3; ++i) {
            const bool rising = kLmsToLab[j][i] >= 0;
            least[i] = rising ? lms.lo[i] : lms.hi[i];
            greatest[i] = rising ? lms.hi[i] : lms.lo[i];
        }
        lab.lo[j] = Row(kLmsToLab[j], least) - kBoxSlack;
        lab.hi[j] = Row(kLmsToLab[j], greatest) + kBoxSlack;
    }
    return lab;
}

MetricPoint ToMetricPoint(Metric metric, const MetricPoint& srgb8) {
    if (metric == Metric::kRgb) {
        return srgb8;
    }
    const MetricPoint linear{LinearFromSrgb(srgb8[0]), LinearFromSrgb(srgb8[1]), LinearFromSrgb(srgb8[2])};
    return metric == Metric::kLinear ? linear : OklabFromLinear(linear);
}

MetricPoint ToMetricPoint(Metric metric, Rgb8 color) {
    if (metric == Metric::kRgb) {
        return {static_cast<double>(color.r), static_cast<double>(color.g), static_cast<double>(color.b)};
    }
    // The same values LinearFromSrgb gives, computed once: the exact maps
    // convert millions of colours.
    static const std::array<double, 256> kLinear = [] {
        std::array<double, 256> table{};
        for (std::size_t v = 0; v < table.size(); ++v) {
            table[v] = LinearFromSrgb(static_cast<double>(v));
        }
        return table;
    }();
    const MetricPoint linear{kLinear[color.r], kLinear[color.g], kLinear[color.b]};
    return metric == Metric::kLinear ? linear : OklabFromLinear(linear);
}

namespace {

std::string_view Trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && s.back() == ' ') {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<int> ParseIndex(std::string_view s) {
    int value = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc{} || end != s.data() + s.size() || value < 0 ||
        value >= static_cast<int>(kPaletteSize)) {
        return std::nullopt;
    }
    return value;
}

std::string BadItem(std::string_view item) {
    std::string message(item);
    message.insert(0, 1, '\'');
    message += "' is not an index 0..255 or a range like 240-255";
    return message;
}

}  // namespace

Result<ReservedEntries> ParseReservedList(std::string_view list) {
    ReservedEntries reserved;
    while (!Trim(list).empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view item = Trim(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        const std::size_t dash = item.find('-');
        const auto first = ParseIndex(Trim(item.substr(0, dash)));
        const auto last = dash == std::string_view::npos ? first : ParseIndex(Trim(item.substr(dash + 1)));
        if (!first || !last || *last < *first) {
            return Error{"", BadItem(item), ErrorKind::kBadSettings};
        }
        for (int i = *first; i <= *last; ++i) {
            reserved.set(static_cast<std::size_t>(i));
        }
    }
    return reserved;
}

}  // namespace paltab
