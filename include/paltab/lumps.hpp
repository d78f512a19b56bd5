// The lookup lumps of Doom- and Build-engine games: recognising one from its
// bytes, describing it, rebuilding it from a palette and comparing it cell by
// cell with the rebuilt one; and making a PLAYPAL from a base palette.
//
//   kind           size                           cells
//   colormap       8704 (34 x 256)                rows 0..31 light levels, 32 the
//                                                 inverted grey row, 33 zeros
//   tranmap        65536                          row behind (on screen), column
//                                                 front (translucent)
//   playpal        10752 (14 x 768)               palette, entry: r g b
//   build-palette  768 + 2 + levels x 256         the palette at 6 bits, the level
//                  + 65536                        count (u16), the light table, the
//                                                 50 % translucency table
//   light          levels x 256 (1..256 levels)   row level, column entry
//
// A size that two kinds share (8704, 65536 and 10752 are also light tables
// of 34, 256 and 42 levels) is taken as the game's lump unless the caller
// names the kind.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paltab/light_tables.hpp"
#include "paltab/result.hpp"
#include "paltab/translucency_tables.hpp"
#include "paltab/types.hpp"

namespace paltab {

enum class LumpKind { kColormap, kTranmap, kPlaypal, kBuildPalette, kLightTable };

// "colormap", "tranmap", "playpal", "build-palette", "light".
std::string_view LumpKindName(LumpKind kind);
std::optional<LumpKind> ParseLumpKind(std::string_view name);
// "colormap, tranmap, playpal, build-palette, light": for help and errors.
std::string LumpKindList();

inline constexpr int kPlaypalPalettes = 14;
inline constexpr std::size_t kPlaypalPaletteSize = 3 * kPaletteSize;                  // 768
inline constexpr std::size_t kPlaypalSize = kPlaypalPalettes * kPlaypalPaletteSize;  // 10752

struct LumpInfo {
    LumpKind kind = LumpKind::kLightTable;
    // Rows of 256: light levels (a colormap's 34 rows, a palette.dat's or a
    // light table's levels), the palettes of a playpal, 256 for a tranmap.
    int rows = 0;
};

// What `bytes` is, by its size (and a palette.dat's level count), or as
// `as` says. Fails with kBadInput for a size that fits no kind, or not the
// kind asked for.
Result<LumpInfo> RecogniseLump(std::span<const std::uint8_t> bytes, std::optional<LumpKind> as);

// A short description a person reads: the kind and size, then a few facts
// (rows that map every entry to itself, entries that keep their own index in
// every light row, a palette's repeated colours, how each PLAYPAL palette
// relates to the default tints). Lines end in '\n'. Expects `info` from
// RecogniseLump for these bytes.
std::string DescribeLump(std::span<const std::uint8_t> bytes, const LumpInfo& info);

// The colours a lump carries: a playpal's palette `palette` (0..rows-1), a
// palette.dat's 6-bit palette expanded to 8 bits (all 256 entries); none
// for the other kinds. Fails with kBadSettings for a palette past the
// playpal's rows, kBadInput for bytes shorter than `info` says.
Result<std::vector<Rgb8>> LumpColors(std::span<const std::uint8_t> bytes, const LumpInfo& info, int palette = 0);
// --- Build's palette.dat --------------------------------------------------

//   offset            size          content
//   0                 768           the palette at 6 bits (8-bit value >> 2),
//                                   entries past the palette's count 0 0 0
//   768               2             the level count, little-endian
//   770               levels * 256  the light table, row by row
//   770 + levels*256  65536         the 50 % alpha translucency table,
//                                   as TranslucencyTable: behind * 256 + front
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
// transpose with its reversing flag, cstat bit 512), which is
// TranslucencyTable's layout; at 50 % both operands weigh the same, so both
// ways draw alike. Fails as MakeLightTable and MakeTranslucencyTable do.
Result<PaletteDat> MakePaletteDat(std::span<const Rgb8> colors, const LightSettings& settings);

// --- PLAYPAL ----------------------------------------------------------------

// n / d with 0 <= n <= d, d >= 1.
struct Fraction {
    int numerator = 0;
    int denominator = 1;

