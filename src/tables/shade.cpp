// Shade table: each colour scaled towards black or white in 5-bit steps and
// looked up in the inverse colour map, so it makes exactly the map's choices.
#include "paltab/shade.hpp"

#include <algorithm>

namespace paltab {

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

void BuildShadeTable(const Palette& palette, const InverseColorMap& map, ShadeTable& shade) {
    for (int color = 0; color < static_cast<int>(kPaletteSize); ++color) {
        if (IsUnused(palette[static_cast<std::size_t>(color)])) {
            const auto row = shade.begin() + static_cast<std::ptrdiff_t>(PairIndex(color, 0));
            std::fill(row, row + static_cast<std::ptrdiff_t>(kShadeLevels), std::uint8_t{0});
        } else {
            BuildShadeRow(color, palette, map, shade);
        }
    }
}

}  // namespace paltab
