// The light and blend tables in the forms a program or a person reads them:
// pictures, C headers, and the layout names of the command line. No I/O.
//
//   light picture  one row of square swatches per level, one column per
//                  palette colour (entries past the palette's count are not
//                  drawn: they are never chosen); LightSwatchSize(count)
//                  pixels each, so that small palettes stay readable.
//   blend picture  count x count cells of kPairCellSize pixels: row behind,
//                  column front, as the table.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "paltab/light_tables.hpp"
#include "paltab/translucency_tables.hpp"
#include "render/render.hpp"

namespace paltab {

enum class LightLayout { kRaw, kDoomColormap, kBuildPalette, kPng, kCHeader };
enum class BlendLayout { kRaw, kPng, kCHeader };

std::optional<LightLayout> ParseLightLayout(std::string_view name);
std::optional<BlendLayout> ParseBlendLayout(std::string_view name);

// 16 pixels for up to 64 colours, down to 4 for 256: a picture about 1024
// pixels wide at most.
constexpr int LightSwatchSize(std::size_t count) {
    constexpr int kWidth = 1024;
    const int size = count == 0 ? 16 : kWidth / static_cast<int>(count);
    return size < 4 ? 4 : (size > 16 ? 16 : size);
}

// `table` rows of `colors` (any row count: a light table or a colormap).
RgbImage RenderLightTable(std::span<const Rgb8> colors, const LightTable& table);
RgbImage RenderTranslucencyTable(std::span<const Rgb8> colors, const TranslucencyTable& table);

// The C headers: NAME[levels * 256] (byte at level * 256 + entry) and
// NAME[65536] (byte at behind * 256 + front), each opened by a comment that
// says how to index it. `what` names the table in that comment ("light table
// of 32 levels towards 0 0 0", "alpha 66 %").
std::string LightTableCHeader(const LightTable& table, std::string_view name, std::string_view what,
                              std::string_view command);
std::string TranslucencyTableCHeader(const TranslucencyTable& table, std::string_view name, std::string_view what,
                              std::string_view command);

// A name for the array of a C header from an output path: the file name
// without its extension, every other character than letters, digits and '_'
// as '_', and a leading '_' before a digit ("out/fog-32.h" -> "fog_32").
// A name reserved for the compiler loses its leading underscores, and a
// keyword or predefined macro gains a trailing one ("int.h" -> "int_"), so
// that the result passes CArrayNameProblem.
std::string CNameFromPath(std::string_view path);

}  // namespace paltab
