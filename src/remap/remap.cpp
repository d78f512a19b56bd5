// Pixels to palette indices, undithered, with an ordered (Bayer) pattern or
// with Floyd-Steinberg error diffusion: the dithering units do the work.
#include "paltab/remap.hpp"

#include <array>

#include "common/name_table.hpp"
#include "paltab/dither.hpp"

namespace paltab {

namespace {

constexpr std::array kDitherNames{NamedValue<Dither>{Dither::kNone, "none"},
                                  NamedValue<Dither>{Dither::kOrdered, "ordered"},
                                  NamedValue<Dither>{Dither::kFloydSteinberg, "floyd-steinberg"}};

}  // namespace

std::string_view DitherName(Dither dither) {
    return NameIn(kDitherNames, dither, "none");
}

std::optional<Dither> ParseDither(std::string_view name) {
    return ValueIn(kDitherNames, name);
}

Result<std::vector<std::uint8_t>> RemapPixels(int width, int height, std::span<const std::uint8_t> rgba,
                                              std::span<const Rgb8> palette, const EntryFinder& find,
                                              const RemapOptions& options) {
    DitherOptions dither;
    dither.method = options.dither == Dither::kOrdered          ? DitherMethod::kOrdered
                    : options.dither == Dither::kFloydSteinberg ? DitherMethod::kFloydSteinberg
                                                                : DitherMethod::kNone;
    return DitherPixels(width, height, rgba, palette, {find}, options.transparentIndex, dither);
}

}  // namespace paltab
