// Shade and blend tables: every cell and every pair against the plain
// formulas, on several palettes, plus the cases people reason about.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

#include "paltab/blend.hpp"
#include "paltab/inverse_map.hpp"
#include "paltab/shade.hpp"
#include "test_palettes.hpp"

namespace paltab {
namespace {

struct Tables : BuiltTables {
    Palette palette{};
};

std::unique_ptr<Tables> BuildAll(const Palette& palette) {
    auto t = std::make_unique<Tables>();
    t->palette = palette;
    EXPECT_TRUE(BuildInverseColorMap(256, palette, t->distances, t->map));
    // Garbage first: every byte must be written by the builders.
    t->shade.fill(0xAB);
    t->additive.fill(0xCD);
    t->multiplicative.fill(0xEF);
    BuildShadeTable(palette, t->map, t->shade);
    BuildBlendTables(palette, t->map, t->shade, t->additive, t->multiplicative);
    return t;
}

// The reference formulas, written from their definitions in 5-bit units.
struct Rgb5 {
    int r, g, b;
};

Rgb5 Reduce(PaletteEntry e) {
    return {(e.r & 0xFF) / 8, (e.g & 0xFF) / 8, (e.b & 0xFF) / 8};
}

std::uint8_t MapAt(const Tables& t, Rgb5 c) {
    return t.map[static_cast<std::size_t>(c.r * 1024 + c.g * 32 + c.b)];
}

Rgb5 ShadeCell(Rgb5 c, int level) {
    if (level < 128) {
        return {c.r * level / 128, c.g * level / 128, c.b * level / 128};
    }
    const int k = level - 128;
    return {c.r + (31 - c.r) * k / 128, c.g + (31 - c.g) * k / 128, c.b + (31 - c.b) * k / 128};
}

std::uint8_t ExpectedShade(const Tables& t, int color, int level) {
    const PaletteEntry e = t.palette[static_cast<std::size_t>(color)];
    return e.r == -1 ? 0 : MapAt(t, ShadeCell(Reduce(e), level));
}

std::uint8_t ExpectedAdd(const Tables& t, int a, int b) {
    const PaletteEntry ea = t.palette[static_cast<std::size_t>(a)], eb = t.palette[static_cast<std::size_t>(b)];
    if (eb.r == -1) return static_cast<std::uint8_t>(a);
    if (ea.r == -1) return static_cast<std::uint8_t>(b);
    const Rgb5 x = Reduce(ea), y = Reduce(eb);
    Rgb5 sum{x.r + y.r, x.g + y.g, x.b + y.b};
    const int overflow = std::max({sum.r, sum.g, sum.b}) - 31;
    if (overflow <= 0) return MapAt(t, sum);
    sum = {std::max(sum.r - overflow, 0), std::max(sum.g - overflow, 0), std::max(sum.b - overflow, 0)};
    return t.shade[static_cast<std::size_t>(MapAt(t, sum) * 256 + 128 + overflow)];
}

std::uint8_t ExpectedMul(const Tables& t, int a, int b) {
    const PaletteEntry ea = t.palette[static_cast<std::size_t>(a)], eb = t.palette[static_cast<std::size_t>(b)];
    if (eb.r == -1) return static_cast<std::uint8_t>(a);
    if (ea.r == -1) return static_cast<std::uint8_t>(b);
    const Rgb5 x = Reduce(ea), y = Reduce(eb);
    return MapAt(t, {x.r * y.r / 32, x.g * y.g / 32, x.b * y.b / 32});
}

TEST(ShadeTable, EveryCellMatchesTheFormula) {
    for (const auto& [name, palette] : TestPalettes()) {
        const auto t = BuildAll(palette);
        for (int color = 0; color < 256; ++color) {
            for (int level = 0; level < 256; ++level) {
                ASSERT_EQ(t->shade[PairIndex(color, level)], ExpectedShade(*t, color, level))
                    << name << ": colour " << color << " level " << level;
            }
        }
    }
}

TEST(BlendTables, EveryPairMatchesTheFormulas) {
    for (const auto& [name, palette] : TestPalettes()) {
        const auto t = BuildAll(palette);
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < 256; ++b) {
                ASSERT_EQ(t->additive[PairIndex(a, b)], ExpectedAdd(*t, a, b)) << name << ": " << a << " + " << b;
                ASSERT_EQ(t->multiplicative[PairIndex(a, b)], ExpectedMul(*t, a, b))
                    << name << ": " << a << " * " << b;
            }
        }
    }
}

