// A deterministic 4096 x 4096 photograph-like image and a 256-colour palette
// for the PNG benchmarks.
#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "render/render.hpp"

namespace paltab::bench {

inline constexpr int kPhotoSide = 4096;

// Smooth colour fields (a few waves across the image) with grain, as in a
// photograph: most pixels differ from their neighbours by a few units.
inline const RgbImage& Photo() {
    static const RgbImage image = [] {
        RgbImage made(kPhotoSide, kPhotoSide, {});
        std::mt19937 rng(21);
        std::normal_distribution<double> grain(0.0, 4.0);
        for (int y = 0; y < kPhotoSide; ++y) {
            for (int x = 0; x < kPhotoSide; ++x) {
                const double u = x / static_cast<double>(kPhotoSide), v = y / static_cast<double>(kPhotoSide);
                const auto c = [&](double base) {
                    return static_cast<std::uint8_t>(std::clamp(base + grain(rng), 0.0, 255.0));
                };
                made.Set(x, y,
                         {c(128 + 100 * std::sin(3.1 * u + 1.3 * v)), c(128 + 90 * std::sin(2.3 * v - 1.7 * u + 1)),
                          c(110 + 80 * std::cos(4.0 * u * v + 0.5))});
            }
        }
        return made;
    }();
    return image;
}

// The photograph as libpng writes it by default (adaptive filters, zlib's
// default level).
inline const std::vector<std::uint8_t>& PhotoPng() {
    static const std::vector<std::uint8_t> png = [] {
        return EncodePng(Photo()).value();
    }();
    return png;
}

inline std::vector<Rgb8> RandomPalette() {
    std::mt19937 rng(77);
    std::uniform_int_distribution<int> component(0, 255);
    std::vector<Rgb8> colors(kPaletteSize);
    for (Rgb8& c : colors) {
        c = {static_cast<std::uint8_t>(component(rng)), static_cast<std::uint8_t>(component(rng)),
             static_cast<std::uint8_t>(component(rng))};
    }
    return colors;
}

}  // namespace paltab::bench
