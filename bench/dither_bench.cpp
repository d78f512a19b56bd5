// Every dithering mode on a 4096 x 4096 photograph-like image with 256
// colours, beside the undithered remap of the same image (the lookup an 8-bit
// exact map, as paltool uses for large images). Each checks what it made:
// error diffusion keeps the image's mean colour, patterns keep it roughly,
// and both move some pixels off their nearest entry.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "paltab/dither.hpp"

namespace {

using namespace paltab;

constexpr int kSide = 4096;

// Smooth colour fields with grain, as in a photograph.
const std::vector<std::uint8_t>& Photo() {
    static const std::vector<std::uint8_t> rgba = [] {
        std::vector<std::uint8_t> made;
        made.reserve(std::size_t{kSide} * kSide * 4);
        std::mt19937 rng(21);
        std::normal_distribution<double> grain(0.0, 4.0);
        for (int y = 0; y < kSide; ++y) {
            for (int x = 0; x < kSide; ++x) {
                const double u = x / static_cast<double>(kSide), v = y / static_cast<double>(kSide);
                const auto c = [&](double base) {
                    return static_cast<std::uint8_t>(std::clamp(base + grain(rng), 0.0, 255.0));
                };
                made.insert(made.end(),
                            {c(128 + 100 * std::sin(3.1 * u + 1.3 * v)), c(128 + 90 * std::sin(2.3 * v - 1.7 * u + 1)),
                             c(110 + 80 * std::cos(4.0 * u * v + 0.5)), 255});
            }
        }
        return made;
    }();
    return rgba;
}

struct Target {
    std::vector<Rgb8> palette;
    std::optional<MatchPalette> match;
    std::optional<ExactColorMap> map;
};

const Target& GameTarget() {
    static const Target target = [] {
        Target made;
        std::mt19937 rng(77);
        for (std::size_t i = 0; i < kPaletteSize; ++i) {
            made.palette.push_back(
                {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng())});
        }
        made.match = *MatchPalette::Create(made.palette, {});
        made.map = *ExactColorMap::Build(*made.match, ExactColorMap::kMaxBits);
        return made;
    }();
    return target;
}

std::array<double, 3> MeanColor(std::span<const std::uint8_t> rgba, std::span<const std::uint8_t> indices,
                                std::span<const Rgb8> palette) {
    std::array<double, 3> sum{};
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const Rgb8 c = indices.empty() ? Rgb8{rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2]} : palette[indices[i]];
        sum[0] += c.r;
        sum[1] += c.g;
        sum[2] += c.b;
    }
    for (double& s : sum) {
        s /= static_cast<double>(indices.size());
    }
    return sum;
}

void BM_Dither(benchmark::State& state) {
    const auto method = static_cast<DitherMethod>(state.range(0));
    const Target& target = GameTarget();
    const std::vector<std::uint8_t>& rgba = Photo();
    const DitherLookup lookup{EntryFinder::FromMap(target.map->Cells(), target.map->Bits()), true};
    DitherOptions options;
    options.method = method;
    std::vector<std::uint8_t> indices;
    for (auto _ : state) {
        indices = DitherPixels(kSide, kSide, rgba, target.palette, lookup, {}, options);
        benchmark::DoNotOptimize(indices.data());
    }
    state.SetLabel(std::string(DitherMethodName(method)));
    // The source's mean colour, as the indices' mean with every pixel its own
    // colour: the undithered indices stand in for nothing here.
    std::array<double, 3> source{};
    for (std::size_t i = 0; i < rgba.size(); i += 4) {
        for (std::size_t c = 0; c < 3; ++c) {
            source[c] += rgba[i + c];
        }
    }
    const std::array<double, 3> got = MeanColor(rgba, indices, target.palette);
    std::size_t moved = 0;
    for (std::size_t i = 0; i < indices.size(); i += 997) {
        moved += indices[i] != target.match->NearestEntry({rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2]}) ? 1 : 0;
    }
    // Diffusion keeps the mean within a unit; a pattern within a few.
    const double allowed = method == DitherMethod::kNone ? 1e9 : IsErrorDiffusion(method) ? 1.0 : 4.0;
    for (std::size_t c = 0; c < 3; ++c) {
        if (std::abs(got[c] - source[c] / (static_cast<double>(rgba.size()) / 4)) > allowed) {
            state.SkipWithError("the mean colour moved");
        }
    }
    if ((method == DitherMethod::kNone) != (moved == 0)) {
        state.SkipWithError(method == DitherMethod::kNone ? "undithered but not exact" : "nothing dithered");
    }
}

BENCHMARK(BM_Dither)->DenseRange(0, kDitherMethodCount - 1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
