// The benchmarks' made-up inputs: random palettes and a photograph-like
// picture, each the same on every run.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "paltab/types.hpp"

namespace paltab::bench {

// 256 colours, each component uniform in 0..255, drawn red, green, blue.
inline std::vector<Rgb8> RandomColors(std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> component(0, 255);
    std::vector<Rgb8> colors(kPaletteSize);
    for (Rgb8& c : colors) {
        // Braces fix the order of the draws.
        c = {static_cast<std::uint8_t>(component(rng)), static_cast<std::uint8_t>(component(rng)),
             static_cast<std::uint8_t>(component(rng))};
    }
    return colors;
}

inline constexpr int kPhotoSide = 4096;

// Smooth colour fields (a few waves across the image) with grain, as in a
// photograph: most pixels differ from their neighbours by a few units.
// Calls put(x, y, colour) for every pixel, row by row.
template <class Put>
void DrawPhoto(Put&& put) {
    std::mt19937 rng(21);
    std::normal_distribution<double> grain(0.0, 4.0);
    for (int y = 0; y < kPhotoSide; ++y) {
        for (int x = 0; x < kPhotoSide; ++x) {
            const double u = x / static_cast<double>(kPhotoSide), v = y / static_cast<double>(kPhotoSide);
            const auto c = [&](double base) {
                return static_cast<std::uint8_t>(std::clamp(base + grain(rng), 0.0, 255.0));
            };
            put(x, y,
                Rgb8{c(128 + 100 * std::sin(3.1 * u + 1.3 * v)), c(128 + 90 * std::sin(2.3 * v - 1.7 * u + 1)),
                     c(110 + 80 * std::cos(4.0 * u * v + 0.5))});
        }
    }
}

}  // namespace paltab::bench