TEST(ShadeTable, LevelsPeopleReasonAbout) {
    // Entries: 0 white, 1 black, 2 orange, 3 dark blue.
    const auto t = BuildAll(MakePalette({Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(255, 128, 0), Rgb(0, 8, 7)}));
    auto shade = [&](int c, int level) { return t->shade[PairIndex(c, level)]; };
    auto map = [&](int r, int g, int b) { return t->map[CellIndex(r, g, b)]; };
    for (int c = 0; c < 4; ++c) {
        EXPECT_EQ(shade(c, 0), map(0, 0, 0)) << c;
        const Rgb5 own = Reduce(t->palette[static_cast<std::size_t>(c)]);
        EXPECT_EQ(shade(c, 128), map(own.r, own.g, own.b)) << c;
        // Level 127 is one step down in every non-zero component.
        EXPECT_EQ(shade(c, 127), map(std::max(own.r - 1, 0), std::max(own.g - 1, 0), std::max(own.b - 1, 0)));
        // Level 255 stops one step short of white below 31.
        auto top = [](int v) { return v == 31 ? 31 : 30; };
        EXPECT_EQ(shade(c, 255), map(top(own.r), top(own.g), top(own.b))) << c;
    }
    for (int level = 128; level < 256; ++level) EXPECT_EQ(shade(0, level), map(31, 31, 31));
    EXPECT_EQ(shade(0, 64), map(15, 15, 15));
    for (int level = 0; level < 128; ++level) EXPECT_EQ(shade(1, level), map(0, 0, 0));
    EXPECT_EQ(shade(1, 255), map(30, 30, 30));
    EXPECT_EQ(shade(2, 64), map(15, 8, 0));
    EXPECT_EQ(shade(2, 192), map(31, 23, 15));
    // 7 and 8 are 5-bit 0 and 1.
    EXPECT_EQ(shade(3, 128), map(0, 1, 0));
}

TEST(ShadeTable, UnusedRowsAreZeroWhateverGreenAndBlueHold) {
    const auto t = BuildAll(MakePalette({Rgb(200, 10, 10), Rgb(-1, 40, 200), kUnusedEntry, Rgb(-1, -1, 0)}));
    for (int c : {1, 2, 3, 200}) {
        for (int level = 0; level < 256; ++level) ASSERT_EQ(t->shade[PairIndex(c, level)], 0) << c;
    }
    const auto empty = BuildAll(Palette{});
    EXPECT_TRUE(std::all_of(empty->shade.begin(), empty->shade.end(), [](std::uint8_t v) { return v == 0; }));
}

// Out-of-range components are the colour of their low eight bits in every
// table, so the rows of (300, -5, 128) and (44, 251, 128) agree.
TEST(ShadeBlend, OutOfRangeComponentsActAsTheirLowEightBits) {
    const auto odd = BuildAll(MakePalette({Rgb(300, -5, 128), Rgb(90, 1000, -200), Rgb(255, 255, 255)}));
    const auto plain = BuildAll(MakePalette({Rgb(44, 251, 128), Rgb(90, 232, 56), Rgb(255, 255, 255)}));
    EXPECT_EQ(odd->map, plain->map);
    EXPECT_EQ(odd->shade, plain->shade);
    EXPECT_EQ(odd->additive, plain->additive);
    EXPECT_EQ(odd->multiplicative, plain->multiplicative);
}

TEST(BlendTables, UnusedOperandsYieldTheOtherIndex) {
    const auto t = BuildAll(MakePalette({Rgb(10, 20, 30), kUnusedEntry, Rgb(-1, 9, 9), Rgb(90, 90, 90)}));
    for (const auto* table : {&t->additive, &t->multiplicative}) {
        EXPECT_EQ((*table)[PairIndex(1, 3)], 3);
        EXPECT_EQ((*table)[PairIndex(3, 1)], 3);
        EXPECT_EQ((*table)[PairIndex(2, 0)], 0);
        EXPECT_EQ((*table)[PairIndex(1, 2)], 1);  // both unused: the row index
        EXPECT_EQ((*table)[PairIndex(2, 1)], 2);
        EXPECT_EQ((*table)[PairIndex(200, 201)], 200);
    }
    const auto empty = BuildAll(Palette{});
    for (int a = 0; a < 256; ++a) {
        for (int b = 0; b < 256; ++b) {
            ASSERT_EQ(empty->additive[PairIndex(a, b)], a);
            ASSERT_EQ(empty->multiplicative[PairIndex(a, b)], a);
        }
    }
}

