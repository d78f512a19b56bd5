// 256-colour PCX (ZSoft): one plane of 8-bit indices, run-length encoded,
// the palette at the end.
//
//   offset  size  field (little-endian)
//   0       1     0x0A
//   1       1     version (5 for a 256-colour palette)
//   2       1     encoding (1: RLE)
//   3       1     bits per pixel (8)
//   4       8     xmin, ymin, xmax, ymax (u16): the image is
//                 (xmax - xmin + 1) x (ymax - ymin + 1)
//   12      4     horizontal and vertical dots an inch
//   16      48    a 16-colour palette (unused at 8 bits)
//   65      1     planes (1)
//   66      2     bytes per line of a plane (even)
//   68      2     palette kind (1: colour)
//   128           the lines, RLE: a byte 0xC0 | n repeats the next byte n
//                 times (n 1..63); any other byte stands for itself
//   end - 769     0x0C, then 256 x r g b
#include <algorithm>

#include "image/byte_order.hpp"

namespace paltab {
namespace {

using namespace image_codec;

constexpr std::size_t kHeaderSize = 128;
constexpr std::uint8_t kMaker = 0x0A;
constexpr std::uint8_t kVersion = 5;
constexpr std::uint8_t kRle = 1;
constexpr std::uint8_t kPaletteMarker = 0x0C;
constexpr std::size_t kPaletteBytes = 3 * kPaletteSize;
constexpr std::size_t kTrailerSize = 1 + kPaletteBytes;  // 769
constexpr std::uint8_t kRunFlag = 0xC0;
constexpr std::size_t kLongestRun = 0x3F;
constexpr std::uint16_t kDotsPerInch = 72;
constexpr int kLargestSide = 65534;  // an even line of it still fits 16 bits

}  // namespace

Result<IndexedImage> ReadPcx(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    if (bytes.size() < kHeaderSize || bytes[0] != kMaker || bytes[2] != kRle) {
        return Error{"", "not a PCX file (no 0x0A maker byte and RLE encoding in a 128-byte header)"};
    }
    if (bytes[3] != 8 || bytes[65] != 1) {
        return At(3, std::to_string(bytes[3]) + " bits per pixel in " + std::to_string(bytes[65]) +
                          " planes; only 8-bit, one-plane PCX is read");
    }
    const std::int64_t width = std::int64_t{Le16(bytes, 8)} - Le16(bytes, 4) + 1;
    const std::int64_t height = std::int64_t{Le16(bytes, 10)} - Le16(bytes, 6) + 1;
    if (Status size = CheckSize(width, height, maxPixels); !size) {
        return At(4, std::move(size).error());
    }
    const std::size_t bytesPerLine = Le16(bytes, 66);
    if (bytesPerLine < static_cast<std::size_t>(width)) {
        return At(66, std::to_string(bytesPerLine) + " bytes per line for " + std::to_string(width) + " pixels");
    }
    if (bytes.size() < kHeaderSize + kTrailerSize || bytes[bytes.size() - kTrailerSize] != kPaletteMarker) {
        return At(bytes.size() < kTrailerSize ? 0 : bytes.size() - kTrailerSize,
                   "no 256-colour palette (0x0C and 768 bytes) at the end of the file");
    }
    const std::size_t dataEnd = bytes.size() - kTrailerSize;

    IndexedImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    for (std::size_t k = 0; k < kPaletteSize; ++k) {
        const std::size_t at = dataEnd + 1 + 3 * k;
        image.palette.push_back({bytes[at], bytes[at + 1], bytes[at + 2]});
    }
    const std::size_t w = static_cast<std::size_t>(image.width);
    image.indices.resize(w * static_cast<std::size_t>(height));
    // Lines are decoded as one stream: some writers let a run go on into the
    // next line. A line's bytes past the width are padding.
    const std::size_t total = bytesPerLine * static_cast<std::size_t>(height);
    std::size_t at = kHeaderSize;
    std::size_t produced = 0;
    while (produced < total) {
        if (at >= dataEnd) {
            return At(at, "the image data ends after " + std::to_string(produced) + " of " + std::to_string(total) +
                               " bytes");
        }
        std::size_t count = 1;
        std::uint8_t value = bytes[at++];
        if ((value & kRunFlag) == kRunFlag) {
            if (at >= dataEnd) {
                return At(at, "the image data ends inside a run");
            }
            count = value & kLongestRun;
            value = bytes[at++];
        }
        for (; count > 0 && produced < total; --count, ++produced) {
            const std::size_t column = produced % bytesPerLine;
            if (column < w) {
                image.indices[produced / bytesPerLine * w + column] = value;
            }
        }
    }
    return image;
}

Result<std::vector<std::uint8_t>> WritePcx(const IndexedImage& image) {
    if (Status writable = CheckWritable(image, kLargestSide, "pcx"); !writable) {
        return std::move(writable).error();
    }
    const std::size_t w = static_cast<std::size_t>(image.width);
    const std::size_t bytesPerLine = (w + 1) & ~std::size_t{1};
    std::vector<std::uint8_t> out(kHeaderSize, 0);
    out[0] = kMaker;
    out[1] = kVersion;
    out[2] = kRle;
    out[3] = 8;
    const auto put16 = [&](std::size_t at, std::size_t value) {
        out[at] = static_cast<std::uint8_t>(value);
        out[at + 1] = static_cast<std::uint8_t>(value >> 8);
    };
    put16(8, w - 1);
    put16(10, static_cast<std::size_t>(image.height) - 1);
    put16(12, kDotsPerInch);
    put16(14, kDotsPerInch);
    out[65] = 1;
    put16(66, bytesPerLine);
    put16(68, 1);
    std::vector<std::uint8_t> line(bytesPerLine, 0);
    for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
        std::copy_n(image.indices.begin() + static_cast<std::ptrdiff_t>(y * w), w, line.begin());
        // Runs stop at the end of each line, as readers of the format expect.
        for (std::size_t x = 0; x < bytesPerLine;) {
            std::size_t run = 1;
            while (x + run < bytesPerLine && run < kLongestRun && line[x + run] == line[x]) {
                ++run;
            }
            if (run > 1 || (line[x] & kRunFlag) == kRunFlag) {
                out.push_back(static_cast<std::uint8_t>(kRunFlag | run));
            }
            out.push_back(line[x]);
            x += run;
        }
    }
    out.push_back(kPaletteMarker);
    for (const Rgb8 c : FullPalette(image.palette)) {
        out.insert(out.end(), {c.r, c.g, c.b});
    }
    return out;
}

}  // namespace paltab
