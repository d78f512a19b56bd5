// Every dithering mode on a 4096 x 4096 photograph-like image, with a game's
// 256 colours and with PICO-8's 16, beside the undithered remap of the same
// image to the same colours (the lookup an 8-bit exact map, as paltool uses
// for large images). Each checks what it made: error diffusion keeps the
// image's mean colour, patterns keep it roughly, and both move some pixels
// off their nearest entry.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "inputs.hpp"
#include "paltab/dither.hpp"

namespace {

using namespace paltab;

constexpr int kSide = bench::kPhotoSide;

// The photograph of inputs.hpp, opaque RGBA.
const std::vector<std::uint8_t>& Photo() {
    static const std::vector<std::uint8_t> rgba = [] {
        std::vector<std::uint8_t> made;
        made.reserve(std::size_t{kSide} * kSide * 4);
        bench::DrawPhoto([&](int, int, Rgb8 c) { made.insert(made.end(), {c.r, c.g, c.b, 255}); });
        return made;
    }();
    return rgba;
}

struct Target {
    std::vector<Rgb8> palette;
    std::optional<MatchPalette> match;
    std::optional<ExactColorMap> map;
};

Target MakeTarget(std::vector<Rgb8> palette) {
    Target made;
    made.palette = std::move(palette);
    made.match = *MatchPalette::Create(made.palette, {});
    made.map = *ExactColorMap::Build(*made.match, ExactColorMap::kMaxBits);
    return made;
}

const Target& GameTarget() {
    static const Target target = [] {
        std::vector<Rgb8> palette;
        std::mt19937 rng(77);
        for (std::size_t i = 0; i < kPaletteSize; ++i) {
            palette.push_back(
                {static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng()), static_cast<std::uint8_t>(rng())});
        }
        return MakeTarget(std::move(palette));
    }();
    return target;
}

const Target& Pico8Target() {
    static const Target target = [] {
        std::vector<Rgb8> palette;
        for (const std::uint32_t c : {0x000000, 0x1d2b53, 0x7e2553, 0x008751, 0xab5236, 0x5f574f, 0xc2c3c7, 0xfff1e8,
                                      0xff004d, 0xffa300, 0xffec27, 0x00e436, 0x29adff, 0x83769c, 0xff77a8, 0xffccaa}) {
            palette.push_back({static_cast<std::uint8_t>(c >> 16), static_cast<std::uint8_t>(c >> 8),
                               static_cast<std::uint8_t>(c)});
        }
        return MakeTarget(std::move(palette));
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

// The source's mean colour.
const std::array<double, 3>& SourceMean() {
    static const std::array<double, 3> mean = [] {
        const std::vector<std::uint8_t>& rgba = Photo();
        std::array<double, 3> sum{};
        for (std::size_t i = 0; i < rgba.size(); i += 4) {
            for (std::size_t c = 0; c < 3; ++c) {
                sum[c] += rgba[i + c];
            }
        }
        for (double& s : sum) {
            s /= static_cast<double>(rgba.size() / 4);
        }
        return sum;
    }();
    return mean;
}

// How far a mean colour lies from the source's, in its farthest component.
double MeanShift(const std::array<double, 3>& mean) {
    double shift = 0;
    for (std::size_t c = 0; c < 3; ++c) {
        shift = std::max(shift, std::abs(mean[c] - SourceMean()[c]));
    }
    return shift;
}

double UnditheredShift(const Target& target) {
    const std::vector<std::uint8_t>& rgba = Photo();
    const auto indices = *DitherPixels(kSide, kSide, rgba, target.palette,
                                      {EntryFinder::FromMap(target.map->Cells(), target.map->Bits()), true}, {}, {});
    return MeanShift(MeanColor(rgba, indices, target.palette));
}

void BM_Dither(benchmark::State& state) {
    const auto method = static_cast<DitherMethod>(state.range(0));
    const bool pico8 = state.range(1) == 1;
    const Target& target = pico8 ? Pico8Target() : GameTarget();
    const std::vector<std::uint8_t>& rgba = Photo();
    const DitherLookup lookup{EntryFinder::FromMap(target.map->Cells(), target.map->Bits()), true};
    DitherOptions options;
    options.method = method;
    std::vector<std::uint8_t> indices;
    for (auto _ : state) {
        indices = *DitherPixels(kSide, kSide, rgba, target.palette, lookup, {}, options);
        benchmark::DoNotOptimize(indices.data());
    }
    state.SetLabel(std::string(DitherMethodName(method)) + (pico8 ? ", PICO-8" : ", 256 colours"));
    const std::array<double, 3> got = MeanColor(rgba, indices, target.palette);
    std::size_t moved = 0;
    for (std::size_t i = 0; i < indices.size(); i += 997) {
        moved += indices[i] != target.match->NearestEntry({rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2]}) ? 1 : 0;
    }
    // With 256 colours diffusion keeps the mean within a unit, a pattern
    // within a few. PICO-8's 16 leave part of the image's colours outside
    // their reach, where no mix of them is the colour: there each mode keeps
    // the mean no farther off than the undithered remap does.
    const double allowed = pico8                                ? UnditheredShift(target)
                           : method == DitherMethod::kNone      ? 1e9
                           : IsErrorDiffusion(method)           ? 1.0
                                                                : 4.0;
    if (MeanShift(got) > allowed) {
        state.SkipWithError("the mean colour moved");
    }
    if ((method == DitherMethod::kNone) != (moved == 0)) {
        state.SkipWithError(method == DitherMethod::kNone ? "undithered but not exact" : "nothing dithered");
    }
}

// Second argument: 0 the game's 256 colours, 1 PICO-8's 16.
BENCHMARK(BM_Dither)
    ->ArgsProduct({benchmark::CreateDenseRange(0, kDitherMethodCount - 1, 1), {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
