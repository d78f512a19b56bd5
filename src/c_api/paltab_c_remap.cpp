// The C interface (paltab.h), its remapping: an RGBA image to palette
// indices, dithered, with the quality figures on request.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <utility>

#include "paltab/dither.hpp"
#include "paltab/remap.hpp"
#include "paltab_c.hpp"

namespace {

using namespace paltab::c_api;

// The C values are the C++ enum's, in the same order; checked here so that
// a change to either shows.
constexpr std::array<std::pair<int, paltab::DitherMethod>, paltab::kDitherMethodCount> kDithers{{
    {PALTAB_DITHER_NONE, paltab::DitherMethod::kNone},
    {PALTAB_DITHER_ORDERED, paltab::DitherMethod::kOrdered},
    {PALTAB_DITHER_FLOYD_STEINBERG, paltab::DitherMethod::kFloydSteinberg},
    {PALTAB_DITHER_FALSE_FLOYD_STEINBERG, paltab::DitherMethod::kFalseFloydSteinberg},
    {PALTAB_DITHER_JARVIS, paltab::DitherMethod::kJarvis},
    {PALTAB_DITHER_STUCKI, paltab::DitherMethod::kStucki},
    {PALTAB_DITHER_BURKES, paltab::DitherMethod::kBurkes},
    {PALTAB_DITHER_SIERRA, paltab::DitherMethod::kSierra},
    {PALTAB_DITHER_SIERRA_2ROW, paltab::DitherMethod::kSierra2Row},
    {PALTAB_DITHER_SIERRA_LITE, paltab::DitherMethod::kSierraLite},
    {PALTAB_DITHER_ATKINSON, paltab::DitherMethod::kAtkinson},
    {PALTAB_DITHER_BAYER2, paltab::DitherMethod::kBayer2},
    {PALTAB_DITHER_BAYER4, paltab::DitherMethod::kBayer4},
    {PALTAB_DITHER_BAYER8, paltab::DitherMethod::kBayer8},
    {PALTAB_DITHER_BAYER16, paltab::DitherMethod::kBayer16},
    {PALTAB_DITHER_BLUE_NOISE, paltab::DitherMethod::kBlueNoise},
    {PALTAB_DITHER_YLILUOMA, paltab::DitherMethod::kYliluoma},
}};

std::optional<paltab::DitherMethod> ToDitherMethod(int dither) {
    for (const auto& [value, method] : kDithers) {
        if (value == dither) {
            return method;
        }
    }
    return std::nullopt;
}

std::optional<paltab::DitherSpace> ToDitherSpace(int space) {
    switch (space) {
        case PALTAB_DITHER_SPACE_SRGB:
            return paltab::DitherSpace::kSrgb;
        case PALTAB_DITHER_SPACE_LINEAR:
            return paltab::DitherSpace::kLinear;
        case PALTAB_DITHER_SPACE_OKLAB:
            return paltab::DitherSpace::kOklab;
    }
    return std::nullopt;
}

// paltab_remap_ex with its options read: checks the image's arguments, then
// dithers with the transparent index reserved.
paltab_status Remap(const paltab_palette* palette, const uint8_t* rgba, int width, int height, size_t stride,
                    const paltab::DitherOptions& dither, int transparent_index, uint8_t* indices,
                    paltab_dither_quality* quality) {
    if (palette == nullptr || rgba == nullptr || indices == nullptr || width < 1 || height < 1 ||
        transparent_index < -1 || transparent_index > kMaxCount - 1) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    constexpr std::size_t kMaxSize = std::numeric_limits<std::size_t>::max();
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    if (w > kMaxSize / 4 / h) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    const std::size_t rowBytes = w * 4;
    if (stride == 0) {
        stride = rowBytes;
    }
    if (stride < rowBytes || (h - 1) > (kMaxSize - rowBytes) / stride) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    return Guarded([&] {
        // A transparent index is reserved too, so that no opaque pixel takes
        // it and turns into a hole.
        std::optional<paltab::MatchPalette> withTransparent;
        const paltab::MatchPalette* match = &palette->match;
        const bool reserveTransparent = transparent_index >= 0 &&
                                        static_cast<std::size_t>(transparent_index) < palette->colors.size() &&
                                        !palette->reserved.test(static_cast<std::size_t>(transparent_index));
        if (reserveTransparent) {
            paltab::MatchOptions options{palette->metric, palette->reserved};
            options.reserved.set(static_cast<std::size_t>(transparent_index));
            auto made = paltab::MatchPalette::Create(palette->colors, options);
            if (!made) {
                return PALTAB_ERROR_INVALID_ARGUMENT;
            }
            withTransparent = std::move(made).value();
            match = &*withTransparent;
        }
        std::vector<std::uint8_t> packed;
        std::span<const std::uint8_t> pixels(rgba, w * h * 4);
        if (stride != rowBytes) {
            packed.resize(w * h * 4);
            for (std::size_t y = 0; y < h; ++y) {
                std::memcpy(packed.data() + y * rowBytes, rgba + y * stride, rowBytes);
            }
            pixels = packed;
        }
        std::optional<paltab::ExactColorMap> map;
        paltab::EntryFinder find = paltab::EntryFinder::FromSearch(*match);
        if (paltab::ExactMapPays(w * h, *match)) {
            map = *paltab::ExactColorMap::Build(*match, paltab::ExactColorMap::kMaxBits);
            find = paltab::EntryFinder::FromMap(map->Cells(), paltab::ExactColorMap::kMaxBits);
        }
        std::optional<std::uint8_t> transparent;
        if (transparent_index >= 0) {
            transparent = static_cast<std::uint8_t>(transparent_index);
        }
        const auto dithered = paltab::DitherPixels(width, height, pixels, palette->colors,
                                                   {find, palette->metric == paltab::Metric::kRgb}, transparent, dither);
        if (!dithered) {
            return PALTAB_ERROR_INTERNAL;
        }
        const std::vector<std::uint8_t>& result = *dithered;
        if (quality != nullptr) {
            const auto figures =
                paltab::MeasureDitherQuality(width, height, pixels, palette->colors, result, transparent);
            if (!figures) {
                return PALTAB_ERROR_INTERNAL;
            }
            *quality = {figures->meanSquaredError, figures->blurredError};
        }
        return CopyOut(result, indices);
    });
}

}  // namespace

