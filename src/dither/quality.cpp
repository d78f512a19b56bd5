// The quality figure of a dithered image: mean squared error against the
// source, plain and after a Gaussian blur.
#include <cmath>

#include "dither/space.hpp"

namespace paltab {

std::optional<DitherQuality> MeasureDitherQuality(int width, int height, std::span<const std::uint8_t> rgba,
                                                  std::span<const Rgb8> palette, std::span<const std::uint8_t> indices,
                                                  std::optional<std::uint8_t> transparentIndex) {
    if (width <= 0 || height <= 0) {
        return std::nullopt;
    }
    const std::size_t count = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    if (rgba.size() / dither::Pixels::kChannels != count || rgba.size() % dither::Pixels::kChannels != 0 ||
        indices.size() != count) {
        return std::nullopt;
    }
    const dither::Pixels pixels{width, height, rgba, transparentIndex};
    // The difference of the two images, per component; 0 at transparent
    // pixels, which count in neither mean.
    std::vector<std::array<double, 3>> difference(count);
    std::size_t opaque = 0;
    double squares = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (pixels.Transparent(i)) {
            continue;
        }
        if (indices[i] >= palette.size()) {
            return std::nullopt;
        }
        const Rgb8 source = pixels.Color(i);
        const Rgb8 got = palette[indices[i]];
        difference[i] = {static_cast<double>(got.r) - source.r, static_cast<double>(got.g) - source.g,
                         static_cast<double>(got.b) - source.b};
        for (const double d : difference[i]) {
            squares += d * d;
        }
        ++opaque;
    }
    if (opaque == 0) {
        return DitherQuality{};
    }
    // Blurring is linear: blurring the difference is the difference of the
    // blurred images. Separable, rows then columns.
    std::array<double, 2 * kQualityRadius + 1> weights{};
    for (int k = -kQualityRadius; k <= kQualityRadius; ++k) {
        weights[static_cast<std::size_t>(k + kQualityRadius)] = std::exp(-k * k / (2 * kQualitySigma * kQualitySigma));
    }
    const auto blur = [&](const std::vector<std::array<double, 3>>& in, bool alongRows) {
        std::vector<std::array<double, 3>> out(count);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::array<double, 3> sum{};
                double total = 0;
                for (int k = -kQualityRadius; k <= kQualityRadius; ++k) {
                    const int sx = alongRows ? x + k : x;
                    const int sy = alongRows ? y : y + k;
                    if (sx < 0 || sx >= width || sy < 0 || sy >= height) {
                        continue;
                    }
                    const double w = weights[static_cast<std::size_t>(k + kQualityRadius)];
                    const auto& d = in[pixels.Index(sx, sy)];
                    for (std::size_t c = 0; c < 3; ++c) {
                        sum[c] += w * d[c];
                    }
                    total += w;
                }
                for (std::size_t c = 0; c < 3; ++c) {
                    out[pixels.Index(x, y)][c] = sum[c] / total;
                }
            }
        }
        return out;
    };
    const auto blurred = blur(blur(difference, true), false);
    double blurredSquares = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!pixels.Transparent(i)) {
            for (const double d : blurred[i]) {
                blurredSquares += d * d;
            }
        }
    }
    const double components = 3.0 * static_cast<double>(opaque);
    return DitherQuality{squares / components, blurredSquares / components};
}

}  // namespace paltab
