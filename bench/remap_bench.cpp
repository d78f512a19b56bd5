// A 4096 x 4096 photograph-like image remapped exactly to 256 colours: PNG in
// and PNG out through the library's one remap call, and its parts (decode,
// the map, the remap, encode).
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>

#include "paltab/image.hpp"
#include "paltab/remap_image.hpp"
#include "photo.hpp"

namespace {

using namespace paltab;

using bench::Photo;
using bench::PhotoPng;
constexpr int kSide = bench::kPhotoSide;

// Every 997th pixel must have its exact nearest entry.
bool Exact(const DecodedImage& image, std::span<const std::uint8_t> indices, const MatchPalette& match) {
    for (std::size_t i = 0; i < indices.size(); i += 997) {
        const Rgb8 c{image.rgba[i * 4], image.rgba[i * 4 + 1], image.rgba[i * 4 + 2]};
        if (indices[i] != match.NearestEntry(c)) {
            return false;
        }
    }
    return true;
}

void BM_RemapPngToPng(benchmark::State& state) {
    const std::vector<std::uint8_t>& in = PhotoPng();
    const std::vector<Rgb8> palette = bench::RandomPalette();
    const RemapTarget target = *RemapTargetOfPalette(palette, {});
    std::optional<RemappedImage> out;
    for (auto _ : state) {
        auto result = RemapImage(in, target, {});
        out = result ? std::optional<RemappedImage>(std::move(*result)) : std::nullopt;
        benchmark::DoNotOptimize(out);
    }
    const auto image = DecodePng(in, kDefaultMaxPixels);
    if (!out || !image || !Exact(*image, out->indices, *target.search)) {
        state.SkipWithError("remap failed or not exact");
        return;
    }
    state.counters["png_in_MB"] = static_cast<double>(in.size()) / 1e6;
    state.counters["png_out_MB"] = static_cast<double>(out->file.size()) / 1e6;
}

// The photograph decoded and the palette's 8-bit exact map, made before the
// clock starts.
struct MappedPhoto {
    std::vector<Rgb8> palette = bench::RandomPalette();
    MatchPalette match = *MatchPalette::Create(palette, {});
    DecodedImage image = *DecodePng(PhotoPng(), kDefaultMaxPixels);
    ExactColorMap map = *ExactColorMap::Build(match, ExactColorMap::kMaxBits);

    std::vector<std::uint8_t> Remap(const RemapOptions& options) const {
        return *RemapPixels(image.width, image.height, image.rgba, palette,
                           EntryFinder::FromMap(map.Cells(), map.Bits()), options);
    }
};

void BM_RemapOnly(benchmark::State& state) {
    const MappedPhoto photo;
    std::vector<std::uint8_t> indices;
    for (auto _ : state) {
        indices = photo.Remap({});
        benchmark::DoNotOptimize(indices.data());
    }
    if (!Exact(photo.image, indices, photo.match)) {
        state.SkipWithError("not exact");
    }
}

void BM_DecodeOnly(benchmark::State& state) {
    std::optional<DecodedImage> image;
    for (auto _ : state) {
        image = *DecodePng(PhotoPng(), kDefaultMaxPixels);
        benchmark::DoNotOptimize(image->rgba.data());
    }
    if (!image || image->width != kSide || image->ColorAt(5, 7) != Photo().At(5, 7)) {
        state.SkipWithError("decoded image differs");
    }
}

void BM_EncodeOnly(benchmark::State& state) {
    const std::vector<Rgb8> palette = bench::RandomPalette();
    std::vector<std::uint8_t> indices(std::size_t{kSide} * kSide);
    std::mt19937 rng(3);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<std::uint8_t>((i / 97 + rng() % 3) % 256);
    }
    std::size_t size = 0;
    for (auto _ : state) {
        const auto out = EncodeIndexedPng(kSide, kSide, indices, palette, std::nullopt);
        size = out ? out->size() : 0;
        benchmark::DoNotOptimize(size);
    }
    if (size == 0) {
        state.SkipWithError("the PNG was not encoded");
    }
}

void BM_RemapFloydSteinberg(benchmark::State& state) {
    const MappedPhoto photo;
    RemapOptions options;
    options.dither = Dither::kFloydSteinberg;
    std::vector<std::uint8_t> indices;
    for (auto _ : state) {
        indices = photo.Remap(options);
        benchmark::DoNotOptimize(indices.data());
    }
    if (indices.size() != photo.image.rgba.size() / 4) {
        state.SkipWithError("wrong size");
    }
}

BENCHMARK(BM_RemapPngToPng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_DecodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RemapOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodeOnly)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RemapFloydSteinberg)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
