// Pixels to palette indices, undithered, with an ordered (Bayer) pattern or
// with Floyd-Steinberg error diffusion: the dithering units do the work.
#include "paltab/remap.hpp"

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
