// What the units of the C interface share: the opaque palette, the reading
// of a C caller's enums and flags, the checks of table settings, and the
// guard that turns every exception into a status.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <optional>
#include <span>
#include <vector>

#include "paltab/color_tables.hpp"
#include "paltab/exact_map.hpp"
#include "paltab/light_tables.hpp"
#include "paltab/paltab.h"
#include "paltab/translucency_tables.hpp"

// The opaque palette: what it was created from, and its prepared search.
struct paltab_palette {
    std::vector<paltab::Rgb8> colors;
    paltab::Metric metric;
    paltab::ReservedEntries reserved;  // none at or past colors.size()
    paltab::MatchPalette match;
};

namespace paltab::c_api {

using paltab::Rgb8;

inline constexpr int kMaxCount = static_cast<int>(paltab::kPaletteSize);
inline constexpr unsigned kKnownFlags = PALTAB_WEIGHTED_DISTANCE | PALTAB_WITH_EXTENSION;

// The value a C caller passed for an enum, read as the int it is: a C
// caller may pass any int, which C++ need not hold in the enum's range.
template <typename Enum>
int RawValue(const Enum& value) {
    static_assert(sizeof(Enum) == sizeof(int));
    int raw = 0;
    std::memcpy(&raw, &value, sizeof raw);
    return raw;
}

// Runs `body`, turning whatever it throws into a status.
template <typename Body>
paltab_status Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return PALTAB_ERROR_OUT_OF_MEMORY;
    } catch (...) {
        return PALTAB_ERROR_INTERNAL;
    }
}

inline std::vector<Rgb8> ToColors(const paltab_rgb* colors, int count) {
    std::vector<Rgb8> out(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = {colors[i].r, colors[i].g, colors[i].b};
    }
    return out;
}

// 256 caller flags (NULL: none) as entries below `count`.
inline paltab::ReservedEntries ToEntries(const std::uint8_t* flags, std::size_t count) {
    paltab::ReservedEntries entries;
    for (std::size_t i = 0; flags != nullptr && i < count; ++i) {
        entries.set(i, flags[i] != 0);
    }
    return entries;
}

inline std::optional<paltab::Metric> ToMetric(int metric) {
    switch (metric) {
        case PALTAB_METRIC_RGB:
            return paltab::Metric::kRgb;
        case PALTAB_METRIC_LINEAR:
            return paltab::Metric::kLinear;
        case PALTAB_METRIC_OKLAB:
            return paltab::Metric::kOklab;
    }
    return std::nullopt;
}

inline std::optional<paltab::BlendMode> ToBlendMode(int mode) {
    using paltab::BlendMode;
    switch (mode) {
        case PALTAB_BLEND_ALPHA:
            return BlendMode::kAlpha;
        case PALTAB_BLEND_ADD:
            return BlendMode::kAdd;
        case PALTAB_BLEND_SUBTRACT:
            return BlendMode::kSubtract;
        case PALTAB_BLEND_MULTIPLY:
            return BlendMode::kMultiply;
        case PALTAB_BLEND_SCREEN:
            return BlendMode::kScreen;
        case PALTAB_BLEND_MIN:
            return BlendMode::kMin;
        case PALTAB_BLEND_MAX:
            return BlendMode::kMax;
        case PALTAB_BLEND_AVERAGE:
            return BlendMode::kAverage;
    }
    return std::nullopt;
}

inline paltab::SearchSettings SearchOf(const paltab_palette& palette) {
    paltab::SearchSettings search;
    search.metric = palette.metric;
    search.reserved = palette.reserved;
    return search;
}

inline paltab_status CopyOut(std::span<const std::uint8_t> table, std::uint8_t* out) {
    std::memcpy(out, table.data(), table.size());
    return PALTAB_OK;
}

inline bool ValidLight(int levels) {
    return levels >= 1 && levels <= paltab::kMaxLightLevels;
}

inline bool ValidBlend(int mode, int alpha) {
    return ToBlendMode(mode) && (mode != PALTAB_BLEND_ALPHA || (alpha >= 0 && alpha <= 100));
}

inline bool ValidMapBits(int bits) {
    return bits >= paltab::ExactColorMap::kMinBits && bits <= paltab::ExactColorMap::kMaxBits;
}

}  // namespace paltab::c_api
