// Inverse colour map: owners, distances, ties, unused entries, the weighted
// start, and the cells where the scan's early ends differ from a full search.
#include "paltab/inverse_map.hpp"

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <random>
#include <vector>

#include "test_palettes.hpp"

namespace paltab {
namespace {

struct Built {
    DistanceBuffer distances{};
    InverseColorMap map{};
    InverseMapStats stats;
};

std::unique_ptr<Built> Build(const Palette& palette, bool weighted = false, BuildPath path = BuildPath::kVector) {
    auto built = std::make_unique<Built>();
    EXPECT_TRUE(BuildInverseColorMap(256, palette, built->distances, built->map,
                                     {.weightedDistance = weighted, .path = path}, &built->stats));
    return built;
}

// Candidate distance of `entry` at cell (r, g, b), computed from scratch: the
// squared distance to the cell's centre, lowered by the weighting bonus.
std::int64_t Candidate(PaletteEntry entry, int r, int g, int b, bool weighted) {
    const int red = Low8(entry.r), green = Low8(entry.g), blue = Low8(entry.b);
    auto square = [](int v) { return std::int64_t{v} * v; };
    const std::int64_t d = square(r * 8 + 4 - red) + square(g * 8 + 4 - green) + square(b * 8 + 4 - blue);
    if (!weighted) {
        return d;
    }
    const int dr = red - ((red >> 3) * 8 + 4), dg = green - ((green >> 3) * 8 + 4);
    return d - (square(dr) - square(dr) / 9) - (square(dg) - square(dg) / 36);
}

// Plain full search: lowest index among the nearest used entries.
int Nearest(const Palette& palette, std::size_t cell, bool weighted) {
    const int r = static_cast<int>(cell >> 10), g = static_cast<int>((cell >> 5) & 31), b = static_cast<int>(cell & 31);
    int best = -1;
    std::int64_t bestDistance = 0;
    for (int i = 0; i < 256; ++i) {
        if (IsSkippedByMap(palette[static_cast<std::size_t>(i)])) {
            continue;
        }
        const std::int64_t d = Candidate(palette[static_cast<std::size_t>(i)], r, g, b, weighted);
        if (best < 0 || d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

std::vector<std::size_t> CellsDifferingFromFullSearch(const Palette& palette, const Built& built, bool weighted) {
    std::vector<std::size_t> cells;
    for (std::size_t cell = 0; cell < kCellCount; ++cell) {
        if (built.map[cell] != Nearest(palette, cell, weighted)) {
            cells.push_back(cell);
        }
    }
    return cells;
}

std::array<int, 256> OwnerCounts(const InverseColorMap& map) {
    std::array<int, 256> counts{};
    for (std::uint8_t index : map) {
        ++counts[index];
    }
    return counts;
}

TEST(InverseColorMap, NoUsedEntryLeavesMapAndFillsDistances) {
    auto built = std::make_unique<Built>();
    built->map.fill(7);
    ASSERT_TRUE(BuildInverseColorMap(256, Palette{}, built->distances, built->map));
    for (std::size_t cell = 0; cell < kCellCount; ++cell) {
        ASSERT_EQ(built->map[cell], 7);
        ASSERT_EQ(built->distances[cell], 0xFFFFFFFFu);
    }
}

TEST(InverseColorMap, OneUsedEntryOwnsEveryCellAtAnyIndex) {
    for (int k : {0, 1, 77, 255}) {
        Palette palette{};
        palette[static_cast<std::size_t>(k)] = {200, 13, 90};
        const auto built = Build(palette);
        EXPECT_EQ(OwnerCounts(built->map)[static_cast<std::size_t>(k)], 32768) << "entry " << k;
    }
}

TEST(InverseColorMap, DistancesOfALoneEntry) {
    struct Case {
        PaletteEntry entry;
        bool weighted;
        std::size_t cell;
        std::uint32_t distance;
    };
    const Case cases[] = {
        {{10, 20, 30}, false, CellIndex(1, 2, 3), 8},
        {{10, 20, 30}, true, CellIndex(1, 2, 3), 4},
        {{10, 20, 30}, false, CellIndex(0, 0, 0), 968},
        {{10, 20, 30}, true, CellIndex(0, 0, 0), 964},
        {{0, 0, 0}, false, CellIndex(31, 31, 31), 190512},
    };
    for (const Case& c : cases) {
        Palette palette{};
        palette[0] = c.entry;
        const auto built = Build(palette, c.weighted);
        EXPECT_EQ(built->distances[c.cell], c.distance) << "cell " << c.cell << " weighted " << c.weighted;
    }
}

// Every cell's distance after a build with one entry is its candidate
// distance, whatever order the walks visited it in.
TEST(InverseColorMap, CarriedDistancesAreExactEverywhere) {
    for (bool weighted : {false, true}) {
        for (PaletteEntry entry : {PaletteEntry{0, 0, 0}, PaletteEntry{255, 255, 255}, PaletteEntry{3, 131, 250},
                                   PaletteEntry{-1, 5, 5}}) {
            Palette palette{};
            palette[0] = entry;
            const auto built = Build(palette, weighted);
            for (std::size_t cell = 0; cell < kCellCount; ++cell) {
                const auto expected = Candidate(entry, static_cast<int>(cell >> 10),
                                                static_cast<int>((cell >> 5) & 31), static_cast<int>(cell & 31),
                                                weighted);
                ASSERT_EQ(built->distances[cell], expected) << "cell " << cell;
            }
        }
    }
}

TEST(InverseColorMap, TiesGoToTheLowerIndex) {
    struct Case {
        std::vector<PaletteEntry> entries;
        std::array<int, 2> owned;  // cells owned by entries 0 and 1
    };
    const Case cases[] = {
        {{{10, 20, 30}, {10, 20, 30}}, {32768, 0}},   // a repeated colour wins nothing
        {{{8, 0, 0}, {0, 0, 0}}, {32768, 0}},         // equally near in plane 0
        {{{0, 0, 0}, {8, 0, 0}}, {1024, 31744}},
        {{{44, 2, 3}, {300, 2, 3}}, {32768, 0}},      // 300 is read as 44
    };
    for (const Case& c : cases) {
        const Palette palette = MakePalette(c.entries);
        const auto counts = OwnerCounts(Build(palette)->map);
        EXPECT_EQ(counts[0], c.owned[0]);
        EXPECT_EQ(counts[1], c.owned[1]);
    }
}

TEST(InverseColorMap, OnlyAllMinusOneIsSkipped) {
    struct Case {
        PaletteEntry entry;
        PaletteEntry seenAs;
    };
    const Case cases[] = {
        {{-1, 5, 5}, {255, 5, 5}},
        {{-1, -1, 5}, {255, 255, 5}},
        {{7, -1, -1}, {7, 255, 255}},
    };
    for (const Case& c : cases) {
        // Entry 1 is the colour the partly -1 entry stands for; it must win
        // nothing, because entry 0 is the same colour.
        const auto counts = OwnerCounts(Build(MakePalette({c.entry, c.seenAs}))->map);
        EXPECT_EQ(counts[0], 32768);
    }
    const auto counts = OwnerCounts(Build(MakePalette({kUnusedEntry, {9, 9, 9}}))->map);
    EXPECT_EQ(counts[1], 32768);
}

TEST(InverseColorMap, WeightedDistanceMovesOneCell) {
    const Palette palette = MakePalette({{16, 11, 18}, {0, 7, 0}});
    const auto plain = Build(palette, false);
    const auto weighted = Build(palette, true);
    EXPECT_EQ(plain->map[CellIndex(0, 1, 1)], 0);
    EXPECT_EQ(plain->distances[CellIndex(0, 1, 1)], 181u);
    EXPECT_EQ(weighted->map[CellIndex(0, 1, 1)], 1);
    EXPECT_EQ(weighted->distances[CellIndex(0, 1, 1)], 161u);
    int changed = 0;
    for (std::size_t cell = 0; cell < kCellCount; ++cell) {
        changed += plain->map[cell] != weighted->map[cell];
    }
    EXPECT_EQ(changed, 1);
}

// A wide, slanted region: the walks end before reaching some of its cells.
TEST(InverseColorMap, EarlyEndsLeaveKnownCellsWithAFartherEntry) {
    const Palette palette = MakePalette({{19, 250, 2}, {163, 100, 235}, {255, 187, 76}});
    for (bool weighted : {false, true}) {
        const auto built = Build(palette, weighted);
        const auto different = CellsDifferingFromFullSearch(palette, *built, weighted);
        EXPECT_EQ(different.size(), 43u) << "weighted " << weighted;
        for (std::size_t cell : different) {
            const std::size_t plane = cell >> 10;
            EXPECT_TRUE(plane >= 11 && plane <= 13) << "cell " << cell;
            EXPECT_EQ(Nearest(palette, cell, weighted), 2);
            EXPECT_NE(built->map[cell], 2);
        }
        if (!weighted) {
            const auto counts = OwnerCounts(built->map);
            EXPECT_EQ(counts[0], 6491);
            EXPECT_EQ(counts[1], 17029);
            EXPECT_EQ(counts[2], 9248);
            EXPECT_EQ(built->map[CellIndex(12, 0, 0)], 1);
            EXPECT_EQ(built->map[CellIndex(11, 0, 0)], 0);
            EXPECT_EQ(built->map[CellIndex(13, 28, 17)], 0);
            EXPECT_EQ(built->map[CellIndex(12, 16, 10)], 2);
            EXPECT_EQ(built->map[CellIndex(31, 23, 9)], 2);
        }
    }
}

// On ordinary palettes the scan agrees with a full search in all but a
// handful of cells, and every cell it does not agree on holds a used entry
// at most a little farther away.
TEST(InverseColorMap, AgreesWithFullSearchAlmostEverywhere) {
    for (const auto& [name, palette] : TestPalettes()) {
        for (bool weighted : {false, true}) {
            const auto built = Build(palette, weighted);
            const auto different = CellsDifferingFromFullSearch(palette, *built, weighted);
            EXPECT_LE(different.size(), 8u) << name << " weighted " << weighted;
            for (std::size_t cell = 0; cell < kCellCount; ++cell) {
                ASSERT_FALSE(IsSkippedByMap(palette[built->map[cell]])) << name << " cell " << cell;
            }
        }
    }
}

// The plain walk's cell tests.
TEST(InverseColorMap, CellTestCountsShowTheEarlyEnds) {
    std::mt19937 rng(2026);
    std::uniform_int_distribution<int> component(0, 255);
    Palette random{};
    for (PaletteEntry& e : random) {
        e = {static_cast<std::int16_t>(component(rng)), static_cast<std::int16_t>(component(rng)),
             static_cast<std::int16_t>(component(rng))};
    }
    const auto randomTests = Build(random, false, BuildPath::kPlain)->stats.cellTests;
    EXPECT_GT(randomTests, 800'000u);
    EXPECT_LT(randomTests, 1'050'000u);

    Palette ramp{};
    for (std::size_t i = 0; i < 256; ++i) {
        const auto v = static_cast<std::int16_t>(i);
        ramp[i] = {v, v, v};
    }
    const auto rampTests = Build(ramp, false, BuildPath::kPlain)->stats.cellTests;
    EXPECT_GT(rampTests, 4'700'000u);
    EXPECT_LT(rampTests, 4'950'000u);
}

// Coarser cubes use the same scan; each cell of an n-bit cube must still hold
// a nearest entry in all but a few cells.
TEST(InverseColorMap, CoarserCubesAndRefusedResolutions) {
    const Palette palette = TestPalettes().front().second;
    auto built = std::make_unique<Built>();
    for (int bits : {0, 6, 8, -1}) {
        built->map.fill(9);
        EXPECT_FALSE(BuildInverseColorMap(256, palette, built->distances, built->map, {.bitsPerComponent = bits}));
        EXPECT_EQ(built->map[0], 9);
    }
    for (int bits = 1; bits <= 4; ++bits) {
        ASSERT_TRUE(BuildInverseColorMap(256, palette, built->distances, built->map, {.bitsPerComponent = bits}));
        const int axis = 1 << bits, width = 256 / axis;
        int mismatches = 0;
        for (int r = 0; r < axis; ++r) {
            for (int g = 0; g < axis; ++g) {
                for (int b = 0; b < axis; ++b) {
                    std::int64_t best = -1;
                    int bestIndex = -1;
                    for (int i = 0; i < 256; ++i) {
                        const PaletteEntry e = palette[static_cast<std::size_t>(i)];
                        if (IsSkippedByMap(e)) continue;
                        auto sq = [](std::int64_t v) { return v * v; };
                        const std::int64_t d = sq(r * width + width / 2 - Low8(e.r)) +
                                               sq(g * width + width / 2 - Low8(e.g)) +
                                               sq(b * width + width / 2 - Low8(e.b));
                        if (bestIndex < 0 || d < best) {
                            best = d;
                            bestIndex = i;
                        }
                    }
                    const auto cell = static_cast<std::size_t>((r * axis + g) * axis + b);
                    mismatches += built->map[cell] != bestIndex;
                }
            }
        }
        EXPECT_LE(mismatches, axis * axis * axis / 50) << bits << " bits";
    }
}

}  // namespace
}  // namespace paltab
