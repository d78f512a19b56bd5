// A deterministic 4096 x 4096 photograph-like image and a 256-colour palette
// for the PNG benchmarks.
#pragma once

#include <vector>

#include "inputs.hpp"
#include "render/render.hpp"

namespace paltab::bench {

// The photograph of DrawPhoto, made once.
inline const RgbImage& Photo() {
    static const RgbImage image = [] {
        RgbImage made(kPhotoSide, kPhotoSide, {});
        DrawPhoto([&](int x, int y, Rgb8 c) { made.Set(x, y, c); });
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

// The palette the image benchmarks map to.
inline std::vector<Rgb8> RandomPalette() {
    return RandomColors(77);
}

}  // namespace paltab::bench
