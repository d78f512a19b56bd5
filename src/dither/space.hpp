// The dither spaces and the image view the dithering units share: colours
// to and from the space the error is kept in, and the pixel lookups.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>
#include <vector>

#include "paltab/dither.hpp"

namespace paltab::dither {

using Point = std::array<double, 3>;

// Conversions between 8-bit sRGB and a dither space. A point's "colour" is
// its clamp into the sRGB cube; Lookup rounds that to the 8-bit colour the
// lookup is asked for.
class Space {
public:
    explicit Space(DitherSpace space);

    DitherSpace Kind() const { return kind_; }
    Point Of(Rgb8 color) const;
    // The point clamped into the colours an 8-bit sRGB image holds.
    Point Clamped(const Point& p) const;
    // The 8-bit colour nearest to a point already clamped.
    Rgb8 Rounded(const Point& clamped) const;
    // How many space units one unit of DitherOptions::spread is.
    double SpreadUnit() const;
    // The 8-bit sRGB value nearest to a linear value within 0..1.
    std::uint8_t Srgb8OfLinear(double linear) const {
        // Each step of the fine table holds at most one bound, so its count
        // of bounds at or below the step's start is at most one short.
        const double scaled = linear * kFineSteps;
        const std::size_t step = scaled >= 0 ? (scaled < kFineSteps ? static_cast<std::size_t>(scaled) : kFineSteps) : 0;
        const std::uint8_t below = fineCount_[step];
        return below < linearBounds_.size() && linearBounds_[below] <= linear ? static_cast<std::uint8_t>(below + 1)
                                                                              : below;
    }
    double LinearOf(std::uint8_t v) const { return linear_[v]; }

private:
    // Steps of the fine table per unit of linear light: the bounds lie at
    // least 1 / (255 * 12.92) apart (the sRGB curve's straight foot), more
    // than a step.
    static constexpr std::size_t kFineSteps = 4096;

    DitherSpace kind_;
    std::array<double, 256> linear_{};
    // The linear value at which each 8-bit value v + 0.5 begins: a rounded
    // sRGB value is the count of those at or below the linear value.
    std::array<double, 255> linearBounds_{};
    // That count at each step k / kFineSteps.
    std::array<std::uint8_t, kFineSteps + 1> fineCount_{};
};

Point OklabOf(const Point& linear);
Point LinearOfOklab(const Point& lab);

// The lookup of DitherPixels. When the lookup's regions are convex (the rgb
// metric) and the image is large enough to repay it, each box of 4 x 4 x 4
// colours a lookup falls in gets, once, the few entries that can be nearest
// to any colour in it (from those of its 16 x 16 x 16 parent, which come
// from the palette): then a lookup compares a handful of entries held in
// cache instead of searching the palette or reading a map far larger than
// the cache, and a box that only one entry can serve needs no comparison at
// all. With `boxesOverMap` false a lookup that reads a map keeps to it: the
// patterns' colours, which jump between a few offsets, choose among a box's
// entries less predictably than diffusion's and read a map sooner.
class Lookup {
public:
    Lookup(const DitherLookup& lookup, std::span<const Rgb8> palette, std::size_t pixels, bool boxesOverMap);

    // The cells of the 8-bit map that the lookup reads, a colour's cell its
    // 24 bits; null when it searches or keeps boxes.
    const std::uint8_t* FullMap() const {
        return boxes_.empty() && find_.MapBits() == 8 && !find_.MapCells().empty() ? find_.MapCells().data() : nullptr;
    }

    std::uint8_t operator()(Rgb8 color) {
        if (boxes_.empty()) {
            return find_(color);
        }
        std::uint32_t& box = boxes_[BoxOf(color)];
        if (box == kUnknown) {
            box = Settle(color);
        }
        const std::uint32_t count = box & kCountMask;
        if (count == 1) {
            return static_cast<std::uint8_t>(box >> kCountBits);
        }
        if (count <= kInline) {
            if (count == 0) {
                return find_(color);
            }
            // The entries in the word itself, lowest index lowest.
            std::array<Candidate, kInline> inline_{};
            for (std::uint32_t k = 0; k < count; ++k) {
                inline_[k] = candidateOf_[box >> (kCountBits * (k + 1)) & 0xff];
            }
            return Nearest(color, std::span(inline_).first(count));
        }
        return Nearest(color, std::span(pool_).subspan(box >> kCountBits, count));
    }

