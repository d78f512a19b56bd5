// The C interface's tables against the C++ library's for the same settings,
// and against paltool's files for a few.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "paltab/color_tables.hpp"
#include "paltab/dither.hpp"
#include "paltab/exact_map.hpp"
#include "paltab/light_tables.hpp"
#include "paltab/palette_formats.hpp"
#include "paltab/paltab.h"
#include "paltab/remap.hpp"
#include "paltab/translucency_tables.hpp"
#include "random_inputs.hpp"
#include "test_process.hpp"

namespace paltab {
namespace {

using Bytes = std::vector<std::uint8_t>;

const std::string kDefaultPalette = PALTAB_EXAMPLES_DIR "/default.pal.txt";

std::vector<Rgb8> DefaultColors() {
    std::vector<paltab_rgb> colors(256);
    int count = 0;
    EXPECT_EQ(paltab_read_palette_file(kDefaultPalette.c_str(), colors.data(), &count), PALTAB_OK);
    std::vector<Rgb8> out;
    for (int i = 0; i < count; ++i) {
        out.push_back({colors[i].r, colors[i].g, colors[i].b});
    }
    return out;
}

// A palette for both interfaces from the same colours and settings.
struct BothPalettes {
    std::vector<Rgb8> colors;
    SearchSettings search;
    paltab_palette* c = nullptr;