TEST(BlendTables, SymmetricWhenBothOperandsAreUsed) {
    for (const auto& [name, palette] : TestPalettes()) {
        const auto t = BuildAll(palette);
        for (int a = 0; a < 256; ++a) {
            for (int b = 0; b < a; ++b) {
                if (IsUnused(palette[static_cast<std::size_t>(a)]) || IsUnused(palette[static_cast<std::size_t>(b)]))
                    continue;
                ASSERT_EQ(t->additive[PairIndex(a, b)], t->additive[PairIndex(b, a)]) << name;
                ASSERT_EQ(t->multiplicative[PairIndex(a, b)], t->multiplicative[PairIndex(b, a)]) << name;
            }
        }
    }
}

TEST(BlendTables, SumsAndProductsPeopleReasonAbout) {
    // 0 black, 1 grey 64, 2 (32, 0, 128), 3 orange, 4 grey 128, 5 red, 6 white.
    const auto t = BuildAll(MakePalette({Rgb(0, 0, 0), Rgb(64, 64, 64), Rgb(32, 0, 128), Rgb(255, 128, 0),
                                         Rgb(128, 128, 128), Rgb(255, 0, 0), Rgb(255, 255, 255)}));
    auto add = [&](int a, int b) { return t->additive[PairIndex(a, b)]; };
    auto mul = [&](int a, int b) { return t->multiplicative[PairIndex(a, b)]; };
    auto shade = [&](int c, int level) { return t->shade[PairIndex(c, level)]; };
    auto map = [&](int r, int g, int b) { return t->map[CellIndex(r, g, b)]; };

    EXPECT_EQ(add(0, 3), shade(3, 128));
    EXPECT_EQ(add(1, 2), map(12, 8, 24));
    ASSERT_EQ(map(31, 16, 0), 3);  // the orange owns its own cell
    EXPECT_EQ(add(3, 4), shade(3, 144));
    EXPECT_EQ(add(3, 4), map(31, 17, 3));
    EXPECT_EQ(add(5, 5), shade(map(31, 0, 0), 159));
    EXPECT_EQ(add(6, 6), shade(map(31, 31, 31), 159));
    for (int c = 1; c < 7; ++c) EXPECT_EQ(mul(c, 0), map(0, 0, 0));
    EXPECT_EQ(mul(6, 6), map(30, 30, 30));
    EXPECT_EQ(mul(3, 6), map(30, 15, 0));
    EXPECT_EQ(mul(3, 4), map(15, 8, 0));
}

// Only shade levels 129..159 are read, so changing any other level of the
// shade table must leave the additive table as it was.
TEST(BlendTables, AdditiveReadsOnlyLevels129To159) {
    const Palette palette = TestPalettes().front().second;
    const auto t = BuildAll(palette);
    auto altered = std::make_unique<ShadeTable>(t->shade);
    for (int c = 0; c < 256; ++c) {
        for (int level = 0; level < 256; ++level) {
            if (level < 129 || level > 159) (*altered)[PairIndex(c, level)] ^= 0x5A;
        }
    }
    auto additive = std::make_unique<AdditiveBlendTable>();
    auto multiplicative = std::make_unique<MultiplicativeBlendTable>();
    BuildBlendTables(palette, t->map, *altered, *additive, *multiplicative);
    EXPECT_EQ(*additive, t->additive);
}

// A cell may belong to an entry whose red alone is -1; its shade row is zero,
// so an overflowing sum based on it gives 0.
TEST(BlendTables, OverflowOntoAnEntryUnusedByRedGivesZero) {
    // Entry 1 (-1, 0, 0) takes part in the map as (255, 0, 0) and owns red.
    const auto t = BuildAll(MakePalette({Rgb(0, 0, 255), Rgb(-1, 0, 0), Rgb(255, 0, 0), Rgb(200, 0, 0)}));
    ASSERT_EQ(t->map[CellIndex(31, 0, 0)], 1);
    EXPECT_EQ(t->additive[PairIndex(2, 3)], 0);
}

}  // namespace
}  // namespace paltab
