// Random colours and pixels for tests, from a seeded std::mt19937 so that
// every run checks the same ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <random>
#include <span>
#include <vector>

#include "paltab/types.hpp"

namespace paltab {

// How a component is drawn: uniform in 0..255 through
// std::uniform_int_distribution, or the low byte of the generator's next
// number. Tests keep the one their expectations were written with.
enum class Draw { kUniform, kLowByte };

inline std::uint8_t RandomComponent(std::mt19937& rng, Draw draw = Draw::kUniform) {
    if (draw == Draw::kLowByte) {
        return static_cast<std::uint8_t>(rng());
    }
    return static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng));
}

// Red, green, blue drawn in that order.
inline Rgb8 RandomColor(std::mt19937& rng, Draw draw = Draw::kUniform) {
    // Braces fix the order of the draws.
    return Rgb8{RandomComponent(rng, draw), RandomComponent(rng, draw), RandomComponent(rng, draw)};
}

inline std::vector<Rgb8> RandomColors(std::size_t count, unsigned seed, Draw draw = Draw::kUniform) {
    std::mt19937 rng(seed);
    std::vector<Rgb8> colors(count);
    for (Rgb8& c : colors) {
        c = RandomColor(rng, draw);
    }
    return colors;
}

// RGBA pixels of low-byte noise. With `clearOneIn` n > 0 each alpha is
// drawn too, 0 one time in n and 255 otherwise; with 0 every pixel is opaque
// and no alpha is drawn.
inline std::vector<std::uint8_t> RandomRgba(int width, int height, unsigned seed, unsigned clearOneIn = 0) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) {
        if (i % 4 != 3) {
            rgba[i] = static_cast<std::uint8_t>(rng());
        } else {
            rgba[i] = clearOneIn > 0 && rng() % clearOneIn == 0 ? 0 : 255;
        }
    }
    return rgba;
}

// `pixels` opaque RGBA pixels, each a colour of `colors` picked at random.
inline std::vector<std::uint8_t> RandomRgbaOf(std::span<const Rgb8> colors, int pixels, unsigned seed) {
    std::mt19937 rng(seed);
    std::vector<std::uint8_t> rgba;
    for (int i = 0; i < pixels; ++i) {
        const Rgb8 c = colors[rng() % colors.size()];
        rgba.insert(rgba.end(), {c.r, c.g, c.b, 255});
    }
    return rgba;
}

}  // namespace paltab
