// Blend tables: sum and product of two palette colours in 5-bit components,
// turned back into a palette index through the inverse colour map.
#include "paltab/blend.hpp"

#include <algorithm>
#include <array>
#include <vector>

#include "lanes.hpp"

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

// The palette's 5-bit components side by side, eight operands per step,
// and the unused entries, whose pairs are set apart.
struct PaletteLanes {
    explicit PaletteLanes(const Palette& palette) {
        for (std::size_t i = 0; i < kPaletteSize; ++i) {
            const Cell5 c = FiveBitCell(palette[i]);
            r[i] = static_cast<std::int16_t>(c.r);
            g[i] = static_cast<std::int16_t>(c.g);
            b[i] = static_cast<std::int16_t>(c.b);
            if (IsUnused(palette[i])) {
                unused.push_back(static_cast<int>(i));
            }
        }
    }

    std::array<std::int16_t, kPaletteSize> r{}, g{}, b{};
    std::vector<int> unused;
};

// The sums' and products' cells eight operands at a time, as Add and Multiply
// compute them, then the lookups. A sum's shade level is 0 where it does not
// overflow, so that the lookup in the map stands. A sum and a product do not
// depend on the order of their operands, so row a is computed from column a
// on and gives column a from row a on as well; the unused entries' rows and
// columns are set afterwards.
void BuildBlendPairsVector(int a, const PaletteLanes& lanes, const InverseColorMap& map, const ShadeTable& shade,
                           AdditiveBlendTable& additive, MultiplicativeBlendTable& multiplicative) {
    const auto aIndex = static_cast<std::size_t>(a);
    const Lanes ar = Splat(lanes.r[aIndex]);
    const Lanes ag = Splat(lanes.g[aIndex]);
    const Lanes ab = Splat(lanes.b[aIndex]);
    const Lanes top = Splat(kMaxCellPosition);
    const std::size_t from = aIndex & ~(kLaneCount - 1);
    std::array<std::int16_t, kPaletteSize> sumCells, sumLevels, productCells;
    for (std::size_t b = from; b < kPaletteSize; b += kLaneCount) {
        const Lanes br = LoadLanes(&lanes.r[b]);
        const Lanes bg = LoadLanes(&lanes.g[b]);
        const Lanes bb = LoadLanes(&lanes.b[b]);
        const Lanes sr = ar + br;
        const Lanes sg = ag + bg;
        const Lanes sb = ab + bb;
        const Lanes largest = Max(sr, Max(sg, sb));
        const Lanes overflow = Max(largest - top, Lanes{});
        auto pulledBack = [&](Lanes sum) { return Max(sum - overflow, Lanes{}); };
        StoreLanes(&sumCells[b], CellLanes(pulledBack(sr), pulledBack(sg), pulledBack(sb)));
        StoreLanes(&sumLevels[b], (overflow + Splat(128)) & Greater(overflow, Lanes{}));
        StoreLanes(&productCells[b], CellLanes((ar * br) >> kCellBits, (ag * bg) >> kCellBits, (ab * bb) >> kCellBits));
    }
    for (std::size_t b = aIndex; b < kPaletteSize; ++b) {
        const std::uint8_t base = map[static_cast<std::uint16_t>(sumCells[b])];
        const int level = sumLevels[b];
        const std::uint8_t sum = level == 0 ? base : shade[PairIndex(base, level)];
        const std::uint8_t product = map[static_cast<std::uint16_t>(productCells[b])];
        const std::size_t inRow = aIndex * kPaletteSize + b;
        const std::size_t inColumn = b * kPaletteSize + aIndex;
        additive[inRow] = sum;
        additive[inColumn] = sum;
        multiplicative[inRow] = product;
        multiplicative[inColumn] = product;
    }
}

// Entry `to` has the same 5-bit colour as `from`, whose row and column are
// done: its row and the rest of its column are copies of theirs.
void CopyPairs(int from, int to, AdditiveBlendTable& additive, MultiplicativeBlendTable& multiplicative) {
    const auto rowFrom = static_cast<std::ptrdiff_t>(PairIndex(from, 0));
    const auto rowTo = static_cast<std::ptrdiff_t>(PairIndex(to, 0));
    std::copy_n(additive.begin() + rowFrom, kPaletteSize, additive.begin() + rowTo);
    std::copy_n(multiplicative.begin() + rowFrom, kPaletteSize, multiplicative.begin() + rowTo);
    for (int b = to + 1; b < static_cast<int>(kPaletteSize); ++b) {
        additive[PairIndex(b, to)] = additive[PairIndex(b, from)];
        multiplicative[PairIndex(b, to)] = multiplicative[PairIndex(b, from)];
    }
}

// An unused operand gives the other one; with both unused, the first.
void SetUnusedPairs(const PaletteLanes& lanes, AdditiveBlendTable& additive,
                    MultiplicativeBlendTable& multiplicative) {
    for (int u : lanes.unused) {
        for (std::size_t b = 0; b < kPaletteSize; ++b) {
            additive[PairIndex(u, 0) + b] = static_cast<std::uint8_t>(b);
            multiplicative[PairIndex(u, 0) + b] = static_cast<std::uint8_t>(b);
        }
    }
    for (int a = 0; a < static_cast<int>(kPaletteSize); ++a) {
        for (int u : lanes.unused) {
            additive[PairIndex(a, u)] = static_cast<std::uint8_t>(a);
            multiplicative[PairIndex(a, u)] = static_cast<std::uint8_t>(a);
        }
    }
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
                      AdditiveBlendTable& additive, MultiplicativeBlendTable& multiplicative, BuildPath path) {
    if (path == BuildPath::kPlain) {
        for (int a = 0; a < static_cast<int>(kPaletteSize); ++a) {
            BuildBlendRow(a, palette, map, shade, additive, multiplicative);
        }
        return;
    }
    const PaletteLanes lanes(palette);
    // Pairs depend only on the operands' 5-bit colours: a used entry with
    // the same one as the last entry computed (as in a ramp finer than 5
    // bits) copies its pairs.
    int lastBuilt = -1;
    for (int a = 0; a < static_cast<int>(kPaletteSize); ++a) {
        const auto i = static_cast<std::size_t>(a);
        if (IsUnused(palette[i])) {
            continue;
        }
        if (lastBuilt >= 0) {
            const auto last = static_cast<std::size_t>(lastBuilt);
            if (lanes.r[i] == lanes.r[last] && lanes.g[i] == lanes.g[last] && lanes.b[i] == lanes.b[last]) {
                CopyPairs(lastBuilt, a, additive, multiplicative);
                continue;
            }
        }
        BuildBlendPairsVector(a, lanes, map, shade, additive, multiplicative);
        lastBuilt = a;
    }
    SetUnusedPairs(lanes, additive, multiplicative);
}

}  // namespace paltab
