// The png palette format: an indexed PNG's PLTE, or the distinct colours of
// any other PNG; written as an indexed swatch image.
#include <algorithm>

#include "palette/readers.hpp"
#include "paltab/image.hpp"

namespace paltab::palette_io {
namespace {

// The swatch image: kSwatchesPerRow colours to a row, each a square of
// kSwatchPixels; cells after the last colour repeat entry 0 (or the
// transparent one), so the PLTE stays exactly the palette.
constexpr int kSwatchesPerRow = 16;
constexpr int kSwatchPixels = 16;

constexpr std::uint8_t kOpaque = 255;

// The distinct colours of a truecolour or grey image in the order they
// first appear, row by row. Fully transparent pixels show no colour and are
// left out.
Result<PaletteData> DistinctColors(const DecodedImage& image, Warnings& warnings) {
    std::vector<std::uint64_t> seen((std::size_t{1} << 24) / 64, 0);
    PaletteData palette;
    std::size_t transparent = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::size_t at =
                (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)) * 4;
            if (image.rgba[at + 3] == 0) {
                ++transparent;
                continue;
            }
            const Rgb8 color = image.ColorAt(x, y);
            const std::uint32_t key = Packed(color);
            std::uint64_t& word = seen[key / 64];
            const std::uint64_t bit = std::uint64_t{1} << (key % 64);
            if ((word & bit) != 0) {
                continue;
            }
            if (palette.colors.size() == kPaletteSize) {
                return Error{"", "more than " + std::to_string(kPaletteSize) + " distinct colours (the " +
                                     std::to_string(kPaletteSize + 1) + "th at x " + std::to_string(x) + ", y " +
                                     std::to_string(y) + ")"};
            }
            word |= bit;
            palette.colors.push_back(color);
        }
    }
    if (transparent != 0) {
        warnings.push_back(std::to_string(transparent) + " fully transparent pixels left out");
    }
    return palette;
}

// The palette of a decoded image, or its failure.
Result<PaletteData> PaletteOf(const Result<DecodedImage>& image, Warnings& warnings) {
    if (!image) {
        return image.error();
    }
    if (!image->indexed) {
        Result<PaletteData> distinct = DistinctColors(*image, warnings);
        return distinct ? Finished(std::move(distinct).value()) : distinct;
    }
    PaletteData palette{image->plte, {}, {}};
    // One fully transparent entry is the palette's transparent index; any
    // other alpha has no place in a palette.
    const auto& alpha = image->plteAlpha;
    const auto clear = std::find(alpha.begin(), alpha.end(), 0);
    if (clear != alpha.end()) {
        palette.transparentIndex = static_cast<int>(clear - alpha.begin());
    }
    const auto partial = std::count_if(alpha.begin(), alpha.end(), [](std::uint8_t a) { return a != kOpaque; });
    if (partial > (clear != alpha.end() ? 1 : 0)) {
        warnings.push_back("the transparency of palette entries other than one fully transparent entry is ignored");
    }
    return Finished(std::move(palette));
}

}  // namespace

Result<PaletteData> ReadPngPalette(Bytes bytes, std::uint64_t maxPixels, Warnings& warnings) {
    return PaletteOf(DecodePng(bytes, maxPixels), warnings);
}

Result<PaletteData> ReadPngPaletteFile(const std::string& path, std::uint64_t maxPixels, Warnings& warnings) {
    return PaletteOf(DecodePngFile(path, maxPixels), warnings);
}

Result<std::vector<std::uint8_t>> WritePngPalette(const PaletteData& palette) {
    const int count = static_cast<int>(palette.colors.size());
    const int columns = std::min(count, kSwatchesPerRow);
    const int rows = (count + kSwatchesPerRow - 1) / kSwatchesPerRow;
    const int width = columns * kSwatchPixels, height = rows * kSwatchPixels;
    const auto filler = static_cast<std::uint8_t>(palette.transparentIndex.value_or(0));
    std::vector<std::uint8_t> indices(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int entry = (y / kSwatchPixels) * kSwatchesPerRow + x / kSwatchPixels;
            indices[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                entry < count ? static_cast<std::uint8_t>(entry) : filler;
        }
    }
    return EncodeIndexedPng(width, height, indices, palette.colors, palette.transparentIndex);
}

}  // namespace paltab::palette_io
