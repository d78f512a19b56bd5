// The fast PNG paths beside libpng's, in the same run, on the photograph of
// photo.hpp: decoding it, encoding its remapped indices (level and row
// filters as arguments; the size is a counter), and the whole remap
// pipeline, PNG in and indexed PNG out. Each checks the result it times.
#include <benchmark/benchmark.h>

#include "image/png_fast.hpp"
#include "paltab/remap.hpp"
#include "photo.hpp"
#include "paltab/image.hpp"

namespace {

using namespace paltab;
using paltab::bench::Photo;
using paltab::bench::PhotoPng;

// The photograph remapped exactly to the random palette, computed once.
struct Remapped {
    std::vector<Rgb8> palette = bench::RandomPalette();
    std::vector<std::uint8_t> indices;
};

const MatchPalette& Match(const std::vector<Rgb8>& palette) {
    static const MatchPalette match = *MatchPalette::Create(palette, {});
    return match;
}

std::vector<std::uint8_t> RemapExactly(const DecodedImage& image, const std::vector<Rgb8>& palette) {
    const ExactColorMap map = *ExactColorMap::Build(Match(palette), ExactColorMap::kMaxBits);
    return *RemapPixels(image.width, image.height, image.rgba, palette,
                       EntryFinder::FromMap(map.Cells(), map.Bits()), {});
}

const Remapped& PhotoRemapped() {
    static const Remapped remapped = [] {
        Remapped made;
        made.indices = RemapExactly(*DecodePng(PhotoPng(), kDefaultMaxPixels), made.palette);
        return made;
    }();
    return remapped;
}

bool SameAsPhoto(const std::optional<DecodedImage>& image) {
    const RgbImage& photo = Photo();
    if (!image || image->width != photo.width || image->height != photo.height) {
        return false;
    }
    for (std::size_t i = 0; i < photo.pixels.size() / 3; ++i) {
        if (image->rgba[i * 4] != photo.pixels[i * 3] || image->rgba[i * 4 + 1] != photo.pixels[i * 3 + 1] ||
            image->rgba[i * 4 + 2] != photo.pixels[i * 3 + 2] || image->rgba[i * 4 + 3] != 255) {
            return false;
        }
    }
    return true;
}

// Whether `png` holds `indices` under `palette`, read by libpng.
bool HoldsIndices(const std::vector<std::uint8_t>& png, const Remapped& remapped) {
    const auto back = DecodePng(png, kDefaultMaxPixels);
    if (!back || back->plte != remapped.palette) {
        return false;
    }
    for (std::size_t i = 0; i < remapped.indices.size(); ++i) {
        const Rgb8 c = remapped.palette[remapped.indices[i]];
        if (back->rgba[i * 4] != c.r || back->rgba[i * 4 + 1] != c.g || back->rgba[i * 4 + 2] != c.b) {
            return false;
        }
    }
    return true;
}

// Fails the benchmark with `failure` unless `png` holds the indices; its
// size as a counter.
void CheckHoldsIndices(benchmark::State& state, const std::vector<std::uint8_t>& png, const Remapped& remapped,
                       const char* failure) {
    if (!HoldsIndices(png, remapped)) {
        state.SkipWithError(failure);
        return;
    }
    state.counters["MB"] = static_cast<double>(png.size()) / 1e6;
}

void BM_PngDecodeLibpng(benchmark::State& state) {
    PhotoPng();  // made before the clock starts
    std::optional<DecodedImage> image;
    for (auto _ : state) {
        image = *DecodePng(PhotoPng(), kDefaultMaxPixels);
        benchmark::DoNotOptimize(image->rgba.data());
    }
    if (!SameAsPhoto(image)) {
        state.SkipWithError("decoded image differs");
    }
}

void BM_PngDecodeFast(benchmark::State& state) {
    PhotoPng();
    std::optional<DecodedImage> image;
    for (auto _ : state) {
        image = DecodeCommonPng(PhotoPng(), kDefaultMaxPixels);
        benchmark::DoNotOptimize(image->rgba.data());
    }
    if (!SameAsPhoto(image)) {
        state.SkipWithError("decoded image differs");
    }
}

void BM_IndexedEncodeLibpng(benchmark::State& state) {
    const Remapped& remapped = PhotoRemapped();
    std::vector<std::uint8_t> png;
    for (auto _ : state) {
        auto out = EncodeIndexedPng(bench::kPhotoSide, bench::kPhotoSide, remapped.indices, remapped.palette,
                                    std::nullopt);
        png = out ? std::move(*out) : std::vector<std::uint8_t>{};
        benchmark::DoNotOptimize(png.data());
    }
    CheckHoldsIndices(state, png, remapped, "the file does not hold the indices");
}

// Arguments: libdeflate's level, 1 for adaptive row filters.
void BM_IndexedEncodeFast(benchmark::State& state) {
    const Remapped& remapped = PhotoRemapped();
    IndexedPngSettings settings;
    settings.level = static_cast<int>(state.range(0));
    settings.filters = state.range(1) != 0 ? RowFilters::kAdaptive : RowFilters::kNone;
    std::vector<std::uint8_t> png;
    for (auto _ : state) {
        auto out = EncodeIndexedPngFast(bench::kPhotoSide, bench::kPhotoSide, remapped.indices, remapped.palette,
                                        std::nullopt, settings);
        png = out ? std::move(*out) : std::vector<std::uint8_t>{};
        benchmark::DoNotOptimize(png.data());
    }
    CheckHoldsIndices(state, png, remapped, "the file does not hold the indices");
}

// PNG in, exact remap, indexed PNG out: libpng's paths (0) or the fast
// ones (1).
void BM_RemapPipeline(benchmark::State& state) {
    const bool fast = state.range(0) != 0;
    const Remapped& remapped = PhotoRemapped();
    std::vector<std::uint8_t> png;
    for (auto _ : state) {
        const auto image = fast ? DecodePngFast(PhotoPng(), kDefaultMaxPixels)
                                : DecodePng(PhotoPng(), kDefaultMaxPixels);
        const std::vector<std::uint8_t> indices = RemapExactly(*image, remapped.palette);
        auto out = fast ? EncodeIndexedPngFast(image->width, image->height, indices, remapped.palette, std::nullopt)
                        : EncodeIndexedPng(image->width, image->height, indices, remapped.palette, std::nullopt);
        png = out ? std::move(*out) : std::vector<std::uint8_t>{};
        benchmark::DoNotOptimize(png.data());
    }
    CheckHoldsIndices(state, png, remapped, "the file does not hold the exact indices");
}

void BM_RemapStage(benchmark::State& state) {
    const std::vector<Rgb8>& palette = PhotoRemapped().palette;
    const DecodedImage image = *DecodePng(PhotoPng(), kDefaultMaxPixels);
    std::vector<std::uint8_t> indices;
    for (auto _ : state) {
        indices = RemapExactly(image, palette);
        benchmark::DoNotOptimize(indices.data());
    }
    if (indices != PhotoRemapped().indices) {
        state.SkipWithError("not the exact indices");
    }
}

BENCHMARK(BM_PngDecodeLibpng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PngDecodeFast)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RemapStage)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IndexedEncodeLibpng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_IndexedEncodeFast)
    ->ArgsProduct({{1, 2, 4, 6, 9}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_RemapPipeline)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
