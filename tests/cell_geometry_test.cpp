// The one cell geometry, checked exhaustively at every size against a plain
// statement of it: every 8-bit colour component, every cell number.
#include "paltab/types.hpp"

#include <gtest/gtest.h>

namespace paltab {
namespace {

TEST(CellGeometry, EveryValueAndCellAtEveryBitCount) {
    for (int bits = 1; bits <= 8; ++bits) {
        SCOPED_TRACE(bits);
        const CellGeometry geometry{bits};
        const int width = 256 >> bits;  // plain: 8-bit values per cell
        ASSERT_EQ(geometry.Width(), width);
        ASSERT_EQ(geometry.CellsPerAxis() * width, 256);
        ASSERT_EQ(geometry.CellCount(), static_cast<std::size_t>(geometry.CellsPerAxis()) *
                                            static_cast<std::size_t>(geometry.CellsPerAxis()) *
                                            static_cast<std::size_t>(geometry.CellsPerAxis()));
        for (int v = 0; v < 256; ++v) {
            const int k = geometry.Position(v);
            ASSERT_LE(k * width, v);
            ASSERT_LT(v, (k + 1) * width);
            // The centre lies in its own cell, half a width from the low edge.
            ASSERT_EQ(geometry.Centre(k), k * width + width / 2);
            ASSERT_EQ(geometry.Position(geometry.Centre(k)), k);
        }
        for (std::size_t cell = 0; cell < geometry.CellCount(); ++cell) {
            const auto [r, g, b] = geometry.Positions(cell);
            const std::size_t n = static_cast<std::size_t>(geometry.CellsPerAxis());
            ASSERT_EQ(cell, (static_cast<std::size_t>(r) * n + static_cast<std::size_t>(g)) * n +
                                static_cast<std::size_t>(b));
            ASSERT_EQ(geometry.Number(r, g, b), cell);
            const Rgb8 centre = geometry.CentreColor(cell);
            ASSERT_EQ(centre, (Rgb8{geometry.Centre(r), geometry.Centre(g), geometry.Centre(b)}));
            ASSERT_EQ(geometry.CellOf(centre), cell);
        }
    }
}

TEST(CellGeometry, GeneratorHelpersAreTheFiveBitGeometry) {
    for (int v = 0; v < 256; ++v) {
        const auto c = static_cast<std::int16_t>(v);
        ASSERT_EQ(FiveBit(c), kMapGeometry.Position(v));
        ASSERT_EQ(CellOfColor(v, 255 - v, v / 3),
                  kMapGeometry.CellOf({static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(255 - v),
                                       static_cast<std::uint8_t>(v / 3)}));
    }
    for (std::size_t cell = 0; cell < kCellCount; ++cell) {
        const CellPosition p = CellComponents(cell);
        ASSERT_EQ(CellIndex(p.r5, p.g5, p.b5), cell);
    }
    static_assert(kMapGeometry.CellCount() == kCellCount);
    static_assert(kMapGeometry.CellsPerAxis() == static_cast<int>(kCellsPerAxis));
}

}  // namespace
}  // namespace paltab
