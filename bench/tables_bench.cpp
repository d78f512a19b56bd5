// Table build times on palettes that stress the scan differently: random
// colours (every entry wins a region) and a grey ramp (most entries win
// nothing and scan the whole cube).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <random>

#include "paltab/blend.hpp"
#include "paltab/inverse_map.hpp"
#include "paltab/shade.hpp"
#include "paltab/table_file.hpp"

namespace {

using namespace paltab;

Palette RandomPalette() {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<int> component(0, 255);
    Palette palette{};
    for (PaletteEntry& e : palette) {
        e = {static_cast<std::int16_t>(component(rng)), static_cast<std::int16_t>(component(rng)),
             static_cast<std::int16_t>(component(rng))};
    }
    return palette;
}

Palette GreyRamp() {
    Palette palette{};
    for (std::size_t i = 0; i < kPaletteSize; ++i) {
        const auto v = static_cast<std::int16_t>(i);
        palette[i] = {v, v, v};
    }
    return palette;
}

struct Tables {
    DistanceBuffer distances{};
    InverseColorMap map{};
    ExtensionTables extension{};
};

void BuildMap(benchmark::State& state, const Palette& palette, bool weighted) {
    auto tables = std::make_unique<Tables>();
    InverseMapStats stats;
    for (auto _ : state) {
        const bool built = BuildInverseColorMap(256, palette, tables->distances, tables->map,
                                                {.weightedDistance = weighted}, &stats);
        benchmark::DoNotOptimize(built);
        benchmark::DoNotOptimize(tables->map.data());
    }
    // Every cell must belong to a used entry, or the scan did not do its job.
    if (!std::all_of(tables->map.begin(), tables->map.end(),
                     [&](std::uint8_t i) { return !IsSkippedByMap(palette[i]); })) {
        state.SkipWithError("map names an unused entry");
    }
    state.counters["cell_tests"] = static_cast<double>(stats.cellTests);
}

void BM_InverseMapRandom(benchmark::State& state) { BuildMap(state, RandomPalette(), false); }
void BM_InverseMapRandomWeighted(benchmark::State& state) { BuildMap(state, RandomPalette(), true); }
void BM_InverseMapGreyRamp(benchmark::State& state) { BuildMap(state, GreyRamp(), false); }

void BM_ShadeAndBlend(benchmark::State& state) {
    const Palette palette = RandomPalette();
    auto tables = std::make_unique<Tables>();
    (void)BuildInverseColorMap(256, palette, tables->distances, tables->map);
    for (auto _ : state) {
        BuildShadeTable(palette, tables->map, tables->extension.shade);
        BuildBlendTables(palette, tables->map, tables->extension.shade, tables->extension.additive,
                         tables->extension.multiplicative);
        benchmark::DoNotOptimize(tables->extension.multiplicative.data());
    }
}

void BM_Serialize(benchmark::State& state) {
    const Palette palette = RandomPalette();
    auto tables = std::make_unique<Tables>();
    (void)BuildInverseColorMap(256, palette, tables->distances, tables->map);
    for (auto _ : state) {
        auto bytes = SerializeColorTableFile(palette, tables->map, &tables->extension);
        benchmark::DoNotOptimize(bytes.data());
    }
}

BENCHMARK(BM_InverseMapRandom);
BENCHMARK(BM_InverseMapRandomWeighted);
BENCHMARK(BM_InverseMapGreyRamp);
BENCHMARK(BM_ShadeAndBlend);
BENCHMARK(BM_Serialize);

}  // namespace