    friend bool operator==(const Fraction&, const Fraction&) = default;
};

// Moves every colour towards `color` by `amount`: each component c becomes
// c + floor((t - c) * n / d), in exact integer arithmetic.
struct PaletteTint {
    Rgb8 color;
    Fraction amount;

    friend bool operator==(const PaletteTint&, const PaletteTint&) = default;
};

Rgb8 ApplyTint(Rgb8 c, const PaletteTint& tint);

// One tint per palette; the first (palette 0, the base) is not used.
using PlaypalTints = std::array<PaletteTint, kPlaypalPalettes>;

// The Doom-engine scheme: palettes 1..8 (pain, berserk) towards 255 0 0 by
// 9k/80 for k = 1..8, the last 9/10; 9..12 (item pick-up) towards
// 215 186 69 by k/8 for k = 1..4, 12.5 % to 50 %; 13 (radiation suit)
// towards 0 255 0 by 1/5.
PlaypalTints DefaultPlaypalTints();

// 14 palettes of 256 colours: palette 0 the base, palette k the base tinted
// by tints[k]. A base of fewer than 256 colours is padded with black.
// Fails with kBadInput for no colours or more than 256, kBadSettings for a
// fraction outside 0..1.
Result<std::vector<std::uint8_t>> MakePlaypal(std::span<const Rgb8> base, const PlaypalTints& tints);

// "0.125", "1/8", "1", "0": a fraction 0..1 kept exact.
std::optional<Fraction> ParseFraction(std::string_view text);

struct TintOption {
    int palette = 0;  // 1..13
    PaletteTint tint;
};
// "K:R,G,B:F" (palette 1..13, components 0..255, F as ParseFraction reads
// it). Fails with kBadSettings, the cause naming what is wrong.
Result<TintOption> ParseTintOption(std::string_view text);

// --- Rebuilding and comparing ------------------------------------------------

// The settings a lump is rebuilt with: `light` for colormap, build-palette
// and light (the level count comes from the lump), `blend` for a tranmap,
// `tints` for a playpal.
struct LumpSettings {
    LightSettings light;
    TranslucencySettings blend;
    PlaypalTints tints = DefaultPlaypalTints();
};

// The lump of `info`'s kind and size rebuilt from `colors` with the library's
// builders. Fails as they do on bad settings, and with kBadSettings for a
// playpal of other than 14 palettes.
Result<std::vector<std::uint8_t>> RebuildLump(const LumpInfo& info, std::span<const Rgb8> colors,
                                              const LumpSettings& settings);

// One cell that differs: a palette index (1 byte), a colour (3 bytes, r g b)
// or the level count (2 bytes, little-endian).
struct CellDifference {
    std::string_view section;  // "light", "grey", "translucency", "palette", "level count"...
    int row = 0;
    int column = 0;
    std::vector<std::uint8_t> expected;
    std::vector<std::uint8_t> found;
};

struct RowDifferences {
    std::string_view section;
    int row = 0;
    std::size_t cells = 0;
};

struct LumpComparison {
    std::size_t cells = 0;      // cells compared
    std::size_t differing = 0;  // cells that differ
    std::vector<RowDifferences> worstRows;  // most differing cells first, at most 5
    std::vector<CellDifference> first;      // the first differing cells, at most `firstCount`
};

// Compares `found` with `expected` (both of `info`'s kind and size) cell by
// cell, in file order. Fails with kBadInput when either is shorter.
Result<LumpComparison> CompareLump(std::span<const std::uint8_t> expected, std::span<const std::uint8_t> found,
                                   const LumpInfo& info, std::size_t firstCount = 10);

// "12 of 8704 cells differ; worst rows: light row 31 (5 cells), ..." and a
// line per listed cell ("light row 31, entry 17: expected 5, found 6"), or
// "all 8704 cells match". With `colors`, each palette index is followed by
// its colour ("expected 5 #1c2a30, found 6 #202020"; "unused" for an index
// past them). Lines end in '\n'.
std::string FormatLumpComparison(const LumpComparison& comparison, const LumpInfo& info,
                                 std::span<const Rgb8> colors = {});

}  // namespace paltab
