// Table build times, each vector path beside the plain one in the same run,
// on palettes that stress the map differently: random colours (every entry
// wins a region), a grey ramp (each entry claims half the cube again) and
// sixteen colours (few entries, large regions). Every benchmark checks that
// what it built equals the plain path's result.
#include <benchmark/benchmark.h>

#include <memory>

#include "inputs.hpp"
#include "paltab/blend.hpp"
#include "paltab/inverse_map.hpp"
#include "paltab/shade.hpp"
#include "paltab/table_file.hpp"

namespace {

using namespace paltab;

PaletteEntry Rgb(int r, int g, int b) {
    return {static_cast<std::int16_t>(r), static_cast<std::int16_t>(g), static_cast<std::int16_t>(b)};
}

Palette RandomPalette() {
    const std::vector<Rgb8> colors = bench::RandomColors(12345);
    Palette palette{};
    for (std::size_t i = 0; i < kPaletteSize; ++i) {
        palette[i] = Rgb(colors[i].r, colors[i].g, colors[i].b);
    }
    return palette;
}

Palette GreyRamp() {
    Palette palette{};
    for (std::size_t i = 0; i < kPaletteSize; ++i) {
        const int v = static_cast<int>(i);
        palette[i] = Rgb(v, v, v);
    }
    return palette;
}

Palette SixteenColours() {
    const PaletteEntry colours[] = {Rgb(0, 0, 0),      Rgb(85, 85, 85),   Rgb(170, 170, 170), Rgb(255, 255, 255),
                                    Rgb(230, 57, 57),  Rgb(178, 125, 71), Rgb(230, 230, 57),  Rgb(125, 178, 71),
                                    Rgb(57, 230, 57),  Rgb(71, 178, 125), Rgb(57, 230, 230),  Rgb(71, 125, 178),
                                    Rgb(57, 57, 230),  Rgb(125, 71, 178), Rgb(230, 57, 230),  Rgb(178, 71, 125)};
    Palette palette{};
    std::copy(std::begin(colours), std::end(colours), palette.begin());
    return palette;
}

struct Tables {
    DistanceBuffer distances{};
    InverseColorMap map{};
    ExtensionTables extension{};
};

// The plain path's tables, the reference every benchmark checks against.
std::unique_ptr<Tables> PlainTables(const Palette& palette) {
    auto tables = std::make_unique<Tables>();
    (void)BuildInverseColorMap(256, palette, tables->distances, tables->map, {.path = BuildPath::kPlain});
    BuildShadeTable(palette, tables->map, tables->extension.shade, BuildPath::kPlain);
    BuildBlendTables(palette, tables->map, tables->extension.shade, tables->extension.additive,
                     tables->extension.multiplicative, BuildPath::kPlain);
    return tables;
}

void BuildMap(benchmark::State& state, const Palette& palette, BuildPath path) {
    const auto expected = PlainTables(palette);
    auto tables = std::make_unique<Tables>();
    InverseMapStats stats;
    for (auto _ : state) {
        const bool built = BuildInverseColorMap(256, palette, tables->distances, tables->map, {.path = path}, &stats);
        benchmark::DoNotOptimize(built);
        benchmark::DoNotOptimize(tables->map.data());
    }
    if (tables->map != expected->map || tables->distances != expected->distances) {
        state.SkipWithError("the map differs from the plain walk's");
    }
    state.counters["cell_tests"] = static_cast<double>(stats.cellTests);
    state.counters["line_tests"] = static_cast<double>(stats.lineTests);
}

void ShadeAndBlend(benchmark::State& state, const Palette& palette, BuildPath path) {
    const auto expected = PlainTables(palette);
    auto tables = std::make_unique<Tables>();
    tables->map = expected->map;
    for (auto _ : state) {
        BuildShadeTable(palette, tables->map, tables->extension.shade, path);
        BuildBlendTables(palette, tables->map, tables->extension.shade, tables->extension.additive,
                         tables->extension.multiplicative, path);
        benchmark::DoNotOptimize(tables->extension.multiplicative.data());
    }
    if (tables->extension.shade != expected->extension.shade ||
        tables->extension.additive != expected->extension.additive ||
        tables->extension.multiplicative != expected->extension.multiplicative) {
        state.SkipWithError("the shade or blend tables differ from the plain rows'");
    }
}

void Serialize(benchmark::State& state) {
    const Palette palette = RandomPalette();
    const auto tables = PlainTables(palette);
    for (auto _ : state) {
        auto bytes = SerializeColorTableFile(palette, tables->map, &tables->extension);
        benchmark::DoNotOptimize(bytes.data());
        if (bytes.size() != kExtendedFileSize) {
            state.SkipWithError("wrong file size");
        }
    }
}

BENCHMARK_CAPTURE(BuildMap, random_plain, RandomPalette(), BuildPath::kPlain);
BENCHMARK_CAPTURE(BuildMap, random_sse2, RandomPalette(), BuildPath::kVectorBaseline);
BENCHMARK_CAPTURE(BuildMap, random_widest, RandomPalette(), BuildPath::kVector);
BENCHMARK_CAPTURE(BuildMap, grey_plain, GreyRamp(), BuildPath::kPlain);
BENCHMARK_CAPTURE(BuildMap, grey_sse2, GreyRamp(), BuildPath::kVectorBaseline);
BENCHMARK_CAPTURE(BuildMap, grey_widest, GreyRamp(), BuildPath::kVector);
BENCHMARK_CAPTURE(BuildMap, sixteen_plain, SixteenColours(), BuildPath::kPlain);
BENCHMARK_CAPTURE(BuildMap, sixteen_sse2, SixteenColours(), BuildPath::kVectorBaseline);
BENCHMARK_CAPTURE(BuildMap, sixteen_widest, SixteenColours(), BuildPath::kVector);
BENCHMARK_CAPTURE(ShadeAndBlend, random_plain, RandomPalette(), BuildPath::kPlain);
BENCHMARK_CAPTURE(ShadeAndBlend, random_vector, RandomPalette(), BuildPath::kVector);
BENCHMARK(Serialize);

}  // namespace
