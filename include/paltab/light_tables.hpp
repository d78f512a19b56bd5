// Light and fog tables, and the Doom COLORMAP built on them: a row per
// light level, each entry the palette entry nearest to its colour moved
// towards the fog colour (the cells' rules in table_search.hpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "paltab/result.hpp"
#include "paltab/table_search.hpp"
#include "paltab/types.hpp"

namespace paltab {

inline constexpr int kMaxLightLevels = 256;

struct LightSettings {
    int levels = 32;  // 1..kMaxLightLevels
    Rgb8 fog{0, 0, 0};
    ReservedEntries fullbright;
    SearchSettings search;
};

// `levels` rows of 256 bytes: the byte at level * 256 + entry.
struct LightTable {
    int levels = 0;
    std::vector<std::uint8_t> bytes;
    TableStats stats;
};

// Row i (0..levels-1) maps each entry c to the entry nearest to
// c + (fog - c) * i / levels: row 0 is the palette itself (an entry maps to
// itself unless an equal colour sits at a lower index or it is reserved).
// `colors` holds 1..256 colours (kBadInput otherwise). Fails with
// kBadSettings for levels out of range or every entry reserved.
Result<LightTable> MakeLightTable(std::span<const Rgb8> colors, const LightSettings& settings);

// A Doom COLORMAP lump (34 rows, 8704 bytes): rows 0..31 the light table of
// 32 levels towards the fog colour (black in Doom), row 32 the inverted grey
// map (each entry to the entry nearest to the grey 255 - Y, with
// Y = 0.2126 R + 0.7152 G + 0.0722 B exactly, in sRGB values, also with
// linear mixing), row 33 all zero. `settings.levels` must be 32
// (kBadSettings); fails otherwise as MakeLightTable does.
inline constexpr int kDoomLightLevels = 32;
inline constexpr int kDoomColormapRows = 34;
inline constexpr std::size_t kDoomColormapSize = kDoomColormapRows * kPaletteSize;  // 8704
Result<LightTable> MakeDoomColormap(std::span<const Rgb8> colors, const LightSettings& settings);

}  // namespace paltab
