// Pixels to palette indices, undithered, with an ordered (Bayer) pattern or
// with Floyd-Steinberg error diffusion.
#include "paltab/remap.hpp"

#include <algorithm>
#include <array>
#include <cmath>

namespace paltab {
namespace {

constexpr std::size_t kChannels = 4;
constexpr int kBayerSize = 8;

// The 8 x 8 Bayer matrix: each threshold 0..63 once, neighbours far apart.
constexpr std::array<std::array<std::uint8_t, kBayerSize>, kBayerSize> kBayer{{
    {0, 32, 8, 40, 2, 34, 10, 42},
    {48, 16, 56, 24, 50, 18, 58, 26},
    {12, 44, 4, 36, 14, 46, 6, 38},
    {60, 28, 52, 20, 62, 30, 54, 22},
    {3, 35, 11, 43, 1, 33, 9, 41},
    {51, 19, 59, 27, 49, 17, 57, 25},
    {15, 47, 7, 39, 13, 45, 5, 37},
    {63, 31, 55, 23, 61, 29, 53, 21},
}};

constexpr int OrderedOffset(int x, int y) {
    const int threshold = kBayer[static_cast<std::size_t>(y % kBayerSize)][static_cast<std::size_t>(x % kBayerSize)];
    return (2 * threshold + 1 - kBayerSize * kBayerSize) * kOrderedSpread / 128;
}

std::uint8_t Clamp8(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

struct Pixels {
    int width;
    std::span<const std::uint8_t> rgba;
    const RemapOptions& options;

    std::size_t At(int x, int y) const {
        return (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) *
               kChannels;
    }
    Rgb8 Color(int x, int y) const {
        const std::size_t at = At(x, y);
        return {rgba[at], rgba[at + 1], rgba[at + 2]};
    }
    bool Transparent(int x, int y) const {
        return options.transparentIndex && rgba[At(x, y) + 3] < kOpaqueAlpha;
    }
};

// Errors of two rows, one spare column at each end so that the diffusion
// needs no edge tests.
class ErrorRows {
public:
    explicit ErrorRows(int width)
        : current_(static_cast<std::size_t>(width) + 2), next_(static_cast<std::size_t>(width) + 2) {}

    std::array<double, 3>& Current(int x) { return current_[static_cast<std::size_t>(x) + 1]; }
    std::array<double, 3>& Next(int x) { return next_[static_cast<std::size_t>(x) + 1]; }
    void Advance() {
        std::swap(current_, next_);
        std::fill(next_.begin(), next_.end(), std::array<double, 3>{});
    }

private:
    std::vector<std::array<double, 3>> current_;
    std::vector<std::array<double, 3>> next_;
};

void FloydSteinberg(const Pixels& pixels, int height, std::span<const Rgb8> palette, const EntryFinder& find,
                    std::vector<std::uint8_t>& indices) {
    const int width = pixels.width;
    ErrorRows errors(width);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t& index = indices[pixels.At(x, y) / kChannels];
            if (pixels.Transparent(x, y)) {
                index = *pixels.options.transparentIndex;
                continue;
            }
            const Rgb8 original = pixels.Color(x, y);
            const std::array<double, 3>& received = errors.Current(x);
            const std::array<double, 3> wanted{std::clamp(original.r + received[0], 0.0, 255.0),
                                               std::clamp(original.g + received[1], 0.0, 255.0),
                                               std::clamp(original.b + received[2], 0.0, 255.0)};
            // Halves round up, as std::lround does for these non-negative values.
            const auto nearest = [](double v) { return static_cast<std::uint8_t>(v + 0.5); };
            index = find({nearest(wanted[0]), nearest(wanted[1]), nearest(wanted[2])});
            if (index >= palette.size()) {
                continue;
            }
            const Rgb8 got = palette[index];
            const std::array<double, 3> error{wanted[0] - got.r, wanted[1] - got.g, wanted[2] - got.b};
            // Transparent neighbours take nothing.
            const auto pass = [&](std::array<double, 3>& to, int dx, int dy, double weight) {
                const int nx = x + dx;
                if (nx < 0 || nx >= width || y + dy >= height || pixels.Transparent(nx, y + dy)) {
                    return;
                }
                for (std::size_t c = 0; c < 3; ++c) {
                    to[c] += error[c] * weight;
                }
            };
            pass(errors.Current(x + 1), 1, 0, 7.0 / 16);
            pass(errors.Next(x - 1), -1, 1, 3.0 / 16);
            pass(errors.Next(x), 0, 1, 5.0 / 16);
            pass(errors.Next(x + 1), 1, 1, 1.0 / 16);
        }
        errors.Advance();
    }
}

}  // namespace

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
    if (width <= 0 || height <= 0 ||
        rgba.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kChannels) {
        return {};
    }
    std::vector<std::uint8_t> indices(rgba.size() / kChannels);
    const Pixels pixels{width, rgba, options};
    if (options.dither == Dither::kFloydSteinberg) {
        FloydSteinberg(pixels, height, palette, find, indices);
        return indices;
    }
    if (options.dither == Dither::kNone) {
        for (std::size_t i = 0; i < indices.size(); ++i) {
            const std::uint8_t* p = rgba.data() + i * kChannels;
            indices[i] = options.transparentIndex && p[3] < kOpaqueAlpha ? *options.transparentIndex
                                                                         : find(Rgb8{p[0], p[1], p[2]});
        }
        return indices;
    }
    std::size_t i = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x, ++i) {
            if (pixels.Transparent(x, y)) {
                indices[i] = *options.transparentIndex;
                continue;
            }
            const Rgb8 color = pixels.Color(x, y);
            const int offset = OrderedOffset(x, y);
            indices[i] = find({Clamp8(color.r + offset), Clamp8(color.g + offset), Clamp8(color.b + offset)});
        }
    }
    return indices;
}

}  // namespace paltab
