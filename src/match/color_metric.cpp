// Colour conversions and the reserved-entry list shared by every exact search.
#include "paltab/color_metric.hpp"

#include <charconv>
#include <cmath>

namespace paltab {

std::string_view MetricName(Metric metric) {
    switch (metric) {
        case Metric::kRgb:
            return "rgb";
        case Metric::kLinear:
            return "linear";
        case Metric::kOklab:
            return "oklab";
    }
    return "rgb";
}

std::optional<Metric> ParseMetric(std::string_view name) {
    for (const Metric metric : {Metric::kRgb, Metric::kLinear, Metric::kOklab}) {
        if (name == MetricName(metric)) {
            return metric;
        }
    }
    return std::nullopt;
}

double LinearFromSrgb(double component8) {
    const double c = component8 / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double SrgbFromLinear(double linear) {
    const double c = linear <= 0.0031308 ? linear * 12.92 : 1.055 * std::pow(linear, 1.0 / 2.4) - 0.055;
    return c * 255.0;
}

// Björn Ottosson's matrices, linear sRGB to LMS and LMS' to Lab.
MetricPoint OklabFromLinear(const MetricPoint& rgb) {
    const double l = 0.4122214708 * rgb[0] + 0.5363325363 * rgb[1] + 0.0514459929 * rgb[2];
    const double m = 0.2119034982 * rgb[0] + 0.6806995451 * rgb[1] + 0.1073969566 * rgb[2];
    const double s = 0.0883024619 * rgb[0] + 0.2817188376 * rgb[1] + 0.6299787005 * rgb[2];
    const double l3 = std::cbrt(l);
    const double m3 = std::cbrt(m);
    const double s3 = std::cbrt(s);
    return {0.2104542553 * l3 + 0.7936177850 * m3 - 0.0040720468 * s3,
            1.9779984951 * l3 - 2.4285922050 * m3 + 0.4505937099 * s3,
            0.0259040371 * l3 + 0.7827717662 * m3 - 0.8086757660 * s3};
}

MetricPoint ToMetricPoint(Metric metric, const MetricPoint& srgb8) {
    if (metric == Metric::kRgb) {
        return srgb8;
    }
    const MetricPoint linear{LinearFromSrgb(srgb8[0]), LinearFromSrgb(srgb8[1]), LinearFromSrgb(srgb8[2])};
    return metric == Metric::kLinear ? linear : OklabFromLinear(linear);
}

MetricPoint ToMetricPoint(Metric metric, Rgb8 color) {
    return ToMetricPoint(metric, MetricPoint{static_cast<double>(color.r), static_cast<double>(color.g),
                                             static_cast<double>(color.b)});
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

std::optional<ReservedEntries> ParseReservedList(std::string_view list, std::string& error) {
    ReservedEntries reserved;
    while (!Trim(list).empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view item = Trim(list.substr(0, comma));
        list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 1);
        const std::size_t dash = item.find('-');
        const auto first = ParseIndex(Trim(item.substr(0, dash)));
        const auto last = dash == std::string_view::npos ? first : ParseIndex(Trim(item.substr(dash + 1)));
        if (!first || !last || *last < *first) {
            error = BadItem(item);
            return std::nullopt;
        }
        for (int i = *first; i <= *last; ++i) {
            reserved.set(static_cast<std::size_t>(i));
        }
    }
    return reserved;
}

}  // namespace paltab
