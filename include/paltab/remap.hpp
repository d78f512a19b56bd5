// True-colour pixels to palette indices: each pixel's entry through an exact
// search or a map, with optional dithering and a transparent index.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "paltab/exact_map.hpp"
#include "paltab/types.hpp"

namespace paltab {

enum class Dither { kNone, kOrdered, kFloydSteinberg };

// "none", "ordered", "floyd-steinberg".
std::string_view DitherName(Dither dither);
std::optional<Dither> ParseDither(std::string_view name);

// How ordered dithering moves a colour: the 8 x 8 Bayer threshold t (0..63)
// of a pixel adds (2t + 1 - 64) * kOrderedSpread / 128, truncated toward
// zero (-15..15), to each component before the lookup. About half the gap
// between neighbours of a 256-colour palette spread evenly over the cube.
inline constexpr int kOrderedSpread = 32;

// Alpha below this makes a pixel transparent (when a transparent index is
// given).
inline constexpr std::uint8_t kOpaqueAlpha = 128;

// The entry of a colour: a cell's entry in a map of `bits` per component
// (ExactColorMap's cell layout; at 5 bits the table file's map), or the
// exact search of a MatchPalette.
class EntryFinder {
public:
    // `cells` must hold (2^bits)^3 entries and outlive the finder.
    static EntryFinder FromMap(std::span<const std::uint8_t> cells, int bits);
    // `palette` must outlive the finder.
    static EntryFinder FromSearch(const MatchPalette& palette);

    std::uint8_t operator()(Rgb8 color) const {
        return search_ != nullptr ? search_->NearestEntry(color) : cells_[ExactColorMap::CellOf(bits_, color)];
    }

private:
    std::span<const std::uint8_t> cells_;
    int bits_ = 8;
    const MatchPalette* search_ = nullptr;
};

// Whether `pixels` lookups are done sooner by building the 8-bit exact map
// first than by searching `palette` for each: the map costs about as much as
// 2^25 (rgb), 2^26 (linear) or 2^28 (oklab) pixel-by-entry distances.
bool ExactMapPays(std::size_t pixels, const MatchPalette& palette);

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
// Returns an empty vector when `rgba` does not hold width x height pixels;
// throws std::bad_alloc when the indices' memory cannot be had.
std::vector<std::uint8_t> RemapPixels(int width, int height, std::span<const std::uint8_t> rgba,
                                      std::span<const Rgb8> palette, const EntryFinder& find,
                                      const RemapOptions& options);

}  // namespace paltab
