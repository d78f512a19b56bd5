// The remap pipeline: limits, decoding, map or search, remap, transparent
// collisions, encoding.
#include "paltab/remap_image.hpp"

#include <cstdint>
#include <string>
#include <utility>

namespace paltab {
namespace {

constexpr std::uint64_t kPngBytesPerPixel = 8;
constexpr std::uint64_t kPngFileSlack = std::uint64_t{16} << 20;

}  // namespace

Result<RemapTarget> RemapTargetOfPalette(std::span<const Rgb8> colors, const MatchOptions& options) {
    std::string error;
    RemapTarget target;
    target.palette.assign(colors.begin(), colors.end());
    target.search = MatchPalette::Create(colors, options, error);
    if (!target.search) {
        return Error{"", error, ErrorKind::kBadSettings};
    }
    return target;
}

RemapTarget RemapTargetOfTables(const ColorTableView& view) {
    RemapTarget target;
    for (std::size_t i = 0; i < kPaletteSize; ++i) {
        target.palette.push_back(view.Color(static_cast<std::uint8_t>(i)).value_or(Rgb8{}));
    }
    for (std::size_t cell = 0; cell < kCellCount; ++cell) {
        target.map.push_back(view.MapCell(cell));
    }
    target.mapBits = kCellBits;
    return target;
}

std::uint64_t ImageFileLimit(std::uint64_t maxPixels) {
    return maxPixels > (SIZE_MAX - kPngFileSlack - 1) / kPngBytesPerPixel ? SIZE_MAX - 1
                                                                          : maxPixels * kPngBytesPerPixel + kPngFileSlack;
}

Result<RemappedImage> RemapDecodedImage(DecodedImage image, const RemapTarget& target,
                                        const ImageRemapOptions& options) {
    const std::size_t pixels = image.rgba.size() / 4;
    std::optional<ExactColorMap> exact;
    DitherLookup lookup{EntryFinder::FromMap(target.map, target.mapBits), false};
    if (target.search) {
        if (ExactMapPays(pixels, *target.search)) {
            exact = ExactColorMap::Build(*target.search, ExactColorMap::kMaxBits);
            lookup.find = EntryFinder::FromMap(exact->Cells(), ExactColorMap::kMaxBits);
        } else {
            lookup.find = EntryFinder::FromSearch(*target.search);
        }
        lookup.byRgbDistance = target.search->GetMetric() == Metric::kRgb;
    }
    RemappedImage out;
    out.width = image.width;
    out.height = image.height;
    out.indices = DitherPixels(image.width, image.height, image.rgba, target.palette, lookup,
                               options.transparentIndex, options.dither);
    if (out.indices.size() != pixels) {
        return Error{"", "the dithering settings are out of range", ErrorKind::kBadSettings};
    }
    exact.reset();
    for (std::size_t i = 0; i < pixels; ++i) {
        const bool opaque = image.rgba[i * 4 + 3] >= kOpaqueAlpha;
        if (const auto transparent = options.transparentIndex) {
            out.opaqueTransparent += opaque && out.indices[i] == *transparent ? 1 : 0;
        } else {
            out.clearPixels += opaque ? 0 : 1;
        }
    }
    if (options.measureQuality) {
        out.quality = MeasureDitherQuality(image.width, image.height, image.rgba, target.palette, out.indices,
                                           options.transparentIndex);
    }
    image = {};
    const std::optional<int> transparent =
        options.transparentIndex ? std::optional<int>(*options.transparentIndex) : std::nullopt;
    std::string error;
    auto png = EncodeIndexedPng(out.width, out.height, out.indices, target.palette, transparent, error);
    if (!png) {
        return Error{"", error, ErrorKind::kOutput};
    }
    out.file = std::move(*png);
    return out;
}

Result<RemappedImage> RemapImage(std::vector<std::uint8_t> file, const RemapTarget& target,
                                 const ImageRemapOptions& options) {
    const std::uint64_t fileLimit = ImageFileLimit(options.maxPixels);
    if (file.size() > fileLimit) {
        return Error{"",
                     "the file is larger than " + std::to_string(fileLimit) +
                         " bytes, too large for an image of at most " + std::to_string(options.maxPixels) + " pixels",
                     ErrorKind::kTooLarge};
    }
    std::string error;
    std::optional<DecodedImage> image = DecodePng(file, options.maxPixels, error);
    if (!image) {
        return Error{"", error, ErrorKind::kBadInput};
    }
    file = {};
    return RemapDecodedImage(std::move(*image), target, options);
}

Result<RemappedImage> RemapImageFile(const std::string& path, const RemapTarget& target,
                                     const ImageRemapOptions& options) {
    std::string error;
    std::optional<DecodedImage> image = DecodePngFile(path, options.maxPixels, error);
    if (!image) {
        return Error{"", error, ErrorKind::kBadInput};
    }
    return RemapDecodedImage(std::move(*image), target, options);
}

}  // namespace paltab
