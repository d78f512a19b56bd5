// The remap pipeline: limits, decoding, kept indices, map or search, remap,
// transparent collisions, encoding.
#include "paltab/remap_image.hpp"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "image/png_fast.hpp"
#include "io/file_io.hpp"

namespace paltab {
namespace {

constexpr std::uint64_t kPngBytesPerPixel = 8;
constexpr std::uint64_t kPngFileSlack = std::uint64_t{16} << 20;
// Enough of a file to tell its format: a PCX header is the longest needed.
constexpr std::size_t kDetectBytes = 128;
// How remapped images are compressed: see the PNG figures in the README.
const IndexedPngSettings kRemapPngSettings{};

Error TooLarge(std::uint64_t fileLimit, std::uint64_t maxPixels) {
    return Error{"",
                 "the file is larger than " + std::to_string(fileLimit) +
                     " bytes, too large for an image of at most " + std::to_string(maxPixels) + " pixels",
                 ErrorKind::kTooLarge};
}

// The input's format by its first bytes, or `hint` (TGA) where they carry
// no signature a TGA could not also have: a colour-mapped TGA's second byte
// is 1, which no PNG, GIF, JPEG or BMP signature has, while a TGA with a
// 10-byte id field may look like a PCX header.
Result<ImageFormat> InputFormat(std::span<const std::uint8_t> prefix, std::optional<ImageFormat> hint) {
    const std::optional<ImageFormat> found = DetectImageFormat(prefix);
    if (found && *found != ImageFormat::kPcx) {
        return *found;
    }
    if (hint && CanReadImageFormat(*hint)) {
        return *hint;
    }
    if (found) {
        return *found;
    }
    return Error{"", "not an image remap reads (no PNG, JPEG, GIF, BMP or PCX signature; a TGA is read by its .tga name)"};
}

// An indexed image as the pipeline takes it: its colours, alpha 0 at its
// transparent index, and its indices and palette besides.
DecodedImage FromIndexed(IndexedImage&& indexed) {
    DecodedImage image;
    image.width = indexed.width;
    image.height = indexed.height;
    image.rgba = IndexedToRgba(indexed).rgba;
    image.indexed = true;
    if (const auto clear = indexed.transparentIndex) {
        image.plteAlpha.assign(static_cast<std::size_t>(*clear) + 1, 255);
        image.plteAlpha.back() = 0;
    }
    image.plte = std::move(indexed.palette);
    image.indices = std::move(indexed.indices);
    image.offsets = indexed.offsets;
    return image;
}

// The image in `bytes` of `format`, any but PNG.
Result<DecodedImage> DecodeOther(std::span<const std::uint8_t> bytes, ImageFormat format, std::uint64_t maxPixels) {
    if (format == ImageFormat::kJpeg) {
        auto rgba = ReadJpeg(bytes, maxPixels);
        if (!rgba) {
            return std::move(rgba).error();
        }
        DecodedImage image;
        image.width = rgba->width;
        image.height = rgba->height;
        image.rgba = std::move(rgba->rgba);
        return image;
    }
    auto indexed = ReadIndexedImage(bytes, format, maxPixels);
    if (!indexed) {
        return std::move(indexed).error();
    }
    return FromIndexed(std::move(*indexed));
}

Result<DecodedImage> Decode(std::span<const std::uint8_t> bytes, ImageFormat format, std::uint64_t maxPixels) {
    return format == ImageFormat::kPng ? DecodePngFast(bytes, maxPixels) : DecodeOther(bytes, format, maxPixels);
}

// Whether an indexed image's indices may be kept: every entry both palettes
// have is the same colour, and every pixel uses one of those.
bool KeepsIndices(const DecodedImage& image, std::span<const Rgb8> palette) {
    const std::size_t shared = std::min(image.plte.size(), palette.size());
    return image.indexed && shared > 0 && image.indices.size() == image.rgba.size() / 4 && !image.indices.empty() &&
           std::equal(image.plte.begin(), image.plte.begin() + static_cast<std::ptrdiff_t>(shared), palette.begin()) &&
           *std::max_element(image.indices.begin(), image.indices.end()) < shared;
}

// The bytes of `output` for the remapped image; every failure is the
// output's (kOutput).
Result<std::vector<std::uint8_t>> Encode(RemappedImage& out, const RemapTarget& target, const ImageRemapOptions& options) {
    const auto outputError = [](Error error) {
        error.kind = ErrorKind::kOutput;
        return error;
    };
    const std::optional<int> transparent =
        options.transparentIndex ? std::optional<int>(*options.transparentIndex) : std::nullopt;
    if (options.output == ImageFormat::kPng) {
        auto png = EncodeIndexedPngFast(out.width, out.height, out.indices, target.palette, transparent,
                                        kRemapPngSettings, out.offsets);
        return png ? std::move(png) : outputError(std::move(png).error());
    }
    // The writers take an IndexedImage: the indices are lent to it.
    IndexedImage image{out.width, out.height, std::move(out.indices), target.palette, transparent, out.offsets};
    auto file = WriteIndexedImage(image, options.output);
    out.indices = std::move(image.indices);
    return file ? std::move(file) : outputError(std::move(file).error());
}

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Appends the rest of `file` to `bytes`, failing past `limit` bytes in all.
// Reads into the room `bytes` has reserved before it grows, so that a file
// whose size was reserved is held once, not twice over while it grows.
Result<std::vector<std::uint8_t>> ReadRest(std::FILE* file, std::vector<std::uint8_t> bytes, std::uint64_t limit,
                                           std::uint64_t maxPixels) {
    constexpr std::size_t kChunk = std::size_t{1} << 20;
    for (;;) {
        const std::size_t at = bytes.size();
        if (at > limit) {
            return TooLarge(limit, maxPixels);
        }
        const std::size_t room = bytes.capacity() > at ? bytes.capacity() - at : kChunk;
        bytes.resize(at + static_cast<std::size_t>(std::min<std::uint64_t>(room, limit + 1 - at)));
        const std::size_t got = std::fread(bytes.data() + at, 1, bytes.size() - at, file);
        bytes.resize(at + got);
        if (std::ferror(file) != 0) {
            return Error{"", std::strerror(errno), ErrorKind::kIo};
        }
        if (got == 0) {
            return bytes;
        }
    }
}

}  // namespace

Result<RemapTarget> RemapTargetOfPalette(std::span<const Rgb8> colors, const MatchOptions& options) {
    Result<MatchPalette> search = MatchPalette::Create(colors, options);
    if (!search) {
        return std::move(search).error();
    }
    RemapTarget target;
    target.palette.assign(colors.begin(), colors.end());
    target.search = std::move(search).value();
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
    if (!CanWriteImageFormat(options.output)) {
        return Error{"", std::string(ImageFormatName(options.output)) + " is not written: it cannot hold palette indices",
                     ErrorKind::kBadSettings};
    }
    const std::size_t pixels = image.rgba.size() / 4;
    RemappedImage out;
    out.width = image.width;
    out.height = image.height;
    out.offsets = image.offsets;
    if (KeepsIndices(image, target.palette)) {
        out.keptIndices = true;
        out.indices = std::move(image.indices);
    } else {
        out.otherPalette = image.indexed;
        image.indices = {};
        std::optional<ExactColorMap> exact;
        DitherLookup lookup{EntryFinder::FromMap(target.map, target.mapBits), false};
        if (target.search) {
            if (ExactMapPays(pixels, *target.search)) {
                exact = *ExactColorMap::Build(*target.search, ExactColorMap::kMaxBits);
                lookup.find = EntryFinder::FromMap(exact->Cells(), ExactColorMap::kMaxBits);
            } else {
                lookup.find = EntryFinder::FromSearch(*target.search);
            }
            lookup.byRgbDistance = target.search->GetMetric() == Metric::kRgb;
        }
        auto indices = DitherPixels(image.width, image.height, image.rgba, target.palette, lookup,
                                    options.transparentIndex, options.dither);
        if (!indices) {
            return std::move(indices).error();
        }
        out.indices = std::move(indices).value();
    }
    for (std::size_t i = 0; i < pixels; ++i) {
        const bool opaque = image.rgba[i * 4 + 3] >= kOpaqueAlpha;
        if (const auto transparent = options.transparentIndex) {
            out.opaqueTransparent += opaque && out.indices[i] == *transparent ? 1 : 0;
            // Kept indices: clear pixels take the transparent entry here
            // (the lookups gave it to them already).
            out.indices[i] = opaque ? out.indices[i] : *transparent;
        } else {
            out.clearPixels += opaque ? 0 : 1;
        }
    }
    if (options.measureQuality) {
        Result<DitherQuality> quality = MeasureDitherQuality(image.width, image.height, image.rgba, target.palette,
                                                             out.indices, options.transparentIndex);
        if (!quality) {
            return std::move(quality).error();
        }
        out.quality = *quality;
    }
    image = {};
    auto file = Encode(out, target, options);
    if (!file) {
        return file.error();
    }
    out.file = std::move(*file);
    return out;
}

Result<RemappedImage> RemapImage(std::vector<std::uint8_t> file, const RemapTarget& target,
                                 const ImageRemapOptions& options) {
    const std::uint64_t fileLimit = ImageFileLimit(options.maxPixels);
    if (file.size() > fileLimit) {
        return TooLarge(fileLimit, options.maxPixels);
    }
    const auto format = InputFormat(file, options.input);
    if (!format) {
        return format.error();
    }
    auto image = Decode(file, *format, options.maxPixels);
    if (!image) {
        return image.error();
    }
    file = {};
    return RemapDecodedImage(std::move(*image), target, options);
}

namespace {

// RemapImageFile's work; its errors are the causes alone.
Result<RemappedImage> RemapOpenedFile(const std::string& path, const RemapTarget& target,
                                      const ImageRemapOptions& options) {
    const std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        return Error{"", std::strerror(errno), ErrorKind::kIo};
    }
    std::vector<std::uint8_t> bytes(kDetectBytes);
    bytes.resize(std::fread(bytes.data(), 1, bytes.size(), file.get()));
    if (std::ferror(file.get()) != 0) {
        return Error{"", std::strerror(errno), ErrorKind::kIo};
    }
    std::optional<ImageFormat> hint = options.input;
    if (!hint && ImageFormatOfName(path) == ImageFormat::kTga) {
        hint = ImageFormat::kTga;
    }
    const auto format = InputFormat(bytes, hint);
    if (!format) {
        return format.error();
    }
    const std::uint64_t fileLimit = ImageFileLimit(options.maxPixels);
    struct stat info {};
    const bool regular = fstat(fileno(file.get()), &info) == 0 && S_ISREG(info.st_mode);
    const bool overLimit = regular && static_cast<std::uint64_t>(info.st_size) > fileLimit;
    if (*format == ImageFormat::kPng) {
        if (Status header = CheckPngHeader(bytes, options.maxPixels); !header) {
            return std::move(header).error();
        }
        // Held whole for the fast decoder only when it fits the limit; a
        // larger file, or a pipe, costs libpng no more than its pixels.
        if (!regular || overLimit) {
            Result<DecodedImage> image = DecodePngStream(bytes, file.get(), options.maxPixels);
            if (!image) {
                return std::move(image).error();
            }
            return RemapDecodedImage(std::move(*image), target, options);
        }
    }
    // Refused by its size before any of it is held; the size read, plus the
    // byte that shows the file has grown since, is held in one allocation.
    if (overLimit) {
        return TooLarge(fileLimit, options.maxPixels);
    }
    if (regular) {
        bytes.reserve(std::max(bytes.size(), static_cast<std::size_t>(info.st_size)) + 1);
    }
    auto whole = ReadRest(file.get(), std::move(bytes), fileLimit, options.maxPixels);
    if (!whole) {
        return whole.error();
    }
    auto image = Decode(*whole, *format, options.maxPixels);
    if (!image) {
        return image.error();
    }
    *whole = {};
    return RemapDecodedImage(std::move(*image), target, options);
}

}  // namespace

Result<RemappedImage> RemapImageFile(const std::string& path, const RemapTarget& target,
                                     const ImageRemapOptions& options) {
    Result<RemappedImage> image = RemapOpenedFile(path, target, options);
    if (!image && image.error().kind != ErrorKind::kOutput) {
        return CannotRead(path, std::move(image).error());
    }
    return image;
}

}  // namespace paltab
