// The fast PNG decoder's chunk walk (png_fast_chunks.cpp) and what it hands
// to the row decoding (png_fast_decode.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "paltab/image.hpp"
#include "paltab/types.hpp"

namespace paltab::png_fast {

enum ColorType : std::uint8_t { kGrey = 0, kRgb = 2, kPalette = 3, kGreyAlpha = 4, kRgbAlpha = 6 };

// What the chunks say, once they are all read and found plain.
struct Layout {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint8_t colorType = 0;
    int channels = 0;
    std::vector<Rgb8> plte;
    std::vector<std::uint8_t> plteAlpha;
    std::optional<Rgb8> transparentColor;  // tRNS of grey (r = g = b) or RGB
    std::optional<ImageOffsets> offsets;   // grAb
    std::vector<std::span<const std::uint8_t>> idat;
    std::size_t idatSize = 0;
};

// Walks the chunks from the signature to IEND. False on anything that is
// not plainly a valid file of the kind decoded here.
bool ReadChunks(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels, Layout& layout);

}  // namespace paltab::png_fast
