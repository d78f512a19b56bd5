// Pixels to palette indices, undithered, with an ordered (Bayer) pattern or
// with Floyd-Steinberg error diffusion: the dithering units do the work.
#include "paltab/remap.hpp"

#include <cmath>

#include "paltab/dither.hpp"

namespace paltab {

std::string_view DitherName(Dither dither) {
    switch (dither) {
        case Dither::kNone:
            return "none";
        case Dither::kOrdered:
            return "ordered";
        case Dither::kFloydSteinberg:
            return "floyd-steinberg";
    }
    return "none";
}

std::optional<Dither> ParseDither(std::string_view name) {
    for (const Dither dither : {Dither::kNone, Dither::kOrdered, Dither::kFloydSteinberg}) {
        if (name == DitherName(dither)) {
            return dither;
        }
    }
    return std::nullopt;
}

EntryFinder EntryFinder::FromMap(std::span<const std::uint8_t> cells, int bits) {
    EntryFinder finder;
    finder.cells_ = cells;
    finder.bits_ = bits;
    return finder;
}

EntryFinder EntryFinder::FromSearch(const MatchPalette& palette) {
    EntryFinder finder;
    finder.search_ = &palette;
    return finder;
}

bool ExactMapPays(std::size_t pixels, const MatchPalette& palette) {
    const int costBits = palette.GetMetric() == Metric::kRgb ? 25 : palette.GetMetric() == Metric::kLinear ? 26 : 28;
    return static_cast<double>(pixels) * static_cast<double>(palette.Entries().size()) >= std::ldexp(1.0, costBits);
}

std::vector<std::uint8_t> RemapPixels(int width, int height, std::span<const std::uint8_t> rgba,
                                      std::span<const Rgb8> palette, const EntryFinder& find,
                                      const RemapOptions& options) {
    DitherOptions dither;
    dither.method = options.dither == Dither::kOrdered          ? DitherMethod::kOrdered
                    : options.dither == Dither::kFloydSteinberg ? DitherMethod::kFloydSteinberg
                                                                : DitherMethod::kNone;
    return DitherPixels(width, height, rgba, palette, {find}, options.transparentIndex, dither);
}

}  // namespace paltab
