// The dither spaces and the image view the dithering units share: colours
// to and from the space the error is kept in, and the pixel lookups.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
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

private:
    DitherSpace kind_;
    std::array<double, 256> linear_{};
    // The linear value at which each 8-bit value v + 0.5 begins: a rounded
    // sRGB value found by a binary search instead of a power.
    std::array<double, 255> linearBounds_{};

    std::uint8_t Srgb8OfLinear(double linear) const;
};

Point OklabOf(const Point& linear);
Point LinearOfOklab(const Point& lab);

// The lookup of DitherPixels, remembering for boxes of 4 x 4 x 4 colours
// whose corners share an entry that the whole box has it (when the lookup's
// regions are convex and the image is large enough to repay the corners).
class Lookup {
public:
    Lookup(const DitherLookup& lookup, std::size_t pixels);

    std::uint8_t operator()(Rgb8 color) {
        if (boxes_.empty()) {
            return find_(color);
        }
        std::uint16_t& box = boxes_[BoxOf(color)];
        if (box == kUnknown) {
            box = Settle(color);
        }
        return box >= kShared ? static_cast<std::uint8_t>(box - kShared) : find_(color);
    }

private:
    static constexpr std::uint16_t kUnknown = 0;
    static constexpr std::uint16_t kMixed = 1;
    static constexpr std::uint16_t kShared = 256;  // + the entry
    static constexpr int kBoxBits = 2;

    static std::size_t BoxOf(Rgb8 c) {
        return static_cast<std::size_t>(c.r >> kBoxBits) << (2 * (8 - kBoxBits)) |
               static_cast<std::size_t>(c.g >> kBoxBits) << (8 - kBoxBits) | static_cast<std::size_t>(c.b >> kBoxBits);
    }
    std::uint16_t Settle(Rgb8 color) const;

    const EntryFinder& find_;
    std::vector<std::uint16_t> boxes_;
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
