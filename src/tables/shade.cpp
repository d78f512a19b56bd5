// Shade table: each colour scaled towards black or white in 5-bit steps and
// looked up in the inverse colour map, so it makes exactly the map's choices.
#include "paltab/shade.hpp"

#include <algorithm>
#include <array>

#include "lanes.hpp"

namespace paltab {
namespace {

bool SameCell(PaletteEntry a, PaletteEntry b) {
    return FiveBit(a.r) == FiveBit(b.r) && FiveBit(a.g) == FiveBit(b.g) && FiveBit(a.b) == FiveBit(b.b);
}

void FillUnusedRow(int color, ShadeTable& shade) {
    const auto row = shade.begin() + static_cast<std::ptrdiff_t>(PairIndex(color, 0));
    std::fill(row, row + static_cast<std::ptrdiff_t>(kShadeLevels), std::uint8_t{0});
}

// The row's cell numbers eight levels at a time, then the lookups. v * L / 128
// is (v * L) >> 7, as ScaleBy128ths computes it.
void BuildShadeRowVector(int color, const Palette& palette, const InverseColorMap& map, ShadeTable& shade) {
    const PaletteEntry entry = palette[static_cast<std::size_t>(color)];
    const Lanes r = Splat(FiveBit(entry.r));
    const Lanes g = Splat(FiveBit(entry.g));
    const Lanes b = Splat(FiveBit(entry.b));
    const Lanes top = Splat(kMaxCellPosition);
    constexpr std::size_t kHalf = kShadeLevels / 2;
    std::array<std::int16_t, kShadeLevels> cells;
    for (std::size_t i = 0; i < kHalf; i += kLaneCount) {
        const Lanes level = Splat(static_cast<int>(i)) + LaneNumbers();
        StoreLanes(&cells[i], CellLanes((r * level) >> 7, (g * level) >> 7, (b * level) >> 7));
        StoreLanes(&cells[kHalf + i], CellLanes(r + (((top - r) * level) >> 7), g + (((top - g) * level) >> 7),
                                                b + (((top - b) * level) >> 7)));
    }
    const auto row = shade.begin() + static_cast<std::ptrdiff_t>(PairIndex(color, 0));
    // Unrolled: a lookup is three instructions, the loop around it three more.
#pragma GCC unroll 8
    for (std::size_t level = 0; level < kShadeLevels; ++level) {
        row[static_cast<std::ptrdiff_t>(level)] = map[static_cast<std::uint16_t>(cells[level])];
    }
}

}  // namespace

void BuildShadeRow(int color, const Palette& palette, const InverseColorMap& map, ShadeTable& shade) {
    const PaletteEntry entry = palette[static_cast<std::size_t>(color)];
    const int r5 = FiveBit(entry.r);
    const int g5 = FiveBit(entry.g);
    const int b5 = FiveBit(entry.b);
    for (int i = 0; i < 128; ++i) {
        const std::size_t dark = CellIndex(ScaleBy128ths(r5, i), ScaleBy128ths(g5, i), ScaleBy128ths(b5, i));
        shade[PairIndex(color, i)] = map[dark];
        const std::size_t light = CellIndex(r5 + ScaleBy128ths(kMaxCellPosition - r5, i),
                                            g5 + ScaleBy128ths(kMaxCellPosition - g5, i),
                                            b5 + ScaleBy128ths(kMaxCellPosition - b5, i));
        shade[PairIndex(color, 128 + i)] = map[light];
    }
}

void BuildShadeTable(const Palette& palette, const InverseColorMap& map, ShadeTable& shade, BuildPath path) {
    // A row depends only on the colour's 5-bit components, so a used entry
    // with the same ones as the last row built (as in a ramp finer than 5
    // bits) takes a copy of that row.
    int lastBuilt = -1;
    for (int color = 0; color < static_cast<int>(kPaletteSize); ++color) {
        const PaletteEntry entry = palette[static_cast<std::size_t>(color)];
        if (IsUnused(entry)) {
            FillUnusedRow(color, shade);
        } else if (path == BuildPath::kPlain) {
            BuildShadeRow(color, palette, map, shade);
        } else if (lastBuilt >= 0 && SameCell(entry, palette[static_cast<std::size_t>(lastBuilt)])) {
            const auto from = shade.begin() + static_cast<std::ptrdiff_t>(PairIndex(lastBuilt, 0));
            std::copy_n(from, kShadeLevels, shade.begin() + static_cast<std::ptrdiff_t>(PairIndex(color, 0)));
        } else {
            BuildShadeRowVector(color, palette, map, shade);
            lastBuilt = color;
        }
    }
}

}  // namespace paltab