    BothPalettes(std::vector<Rgb8> colours, paltab_metric metric, const ReservedEntries& reserved)
        : colors(std::move(colours)) {
        search.metric = static_cast<Metric>(metric);
        search.reserved = reserved;
        std::vector<std::uint8_t> flags(256);
        for (std::size_t i = 0; i < flags.size(); ++i) {
            flags[i] = reserved.test(i) ? 1 : 0;
        }
        EXPECT_EQ(paltab_palette_create(reinterpret_cast<const paltab_rgb*>(colors.data()),
                                        static_cast<int>(colors.size()), metric, flags.data(), &c),
                  PALTAB_OK);
    }
    ~BothPalettes() { paltab_palette_destroy(c); }
    BothPalettes(const BothPalettes&) = delete;
    BothPalettes& operator=(const BothPalettes&) = delete;
};

TEST(CApiCompare, TablesEqualTheCppLibrarysForEveryMetric) {
    ReservedEntries reserved;
    reserved.set(0).set(17);
    const std::vector<std::vector<Rgb8>> palettes{DefaultColors(), RandomColors(256, 4, Draw::kLowByte), RandomColors(23, 9, Draw::kLowByte)};
    ASSERT_EQ(palettes[0].size(), 256u);
    for (const auto& colors : palettes) {
        for (const paltab_metric metric : {PALTAB_METRIC_RGB, PALTAB_METRIC_LINEAR, PALTAB_METRIC_OKLAB}) {
            SCOPED_TRACE(std::to_string(colors.size()) + " colours, metric " + std::to_string(metric));
            BothPalettes both(colors, metric, reserved);
            ASSERT_NE(both.c, nullptr);

            Bytes map(ExactColorMap::CellCount(6));
            ASSERT_EQ(paltab_exact_map(both.c, 6, map.data(), map.size()), PALTAB_OK);
            const auto cppMap = ExactColorMap::Build(colors, 6, {both.search.metric, reserved});
            ASSERT_TRUE(cppMap) << cppMap.error().Message();
            EXPECT_TRUE(std::equal(map.begin(), map.end(), cppMap->Cells().begin())) << "6-bit map";

            LightSettings light;
            light.levels = 24;
            light.fog = {96, 104, 120};
            light.fullbright.set(3).set(255);
            light.search = both.search;
            std::vector<std::uint8_t> fullbright(256);
            fullbright[3] = fullbright[255] = 1;
            Bytes table(24 * 256);
            ASSERT_EQ(paltab_light_table(both.c, 24, {96, 104, 120}, fullbright.data(), table.data(), table.size()),
                      PALTAB_OK);
            const auto cppLight = MakeLightTable(colors, light);
            ASSERT_TRUE(cppLight) << cppLight.error().Message();
            EXPECT_EQ(table, cppLight->bytes) << "light table";

            light = {};
            light.search = both.search;
            table.resize(PALTAB_DOOM_COLORMAP_SIZE);
            ASSERT_EQ(paltab_doom_colormap(both.c, table.data(), table.size()), PALTAB_OK);
            const auto cppColormap = MakeDoomColormap(colors, light);
            ASSERT_TRUE(cppColormap) << cppColormap.error().Message();
            EXPECT_EQ(table, cppColormap->bytes) << "Doom colormap";

            for (const auto& [mode, cppMode] : {std::pair{PALTAB_BLEND_ALPHA, BlendMode::kAlpha},
                                               std::pair{PALTAB_BLEND_SUBTRACT, BlendMode::kSubtract}}) {
                table.resize(PALTAB_BLEND_TABLE_SIZE);
                ASSERT_EQ(paltab_blend_table(both.c, mode, 66, table.data(), table.size()), PALTAB_OK);
                const auto cppBlend =
                    MakeTranslucencyTable(colors, {cppMode, cppMode == BlendMode::kAlpha ? 66 : 50, both.search});
                ASSERT_TRUE(cppBlend) << cppBlend.error().Message();
                EXPECT_EQ(table, Bytes(cppBlend->bytes.begin(), cppBlend->bytes.end())) << "blend mode " << mode;
            }
        }
    }
}

TEST(CApiCompare, RemapEqualsTheCppLibrarysWithTheTransparentIndexReserved) {
    const std::vector<Rgb8> colors = RandomColors(40, 21, Draw::kLowByte);
    constexpr int kWidth = 37, kHeight = 23;
    const Bytes rgba = RandomRgba(kWidth, kHeight, 8, 8);
    const struct {
        paltab_dither c;
        Dither cpp;
    } dithers[] = {{PALTAB_DITHER_NONE, Dither::kNone},
                   {PALTAB_DITHER_ORDERED, Dither::kOrdered},
                   {PALTAB_DITHER_FLOYD_STEINBERG, Dither::kFloydSteinberg}};
    for (const int transparent : {-1, 5}) {
        BothPalettes both(colors, PALTAB_METRIC_OKLAB, {});
        MatchOptions options{Metric::kOklab, {}};
        if (transparent >= 0) {
            options.reserved.set(static_cast<std::size_t>(transparent));
        }
        const auto match = MatchPalette::Create(colors, options);
        ASSERT_TRUE(match) << match.error().Message();
        for (const auto& dither : dithers) {
            Bytes indices(kWidth * kHeight);
            ASSERT_EQ(paltab_remap(both.c, rgba.data(), kWidth, kHeight, 0, dither.c, transparent, indices.data()),
                      PALTAB_OK);
            RemapOptions remap{dither.cpp, std::nullopt};
            if (transparent >= 0) {
                remap.transparentIndex = static_cast<std::uint8_t>(transparent);
            }
            EXPECT_EQ(indices, *RemapPixels(kWidth, kHeight, rgba, colors, EntryFinder::FromSearch(*match), remap))
                << "dither " << dither.c << ", transparent " << transparent;
        }
    }
}

// Every dither of paltab_remap_ex with every setting, and its quality figure,
// against DitherPixels and MeasureDitherQuality with the transparent index
// reserved.
TEST(CApiCompare, RemapExEqualsDitherPixels) {
    const std::vector<Rgb8> colors = RandomColors(24, 5, Draw::kLowByte);
    constexpr int kWidth = 31, kHeight = 19;
    const Bytes rgba = RandomRgba(kWidth, kHeight, 4, 9);
    BothPalettes both(colors, PALTAB_METRIC_RGB, {});
    for (const int transparent : {-1, 5}) {
        MatchOptions match{Metric::kRgb, {}};
        if (transparent >= 0) {
            match.reserved.set(static_cast<std::size_t>(transparent));
        }
        const auto palette = MatchPalette::Create(colors, match);
        ASSERT_TRUE(palette) << palette.error().Message();
        const DitherLookup lookup{EntryFinder::FromSearch(*palette), true};
        std::optional<std::uint8_t> transparentIndex;
        if (transparent >= 0) {
            transparentIndex = static_cast<std::uint8_t>(transparent);
        }
        for (int dither = PALTAB_DITHER_NONE; dither <= PALTAB_DITHER_YLILUOMA; ++dither) {
            for (int space = PALTAB_DITHER_SPACE_SRGB; space <= PALTAB_DITHER_SPACE_OKLAB; ++space) {
                // Serpentine, strength and spread changed one at a time.
                for (int variant = 0; variant < 4; ++variant) {
                    paltab_remap_options c;
                    paltab_remap_options_init(&c);
                    c.dither = static_cast<paltab_dither>(dither);
                    c.space = static_cast<paltab_dither_space>(space);
                    c.transparent_index = transparent;
                    c.serpentine = variant == 1 ? 1 : 0;
                    c.strength = variant == 2 ? 55 : 100;
                    c.spread = variant == 3 ? 20.0 : -1.0;
                    DitherOptions cpp;
                    cpp.method = static_cast<DitherMethod>(dither);
                    cpp.space = static_cast<DitherSpace>(space);
                    cpp.serpentine = c.serpentine != 0;
                    cpp.strength = c.strength;
                    if (c.spread >= 0) {
                        cpp.spread = c.spread;
                    }
                    Bytes indices(kWidth * kHeight);
                    paltab_dither_quality quality{};
                    ASSERT_EQ(paltab_remap_ex(both.c, rgba.data(), kWidth, kHeight, 0, &c, indices.data(), &quality),
                              PALTAB_OK);
                    const Bytes expected =
                        *DitherPixels(kWidth, kHeight, rgba, colors, lookup, transparentIndex, cpp);
                    const auto figures =
                        MeasureDitherQuality(kWidth, kHeight, rgba, colors, expected, transparentIndex);
                    ASSERT_TRUE(figures);
                    const std::string what = std::string(DitherMethodName(cpp.method)) + " in " +
                                             std::string(DitherSpaceName(cpp.space)) + ", variant " +
                                             std::to_string(variant) + ", transparent " + std::to_string(transparent);
                    EXPECT_EQ(indices, expected) << what;
                    EXPECT_EQ(quality.mean_squared_error, figures->meanSquaredError) << what;
                    EXPECT_EQ(quality.blurred_error, figures->blurredError) << what;
                }
            }
        }
    }
}

TEST(CApiCompare, FilesEqualPaltoolsBytes) {
    const std::vector<Rgb8> colors = DefaultColors();
    BothPalettes both(colors, PALTAB_METRIC_RGB, {});
    ScratchDir scratch;
    const auto paltool = [&](std::vector<std::string> args) {
        args.insert(args.begin(), PALTOOL_EXE);
        const ProcessResult run = RunProgram(PALTOOL_EXE, args, scratch.path());
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        const std::string bytes = ReadFile(scratch / "out");
        return Bytes(bytes.begin(), bytes.end());
    };
    Bytes table(PALTAB_BLEND_TABLE_SIZE);
    ASSERT_EQ(paltab_blend_table(both.c, PALTAB_BLEND_ALPHA, 66, table.data(), table.size()), PALTAB_OK);
    EXPECT_EQ(table, (paltool({"blend", kDefaultPalette, "-o", scratch / "out", "--alpha", "66"})));

    table.resize(PALTAB_DOOM_COLORMAP_SIZE);
    ASSERT_EQ(paltab_doom_colormap(both.c, table.data(), table.size()), PALTAB_OK);
    EXPECT_EQ(table, paltool({"shade", kDefaultPalette, "-o", scratch / "out", "--layout", "doom-colormap"}));

    for (const unsigned flags : {0u, PALTAB_WITH_EXTENSION | PALTAB_WEIGHTED_DISTANCE}) {
        table.resize(PALTAB_TABLE_FILE_EXTENDED_SIZE);
        std::size_t written = 0;
        ASSERT_EQ(paltab_color_table_file(reinterpret_cast<const paltab_rgb*>(colors.data()), 256, flags, table.data(),
                                          table.size(), &written),
                  PALTAB_OK);
        table.resize(written);
        std::vector<std::string> args{"build", kDefaultPalette, scratch / "out"};
        if (flags != 0) {
            args.insert(args.end(), {"-n", "-c"});
        }
        EXPECT_EQ(table, paltool(args)) << "flags " << flags;
        GenerateOptions options;
        options.weightedDistance = options.writeExtension = flags != 0;
        EXPECT_EQ(table, GenerateColorTableFile(ToGeneratorPalette(colors), options));
    }
}

}  // namespace
}  // namespace paltab
