// Light, fog and translucency tables: every cell asks for one target colour
// and holds the palette entry nearest to it, found by a full search.
//
// Arithmetic. With the rgb metric and sRGB mixing, every target is a fraction
// n / q of integers (q = levels for a light row, 100 for alpha, 255 for
// multiply and screen, 10000 for the grey row) and the search compares
// sum (e * q - n)^2 in 64-bit integers: the target is never rounded, so a cell
// holds what a full search in exact arithmetic gives. The linear and oklab
// metrics, and every metric with linear mixing, compute the target in double
// precision from one conversion per colour (see color_metric.hpp).
//
// Choice. Among entries at the same distance the lowest index wins. Reserved
// entries and fullbright entries are never chosen; a fullbright entry keeps
// its own index in every light row and in the grey row, reserved or not.
//
// A palette of fewer than 256 colours: the entries past its count are unused.
// They are never chosen, and a table leaves them as they are: an unused
// entry's column of a light table holds its own index, and a blend cell with
// an unused operand holds the other operand (a when both are unused), as the
// generator's blend tables do.
//
// Statistics. Over the cells that were searched (not fullbright or unused
// entries' own cells): the Euclidean distance from the target to the colour
// chosen, in the metric's units: 8-bit sRGB units for rgb, linear light 0..1
// for linear, Oklab units for oklab.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paltab/color_metric.hpp"
#include "paltab/nearest.hpp"
#include "paltab/types.hpp"

namespace paltab {

// How the cells of every table choose their entries: the one search's
// options (metric, reserved entries) and where colours are mixed.
struct SearchSettings {
    Metric metric = Metric::kRgb;
    // Mix in linear light: the target is the mix of the linear components,
    // compared by `metric` (rgb compares it converted back to 8-bit sRGB).
    bool linearMix = false;
    ReservedEntries reserved;

    MatchOptions Match() const { return {metric, reserved}; }
};

using TableStats = FitStats;

// --- Light tables ---------------------------------------------------------

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
// `colors` holds 1..256 colours. On bad settings (no colours, levels out of
// range, every entry reserved) returns nothing and sets `error`.
std::optional<LightTable> MakeLightTable(std::span<const Rgb8> colors, const LightSettings& settings,
                                          std::string& error);

// A Doom COLORMAP lump (34 rows, 8704 bytes): rows 0..31 the light table of
// 32 levels towards the fog colour (black in Doom), row 32 the inverted grey
// map (each entry to the entry nearest to the grey 255 - Y, with
// Y = 0.2126 R + 0.7152 G + 0.0722 B exactly, in sRGB values, also with
// linear mixing), row 33 all zero. `settings.levels` must be 32.
inline constexpr int kDoomLightLevels = 32;
inline constexpr int kDoomColormapRows = 34;
inline constexpr std::size_t kDoomColormapSize = kDoomColormapRows * kPaletteSize;  // 8704
std::optional<LightTable> MakeDoomColormap(std::span<const Rgb8> colors, const LightSettings& settings,
                                            std::string& error);

// --- Blend tables ---------------------------------------------------------

// front is the colour drawn (the translucent colour), behind the colour
// already there; per component, on 8-bit values:
//   alpha     front * p / 100 + behind * (100 - p) / 100
//   add       min(front + behind, 255)
//   subtract  max(behind - front, 0)
//   multiply  front * behind / 255
//   screen    255 - (255 - front)(255 - behind) / 255
//   min, max  of front and behind
//   average   alpha at 50 %
// With linear mixing the same formulas act on linear light 0..1 (1 for 255).
enum class BlendMode { kAlpha, kAdd, kSubtract, kMultiply, kScreen, kMin, kMax, kAverage };

std::string_view BlendModeName(BlendMode mode);
std::optional<BlendMode> ParseBlendMode(std::string_view name);
// "alpha, add, subtract, ...": every mode, for help texts and errors.
std::string BlendModeList();

struct TranslucencySettings {
    BlendMode mode = BlendMode::kAlpha;
    int alphaPercent = 50;  // 0..100, kAlpha only
    SearchSettings search;
};

// The byte at behind * 256 + front: a row per colour already drawn, a
// column per colour drawn over it, as Boom's TRANMAP and Build's translucency
// table are indexed (tranmap[behind * 256 + front]).
struct TranslucencyTable {
    std::array<std::uint8_t, kPairTableSize> bytes{};
    TableStats stats;
};

// On bad settings (no colours, alpha out of range, every entry reserved)
// returns nothing and sets `error`.
std::optional<TranslucencyTable> MakeTranslucencyTable(std::span<const Rgb8> colors, const TranslucencySettings& settings,
                                          std::string& error);

// --- Build engine palette.dat --------------------------------------------

//   offset            size          content
//   0                 768           the palette at 6 bits (8-bit value >> 2),
//                                   entries past the palette's count 0 0 0
//   768               2             the level count, little-endian
//   770               levels * 256  the light table, row by row
//   770 + levels*256  65536         the 50 % alpha blend table, as
//                                   TranslucencyTable: behind * 256 + front
inline constexpr std::size_t kPaletteDatHeaderSize = 3 * kPaletteSize + 2;
constexpr std::size_t PaletteDatSize(int levels) {
    return kPaletteDatHeaderSize + static_cast<std::size_t>(levels) * kPaletteSize + kPairTableSize;
}

struct PaletteDat {
    std::vector<std::uint8_t> bytes;
    TableStats stats;  // over the light and the blend table's searched cells
};

// The blend table uses the same search settings, with the fullbright entries
// reserved as well: they are never chosen anywhere in the file. Build's
// renderer draws a translucent pixel as transluc[(behind << 8) + front] (the
// transpose with its reversing flag, cstat bit 512), which is TranslucencyTable's
// layout; at 50 % both operands weigh the same, so both ways draw alike.
std::optional<PaletteDat> MakePaletteDat(std::span<const Rgb8> colors, const LightSettings& settings,
                                              std::string& error);

}  // namespace paltab
