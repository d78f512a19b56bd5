// Indexed PNGs as IndexedImage: the palette image read with its indices and
// offsets, and written through the fast encoder.
#include <algorithm>

#include "image/png_fast.hpp"
#include "paltab/image_formats.hpp"

namespace paltab {

std::optional<IndexedImage> ReadPng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels, ImageError& error) {
    std::string cause;
    std::optional<DecodedImage> decoded = DecodePngFast(bytes, maxPixels, cause);
    if (!decoded) {
        error = {"", cause};
        return std::nullopt;
    }
    if (!decoded->indexed) {
        error = {"", "the PNG is not indexed (no palette colour type)"};
        return std::nullopt;
    }
    IndexedImage image{decoded->width, decoded->height, std::move(decoded->indices), std::move(decoded->plte),
                       std::nullopt, decoded->offsets};
    const auto clear = std::find(decoded->plteAlpha.begin(), decoded->plteAlpha.end(), std::uint8_t{0});
    if (clear != decoded->plteAlpha.end()) {
        image.transparentIndex = static_cast<int>(clear - decoded->plteAlpha.begin());
    }
    return image;
}

std::optional<std::vector<std::uint8_t>> WritePng(const IndexedImage& image, ImageError& error) {
    if (!CheckIndexedImage(image, error)) {
        return std::nullopt;
    }
    std::string cause;
    auto file = EncodeIndexedPngFast(image.width, image.height, image.indices, image.palette, image.transparentIndex,
                                     cause, {}, image.offsets);
    if (!file) {
        error = {"", cause};
    }
    return file;
}

}  // namespace paltab