    // An entry and its colour in one word, red highest, the entry lowest:
    // four to a box fit in a few bytes of cache.
    using Candidate = std::uint32_t;
    static Candidate CandidateOf(Rgb8 c, std::size_t entry) {
        return std::uint32_t{c.r} << 24 | std::uint32_t{c.g} << 16 | std::uint32_t{c.b} << 8 |
               static_cast<std::uint32_t>(entry);
    }
    static std::int32_t Component(Candidate c, int shift) { return static_cast<std::int32_t>(c >> shift & 0xff); }

private:
    // A box's word: the count of its candidates in the low bits, and above
    // them its entries (a count up to kInline, most boxes: one read serves
    // them) or where its candidates begin in pool_; count 0 sends the box to
    // `find_` (too many candidates to repay them).
    static constexpr std::uint32_t kCountBits = 8;
    static constexpr std::uint32_t kInline = 3;
    static constexpr std::uint32_t kCountMask = (1u << kCountBits) - 1;
    static constexpr std::uint32_t kUnknown = ~0u;
    static constexpr int kBoxBits = 2;
    static constexpr int kParentBits = 4;

    static std::size_t BoxOf(Rgb8 c) {
        return static_cast<std::size_t>(c.r >> kBoxBits) << (2 * (8 - kBoxBits)) |
               static_cast<std::size_t>(c.g >> kBoxBits) << (8 - kBoxBits) | static_cast<std::size_t>(c.b >> kBoxBits);
    }
    static std::uint8_t Nearest(Rgb8 color, std::span<const Candidate> candidates) {
        // Lowest index first, so that a tie keeps the lower entry.
        Candidate best = candidates[0];
        std::int32_t bestDistance = std::numeric_limits<std::int32_t>::max();
        for (const Candidate c : candidates) {
            const std::int32_t dr = color.r - Component(c, 24), dg = color.g - Component(c, 16),
                               db = color.b - Component(c, 8);
            const std::int32_t d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = c;
            }
        }
        return static_cast<std::uint8_t>(best);
    }
    std::uint32_t Settle(Rgb8 color);

    const EntryFinder& find_;
    std::vector<std::uint32_t> boxes_;
    std::vector<Candidate> pool_;
    // The selectable entries, and each parent box's candidates (settled on
    // first use) in parentPool_.
    std::vector<Candidate> entries_;
    std::array<Candidate, kPaletteSize> candidateOf_{};
    struct Parent {
        std::uint32_t begin = 0;
        std::uint32_t count = 0;
        bool settled = false;
    };
    std::vector<Parent> parents_;
    std::vector<Candidate> parentPool_;
};

// Reads the 8-bit map of Lookup::FullMap: a colour's cell is its 24 bits.
struct MapRead {
    const std::uint8_t* cells;

    static constexpr CellGeometry kGeometry{8};

    static std::size_t CellOf(Rgb8 c) { return kGeometry.CellOf(c); }
    std::uint8_t operator()(Rgb8 c) const { return cells[CellOf(c)]; }
};

// The pixels of an image, with the transparency test of DitherPixels.
struct Pixels {
    int width;
    int height;
    std::span<const std::uint8_t> rgba;
    std::optional<std::uint8_t> transparentIndex;

    static constexpr std::size_t kChannels = 4;

    std::size_t Index(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
    }
    Rgb8 Color(std::size_t i) const {
        const std::uint8_t* p = rgba.data() + i * kChannels;
        return {p[0], p[1], p[2]};
    }
    bool Transparent(std::size_t i) const { return transparentIndex && rgba[i * kChannels + 3] < kOpaqueAlpha; }
};

// The units' entry points, called by DitherPixels with checked arguments.
void Diffuse(const Pixels& pixels, std::span<const Rgb8> palette, Lookup& lookup, const DitherOptions& options,
             std::span<std::uint8_t> indices);
void OrderedDither(const Pixels& pixels, std::span<const Rgb8> palette, Lookup& lookup, const DitherOptions& options,
                   std::span<std::uint8_t> indices);
void PositionalMix(const Pixels& pixels, std::span<const Rgb8> palette, Lookup& lookup, const DitherOptions& options,
                   std::span<std::uint8_t> indices);

}  // namespace paltab::dither
