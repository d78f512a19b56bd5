// Exact light and translucency tables against the loops engines run at
// start-up: Boom's fixed-point translucency search, and a plain full search
// of the same cells in exact integers. Every benchmark checks the table it
// built against the plain search's, made once outside the timing; Boom's
// loop, which is not exact, must agree with it on most cells.
#include <benchmark/benchmark.h>

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "inputs.hpp"
#include "paltab/light_tables.hpp"
#include "paltab/translucency_tables.hpp"

namespace {

using namespace paltab;

constexpr int kAlpha = 66;  // Boom's default tran_filter_pct
using Pairs = std::array<std::uint8_t, kPairTableSize>;

// A palette laid out as Doom's PLAYPAL is: a few odd colours, then ramps
// from light to dark of pinks, browns, greys, greens, tans, olives, yellows,
// reds, blues, oranges, dark blues and a few purples.
std::vector<Rgb8> DoomLikeColors() {
    std::vector<Rgb8> colors{{0, 0, 0},    {31, 23, 11}, {23, 15, 7},   {75, 75, 75},   {255, 255, 255},
                             {27, 27, 27}, {19, 19, 19}, {11, 11, 11},  {7, 7, 7},      {47, 55, 31},
                             {35, 43, 15}, {23, 31, 7},  {15, 23, 0},   {79, 59, 43},   {71, 51, 35},
                             {63, 43, 27}};
    const auto ramp = [&](Rgb8 from, Rgb8 to, int count) {
        for (int i = 0; i < count; ++i) {
            const auto mix = [&](int a, int b) { return static_cast<std::uint8_t>(a + (b - a) * i / (count - 1)); };
            colors.push_back({mix(from.r, to.r), mix(from.g, to.g), mix(from.b, to.b)});
        }
    };
    ramp({255, 183, 183}, {43, 0, 0}, 32);     // pinks to dark reds
    ramp({255, 235, 223}, {19, 11, 7}, 32);    // flesh and browns
    ramp({239, 239, 239}, {19, 19, 19}, 32);   // greys
    ramp({119, 255, 111}, {11, 23, 7}, 16);    // greens
    ramp({191, 167, 143}, {35, 27, 19}, 16);   // tans
    ramp({159, 131, 99}, {67, 51, 31}, 8);     // light olive
    ramp({123, 127, 99}, {43, 43, 31}, 8);     // dark olive
    ramp({255, 255, 115}, {155, 99, 23}, 8);   // yellow to brown
    ramp({255, 231, 231}, {39, 0, 0}, 24);     // bright reds
    ramp({231, 231, 255}, {0, 0, 35}, 16);     // blues
    ramp({255, 235, 219}, {115, 43, 0}, 16);   // oranges
    ramp({255, 255, 255}, {255, 215, 83}, 8);  // yellows
    ramp({231, 159, 47}, {79, 39, 7}, 8);      // dark oranges
    ramp({0, 0, 83}, {0, 0, 7}, 8);            // dark blues
    colors.insert(colors.end(), {{255, 159, 67}, {255, 231, 75}, {255, 123, 255}, {255, 0, 255},
                                 {207, 0, 207}, {159, 0, 155}, {111, 0, 107}, {167, 107, 107}});
    return colors;
}

// Boom's R_InitTranMap as we understand it: both weights in 12-bit fixed
// point, and for every pair a search over all 256 entries of
// |c|^2 * 2^11 - c . t, with t the blend scaled by 2^12: half the squared
// distance less a constant of the pair. It counts down and keeps a strictly
// smaller value, so ties go to the highest index. Row = the colour behind,
// column = the translucent colour.
void BoomTranMap(const std::vector<Rgb8>& colors, int percent, Pairs& out) {
    constexpr int kShift = 12;
    const std::int64_t w1 = (std::int64_t{percent} << kShift) / 100;
    const std::int64_t w2 = (std::int64_t{1} << kShift) - w1;
    std::array<std::array<std::int64_t, 256>, 3> pal{};
    std::array<std::array<std::int64_t, 256>, 3> palW1{};
    std::array<std::int64_t, 256> tot{};
    for (std::size_t i = 0; i < 256; ++i) {
        const std::int64_t c[3] = {colors[i].r, colors[i].g, colors[i].b};
        for (std::size_t k = 0; k < 3; ++k) {
            pal[k][i] = c[k];
            palW1[k][i] = c[k] * w1;
        }
        tot[i] = (c[0] * c[0] + c[1] * c[1] + c[2] * c[2]) << (kShift - 1);
    }
    std::uint8_t* tp = out.data();
    for (std::size_t i = 0; i < 256; ++i) {
        const std::int64_t r1 = pal[0][i] * w2;
        const std::int64_t g1 = pal[1][i] * w2;
        const std::int64_t b1 = pal[2][i] * w2;
        for (std::size_t j = 0; j < 256; ++j, ++tp) {
            const std::int64_t r = palW1[0][j] + r1;
            const std::int64_t g = palW1[1][j] + g1;
            const std::int64_t b = palW1[2][j] + b1;
            std::int64_t best = std::numeric_limits<std::int64_t>::max();
            int color = 255;
            do {
                const std::size_t c = static_cast<std::size_t>(color);
                const std::int64_t err = tot[c] - pal[0][c] * r - pal[1][c] * g - pal[2][c] * b;
                if (err < best) {
                    best = err;
                    *tp = static_cast<std::uint8_t>(color);
                }
            } while (--color >= 0);
        }
    }
}

// The cell of the library's blend table for a translucent colour over the
// colour behind it.
std::uint8_t BlendCell(const Pairs& table, std::size_t front, std::size_t behind) {
    return table[PairIndex(static_cast<int>(behind), static_cast<int>(front))];
}

// The plain full search in exact integers: the entry of least
// sum (e * q - n)^2, the lowest index among equals.
std::uint8_t PlainNearest(const std::vector<Rgb8>& colors, const std::array<std::int64_t, 3>& n, std::int64_t q) {
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    std::size_t at = 0;
    for (std::size_t e = 0; e < colors.size(); ++e) {
        const std::int64_t d0 = colors[e].r * q - n[0];
        const std::int64_t d1 = colors[e].g * q - n[1];
        const std::int64_t d2 = colors[e].b * q - n[2];
        const std::int64_t d = d0 * d0 + d1 * d1 + d2 * d2;
        if (d < best) {
            best = d;
            at = e;
        }
    }
    return static_cast<std::uint8_t>(at);
}

void PlainBlend(const std::vector<Rgb8>& colors, int percent, Pairs& out) {
    for (std::size_t front = 0; front < 256; ++front) {
        for (std::size_t behind = 0; behind < 256; ++behind) {
            const Rgb8 a = colors[front];
            const Rgb8 b = colors[behind];
            const std::array<std::int64_t, 3> n{a.r * percent + b.r * (100 - percent),
                                                a.g * percent + b.g * (100 - percent),
                                                a.b * percent + b.b * (100 - percent)};
            out[PairIndex(static_cast<int>(behind), static_cast<int>(front))] = PlainNearest(colors, n, 100);
        }
    }
}

// 32 light rows towards black and, for a colormap, the inverted grey row
// (255 - Y, Y in ten-thousandths) and a row of zeros.
void PlainLight(const std::vector<Rgb8>& colors, bool colormap, std::vector<std::uint8_t>& out) {
    constexpr std::int64_t kLevels = kDoomLightLevels;
    out.assign(colormap ? kDoomColormapSize : kLevels * kPaletteSize, 0);
    for (std::size_t c = 0; c < 256; ++c) {
        const std::int64_t v[3] = {colors[c].r, colors[c].g, colors[c].b};
        for (std::int64_t i = 0; i < kLevels; ++i) {
            const std::array<std::int64_t, 3> n{v[0] * (kLevels - i), v[1] * (kLevels - i), v[2] * (kLevels - i)};
            out[static_cast<std::size_t>(i) * kPaletteSize + c] = PlainNearest(colors, n, kLevels);
        }
        if (colormap) {
            const std::int64_t grey = 255 * 10000 - (2126 * v[0] + 7152 * v[1] + 722 * v[2]);
            out[kLevels * kPaletteSize + c] = PlainNearest(colors, {grey, grey, grey}, 10000);
        }
    }
}

const std::vector<Rgb8>& Colors(int which) {
    static const std::vector<Rgb8> doom = DoomLikeColors();
    static const std::vector<Rgb8> random = bench::RandomColors(12345);
    return which == 0 ? doom : random;
}

const Pairs& ExactBlend(int which) {
    static const auto tables = [] {
        std::array<Pairs, 2> t{};
        PlainBlend(Colors(0), kAlpha, t[0]);
        PlainBlend(Colors(1), kAlpha, t[1]);
        return t;
    }();
    return tables[static_cast<std::size_t>(which)];
}

void BM_BoomTranMap(benchmark::State& state, int which) {
    Pairs table{};
    for (auto _ : state) {
        BoomTranMap(Colors(which), kAlpha, table);
        benchmark::DoNotOptimize(table.data());
    }
    // Boom's table is close to exact, not exact: most cells agree.
    std::size_t same = 0;
    for (std::size_t behind = 0; behind < 256; ++behind) {
        for (std::size_t front = 0; front < 256; ++front) {
            same += table[behind * 256 + front] == BlendCell(ExactBlend(which), front, behind) ? 1 : 0;
        }
    }
    state.counters["agree"] = static_cast<double>(same) / kPairTableSize;
    if (same < kPairTableSize * 9 / 10) {
        state.SkipWithError("Boom's loop disagrees with the exact table on more than a tenth of the cells");
    }
}

void BM_PlainBlend(benchmark::State& state, int which) {
    Pairs table{};
    for (auto _ : state) {
        PlainBlend(Colors(which), kAlpha, table);
        benchmark::DoNotOptimize(table.data());
    }
    if (table != ExactBlend(which)) {
        state.SkipWithError("the plain search is not deterministic");
    }
}

void BM_BlendTable(benchmark::State& state, int which) {
    std::optional<TranslucencyTable> table;
    for (auto _ : state) {
        table = *MakeTranslucencyTable(Colors(which), {BlendMode::kAlpha, kAlpha, {}});
        benchmark::DoNotOptimize(table->bytes.data());
    }
    if (table->bytes != ExactBlend(which)) {
        state.SkipWithError("the blend table differs from the plain search");
    }
}

void BM_PlainLight(benchmark::State& state, int which, bool colormap) {
    std::vector<std::uint8_t> expected;
    PlainLight(Colors(which), colormap, expected);
    std::vector<std::uint8_t> table;
    for (auto _ : state) {
        PlainLight(Colors(which), colormap, table);
        benchmark::DoNotOptimize(table.data());
    }
    if (table != expected) {
        state.SkipWithError("the plain search is not deterministic");
    }
}

void BM_LightTable(benchmark::State& state, int which, bool colormap) {
    std::vector<std::uint8_t> expected;
    PlainLight(Colors(which), colormap, expected);
    std::optional<LightTable> table;
    LightSettings settings;
    settings.levels = kDoomLightLevels;
    for (auto _ : state) {
        table = *(colormap ? MakeDoomColormap(Colors(which), settings) : MakeLightTable(Colors(which), settings));
        benchmark::DoNotOptimize(table->bytes.data());
    }
    if (table->bytes != expected) {
        state.SkipWithError("the light table differs from the plain search");
    }
}

BENCHMARK_CAPTURE(BM_BoomTranMap, doom_like, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainBlend, doom_like, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BlendTable, doom_like, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BoomTranMap, random, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainBlend, random, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_BlendTable, random, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainLight, light32_doom_like, 0, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LightTable, light32_doom_like, 0, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainLight, light32_random, 1, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LightTable, light32_random, 1, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainLight, colormap_doom_like, 0, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LightTable, colormap_doom_like, 0, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlainLight, colormap_random, 1, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_LightTable, colormap_random, 1, true)->Unit(benchmark::kMillisecond);

}  // namespace
