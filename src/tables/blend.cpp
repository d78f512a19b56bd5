// Blend tables: sum and product of two palette colours in 5-bit components,
// turned back into a palette index through the inverse colour map.
#include "paltab/blend.hpp"

#include <algorithm>

namespace paltab {
namespace {

struct Cell5 {
    int r, g, b;
};

Cell5 FiveBitCell(PaletteEntry e) {
    return {FiveBit(e.r), FiveBit(e.g), FiveBit(e.b)};
}

// The sum may reach 62 per component. Past 31 the overflow d is taken off
// every component (keeping the hue) and given back as d/128 of the way
// to white through the base colour's shade row: level 128 + d, 129..159.
std::uint8_t Add(Cell5 a, Cell5 b, const InverseColorMap& map, const ShadeTable& shade) {
    const int sr = a.r + b.r;
    const int sg = a.g + b.g;
    const int sb = a.b + b.b;
    const int largest = std::max({sr, sg, sb});
    if (largest <= kMaxCellPosition) {
        return map[CellIndex(sr, sg, sb)];
    }
    const int overflow = largest - kMaxCellPosition;
    const std::uint8_t base = map[CellIndex(std::max(sr - overflow, 0), std::max(sg - overflow, 0),
                                            std::max(sb - overflow, 0))];
    return shade[PairIndex(base, 128 + overflow)];
}

// Products are scaled back by 32, so 31 x 31 gives 30: multiplying by white
// darkens by one step.
std::uint8_t Multiply(Cell5 a, Cell5 b, const InverseColorMap& map) {
    return map[CellIndex((a.r * b.r) >> kCellBits, (a.g * b.g) >> kCellBits, (a.b * b.b) >> kCellBits)];
}

}  // namespace

void BuildBlendRow(int a, const Palette& palette, const InverseColorMap& map, const ShadeTable& shade,
                   AdditiveBlendTable& additive, MultiplicativeBlendTable& multiplicative) {
    const PaletteEntry entryA = palette[static_cast<std::size_t>(a)];
    const Cell5 cellA = FiveBitCell(entryA);
    for (int b = 0; b < static_cast<int>(kPaletteSize); ++b) {
        const PaletteEntry entryB = palette[static_cast<std::size_t>(b)];
        const std::size_t k = PairIndex(a, b);
        if (IsUnused(entryB) || IsUnused(entryA)) {
            const auto other = static_cast<std::uint8_t>(IsUnused(entryB) ? a : b);
            additive[k] = other;
            multiplicative[k] = other;
            continue;
        }
        const Cell5 cellB = FiveBitCell(entryB);
        additive[k] = Add(cellA, cellB, map, shade);
        multiplicative[k] = Multiply(cellA, cellB, map);
    }
}

void BuildBlendTables(const Palette& palette, const InverseColorMap& map, const ShadeTable& shade,
                      AdditiveBlendTable& additive, MultiplicativeBlendTable& multiplicative) {
    for (int a = 0; a < static_cast<int>(kPaletteSize); ++a) {
        BuildBlendRow(a, palette, map, shade, additive, multiplicative);
    }
}

}  // namespace paltab
