// Exact map build times against a plain full search over the same cells and
// against the generator's 5-bit incremental scan, on 256 random colours.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "inputs.hpp"
#include "paltab/exact_map.hpp"
#include "paltab/inverse_map.hpp"

namespace {

using namespace paltab;

MatchPalette Match(Metric metric) {
    return *MatchPalette::Create(bench::RandomColors(12345), {metric, {}});
}

// Random cells must agree with the single-colour full search.
bool SampleAgrees(const ExactColorMap& map, const MatchPalette& match) {
    std::mt19937 rng(1);
    std::uniform_int_distribution<std::size_t> cell(0, map.Cells().size() - 1);
    for (int i = 0; i < 20000; ++i) {
        const std::size_t c = cell(rng);
        if (map.Cells()[c] != match.NearestEntry(ExactColorMap::CellColor(map.Bits(), c))) {
            return false;
        }
    }
    return true;
}

void BM_ExactMap(benchmark::State& state, Metric metric, int bits) {
    const MatchPalette match = Match(metric);
    std::unique_ptr<ExactColorMap> map;
    for (auto _ : state) {
        map = std::make_unique<ExactColorMap>(*ExactColorMap::Build(match, bits));
        benchmark::DoNotOptimize(map->Cells().data());
    }
    if (!SampleAgrees(*map, match)) {
        state.SkipWithError("map differs from the full search");
    }
}

// Every cell of the 8-bit cube against every entry, integer distances: what
// the rgb map replaces. Its result must be the map's.
void BM_FullSearch8Rgb(benchmark::State& state) {
    const std::vector<Rgb8> colors = bench::RandomColors(12345);
    std::vector<std::uint8_t> cells(ExactColorMap::CellCount(8));
    for (auto _ : state) {
        std::size_t cell = 0;
        for (int r = 0; r < 256; ++r) {
            for (int g = 0; g < 256; ++g) {
                for (int b = 0; b < 256; ++b) {
                    int best = 0;
                    int bestDistance = 1 << 30;
                    for (std::size_t i = 0; i < colors.size(); ++i) {
                        const int dr = r - colors[i].r, dg = g - colors[i].g, db = b - colors[i].b;
                        const int d = dr * dr + dg * dg + db * db;
                        if (d < bestDistance) {
                            bestDistance = d;
                            best = static_cast<int>(i);
                        }
                    }
                    cells[cell++] = static_cast<std::uint8_t>(best);
                }
            }
        }
        benchmark::DoNotOptimize(cells.data());
    }
    const ExactColorMap map = *ExactColorMap::Build(Match(Metric::kRgb), 8);
    if (!std::equal(cells.begin(), cells.end(), map.Cells().begin())) {
        state.SkipWithError("full search differs from the exact map");
    }
}

// The generator's map of the same palette, for scale: its vector walk, and
// its plain cell-by-cell walk.
void BM_GeneratorMap5(benchmark::State& state, BuildPath path) {
    const std::vector<Rgb8> colors = bench::RandomColors(12345);
    Palette palette{};
    for (std::size_t i = 0; i < colors.size(); ++i) {
        palette[i] = {colors[i].r, colors[i].g, colors[i].b};
    }
    auto distances = std::make_unique<DistanceBuffer>();
    auto map = std::make_unique<InverseColorMap>();
    for (auto _ : state) {
        const bool built = BuildInverseColorMap(256, palette, *distances, *map, {.path = path});
        benchmark::DoNotOptimize(built);
        benchmark::DoNotOptimize(map->data());
    }
    // The scan's early ends cost it a few cells, never many.
    const ExactColorMap exact = *ExactColorMap::Build(Match(Metric::kRgb), 5);
    std::size_t differ = 0;
    for (std::size_t cell = 0; cell < kCellCount; ++cell) {
        differ += (*map)[cell] != exact.Cells()[cell];
    }
    if (differ > kCellCount / 100) {
        state.SkipWithError("generator map far from the exact one");
    }
}

BENCHMARK_CAPTURE(BM_ExactMap, rgb_5bit, Metric::kRgb, 5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ExactMap, rgb_6bit, Metric::kRgb, 6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_GeneratorMap5, vector, BuildPath::kVector)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_GeneratorMap5, plain, BuildPath::kPlain)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_ExactMap, rgb_8bit, Metric::kRgb, 8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ExactMap, linear_8bit, Metric::kLinear, 8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ExactMap, oklab_8bit, Metric::kOklab, 8)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_ExactMap, oklab_6bit, Metric::kOklab, 6)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FullSearch8Rgb)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
