// The quality figure of a dithered image: mean squared error against the
// source, plain and after a Gaussian blur.
#include <cmath>
#include <string>

#include "dither/space.hpp"

namespace paltab {
namespace {

using Difference = std::array<double, 3>;
constexpr std::size_t kTaps = 2 * kQualityRadius + 1;

// The Gaussian's weights over the taps that lie inside 0..size - 1 around
// `at`, renormalised to sum to one.
struct Window {
    int first;
    int last;
    std::array<double, kTaps> weights;
};

Window WindowAt(int at, int size, const std::array<double, kTaps>& gaussian) {
    Window window{std::max(0, at - kQualityRadius), std::min(size - 1, at + kQualityRadius), {}};
    double total = 0;
    for (int s = window.first; s <= window.last; ++s) {
        total += gaussian[static_cast<std::size_t>(s - at + kQualityRadius)];
    }
    for (int s = window.first; s <= window.last; ++s) {
        window.weights[static_cast<std::size_t>(s - window.first)] =
            gaussian[static_cast<std::size_t>(s - at + kQualityRadius)] / total;
    }
    return window;
}

}  // namespace

Result<DitherQuality> MeasureDitherQuality(int width, int height, std::span<const std::uint8_t> rgba,
                                           std::span<const Rgb8> palette, std::span<const std::uint8_t> indices,
                                           std::optional<std::uint8_t> transparentIndex) {
    const std::size_t count = width > 0 && height > 0
                                  ? static_cast<std::size_t>(width) * static_cast<std::size_t>(height)
                                  : 0;
    if (count == 0 || rgba.size() != count * dither::Pixels::kChannels || indices.size() != count) {
        return Error{"", "the image and its indices do not both hold " + std::to_string(width) + " x " +
                             std::to_string(height) + " pixels"};
    }
    const dither::Pixels pixels{width, height, rgba, transparentIndex};
    for (std::size_t i = 0; i < count; ++i) {
        if (!pixels.Transparent(i) && indices[i] >= palette.size()) {
            return Error{"", "pixel " + std::to_string(i % static_cast<std::size_t>(width)) + "," +
                                 std::to_string(i / static_cast<std::size_t>(width)) + " has index " +
                                 std::to_string(indices[i]) + ", outside the " + std::to_string(palette.size()) +
                                 "-colour palette"};
        }
    }
    // The difference of the two images, per component; 0 at transparent
    // pixels, which count in neither mean. Blurring is linear: blurring the
    // difference is the difference of the blurred images.
    const auto difference = [&](std::size_t i) -> Difference {
        if (pixels.Transparent(i)) {
            return {};
        }
        const Rgb8 source = pixels.Color(i);
        const Rgb8 got = palette[indices[i]];
        return {static_cast<double>(got.r) - source.r, static_cast<double>(got.g) - source.g,
                static_cast<double>(got.b) - source.b};
    };
    std::array<double, kTaps> gaussian{};
    for (int k = -kQualityRadius; k <= kQualityRadius; ++k) {
        gaussian[static_cast<std::size_t>(k + kQualityRadius)] = std::exp(-k * k / (2 * kQualitySigma * kQualitySigma));
    }
    std::vector<Window> across;
    for (int x = 0; x < width; ++x) {
        across.push_back(WindowAt(x, width, gaussian));
    }
    // Rows blurred along themselves, kTaps of them at a time: memory in
    // proportion to the width, not the image.
    std::vector<std::vector<Difference>> rows(kTaps, std::vector<Difference>(static_cast<std::size_t>(width)));
    std::vector<Difference> plain(static_cast<std::size_t>(width));
    int ready = 0;
    const auto blurRow = [&](int y) {
        for (int x = 0; x < width; ++x) {
            plain[static_cast<std::size_t>(x)] = difference(pixels.Index(x, y));
        }
        std::vector<Difference>& out = rows[static_cast<std::size_t>(y) % kTaps];
        for (int x = 0; x < width; ++x) {
            const Window& w = across[static_cast<std::size_t>(x)];
            Difference sum{};
            for (int s = w.first; s <= w.last; ++s) {
                const double weight = w.weights[static_cast<std::size_t>(s - w.first)];
                for (std::size_t c = 0; c < 3; ++c) {
                    sum[c] += weight * plain[static_cast<std::size_t>(s)][c];
                }
            }
            out[static_cast<std::size_t>(x)] = sum;
        }
    };
    std::size_t opaque = 0;
    double squares = 0, blurredSquares = 0;
    for (int y = 0; y < height; ++y) {
        for (; ready < height && ready <= y + kQualityRadius; ++ready) {
            blurRow(ready);
        }
        const Window down = WindowAt(y, height, gaussian);
        for (int x = 0; x < width; ++x) {
            const std::size_t i = pixels.Index(x, y);
            if (pixels.Transparent(i)) {
                continue;
            }
            ++opaque;
            const Difference d = difference(i);
            Difference sum{};
            for (int s = down.first; s <= down.last; ++s) {
                const double weight = down.weights[static_cast<std::size_t>(s - down.first)];
                const Difference& row = rows[static_cast<std::size_t>(s) % kTaps][static_cast<std::size_t>(x)];
                for (std::size_t c = 0; c < 3; ++c) {
                    sum[c] += weight * row[c];
                }
            }
            for (std::size_t c = 0; c < 3; ++c) {
                squares += d[c] * d[c];
                blurredSquares += sum[c] * sum[c];
            }
        }
    }
    if (opaque == 0) {
        return DitherQuality{};
    }
    const double components = 3.0 * static_cast<double>(opaque);
    return DitherQuality{squares / components, blurredSquares / components};
}

}  // namespace paltab
