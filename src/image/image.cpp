// The image type's checks and colours, format names and detection, and the
// dispatch to each format's reader and writer.
#include <algorithm>
#include <array>
#include <cctype>

#include "image/byte_order.hpp"

namespace paltab {
namespace {

struct FormatName {
    std::string_view name;
    ImageFormat format;
};
constexpr std::array kNames = {FormatName{"png", ImageFormat::kPng}, FormatName{"bmp", ImageFormat::kBmp}, FormatName{"pcx", ImageFormat::kPcx},
                               FormatName{"tga", ImageFormat::kTga}, FormatName{"gif", ImageFormat::kGif},
                               FormatName{"jpeg", ImageFormat::kJpeg}, FormatName{"jpg", ImageFormat::kJpeg},
                               FormatName{"raw", ImageFormat::kRaw}, FormatName{"lmp", ImageFormat::kRaw}};

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

std::string_view ImageFormatName(ImageFormat format) {
    for (const FormatName& entry : kNames) {
        if (entry.format == format) {
            return entry.name;
        }
    }
    return "?";
}

std::string_view ImageFormatExtension(ImageFormat format) {
    switch (format) {
        case ImageFormat::kPng: return ".png";
        case ImageFormat::kBmp: return ".bmp";
        case ImageFormat::kPcx: return ".pcx";
        case ImageFormat::kTga: return ".tga";
        case ImageFormat::kGif: return ".gif";
        case ImageFormat::kJpeg: return ".jpg";
        case ImageFormat::kRaw: return ".raw";
    }
    return "";
}

std::optional<ImageFormat> ParseImageFormat(std::string_view name) {
    for (const FormatName& entry : kNames) {
        // A lump is a file name's extension, not a format name.
        if (entry.name != "lmp" && EqualIgnoringCase(entry.name, name)) {
            return entry.format;
        }
    }
    return std::nullopt;
}

std::optional<ImageFormat> ImageFormatOfName(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    const std::string_view base = slash == std::string_view::npos ? path : path.substr(slash + 1);
    const std::size_t dot = base.find_last_of('.');
    if (dot == std::string_view::npos) {
        return std::nullopt;
    }
    const std::string_view extension = base.substr(dot + 1);
    for (const FormatName& entry : kNames) {
        if (EqualIgnoringCase(entry.name, extension)) {
            return entry.format;
        }
    }
    return std::nullopt;
}

std::optional<ImageFormat> DetectImageFormat(std::span<const std::uint8_t> bytes) {
    const auto startsWith = [&](std::string_view magic) {
        return bytes.size() >= magic.size() &&
               std::equal(magic.begin(), magic.end(), bytes.begin(),
                          [](char m, std::uint8_t b) { return static_cast<std::uint8_t>(m) == b; });
    };
    if (startsWith("\x89PNG\r\n\x1A\n")) {
        return ImageFormat::kPng;
    }
    if (startsWith("GIF87a") || startsWith("GIF89a")) {
        return ImageFormat::kGif;
    }
    if (startsWith("\xFF\xD8\xFF")) {
        return ImageFormat::kJpeg;
    }
    if (startsWith("BM") && bytes.size() >= 18) {
        return ImageFormat::kBmp;
    }
    // ZSoft's maker byte, a version 0..5 and RLE encoding.
    if (bytes.size() >= 128 && bytes[0] == 0x0A && bytes[1] <= 5 && bytes[2] == 1) {
        return ImageFormat::kPcx;
    }
    return std::nullopt;
}

bool CanReadImageFormat(ImageFormat format) {
    return format != ImageFormat::kRaw;
}

bool CanWriteImageFormat(ImageFormat format) {
    return format != ImageFormat::kJpeg;
}

Status CheckIndexedImage(const IndexedImage& image) {
    if (image.width < 1 || image.height < 1) {
        return Error{"", "the image is " + std::to_string(image.width) + " x " + std::to_string(image.height) +
                             " pixels; both sides must be at least 1"};
    }
    const std::uint64_t pixels = std::uint64_t(image.width) * std::uint64_t(image.height);
    if (image.indices.size() != pixels) {
        return Error{"", "the image has " + std::to_string(image.indices.size()) + " indices for " +
                             std::to_string(pixels) + " pixels"};
    }
    if (image.palette.empty() || image.palette.size() > kPaletteSize) {
        return Error{"", "the palette has " + std::to_string(image.palette.size()) + " colours, not 1..256"};
    }
    const std::uint8_t largest = *std::max_element(image.indices.begin(), image.indices.end());
    if (largest >= image.palette.size()) {
        const auto at = std::find(image.indices.begin(), image.indices.end(), largest) - image.indices.begin();
        return Error{"", "pixel " + std::to_string(at % image.width) + "," + std::to_string(at / image.width) +
                             " has index " + std::to_string(largest) + ", outside the " +
                             std::to_string(image.palette.size()) + "-colour palette"};
    }
    if (image.transparentIndex && (*image.transparentIndex < 0 ||
                                   static_cast<std::size_t>(*image.transparentIndex) >= image.palette.size())) {
        return Error{"", "transparent index " + std::to_string(*image.transparentIndex) + " lies outside the " +
                             std::to_string(image.palette.size()) + "-colour palette"};
    }
    return {};
}

RgbaImage IndexedToRgba(const IndexedImage& image) {
    RgbaImage out{image.width, image.height, {}};
    out.rgba.reserve(image.indices.size() * 4);
    for (const std::uint8_t index : image.indices) {
        const Rgb8 c = index < image.palette.size() ? image.palette[index] : Rgb8{};
        const bool clear = image.transparentIndex && *image.transparentIndex == index;
        out.rgba.insert(out.rgba.end(), {c.r, c.g, c.b, static_cast<std::uint8_t>(clear ? 0 : 255)});
    }
    return out;
}

Result<IndexedImage> ReadIndexedImage(std::span<const std::uint8_t> bytes, ImageFormat format,
                                      std::uint64_t maxPixels) {
    switch (format) {
        case ImageFormat::kPng: return ReadPng(bytes, maxPixels);
        case ImageFormat::kBmp: return ReadBmp(bytes, maxPixels);
        case ImageFormat::kPcx: return ReadPcx(bytes, maxPixels);
        case ImageFormat::kTga: return ReadTga(bytes, maxPixels);
        case ImageFormat::kGif: return ReadGif(bytes, maxPixels);
        case ImageFormat::kJpeg:
        case ImageFormat::kRaw: break;
    }
    return Error{"", std::string(ImageFormatName(format)) + " is not an indexed format paltool reads",
                 ErrorKind::kBadSettings};
}

Result<std::vector<std::uint8_t>> WriteIndexedImage(const IndexedImage& image, ImageFormat format) {
    switch (format) {
        case ImageFormat::kPng: return WritePng(image);
        case ImageFormat::kBmp: return WriteBmp(image);
        case ImageFormat::kPcx: return WritePcx(image);
        case ImageFormat::kTga: return WriteTga(image);
        case ImageFormat::kGif: return WriteGif(image);
        case ImageFormat::kRaw: return WriteRaw(image);
        case ImageFormat::kJpeg: break;
    }
    return Error{"", "jpeg is not written: it cannot hold palette indices", ErrorKind::kBadSettings};
}

namespace image_codec {

Status CheckSize(std::int64_t width, std::int64_t height, std::uint64_t maxPixels) {
    if (width < 1 || height < 1) {
        return Error{"", "the image is " + std::to_string(width) + " x " + std::to_string(height) + " pixels"};
    }
    if (std::uint64_t(width) * std::uint64_t(height) > maxPixels) {
        return Error{"",
                     "the image is " + std::to_string(width) + " x " + std::to_string(height) +
                         " pixels, more than the limit of " + std::to_string(maxPixels),
                     ErrorKind::kTooLarge};
    }
    return {};
}

Status CheckWritable(const IndexedImage& image, int maxSide, std::string_view format) {
    if (Status checked = CheckIndexedImage(image); !checked) {
        return checked;
    }
    if (image.width > maxSide || image.height > maxSide) {
        return Error{"",
                     "a " + std::string(format) + " file holds at most " + std::to_string(maxSide) +
                         " pixels a side, not " + std::to_string(image.width) + " x " + std::to_string(image.height),
                     ErrorKind::kOutput};
    }
    return {};
}

std::vector<Rgb8> FullPalette(const std::vector<Rgb8>& palette) {
    const auto kept = static_cast<std::ptrdiff_t>(std::min(palette.size(), kPaletteSize));
    std::vector<Rgb8> full(palette.begin(), palette.begin() + kept);
    full.resize(kPaletteSize);
    return full;
}

}  // namespace image_codec
}  // namespace paltab
