// True-colour pixels to palette indices: each pixel's entry through an exact
// search or a map, with optional dithering and a transparent index.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "paltab/dither.hpp"
#include "paltab/exact_map.hpp"
#include "paltab/result.hpp"
#include "paltab/types.hpp"

namespace paltab {

enum class Dither { kNone, kOrdered, kFloydSteinberg };

// "none", "ordered", "floyd-steinberg".
std::string_view DitherName(Dither dither);
std::optional<Dither> ParseDither(std::string_view name);

struct RemapOptions {
    Dither dither = Dither::kNone;
    // Pixels with alpha below kOpaqueAlpha get this index; without it, alpha
    // is ignored.
    std::optional<std::uint8_t> transparentIndex;
};

// The index of every pixel of an image of `width` x `height` pixels, `rgba`
// four bytes per pixel, rows top to bottom. `palette` is what the indices
// stand for: dithering measures each pixel's error against it, so every
// index `find` gives must lie within it.
//
// Floyd-Steinberg passes 7/16 of a pixel's error right, 3/16 down left, 5/16
// down and 1/16 down right, rows left to right. Errors are kept in double
// precision; the pixel plus the error it received is clamped to 0..255, and
// rounded to the nearest whole colour for the lookup; its error is that
// clamped colour minus the chosen entry's colour. A transparent pixel neither
// takes nor passes on any error. Both ditherings are deterministic.
//
// Fails with kBadInput when `rgba` does not hold width x height pixels (or
// a side is below 1); throws std::bad_alloc when the indices' memory cannot
// be had.
Result<std::vector<std::uint8_t>> RemapPixels(int width, int height, std::span<const std::uint8_t> rgba,
                                              std::span<const Rgb8> palette, const EntryFinder& find,
                                              const RemapOptions& options);

}  // namespace paltab
