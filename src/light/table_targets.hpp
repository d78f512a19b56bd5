// What the light, translucency and engine lump tables share: exact targets
// as fractions of integers, linear-light mixing, the palette check and the
// one search over the entries a table may choose.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "paltab/light_tables.hpp"
#include "paltab/nearest.hpp"

namespace paltab::table_targets {

using Numerators = std::array<std::int64_t, 3>;

inline constexpr int kPercent = 100;
inline constexpr std::int64_t kFull = 255;

// A point of the metric's space from linear light 0..1.
inline MetricPoint MetricFromLinear(Metric metric, const MetricPoint& linear) {
    switch (metric) {
        case Metric::kRgb:
            return {SrgbFromLinear(linear[0]), SrgbFromLinear(linear[1]), SrgbFromLinear(linear[2])};
        case Metric::kLinear:
            return linear;
        case Metric::kOklab:
            return OklabFromLinear(linear);
    }
    return linear;
}

inline Numerators Components(Rgb8 c) {
    return {c.r, c.g, c.b};
}

inline MetricPoint LinearOf(Rgb8 c) {
    return {LinearFromSrgb(c.r), LinearFromSrgb(c.g), LinearFromSrgb(c.b)};
}

inline bool CheckColors(std::span<const Rgb8> colors, std::string& error) {
    if (colors.empty() || colors.size() > kPaletteSize) {
        error = "a palette needs 1 to 256 colours, not " + std::to_string(colors.size());
        return false;
    }
    return true;
}

// The search over the entries a table may choose, besides `excluded`: none
// when every entry is left out (`colors` holds 1..256 colours, checked
// before).
inline std::optional<MatchPalette> SearchOf(std::span<const Rgb8> colors, const SearchSettings& settings,
                                            const ReservedEntries& excluded, std::string& error) {
    MatchOptions options = settings.Match();
    options.reserved |= excluded;
    std::string cause;
    std::optional<MatchPalette> search = MatchPalette::Create(colors, options, cause);
    if (!search) {
        error = "no entry can be chosen: every colour of the palette is reserved or fullbright";
    }
    return search;
}

}  // namespace paltab::table_targets
