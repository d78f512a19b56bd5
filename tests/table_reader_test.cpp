// Table file reader: every table read back from generated files, the
// structural checks with their offsets, and the file wrapper's errors.
#include "paltab/table_reader.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

#include "paltab/blend.hpp"
#include "paltab/color_tables.hpp"
#include "paltab/inverse_map.hpp"
#include "paltab/shade.hpp"
#include "test_palettes.hpp"

namespace paltab {
namespace {

std::uint8_t Byte(std::size_t v) {
    return static_cast<std::uint8_t>(v);
}

// The tables built directly by the builders, independent of the file writer.
std::unique_ptr<BuiltTables> Build(const Palette& palette, bool weighted) {
    auto built = std::make_unique<BuiltTables>();
    EXPECT_TRUE(BuildInverseColorMap(256, palette, built->distances, built->map, {.weightedDistance = weighted}));
    BuildShadeTable(palette, built->map, built->shade);
    BuildBlendTables(palette, built->map, built->shade, built->additive, built->multiplicative);
    return built;
}

std::vector<std::uint8_t> Extended(const Palette& palette) {
    return GenerateColorTableFile(palette, {.writeExtension = true});
}

TEST(ColorTableView, ReadsBackEveryTableOfGeneratedFiles) {
    for (const auto& [name, palette] : TestPalettes()) {
        for (const GenerateOptions options : {GenerateOptions{false, false}, GenerateOptions{false, true},
                                              GenerateOptions{true, true}}) {
            SCOPED_TRACE(name + (options.weightedDistance ? " -c" : "") + (options.writeExtension ? " -n" : ""));
            const auto built = Build(palette, options.weightedDistance);
            const std::vector<std::uint8_t> bytes = GenerateColorTableFile(palette, options);
            const auto view = ColorTableView::Parse(bytes);
            ASSERT_TRUE(view.has_value());
            EXPECT_EQ(view->HasExtension(), options.writeExtension);

            for (std::size_t i = 0; i < kPaletteSize; ++i) {
                const PaletteEntry e = palette[i];
                ASSERT_EQ(view->IsUsed(Byte(i)), !IsUnused(e)) << "entry " << i;
                const std::optional<Rgb8> expected =
                    IsUnused(e) ? std::nullopt : std::optional<Rgb8>(Rgb8{SixBit(e.r), SixBit(e.g), SixBit(e.b)});
                ASSERT_EQ(view->SixBitColor(Byte(i)), expected) << "entry " << i;
            }
            for (std::size_t cell = 0; cell < kCellCount; ++cell) {
                ASSERT_EQ(view->MapCell(cell), built->map[cell]) << "cell " << cell;
                // Any 8-bit colour inside the cell finds it: the low three
                // bits are dropped, not rounded.
                const int r = static_cast<int>(cell >> 10) * 8, g = static_cast<int>((cell >> 5) & 31) * 8,
                          b = static_cast<int>(cell & 31) * 8;
                const int low = static_cast<int>(cell % 8);
                ASSERT_EQ(view->Lookup({Byte(r + low), Byte(g + 7 - low), Byte(b + 7)}), built->map[cell])
                    << "cell " << cell;
            }
            for (std::size_t row = 0; row < 256; ++row) {
                for (std::size_t column = 0; column < 256; ++column) {
                    const std::size_t k = PairIndex(static_cast<int>(row), static_cast<int>(column));
                    const auto shade = view->Shade(Byte(row), Byte(column));
                    const auto additive = view->Additive(Byte(row), Byte(column));
                    const auto multiplicative = view->Multiplicative(Byte(row), Byte(column));
                    if (!options.writeExtension) {
                        ASSERT_FALSE(shade || additive || multiplicative);
                        continue;
                    }
                    ASSERT_EQ(shade, built->shade[k]) << row << ", " << column;
                    ASSERT_EQ(additive, built->additive[k]) << row << ", " << column;
                    ASSERT_EQ(multiplicative, built->multiplicative[k]) << row << ", " << column;
                }
            }
        }
    }
}

TEST(ColorTableView, ExpandsSixBitsByReplication) {
    int previous = -1;
    for (int v = 0; v < 64; ++v) {
        const int e = ExpandSixBit(Byte(static_cast<std::size_t>(v)));
        EXPECT_EQ(e >> 2, v) << "the top six bits are the stored value";
        EXPECT_EQ(e & 3, v >> 4) << "the low two bits repeat its top two";
        EXPECT_GT(e, previous);
        previous = e;
    }
    EXPECT_EQ(ExpandSixBit(0), 0);
    EXPECT_EQ(ExpandSixBit(63), 255);

    const auto bytes = GenerateColorTableFile(MakePalette({Rgb(255, 255, 255), Rgb(0, 0, 0), Rgb(255, 128, 4)}), {});
    const auto view = ColorTableView::Parse(bytes);
    ASSERT_TRUE(view);
    EXPECT_EQ(view->Color(0), (Rgb8{255, 255, 255}));
    EXPECT_EQ(view->Color(1), (Rgb8{0, 0, 0}));
    EXPECT_EQ(view->Color(2), (Rgb8{255, 130, 4}));  // 6-bit 63 32 1
    EXPECT_EQ(view->Color(3), std::nullopt);
}

TEST(CheckColorTableFile, ReportsTheFirstFaultWithItsOffset) {
    const std::vector<std::uint8_t> good = Extended(TestPalettes()[0].second);
    struct Case {
        const char* what;
        void (*damage)(std::vector<std::uint8_t>&);
        TableFileFault fault;
        std::size_t offset;
    };
    const Case cases[] = {
        {"empty", [](auto& b) { b.clear(); }, TableFileFault::kTruncated, 0},
        {"one byte short of a plain file", [](auto& b) { b.resize(kPlainFileSize - 1); }, TableFileFault::kTruncated,
         kPlainFileSize - 1},
        {"plain file and one byte", [](auto& b) { b.resize(kPlainFileSize + 1); }, TableFileFault::kTruncated,
         kPlainFileSize + 1},
        {"tag only", [](auto& b) { b.resize(kShadeOffset); }, TableFileFault::kTruncated, kShadeOffset},
        {"one byte short", [](auto& b) { b.pop_back(); }, TableFileFault::kTruncated, kExtendedFileSize - 1},
        {"one byte long", [](auto& b) { b.push_back(0); }, TableFileFault::kTrailingBytes, kExtendedFileSize},
        {"far too long", [](auto& b) { b.resize(1 << 20); }, TableFileFault::kTrailingBytes, kExtendedFileSize},
        {"lower-case tag", [](auto& b) { b[kTagOffset] = 'c'; }, TableFileFault::kBadTag, kTagOffset},
        {"last tag byte", [](auto& b) { b[kTagOffset + 3] = 'X'; }, TableFileFault::kBadTag, kTagOffset + 3},
        {"green 64", [](auto& b) { b[3 * 100 + 1] = 64; }, TableFileFault::kBadPaletteByte, 3 * 100 + 1},
        {"half an unused triple", [](auto& b) { b[765] = b[766] = 255, b[767] = 254; },
         TableFileFault::kBadPaletteByte, 765},
        {"used entry with a 255", [](auto& b) { b[0] = 1, b[1] = 1, b[2] = 255; }, TableFileFault::kBadPaletteByte,
         2},
        // Checked in file order: the size first, then the tag, then the palette.
        {"tag and palette", [](auto& b) { b[0] = 99, b[kTagOffset] = 0; }, TableFileFault::kBadTag, kTagOffset},
        {"all 63 and all unused", [](auto& b) { b[0] = b[1] = b[2] = 63, b[3] = b[4] = b[5] = 255; },
         TableFileFault::kNone, 0},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bytes = good;
        c.damage(bytes);
        const TableFileCheck check = CheckColorTableFile(bytes);
        EXPECT_EQ(check.fault, c.fault) << c.what;
        EXPECT_EQ(check.offset, c.offset) << c.what;
        EXPECT_EQ(check.ok(), check.Message().empty()) << c.what;
        if (!check.ok()) {
            EXPECT_EQ(check.AsError().where, "offset " + std::to_string(c.offset)) << check.Message();
        }
        EXPECT_EQ(ColorTableView::Parse(bytes).has_value(), c.fault == TableFileFault::kNone) << c.what;
    }

    std::vector<std::uint8_t> badTag = good;
    badTag[kTagOffset + 3] = 0;
    EXPECT_EQ(CheckColorTableFile(badTag).Message(), "offset 33539: expected tag \"CWEN\", found \"CWE\\x00\"");
    std::vector<std::uint8_t> badByte = good;
    badByte[3 * 7 + 2] = 200;
    EXPECT_EQ(CheckColorTableFile(badByte).Message(),
              "offset 23: palette entry 7 blue is 200; a used entry's components are 0..63, an unused entry is "
              "255 255 255");
}

TEST(ColorTableFile, LoadsAFileAndNamesItInEveryError) {
    const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "table_reader_test";
    std::filesystem::create_directories(dir);
    auto write = [&](const char* name, const std::vector<std::uint8_t>& bytes) {
        const std::string path = (dir / name).string();
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                   static_cast<std::streamsize>(bytes.size()));
        return path;
    };
    const std::vector<std::uint8_t> good = Extended(TestPalettes()[1].second);
    const std::string goodPath = write("good.tab", good);
    std::vector<std::uint8_t> shortBytes(good.begin(), good.begin() + 1000);
    const std::string shortPath = write("short.tab", shortBytes);
    std::vector<std::uint8_t> longBytes = good;
    longBytes.resize(3'000'000, 7);
    const std::string longPath = write("long.tab", longBytes);

    auto loaded = ColorTableFile::Load(goodPath);
    ASSERT_TRUE(loaded) << loaded.error().Message();
    // The view survives a move of the file object.
    const ColorTableFile moved = std::move(*loaded);
    EXPECT_TRUE(std::equal(moved.View().Bytes().begin(), moved.View().Bytes().end(), good.begin(), good.end()));

    const struct {
        std::string path;
        std::string error;
    } failures[] = {
        {(dir / "missing.tab").string(), "cannot read '" + (dir / "missing.tab").string() + "': No such file or directory"},
        {dir.string(), "cannot read '" + dir.string() + "': Is a directory"},
        {shortPath, "cannot read '" + shortPath + "': offset 1000: file ends early; a table file is 33536 or 230148 bytes"},
        {longPath, "cannot read '" + longPath +
                       "': offset 230148: data after the end of the tables; a table file is 33536 or 230148 bytes"},
    };
    for (const auto& f : failures) {
        const auto failed = ColorTableFile::Load(f.path);
        ASSERT_FALSE(failed) << f.path;
        EXPECT_EQ(failed.error().Message(), f.error);
    }
}

}  // namespace
}  // namespace paltab