extern "C" {

paltab_status paltab_remap(const paltab_palette* palette, const uint8_t* rgba, int width, int height,
                           size_t stride, paltab_dither dither, int transparent_index, uint8_t* indices) {
    paltab_remap_options options;
    paltab_remap_options_init(&options);
    options.dither = dither;
    options.transparent_index = transparent_index;
    return paltab_remap_ex(palette, rgba, width, height, stride, &options, indices, nullptr);
}

void paltab_remap_options_init(paltab_remap_options* options) {
    if (options == nullptr) {
        return;
    }
    *options = {};
    options->size = sizeof *options;
    options->dither = PALTAB_DITHER_NONE;
    options->transparent_index = -1;
    options->serpentine = 0;
    options->strength = paltab::kMaxStrength;
    options->spread = -1;
    options->space = PALTAB_DITHER_SPACE_SRGB;
}

paltab_status paltab_remap_ex(const paltab_palette* palette, const uint8_t* rgba, int width, int height,
                              size_t stride, const paltab_remap_options* options, uint8_t* indices,
                              paltab_dither_quality* quality) {
    // No version's settings take a kibibyte: a size past that is not one.
    constexpr std::size_t kMaxOptionsSize = 1024;
    if (options == nullptr || options->size < sizeof *options || options->size > kMaxOptionsSize) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    // A later caller's fields past ours must hold their defaults, zero.
    const auto* bytes = reinterpret_cast<const unsigned char*>(options);
    if (std::any_of(bytes + sizeof *options, bytes + options->size, [](unsigned char b) { return b != 0; })) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    const auto method = ToDitherMethod(RawValue(options->dither));
    const auto space = ToDitherSpace(RawValue(options->space));
    if (!method || !space || options->strength < 0 || options->strength > paltab::kMaxStrength ||
        !std::isfinite(options->spread)) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    paltab::DitherOptions dither;
    dither.method = *method;
    dither.space = *space;
    dither.serpentine = options->serpentine != 0;
    dither.strength = options->strength;
    if (options->spread >= 0) {
        dither.spread = options->spread;
    }
    return Remap(palette, rgba, width, height, stride, dither, options->transparent_index, indices, quality);
}

}  // extern "C"
