// Indexed PNGs as IndexedImage: the palette image read with its indices and
// offsets, and written through the fast encoder.
#include <algorithm>

#include "image/png_fast.hpp"
#include "paltab/image_formats.hpp"

namespace paltab {

Result<IndexedImage> ReadPng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    Result<DecodedImage> decoded = DecodePngFast(bytes, maxPixels);
    if (!decoded) {
        return std::move(decoded).error();
    }
    if (!decoded->indexed) {
        return Error{"", "the PNG is not indexed (no palette colour type)"};
    }
    IndexedImage image{decoded->width, decoded->height, std::move(decoded->indices), std::move(decoded->plte),
                       std::nullopt, decoded->offsets};
    const auto clear = std::find(decoded->plteAlpha.begin(), decoded->plteAlpha.end(), std::uint8_t{0});
    if (clear != decoded->plteAlpha.end()) {
        image.transparentIndex = static_cast<int>(clear - decoded->plteAlpha.begin());
    }
    return image;
}

Result<std::vector<std::uint8_t>> WritePng(const IndexedImage& image) {
    if (Status checked = CheckIndexedImage(image); !checked) {
        return std::move(checked).error();
    }
    return EncodeIndexedPngFast(image.width, image.height, image.indices, image.palette, image.transparentIndex, {},
                                image.offsets);
}

}  // namespace paltab
