// Lumps: recognition by size and by kind, descriptions of lumps the library
// builds, cell-by-cell comparison, pictures of every cell, the PLAYPAL
// defaults against a plain floating-point computation, tint parsing, and
// `paltool playpal`.
#include "paltab/lumps.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "paltab/palette_formats.hpp"
#include "random_inputs.hpp"
#include "render/lump_pictures.hpp"
#include "test_process.hpp"

namespace paltab {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<Rgb8> RandomColours(std::size_t count, unsigned seed) {
    std::vector<Rgb8> colours = RandomColors(count, seed);
    // The extremes, where the floor of a negative step matters most.
    colours[0] = {0, 0, 0};
    colours[1] = {255, 255, 255};
    return colours;
}

Bytes BuildPaletteDat(int levels, int countField) {
    Bytes bytes(kPaletteDatHeaderSize + static_cast<std::size_t>(levels) * 256 + kPairTableSize, 7);
    bytes[768] = static_cast<std::uint8_t>(countField);
    bytes[769] = static_cast<std::uint8_t>(countField >> 8);
    return bytes;
}

TEST(Lumps, Recognition) {
    const struct {
        Bytes bytes;
        std::optional<LumpKind> as;
        std::optional<LumpKind> kind;  // nothing: refused
        int rows = 0;
        const char* error = "";
    } cases[] = {
        {Bytes(8704), {}, LumpKind::kColormap, 34},
        {Bytes(8704), LumpKind::kLightTable, LumpKind::kLightTable, 34},
        {Bytes(65536), {}, LumpKind::kTranmap, 256},
        {Bytes(65536), LumpKind::kLightTable, LumpKind::kLightTable, 256},
        {Bytes(10752), {}, LumpKind::kPlaypal, 14},
        {Bytes(10752), LumpKind::kLightTable, LumpKind::kLightTable, 42},
        {Bytes(3 * 768), LumpKind::kPlaypal, LumpKind::kPlaypal, 3},
        {BuildPaletteDat(32, 32), {}, LumpKind::kBuildPalette, 32},
        {BuildPaletteDat(1, 1), LumpKind::kBuildPalette, LumpKind::kBuildPalette, 1},
        {Bytes(512), {}, LumpKind::kLightTable, 2},
        {BuildPaletteDat(32, 31), {}, {}, 0, "74498 bytes is the size of no lump paltool knows"},
        {BuildPaletteDat(32, 31), LumpKind::kBuildPalette, {}, 0, "74498 bytes do not make a palette.dat"},
        {Bytes(512), LumpKind::kColormap, {}, 0, "512 bytes, not the 8704 of a COLORMAP"},
        {Bytes(8704), LumpKind::kTranmap, {}, 0, "8704 bytes, not the 65536 of a TRANMAP"},
        {Bytes(769), LumpKind::kPlaypal, {}, 0, "769 bytes is not a whole number of 768-byte palettes"},
        {Bytes(257 * 256), LumpKind::kLightTable, {}, 0, "65792 bytes is not 1..256 rows of 256"},
        {Bytes{}, {}, {}, 0, "0 bytes is the size of no lump"},
    };
    for (const auto& c : cases) {
        const auto info = RecogniseLump(c.bytes, c.as);
        SCOPED_TRACE(std::to_string(c.bytes.size()) + " bytes");
        ASSERT_EQ(info.has_value(), c.kind.has_value()) << info.error().Message();
        if (info) {
            EXPECT_EQ(info->kind, *c.kind);
            EXPECT_EQ(info->rows, c.rows);
        } else {
            EXPECT_EQ(info.error().Message().rfind(c.error, 0), 0u) << info.error().Message();
        }
    }
    EXPECT_EQ(ParseLumpKind("build-palette"), LumpKind::kBuildPalette);
    EXPECT_EQ(LumpKindList(), "colormap, tranmap, playpal, build-palette, light");
}

// Every lump the library rebuilds is recognised as its kind, and matches
// itself; a rebuilt PLAYPAL matches MakePlaypal's.
TEST(Lumps, RebuiltLumpsAreRecognised) {
    const std::vector<Rgb8> colours = RandomColours(256, 3);
    const struct {
        LumpInfo info;
        std::size_t size;
    } cases[] = {{{LumpKind::kColormap, 34}, 8704},
                 {{LumpKind::kTranmap, 256}, 65536},
                 {{LumpKind::kPlaypal, 14}, 10752},
                 {{LumpKind::kBuildPalette, 16}, 770 + 16 * 256 + 65536},
                 {{LumpKind::kLightTable, 8}, 2048}};
    LumpSettings settings;
    settings.light.fullbright.set(250).set(251);
    for (const auto& c : cases) {
        const auto bytes = RebuildLump(c.info, colours, settings);
        ASSERT_TRUE(bytes) << bytes.error().Message();
        ASSERT_EQ(bytes->size(), c.size);
        const auto info = RecogniseLump(*bytes, c.info.kind == LumpKind::kLightTable ? std::optional(c.info.kind)
                                                                                     : std::nullopt);
        ASSERT_TRUE(info) << info.error().Message();
        EXPECT_EQ(info->kind, c.info.kind);
        EXPECT_EQ(info->rows, c.info.rows);
        EXPECT_EQ(CompareLump(*bytes, *bytes, *info)->differing, 0u);
        const auto cut = CompareLump(*bytes, std::span(*bytes).first(bytes->size() - 1), *info);
        ASSERT_FALSE(cut);
        EXPECT_EQ(cut.error().kind, ErrorKind::kBadInput);
    }
    const auto playpal = RebuildLump({LumpKind::kPlaypal, 3}, colours, settings);
    ASSERT_FALSE(playpal);
    EXPECT_NE(playpal.error().Message().find("only one of 14"), std::string::npos);
}

TEST(Lumps, DescriptionsStateTheFacts) {
    std::vector<Rgb8> colours = RandomColours(256, 5);
    colours[77] = colours[12];  // a repeated colour
    LumpSettings settings;
    settings.light.fullbright.set(250).set(252);
    const auto colormap = RebuildLump({LumpKind::kColormap, 34}, colours, settings);
    ASSERT_TRUE(colormap) << colormap.error().Message();
    const std::string text = DescribeLump(*colormap, {LumpKind::kColormap, 34});
    EXPECT_TRUE(text.starts_with("Doom COLORMAP, 8704 bytes")) << text;
    // Entry 0 is black: towards black it keeps its index too.
    EXPECT_NE(text.find("(fullbright-looking): 0, 250, 252\n"), std::string::npos) << text;
    // Entry 77 is never chosen: row 0 gives it entry 12.
    EXPECT_NE(text.find("row 0 maps 255 of 256 entries to themselves"), std::string::npos) << text;
    EXPECT_NE(text.find("row 33: all zero"), std::string::npos) << text;

    auto playpal = MakePlaypal(colours, DefaultPlaypalTints());
    ASSERT_TRUE(playpal) << playpal.error().Message();
    (*playpal)[3 * 768 + 5 * 3] ^= 1;
    const std::string described = DescribeLump(*playpal, {LumpKind::kPlaypal, 14});
    EXPECT_NE(described.find("palette 0: entries that repeat an earlier colour: 77\n"), std::string::npos);
    EXPECT_NE(described.find("palette 2: palette 0 towards 255 0 0 by 18/80 (the default)"), std::string::npos);
    EXPECT_NE(described.find("palette 3: 1 of 256 entries differ from palette 0 towards 255 0 0 by 27/80"),
              std::string::npos)
        << described;

    const auto tranmap = RebuildLump({LumpKind::kTranmap, 256}, colours, settings);
    ASSERT_TRUE(tranmap) << tranmap.error().Message();
    // A 50 % mix of a colour with itself is the colour: every diagonal cell
    // but the repeated entry's.
    EXPECT_NE(DescribeLump(*tranmap, {LumpKind::kTranmap, 256}).find("cells (c, c) holding c: 255 of 256"),
              std::string::npos);
}

TEST(Lumps, ComparisonCountsRowsAndListsCells) {
    const std::vector<Rgb8> colours = RandomColours(256, 9);
    const LumpInfo colormapInfo{LumpKind::kColormap, 34};
    const auto expected = RebuildLump(colormapInfo, colours, {});
    ASSERT_TRUE(expected) << expected.error().Message();
    Bytes found = *expected;
    for (const std::size_t cell : {31u * 256 + 3, 31u * 256 + 200, 31u * 256 + 255, 2u * 256 + 7, 32u * 256 + 1}) {
        found[cell] = static_cast<std::uint8_t>(found[cell] + 1);
    }
    const LumpComparison comparison = *CompareLump(*expected, found, colormapInfo, 2);
    EXPECT_EQ(comparison.cells, 8704u);
    EXPECT_EQ(comparison.differing, 5u);
    const std::string text = FormatLumpComparison(comparison, colormapInfo);
    const std::string cell7 = "  light row 2, entry 7: expected " + std::to_string((*expected)[2 * 256 + 7]) +
                              ", found " + std::to_string(found[2 * 256 + 7]) + "\n";
    EXPECT_TRUE(text.starts_with("5 of 8704 cells differ; worst rows: light row 31 (3), light row 2 (1), grey row "
                                 "32 (1)\n" +
                                 cell7))
        << text;
    EXPECT_TRUE(text.ends_with("  ... and 3 more\n")) << text;
    // With a palette, each index and its colour; "unused" past its colours.
    const std::vector<Rgb8> two{{1, 2, 3}, {255, 128, 0}};
    LumpComparison few = comparison;
    few.first = {{"light", 5, 9, {1}, {0}}, {"grey", 32, 4, {1}, {2}}};
    const std::string coloured = FormatLumpComparison(few, colormapInfo, two);
    EXPECT_NE(coloured.find("\n  light row 5, entry 9: expected 1 #ff8000, found 0 #010203\n"
                            "  grey row 32, entry 4: expected 1 #ff8000, found 2 unused\n"),
              std::string::npos)
        << coloured;
    EXPECT_EQ(FormatLumpComparison(*CompareLump(*expected, *expected, colormapInfo), colormapInfo),
              "all 8704 cells match\n");

    // Colours and the level count of a palette.dat.
    const LumpInfo build{LumpKind::kBuildPalette, 4};
    const auto dat = RebuildLump(build, colours, {});
    ASSERT_TRUE(dat) << dat.error().Message();
    Bytes changed = *dat;
    changed[3 * 3 + 1] = 99;
    changed[768] = 5;
    const std::string datText = FormatLumpComparison(*CompareLump(*dat, changed, build), build);
    EXPECT_NE(datText.find("  palette, entry 3: expected " + std::to_string((*dat)[9]) + " " +
                           std::to_string((*dat)[10]) + " " + std::to_string((*dat)[11]) + ", found " +
                           std::to_string((*dat)[9]) + " 99 " + std::to_string((*dat)[11]) + "\n"),
              std::string::npos)
        << datText;
    EXPECT_NE(datText.find("  level count: expected 4, found 5\n"), std::string::npos) << datText;
}

// Every cell of every picture, at its top left pixel, against the colour
// the lump's bytes give it: the palette's colour of the index it holds
// (checked grey past the palette's 200 colours), a PLAYPAL's own colours, a
// palette.dat's own 6-bit ones expanded.
TEST(Lumps, PicturesShowEveryCellInItsColour) {
    const std::vector<Rgb8> colours = RandomColours(200, 13);
    std::mt19937 rng(17);
    const auto randomBytes = [&](std::size_t size) {
        Bytes bytes(size);
        for (std::uint8_t& b : bytes) {
            b = static_cast<std::uint8_t>(rng());
        }
        return bytes;
    };
    Bytes dat = randomBytes(PaletteDatSize(3));
    dat[768] = 3, dat[769] = 0;
    const auto checker = [](int x, int y, int check) {
        return (x / check + y / check) % 2 == 0 ? kCheckerLight : kCheckerDark;
    };
    const auto indexColour = [&](std::uint8_t index, int x, int y) {
        return index < colours.size() ? colours[index] : checker(x, y, 1);
    };
    // A picture's cells: `count` of them from `offset`, cell k at `at(k)`.
    struct Cells {
        std::size_t picture;
        std::size_t offset, count;
        std::function<std::pair<int, int>(int)> at;
        bool indices = true;  // else r g b triples, 6-bit when `sixBit`
        bool sixBit = false;
    };
    const auto rows = [](int k) { return std::pair{k % 256 * kLumpRowCell, k / 256 * kLumpRowCell}; };
    const auto pairs = [](int k) { return std::pair{k % 256 * kPairCellSize, k / 256 * kPairCellSize}; };
    const auto palettes = [](int k) {
        const int p = k / 256, e = k % 256, side = 16 * kPlaypalSwatch + kPlaneGap;
        return std::pair{p % kPlaypalsAcross * side + e % 16 * kPlaypalSwatch,
                         p / kPlaypalsAcross * side + e / 16 * kPlaypalSwatch};
    };
    const auto swatches = [](int k) { return std::pair{k % 16 * kSwatchSize, k / 16 * kSwatchSize}; };
    const struct {
        LumpInfo info;
        Bytes bytes;
        std::vector<std::string> files;
        std::vector<std::pair<int, int>> sizes;
        std::vector<Cells> cells;
    } cases[] = {
        {{LumpKind::kColormap, 34}, randomBytes(8704), {"colormap.png"}, {{1024, 136}}, {{0, 0, 8704, rows}}},
        {{LumpKind::kLightTable, 3}, randomBytes(768), {"light.png"}, {{1024, 12}}, {{0, 0, 768, rows}}},
        {{LumpKind::kTranmap, 256}, randomBytes(65536), {"tranmap.png"}, {{512, 512}}, {{0, 0, 65536, pairs}}},
        {{LumpKind::kPlaypal, 14}, randomBytes(10752), {"playpal.png"}, {{7 * 128 + 6 * 4, 2 * 128 + 4}},
         {{0, 0, 14 * 256, palettes, false}}},
        {{LumpKind::kPlaypal, 3}, randomBytes(3 * 768), {"playpal.png"}, {{3 * 128 + 2 * 4, 128}},
         {{0, 0, 3 * 256, palettes, false}}},
        {{LumpKind::kBuildPalette, 3}, dat, {"palette.png", "light.png", "translucency.png"},
         {{256, 256}, {1024, 12}, {512, 512}},
         {{0, 0, 256, swatches, false, true}, {1, 770, 768, rows}, {2, 770 + 768, 65536, pairs}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(LumpKindName(c.info.kind)) + " of " + std::to_string(c.info.rows));
        const std::vector<NamedPicture> pictures = RenderLump(c.bytes, c.info, colours);
        ASSERT_EQ(pictures.size(), c.files.size());
        for (std::size_t k = 0; k < pictures.size(); ++k) {
            EXPECT_EQ(pictures[k].file, c.files[k]);
            EXPECT_EQ(std::pair(pictures[k].image.width, pictures[k].image.height), c.sizes[k]) << c.files[k];
            EXPECT_FALSE(pictures[k].caption.empty());
        }
        for (const Cells& cells : c.cells) {
            const RgbImage& image = pictures[cells.picture].image;
            std::size_t wrong = 0;
            for (std::size_t k = 0; k < cells.count; ++k) {
                const auto [x, y] = cells.at(static_cast<int>(k));
                Rgb8 expected;
                if (cells.indices) {
                    expected = indexColour(c.bytes[cells.offset + k], x, y);
                } else {
                    const auto component = [&](std::size_t i) {
                        const std::uint8_t v = c.bytes[cells.offset + 3 * k + i];
                        return cells.sixBit ? ExpandSixBit(static_cast<std::uint8_t>(v & 63)) : v;
                    };
                    expected = {component(0), component(1), component(2)};
                }
                if (image.At(x, y) != expected && wrong++ < 3) {
                    ADD_FAILURE() << pictures[cells.picture].file << " cell " << k << " at " << x << "," << y;
                }
            }
            EXPECT_EQ(wrong, 0u) << pictures[cells.picture].file;
        }
    }
    // A palette.dat without a palette given is drawn in its own colours.
    const std::vector<NamedPicture> own = RenderLump(dat, {LumpKind::kBuildPalette, 3}, {});
    const std::vector<Rgb8> datColours = *LumpColors(dat, {LumpKind::kBuildPalette, 3});
    EXPECT_EQ(own[1].image.At(0, 0), datColours[dat[770]]);
}

// Each component c + floor((t - c) * f), with f's numerator multiplied in
// first: the quotient is exact when whole and at least 1/80 from a whole
// number otherwise, so the floating-point floor is right.
TEST(Playpal, DefaultsAgainstAPlainComputation) {
    const struct {
        int first, last;
        Rgb8 tint;
        int numeratorStep, denominator;
    } scheme[] = {{1, 8, {255, 0, 0}, 9, 80}, {9, 12, {215, 186, 69}, 1, 8}, {13, 13, {0, 255, 0}, 1, 5}};
    for (const std::size_t count : {std::size_t{256}, std::size_t{16}}) {
        const std::vector<Rgb8> base = RandomColours(count, 11);
        const auto playpal = MakePlaypal(base, DefaultPlaypalTints());
        ASSERT_TRUE(playpal) << playpal.error().Message();
        ASSERT_EQ(playpal->size(), 10752u);
        for (std::size_t e = 0; e < 256; ++e) {
            const Rgb8 c = e < count ? base[e] : Rgb8{};
            EXPECT_EQ((*playpal)[e * 3], c.r);
            for (const auto& s : scheme) {
                for (int p = s.first; p <= s.last; ++p) {
                    const int numerator = s.numeratorStep * (p - s.first + 1);
                    const auto plain = [&](int from, int to) {
                        return from + static_cast<int>(std::floor((to - from) * numerator / double(s.denominator)));
                    };
                    const std::size_t at = static_cast<std::size_t>(p) * 768 + e * 3;
                    ASSERT_EQ((*playpal)[at], plain(c.r, s.tint.r)) << "palette " << p << " entry " << e;
                    ASSERT_EQ((*playpal)[at + 1], plain(c.g, s.tint.g)) << "palette " << p << " entry " << e;
                    ASSERT_EQ((*playpal)[at + 2], plain(c.b, s.tint.b)) << "palette " << p << " entry " << e;
                }
            }
        }
    }
    // By hand: white at 72/80 towards red, floor(-229.5) = -230.
    EXPECT_EQ(ApplyTint({255, 255, 255}, DefaultPlaypalTints()[8]), (Rgb8{255, 25, 25}));
    EXPECT_EQ(ApplyTint({0, 0, 0}, DefaultPlaypalTints()[13]), (Rgb8{0, 51, 0}));
}

TEST(Playpal, FractionsAndTints) {
    const struct {
        const char* text;
        std::optional<Fraction> fraction;
    } fractions[] = {{"0.125", Fraction{125, 1000}}, {"1/8", Fraction{1, 8}}, {"1", Fraction{1, 1}},
                     {"0", Fraction{0, 1}},          {".5", Fraction{5, 10}},  {"1.0", Fraction{10, 10}},
                     {"1.5", {}},                    {"-0.5", {}},             {"2/1", {}},
                     {"1/0", {}},                    {"0.1234567", {}},        {"", {}},
                     {".", {}},                      {"1/-8", {}},             {"0.5x", {}}};
    for (const auto& f : fractions) {
        EXPECT_EQ(ParseFraction(f.text), f.fraction) << f.text;
    }
    const struct {
        const char* text;
        int palette;  // 0: refused
        PaletteTint tint;
        const char* error = "";
    } tints[] = {{"13:0,128,255:1/4", 13, {{0, 128, 255}, {1, 4}}},
                 {"1:9,8,7:0.5", 1, {{9, 8, 7}, {5, 10}}},
                 {"0:1,2,3:1", 0, {}, "'0' is not a palette 1..13"},
                 {"14:1,2,3:1", 0, {}, "'14' is not a palette 1..13"},
                 {"3:1,2:1", 0, {}, "'1,2' is not a colour R,G,B"},
                 {"3:1,2,256:1", 0, {}, "'1,2,256' is not a colour R,G,B"},
                 {"3:1,2,3:2", 0, {}, "'2' is not a fraction 0..1"},
                 {"3:1,2,3", 0, {}, "'3:1,2,3' is not K:R,G,B:F"}};
    for (const auto& t : tints) {
        const auto option = ParseTintOption(t.text);
        ASSERT_EQ(option.has_value(), t.palette != 0) << t.text << ": " << option.error().Message();
        if (option) {
            EXPECT_EQ(option->palette, t.palette);
            EXPECT_EQ(option->tint, t.tint);
        } else {
            EXPECT_EQ(option.error().Message().rfind(t.error, 0), 0u) << option.error().Message();
        }
    }
    PlaypalTints bad = DefaultPlaypalTints();
    bad[4].amount = {3, 2};
    EXPECT_FALSE(MakePlaypal(RandomColours(4, 1), bad));
    EXPECT_FALSE(MakePlaypal({}, DefaultPlaypalTints()));
}

// --- paltool playpal ---------------------------------------------------------

ProcessResult RunPaltool(const ScratchDir& scratch, std::vector<std::string> args) {
    args.insert(args.begin(), PALTOOL_EXE);
    return RunProgram(PALTOOL_EXE, std::move(args), scratch.path());
}

TEST(PlaypalCommand, WritesTheLumpThePaletteReaderReads) {
    ScratchDir scratch;
    const std::string base = std::string(PALTAB_EXAMPLES_DIR) + "/sixteen.pal.txt";
    const std::string out = scratch / "PLAYPAL.lmp";
    const ProcessResult result = RunPaltool(scratch, {"playpal", base, "-o", out, "--tint", "13:0,128,255:1/4"});
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    EXPECT_EQ(result.out, "wrote " + out + ": PLAYPAL of 14 palettes, 10752 bytes, from 16 colours\n");
    EXPECT_NE(result.err.find("entries 16..255 of every palette are black"), std::string::npos) << result.err;

    std::vector<std::string> warnings;
    const auto sixteen = ReadPaletteFile(base, {}, {}, warnings);
    ASSERT_TRUE(sixteen) << sixteen.error().Message();
    const std::string written = ReadFile(out);
    const Bytes bytes(written.begin(), written.end());
    for (const int palette : {0, 5, 13}) {
        const auto read = ReadPalette(bytes, PaletteFormat::kPlaypal, {.paletteIndex = palette}, warnings);
        ASSERT_TRUE(read) << read.error().Message();
        ASSERT_EQ(read->colors.size(), 256u);
        const PaletteTint tint = palette == 13 ? PaletteTint{{0, 128, 255}, {1, 4}}
                                               : DefaultPlaypalTints()[static_cast<std::size_t>(palette)];
        for (std::size_t e = 0; e < 256; ++e) {
            const Rgb8 c = e < 16 ? sixteen->palette.colors[e] : Rgb8{};
            EXPECT_EQ(read->colors[e], palette == 0 ? c : ApplyTint(c, tint)) << palette << " " << e;
        }
    }
}

TEST(PlaypalCommand, BadArgumentsWriteNothing) {
    ScratchDir scratch;
    const std::string base = std::string(PALTAB_EXAMPLES_DIR) + "/default.pal.txt";
    const std::string out = scratch / "PLAYPAL.lmp";
    const struct {
        std::vector<std::string> args;
        int status;
        const char* error;
    } cases[] = {
        {{"playpal", base, "-o", out, "--tint", "14:0,0,0:1"}, 2, "paltool playpal: --tint: '14' is not a palette"},
        {{"playpal", base, "-o", out, "--tint", "3:0,0,0:9/8"}, 2, "paltool playpal: --tint: '9/8' is not a frac"},
        {{"playpal", base}, 2, "paltool playpal: expected one BASE palette file and -o OUT"},
        {{"playpal", scratch / "missing.gpl", "-o", out}, 1, "paltool: cannot read '"},
    };
    for (const auto& c : cases) {
        const ProcessResult result = RunPaltool(scratch, c.args);
        EXPECT_EQ(result.exitStatus, c.status) << result.err;
        EXPECT_EQ(result.err.rfind(c.error, 0), 0u) << result.err;
        EXPECT_FALSE(fs::exists(out));
    }
    const ProcessResult help = RunPaltool(scratch, {"playpal", "--help"});
    EXPECT_EQ(help.exitStatus, 0);
    for (const char* option : {" -o ", " --tint ", " --quiet", " --format ", " --palette-index "}) {
        EXPECT_NE(help.out.find(std::string("  paltool playpal ")), std::string::npos);
        bool shown = false;
        std::istringstream lines(help.out);
        for (std::string line; std::getline(lines, line);) {
            shown = shown || (line.find("  paltool playpal ") != std::string::npos &&
                              (line + " ").find(option) != std::string::npos);
        }
        EXPECT_TRUE(shown) << option << " has no example";
    }
}

}  // namespace
}  // namespace paltab
