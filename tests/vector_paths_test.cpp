// The vector paths of the table builders against the plain ones: every cell,
// every stored distance and every table byte, on the shared palettes and on
// random palettes with repeats, holes, -1 components and values outside
// 0..255, with and without the weighted start.
#include <gtest/gtest.h>

#include <memory>
#include <random>

#include "paltab/blend.hpp"
#include "paltab/color_tables.hpp"
#include "paltab/inverse_map.hpp"
#include "paltab/shade.hpp"
#include "tables/line_walk.hpp"
#include "test_palettes.hpp"

namespace paltab {
namespace {

constexpr BuildPath kVectorPaths[] = {BuildPath::kVector, BuildPath::kVectorBaseline};

// Entries 0..count-1 drawn from a mix: plain colours, repeats of an earlier
// entry, unused holes, components of -1 and components outside 0..255.
Palette RandomPalette(std::mt19937& rng, int count) {
    std::uniform_int_distribution<int> kind(0, 9);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> wide(-600, 900);
    auto component = [&] {
        switch (kind(rng)) {
            case 0: return -1;
            case 1: return wide(rng);
            default: return byte(rng);
        }
    };
    std::vector<PaletteEntry> entries;
    for (int i = 0; i < count; ++i) {
        const int k = kind(rng);
        if (k == 0) {
            entries.push_back(kUnusedEntry);
        } else if (k == 1 && i > 0) {
            entries.push_back(entries[std::uniform_int_distribution<std::size_t>(0, entries.size() - 1)(rng)]);
        } else {
            // Braces fix the order of the draws.
            const int c[3] = {component(), component(), component()};
            entries.push_back(Rgb(c[0], c[1], c[2]));
        }
    }
    return MakePalette(entries);
}

// Maps are built from `colorCount` entries, which may lie outside 0..256.
// `plain` and `vector` are working space, reused across calls.
void ExpectSameMaps(const Palette& palette, int colorCount, bool weighted, const std::string& name, BuiltTables& plain,
                    BuiltTables& vector) {
    // The map keeps what it held when no entry is used.
    plain.map.fill(0x5A);
    ASSERT_TRUE(BuildInverseColorMap(colorCount, palette, plain.distances, plain.map,
                                     {.weightedDistance = weighted, .path = BuildPath::kPlain}));
    for (BuildPath path : kVectorPaths) {
        vector.map.fill(0x5A);
        ASSERT_TRUE(BuildInverseColorMap(colorCount, palette, vector.distances, vector.map,
                                         {.weightedDistance = weighted, .path = path}));
        if (vector.map != plain.map || vector.distances != plain.distances) {
            for (std::size_t cell = 0; cell < kCellCount; ++cell) {
                ASSERT_EQ(vector.map[cell], plain.map[cell])
                    << name << ", " << colorCount << " entries, weighted " << weighted << ", path "
                    << static_cast<int>(path) << ": cell " << cell;
                ASSERT_EQ(vector.distances[cell], plain.distances[cell])
                    << name << ", weighted " << weighted << ", path " << static_cast<int>(path) << ": cell " << cell;
            }
        }
    }
}

void ExpectSameShadeAndBlend(const Palette& palette, const std::string& name) {
    auto plain = std::make_unique<BuiltTables>();
    ASSERT_TRUE(BuildInverseColorMap(256, palette, plain->distances, plain->map));
    BuildShadeTable(palette, plain->map, plain->shade, BuildPath::kPlain);
    BuildBlendTables(palette, plain->map, plain->shade, plain->additive, plain->multiplicative, BuildPath::kPlain);
    for (BuildPath path : kVectorPaths) {
        auto vector = std::make_unique<BuiltTables>();
        vector->map = plain->map;
        vector->shade.fill(0xAB);
        vector->additive.fill(0xCD);
        vector->multiplicative.fill(0xEF);
        BuildShadeTable(palette, vector->map, vector->shade, path);
        // Blend from the plain shade table, so that a difference shows in the
        // table that has it.
        BuildBlendTables(palette, vector->map, plain->shade, vector->additive, vector->multiplicative, path);
        for (std::size_t k = 0; k < kPairTableSize; ++k) {
            ASSERT_EQ(vector->shade[k], plain->shade[k]) << name << ": shade(" << k / 256 << ", " << k % 256 << ")";
            ASSERT_EQ(vector->additive[k], plain->additive[k]) << name << ": " << k / 256 << " + " << k % 256;
            ASSERT_EQ(vector->multiplicative[k], plain->multiplicative[k])
                << name << ": " << k / 256 << " * " << k % 256;
        }
    }
}

// The line's cell-by-cell walk over the wins as bits, written as the plain
// walk takes it.
LineWalk PlainLineWalk(std::uint32_t wins, int startCell) {
    auto wins_at = [&](int b) { return ((wins >> b) & 1u) != 0; };
    LineWalk walk{0, startCell};
    bool found = false;
    int b = startCell;
    for (; b < 32; ++b) {
        if (wins_at(b)) {
            walk.startCell = b;
            found = true;
            break;
        }
    }
    for (; b < 32 && wins_at(b); ++b) {
        walk.claimed |= 1u << b;
    }
    b = walk.startCell - 1;
    if (!found) {
        for (; b >= 0; --b) {
            if (wins_at(b)) {
                walk.startCell = b;
                break;
            }
        }
    }
    for (; b >= 0 && wins_at(b); --b) {
        walk.claimed |= 1u << b;
    }
    return walk;
}

// Palettes give wins in one block almost always, so the other cases are
// checked here: random masks and masks of two or three blocks, every start.
TEST(VectorPaths, LineWalkAgreesWithTheCellByCellWalk) {
    std::mt19937 rng(11);
    std::vector<std::uint32_t> masks = {1u, 0x80000000u, ~0u, 0x0000FFFFu, 0xFFFF0000u, 0x80000001u, 0x00F000F0u};
    for (int i = 0; i < 4000; ++i) {
        masks.push_back(static_cast<std::uint32_t>(rng()));
        const auto blocks = static_cast<std::uint32_t>(rng()) & static_cast<std::uint32_t>(rng()) &
                            static_cast<std::uint32_t>(rng());
        masks.push_back(blocks | (blocks << 1) | (blocks << 2));
    }
    for (std::uint32_t wins : masks) {
        if (wins == 0) {
            continue;
        }
        for (int start = 0; start < 32; ++start) {
            const LineWalk expected = PlainLineWalk(wins, start);
            const LineWalk actual = WalkLine(wins, start);
            ASSERT_EQ(actual.claimed, expected.claimed)
                << "wins " << std::hex << wins << ", start " << std::dec << start;
            ASSERT_EQ(actual.startCell, expected.startCell) << "wins " << std::hex << wins << ", start " << std::dec
                                                            << start;
        }
    }
}

TEST(VectorPaths, MapsAgreeWithThePlainWalk) {
    auto plain = std::make_unique<BuiltTables>();
    auto vector = std::make_unique<BuiltTables>();
    for (const auto& [name, palette] : TestPalettes()) {
        for (bool weighted : {false, true}) {
            ExpectSameMaps(palette, 256, weighted, name, *plain, *vector);
        }
    }
    // The three-entry palette whose walk ends early in 43 cells.
    ExpectSameMaps(MakePalette({Rgb(19, 250, 2), Rgb(163, 100, 235), Rgb(255, 187, 76)}), 256, false, "early ends",
                   *plain, *vector);
    ExpectSameMaps(Palette{}, 256, false, "empty", *plain, *vector);

    // Mostly small palettes, where regions are large and slanted and the
    // walk's early ends are many; one in forty full.
    std::mt19937 rng(20261207);
    for (int i = 0; i < 3000; ++i) {
        const int count = i % 40 == 0 ? 256 : std::uniform_int_distribution<int>(1, 16)(rng);
        const Palette palette = RandomPalette(rng, count);
        const int colorCount = i % 7 == 0 ? std::uniform_int_distribution<int>(-2, 300)(rng) : 256;
        ExpectSameMaps(palette, colorCount, i % 2 == 1, "random palette " + std::to_string(i), *plain, *vector);
        if (HasFailure()) {
            return;
        }
    }
}

// Ramps, where each entry takes back part of the cube the ones before took:
// lines won in part, entry after entry, with now and then a hole, a repeat
// or an entry off the ramp.
TEST(VectorPaths, MapsOfRampsAgreeWithThePlainWalk) {
    auto plain = std::make_unique<BuiltTables>();
    auto vector = std::make_unique<BuiltTables>();
    std::mt19937 rng(31);
    std::uniform_int_distribution<int> byte(0, 255);
    for (int i = 0; i < 120; ++i) {
        const int ramps = 1 << (i % 4);
        const int count = std::uniform_int_distribution<int>(2, 256 / ramps)(rng);
        std::vector<PaletteEntry> entries;
        for (int q = 0; q < ramps; ++q) {
            const int from[3] = {byte(rng), byte(rng), byte(rng)};
            const int to[3] = {byte(rng), byte(rng), byte(rng)};
            for (int k = 0; k < count; ++k) {
                auto at = [&](int c) { return from[c] + (to[c] - from[c]) * k / std::max(count - 1, 1); };
                const int odd = std::uniform_int_distribution<int>(0, 49)(rng);
                entries.push_back(odd == 0   ? kUnusedEntry
                                  : odd == 1 && !entries.empty() ? entries[entries.size() / 2]
                                  : odd == 2 ? Rgb(byte(rng), byte(rng), byte(rng))
                                             : Rgb(at(0), at(1), at(2)));
            }
        }
        ExpectSameMaps(MakePalette(entries), 256, i % 2 == 1, "ramps " + std::to_string(i), *plain, *vector);
        if (HasFailure()) {
            return;
        }
    }
}

TEST(VectorPaths, ShadeAndBlendAgreeWithThePlainRows) {
    for (const auto& [name, palette] : TestPalettes()) {
        ExpectSameShadeAndBlend(palette, name);
    }
    std::mt19937 rng(7);
    for (int i = 0; i < 40; ++i) {
        ExpectSameShadeAndBlend(RandomPalette(rng, std::uniform_int_distribution<int>(1, 256)(rng)),
                                "random palette " + std::to_string(i));
    }
    // Runs of entries with the same 5-bit colour (other low bits), broken by
    // holes and new colours: the vector paths build such rows once.
    std::uniform_int_distribution<int> kind(0, 7);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<int> low(0, 7);
    for (int i = 0; i < 40; ++i) {
        std::vector<PaletteEntry> entries;
        PaletteEntry last = Rgb(byte(rng), byte(rng), byte(rng));
        for (int k = 0; k < 256; ++k) {
            const int pick = kind(rng);
            if (pick == 0) {
                entries.push_back(kUnusedEntry);
                continue;
            }
            if (pick == 1) {
                last = Rgb(byte(rng), byte(rng), byte(rng));
            } else {
                auto near = [&](std::int16_t v) { return (v & ~7) | low(rng); };
                const int c[3] = {near(last.r), near(last.g), near(last.b)};
                last = Rgb(c[0], c[1], c[2]);
            }
            entries.push_back(last);
        }
        ExpectSameShadeAndBlend(MakePalette(entries), "runs of one 5-bit colour " + std::to_string(i));
    }
}

TEST(VectorPaths, WholeFilesAgree) {
    for (const auto& [name, palette] : TestPalettes()) {
        for (const bool weighted : {false, true}) {
            const auto plain = GenerateColorTableFile(
                palette, {.weightedDistance = weighted, .writeExtension = true, .path = BuildPath::kPlain});
            for (BuildPath path : kVectorPaths) {
                EXPECT_EQ(GenerateColorTableFile(palette,
                                                 {.weightedDistance = weighted, .writeExtension = true, .path = path}),
                          plain)
                    << name << ", weighted " << weighted << ", path " << static_cast<int>(path);
            }
        }
    }
}

}  // namespace
}  // namespace paltab
