// Inspection units: the summary of `info`, the comparison of `verify`, the
// colour and pair syntax of `lookup`, and the names given to file offsets.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>

#include "inspect/describe.hpp"
#include "inspect/info.hpp"
#include "inspect/lookup.hpp"
#include "inspect/verify.hpp"
#include "paltab/inverse_map.hpp"
#include "test_palettes.hpp"

namespace paltab {
namespace {

std::string TempPath(const std::string& name) {
    const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "inspect_test";
    std::filesystem::create_directories(dir);
    return (dir / name).string();
}

TEST(SummarizeColorTableFile, CountsCellsAndExplainsEntriesWithout) {
    // 2 is hidden: every cell centre (4 + 8k) is nearer to entry 0. 4 repeats
    // 1. 6 is unused in the file, yet the map takes it as white.
    Palette palette = MakePalette({Rgb(4, 4, 4), Rgb(200, 10, 10), Rgb(0, 0, 0), Rgb(20, 200, 20), Rgb(200, 10, 10),
                                   Rgb(10, 10, 200)});
    palette[6] = {-1, 255, 255};
    const auto bytes = GenerateColorTableFile(palette, {.writeExtension = true});
    const auto view = ColorTableView::Parse(bytes);
    ASSERT_TRUE(view);
    const TableFileSummary summary = SummarizeColorTableFile(*view);

    auto distances = std::make_unique<DistanceBuffer>();
    auto map = std::make_unique<InverseColorMap>();
    ASSERT_TRUE(BuildInverseColorMap(256, palette, *distances, *map));
    std::array<std::uint32_t, 256> owned{};
    for (const std::uint8_t index : *map) {
        ++owned[index];
    }
    EXPECT_EQ(summary.cellsOwned, owned);
    EXPECT_EQ(summary.usedEntries, 6);
    EXPECT_GT(owned[6], 0u);
    EXPECT_EQ(summary.unusedOwners, std::vector<std::uint8_t>{6});
    ASSERT_EQ(summary.celllessEntries.size(), 2u);
    EXPECT_EQ(summary.celllessEntries[0].index, 2);
    EXPECT_EQ(summary.celllessEntries[0].sameColorAs, std::nullopt);
    EXPECT_EQ(summary.celllessEntries[1].index, 4);
    EXPECT_EQ(summary.celllessEntries[1].sameColorAs, std::optional<std::uint8_t>(1));

    ASSERT_EQ(summary.sections.size(), 6u);
    EXPECT_EQ(summary.sections[2].span.section, TableSection::kTag);
    // python3 -c 'import zlib; print(hex(zlib.crc32(b"CWEN")))'
    EXPECT_EQ(summary.sections[2].crc32, 0xdd7cc72du);

    const std::string text = FormatSummary("t.tab", *view, summary);
    EXPECT_NE(text.find("  index 4 #cb0808 (6-bit 50 2 2): same colour as index 1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  index 2 #000000 (6-bit 0 0 0): hidden by nearer entries\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  index 6: " + std::to_string(owned[6]) + " cells\n"), std::string::npos) << text;
}

TEST(DescribeOffset, NamesTheByteInItsSection) {
    const struct {
        std::size_t offset;
        const char* text;
    } cases[] = {
        {0, "palette entry 0 red"},
        {767, "palette entry 255 blue"},
        {768, "map cell r5 0 g5 0 b5 0"},
        {768 + (1 << 10 | 2 << 5 | 3), "map cell r5 1 g5 2 b5 3"},
        {33535, "map cell r5 31 g5 31 b5 31"},
        {33536, "tag byte 0"},
        {33539, "tag byte 3"},
        {33540 + 3 * 256 + 200, "shade colour 3 level 200"},
        {99075, "shade colour 255 level 255"},
        {99076 + 1 * 256 + 2, "additive a 1 b 2"},
        {164611, "additive a 255 b 255"},
        {164612, "multiplicative a 0 b 0"},
        {230147, "multiplicative a 255 b 255"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DescribeOffset(c.offset), c.text) << c.offset;
    }
}

// A byte to change in each section, and whether the structural checks
// already refuse the result.
struct Flip {
    std::size_t offset;
    bool structural;
};

TEST(Verify, FindsAFlippedByteInEverySection) {
    const std::string palettePath = PALTAB_EXAMPLES_DIR "/sixteen.pal.txt";
    const auto expected = TablesOfPaletteFile(palettePath, {.writeExtension = true});
    ASSERT_TRUE(expected) << expected.error().Message();
    const Flip flips[] = {
        {3 * 4 + 1, false},               // green of entry 4, 14 -> 15
        {3 * 200, true},                  // an unused entry's 255 -> 254
        {kMapOffset + 12345, false},
        {kTagOffset + 2, true},
        {kShadeOffset + 5 * 256 + 77, false},
        {kAdditiveOffset + 65535, false},
        {kMultiplicativeOffset, false},
    };
    for (const Flip& flip : flips) {
        std::vector<std::uint8_t> damaged = *expected;
        damaged[flip.offset] ^= 1;
        const auto view = ColorTableView::Parse(damaged);
        if (flip.structural) {
            EXPECT_FALSE(view) << flip.offset;
            continue;
        }
        ASSERT_TRUE(view) << flip.offset;
        const TableComparison comparison = CompareTableFiles(*expected, view->Bytes(), 5);
        EXPECT_EQ(comparison.differing, 1u) << flip.offset;
        ASSERT_EQ(comparison.first.size(), 1u) << flip.offset;
        EXPECT_EQ(comparison.first[0].offset, flip.offset);
        EXPECT_EQ(comparison.first[0].expected, (*expected)[flip.offset]);
        EXPECT_EQ(comparison.first[0].found, (*expected)[flip.offset] ^ 1);
        EXPECT_EQ(comparison.perSection[static_cast<std::size_t>(SectionAt(flip.offset).section)], 1u);
    }

    std::vector<std::uint8_t> damaged = *expected;
    damaged[kMapOffset + (1 << 10 | 2 << 5 | 3)] = 200;
    EXPECT_EQ(FormatComparison("t.tab", "p.txt", CompareTableFiles(*expected, damaged, 5)),
              "t.tab: offset 1859, map cell r5 1 g5 2 b5 3: expected " +
                  std::to_string((*expected)[kMapOffset + (1 << 10 | 2 << 5 | 3)]) +
                  ", found 200\nt.tab: 1 bytes differ from the tables of 'p.txt' (map 1)\n");
    EXPECT_EQ(FormatComparison("t.tab", "p.txt", CompareTableFiles(*expected, *expected, 5)),
              "t.tab: matches the tables of 'p.txt'\n");

    // A truncated file fails the structural checks; compared anyway, its
    // missing bytes count as differences.
    const std::vector<std::uint8_t> truncated(expected->begin(), expected->end() - 100);
    EXPECT_FALSE(ColorTableView::Parse(truncated));
    const TableComparison shortComparison = CompareTableFiles(*expected, truncated, 5);
    EXPECT_EQ(shortComparison.differing, 100u);
    EXPECT_TRUE(shortComparison.first.empty());
}

TEST(Verify, RebuildsWithTheGeneratorsOptions) {
    const std::string palettePath = PALTAB_EXAMPLES_DIR "/default.pal.txt";
    const auto plain = TablesOfPaletteFile(palettePath, {});
    const auto weighted = TablesOfPaletteFile(palettePath, {.weightedDistance = true, .writeExtension = true});
    ASSERT_TRUE(plain) << plain.error().Message();
    ASSERT_TRUE(weighted) << weighted.error().Message();
    EXPECT_EQ(plain->size(), kPlainFileSize);
    EXPECT_EQ(weighted->size(), kExtendedFileSize);
    // The weighted start moves some cells, so a file made with -c does not
    // match a rebuild without it.
    const auto unweighted = TablesOfPaletteFile(palettePath, {.writeExtension = true});
    ASSERT_TRUE(unweighted);
    EXPECT_GT(CompareTableFiles(*unweighted, *weighted, 0).differing, 0u);

    const std::string missing = TempPath("missing.pal.txt");
    const auto fromMissing = TablesOfPaletteFile(missing, {});
    ASSERT_FALSE(fromMissing);
    EXPECT_EQ(fromMissing.error().Message(), "cannot read '" + missing + "': No such file or directory");
    const std::string directory = std::filesystem::path(missing).parent_path().string();
    const auto fromDirectory = TablesOfPaletteFile(directory, {});
    ASSERT_FALSE(fromDirectory);
    EXPECT_EQ(fromDirectory.error().Message(), "cannot read '" + directory + "': Is a directory");
}

TEST(Lookup, ParsesColoursAndPairs) {
    const struct {
        const char* text;
        std::optional<Rgb8> color;
    } colors[] = {
        {"255,128,0", Rgb8{255, 128, 0}},
        {"0,0,0", Rgb8{0, 0, 0}},
        {"007,08,9", Rgb8{7, 8, 9}},
        {"#ff8000", Rgb8{255, 128, 0}},
        {"#3366CC", Rgb8{0x33, 0x66, 0xcc}},
        {"256,0,0", std::nullopt},
        {"1,2", std::nullopt},
        {"1,2,3,4", std::nullopt},
        {"1,,3", std::nullopt},
        {"-1,2,3", std::nullopt},
        {"1, 2,3", std::nullopt},
        {"0001,2,3", std::nullopt},
        {"#ff800", std::nullopt},
        {"#ff80000", std::nullopt},
        {"#gg8000", std::nullopt},
        {"#+f8000", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : colors) {
        EXPECT_EQ(ParseColor(c.text), c.color) << c.text;
    }
    const struct {
        const char* text;
        bool ok;
        int first, second;
    } pairs[] = {
        {"3:200", true, 3, 200}, {"0:0", true, 0, 0}, {"255:255", true, 255, 255}, {"256:0", false, 0, 0},
        {"3", false, 0, 0},      {"3:", false, 0, 0}, {":3", false, 0, 0},         {"3:4:5", false, 0, 0},
    };
    for (const auto& p : pairs) {
        const auto parsed = ParseIndexPair(p.text);
        ASSERT_EQ(parsed.has_value(), p.ok) << p.text;
        if (parsed) {
            EXPECT_EQ(parsed->first, p.first);
            EXPECT_EQ(parsed->second, p.second);
        }
    }
}

TEST(Lookup, PrintsTheEntryOfEachLookup) {
    const auto bytes = GenerateColorTableFile(MakePalette({Rgb(0, 0, 0), Rgb(255, 128, 0), Rgb(255, 255, 255)}),
                                              {.writeExtension = true});
    const auto view = ColorTableView::Parse(bytes);
    ASSERT_TRUE(view);
    EXPECT_EQ(FormatColorLookup(*view, {250, 130, 7}),
              "250,130,7 #fa8207 cell r5 31 g5 16 b5 0 -> index 1 #ff8200 (6-bit 63 32 0)");
    // Black at level 0 is black; white times white is the map's (30,30,30) cell.
    EXPECT_EQ(FormatPairLookup(*view, TableSection::kShade, {1, 0}), "shade 1:0 -> index 0 #000000 (6-bit 0 0 0)");
    EXPECT_EQ(FormatPairLookup(*view, TableSection::kMultiplicative, {2, 2}),
              "multiplicative 2:2 -> index 2 #ffffff (6-bit 63 63 63)");
    // An unused operand is ignored.
    EXPECT_EQ(FormatPairLookup(*view, TableSection::kAdditive, {1, 9}),
              "additive 1:9 -> index 1 #ff8200 (6-bit 63 32 0)");
    EXPECT_EQ(FormatPairLookup(*view, TableSection::kAdditive, {9, 9}), "additive 9:9 -> index 9 (unused)");

    const auto plain = GenerateColorTableFile(MakePalette({Rgb(1, 2, 3)}), {});
    const auto plainView = ColorTableView::Parse(plain);
    ASSERT_TRUE(plainView);
    EXPECT_EQ(FormatPairLookup(*plainView, TableSection::kShade, {0, 0}), "shade 0:0 -> no extension tables");
}

}  // namespace
}  // namespace paltab
