// Shared types, table sizes and the colour arithmetic every table agrees on.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace paltab {

// Sizes. Everything else is derived from these three.
inline constexpr std::size_t kPaletteSize = 256;  // a palette index is one byte
inline constexpr int kCellBits = 5;               // bits per component of a map cell
inline constexpr std::size_t kShadeLevels = 256;  // one column per level in a shade row

inline constexpr std::size_t kCellsPerAxis = std::size_t{1} << kCellBits;            // 32
inline constexpr std::size_t kCellCount = kCellsPerAxis * kCellsPerAxis * kCellsPerAxis;  // 32768
inline constexpr std::size_t kShadeTableSize = kPaletteSize * kShadeLevels;          // 65536
inline constexpr std::size_t kPairTableSize = kPaletteSize * kPaletteSize;           // 65536
inline constexpr int kMaxCellPosition = static_cast<int>(kCellsPerAxis) - 1;         // 31

// One colour. Components are signed 16-bit so that -1 can mark an unused
// entry; meaningful values lie in 0..255, but the reader stores whatever a
// line holds, so every consumer reduces through the helpers below.
struct PaletteEntry {
    std::int16_t r = -1;
    std::int16_t g = -1;
    std::int16_t b = -1;

    friend constexpr bool operator==(const PaletteEntry&, const PaletteEntry&) = default;
};

inline constexpr PaletteEntry kUnusedEntry{-1, -1, -1};

// Default-constructed palettes are all unused, as the reader expects.
using Palette = std::array<PaletteEntry, kPaletteSize>;

// How a builder computes its table. kVector, the default, decides many cells
// per step with the widest vector unit the processor has; kVectorBaseline
// keeps to the 128-bit unit every x86-64 has (so that tests reach it on any
// machine); kPlain goes one cell at a time and is the readable statement of
// what the table holds. All three give the same bytes.
enum class BuildPath { kVector, kVectorBaseline, kPlain };

// Cell layout (Rgb15): 0 rrrrr ggggg bbbbb. Index into the map and the
// distance buffer alike.
using InverseColorMap = std::array<std::uint8_t, kCellCount>;
using DistanceBuffer = std::array<std::uint32_t, kCellCount>;
// Row = palette entry, column = level: byte at colour * 256 + level.
using ShadeTable = std::array<std::uint8_t, kShadeTableSize>;
// Row = operand a, column = operand b: byte at a * 256 + b.
using AdditiveBlendTable = std::array<std::uint8_t, kPairTableSize>;
using MultiplicativeBlendTable = std::array<std::uint8_t, kPairTableSize>;

// The map skips an entry only when all three components are -1; a lone -1
// component takes part as 255.
constexpr bool IsSkippedByMap(PaletteEntry e) {
    return e.r == -1 && e.g == -1 && e.b == -1;
}

// The file's palette section and the shade and blend tables look at red only.
constexpr bool IsUnused(PaletteEntry e) {
    return e.r == -1;
}

// Every table reads a component through its low eight bits, so an
// out-of-range value (300, -5) is the same colour everywhere (44, 251) and no
// derived cell can leave the map.
constexpr int Low8(std::int16_t component) {
    return static_cast<std::uint8_t>(component);
}

// 8-bit value to its cell position 0..31 (truncating, no rounding).
constexpr int FiveBit(std::int16_t component) {
    return Low8(component) >> (8 - kCellBits);  // CellGeometry::Position at 5 bits
}

// 8-bit value to the 0..63 stored in the table file's palette section.
constexpr std::uint8_t SixBit(std::int16_t component) {
    return static_cast<std::uint8_t>(Low8(component) >> 2);
}

// A colour, one byte per component.
struct Rgb8 {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;

    friend constexpr bool operator==(const Rgb8&, const Rgb8&) = default;
};

// A cube of `bits` (1..8) bits per component over the 8-bit colours: the
// one statement of where a colour falls and what colour a cell stands for,
// shared by the generator's map (5 bits) and the exact maps (5 to 8 bits).
// Cell number: r << 2n | g << n | b, red highest. An 8-bit value v lies in
// cell position v >> (8 - n) (truncating); a cell's colour is its centre,
// k * w + w / 2 with w = 2^(8 - n), so at 8 bits it is the colour itself.
struct CellGeometry {
    int bits = kCellBits;

    constexpr int Shift() const { return 8 - bits; }
    constexpr int Width() const { return 1 << Shift(); }
    constexpr int CellsPerAxis() const { return 1 << bits; }
    constexpr std::size_t CellCount() const { return std::size_t{1} << (3 * bits); }

    // Cell position 0..2^n - 1 of an 8-bit component.
    constexpr int Position(int value8) const { return value8 >> Shift(); }
    // The 8-bit centre of cell position k.
    constexpr std::uint8_t Centre(int k) const { return static_cast<std::uint8_t>(k * Width() + Width() / 2); }

    constexpr std::size_t Number(int r, int g, int b) const {
        return (static_cast<std::size_t>(r) << (2 * bits)) | (static_cast<std::size_t>(g) << bits) |
               static_cast<std::size_t>(b);
    }
    constexpr std::size_t CellOf(Rgb8 color) const {
        return Number(Position(color.r), Position(color.g), Position(color.b));
    }
    // The positions of a cell number: the inverse of Number.
    constexpr std::array<int, 3> Positions(std::size_t cell) const {
        const std::size_t mask = (std::size_t{1} << bits) - 1;
        return {static_cast<int>((cell >> (2 * bits)) & mask), static_cast<int>((cell >> bits) & mask),
                static_cast<int>(cell & mask)};
    }
    constexpr Rgb8 CentreColor(std::size_t cell) const {
        const auto [r, g, b] = Positions(cell);
        return {Centre(r), Centre(g), Centre(b)};
    }
};

// The generator's map.
inline constexpr CellGeometry kMapGeometry{kCellBits};

// Cell number of 5-bit components: red highest, blue lowest.
constexpr std::size_t CellIndex(int r5, int g5, int b5) {
    return kMapGeometry.Number(r5, g5, b5);
}

// The 5-bit components of a cell number: the inverse of CellIndex.
struct CellPosition {
    int r5, g5, b5;
};
constexpr CellPosition CellComponents(std::size_t cell) {
    const auto [r, g, b] = kMapGeometry.Positions(cell);
    return {r, g, b};
}

// The cell that holds an 8-bit colour.
constexpr std::size_t CellOfColor(int r8, int g8, int b8) {
    return CellIndex(kMapGeometry.Position(r8), kMapGeometry.Position(g8), kMapGeometry.Position(b8));
}

// Index of (row, column) in a 256 x 256 table: shade(colour, level),
// additive(a, b), multiplicative(a, b).
constexpr std::size_t PairIndex(int row, int column) {
    return static_cast<std::size_t>(row) * kPaletteSize + static_cast<std::size_t>(column);
}

// value * n / 128, truncated, in 16.16 fixed point: the factor is n * 512 and
// the product is shifted right by 16. Exact floor for 0 <= value, n.
constexpr int ScaleBy128ths(int value, int n) {
    return (value * (n * 512)) >> 16;
}

// A 6-bit component to 8 bits by bit replication: 0 stays 0, 63 becomes 255,
// and the top six bits are the 6-bit value. The low bits lost when the file
// was written cannot be recovered; this spreads the 64 steps evenly.
constexpr std::uint8_t ExpandSixBit(std::uint8_t v) {
    return static_cast<std::uint8_t>((v << 2) | (v >> 4));
}

}  // namespace paltab
