// Colour-mapped TGA (Truevision): 8-bit indices into a colour map.
//
//   offset  size  field (little-endian)
//   0       1     length of the image id that follows the header
//   1       1     colour map type (1: present)
//   2       1     image type (1: colour-mapped, 9: the same run-length encoded)
//   3       2     first colour map entry
//   5       2     colour map length
//   7       1     bits per colour map entry: 15, 16 (x rrrrr ggggg bbbbb),
//                 24 (b g r), 32 (b g r a)
//   8       4     x and y origin (unused here)
//   12      4     width, height (u16)
//   16      1     bits per pixel (8)
//   17      1     descriptor: bits 0..3 alpha bits, bit 4 right to left,
//                 bit 5 top to bottom
//   18            image id, colour map, pixels. RLE packets: a byte with bit 7
//                 set repeats the next pixel (byte & 0x7F) + 1 times; any
//                 other is followed by byte + 1 pixels as they are.
//   the file may end with a 26-byte footer "...TRUEVISION-XFILE.\0".
#include <algorithm>

#include "image/byte_order.hpp"

namespace paltab {
namespace {

using namespace image_codec;

constexpr std::size_t kHeaderSize = 18;
constexpr std::uint8_t kColourMapped = 1;
constexpr std::uint8_t kColourMappedRle = 9;
constexpr std::uint8_t kRightToLeft = 0x10;
constexpr std::uint8_t kTopToBottom = 0x20;
constexpr std::uint8_t kAlphaBits = 0x0F;
constexpr std::uint8_t kRunPacket = 0x80;
constexpr int kLargestSide = 0xFFFF;
constexpr std::string_view kSignature{"TRUEVISION-XFILE.\0", 18};

constexpr std::uint8_t FiveToEight(unsigned v) {
    return static_cast<std::uint8_t>(v << 3 | v >> 2);
}

}  // namespace

Result<IndexedImage> ReadTga(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    if (bytes.size() < kHeaderSize) {
        return Error{"", "not a TGA file (shorter than its 18-byte header)"};
    }
    const std::uint8_t type = bytes[2];
    if (bytes[1] != 1 || (type != kColourMapped && type != kColourMappedRle) || bytes[16] != 8) {
        return At(1, "colour map type " + std::to_string(bytes[1]) + ", image type " + std::to_string(type) + ", " +
                         std::to_string(bytes[16]) + " bits per pixel; only 8-bit colour-mapped TGA is read");
    }
    const std::size_t first = Le16(bytes, 3);
    const std::size_t length = Le16(bytes, 5);
    const unsigned entryBits = bytes[7];
    if (entryBits != 15 && entryBits != 16 && entryBits != 24 && entryBits != 32) {
        return At(7, std::to_string(entryBits) + " bits per colour map entry, not 15, 16, 24 or 32");
    }
    const std::size_t entries = std::min(first + length, kPaletteSize);
    if (length == 0 || first >= kPaletteSize) {
        return At(3, "a colour map of entries " + std::to_string(first) + " to " + std::to_string(first + length) +
                          " gives 8-bit pixels no colour");
    }
    const std::int64_t width = Le16(bytes, 12);
    const std::int64_t height = Le16(bytes, 14);
    if (Status size = CheckSize(width, height, maxPixels); !size) {
        return At(12, std::move(size).error());
    }
    const std::size_t entrySize = (entryBits + 7) / 8;
    const std::size_t mapOffset = kHeaderSize + bytes[0];
    const std::size_t dataOffset = mapOffset + length * entrySize;
    if (bytes.size() < dataOffset) {
        return At(bytes.size(), "the file ends inside its colour map");
    }
    IndexedImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    image.palette.resize(entries);
    const bool hasAlpha = entryBits == 32 && (bytes[17] & kAlphaBits) != 0;
    for (std::size_t k = first; k < entries; ++k) {
        const std::size_t at = mapOffset + (k - first) * entrySize;
        if (entrySize == 2) {
            const unsigned v = Le16(bytes, at);
            image.palette[k] = {FiveToEight(v >> 10 & 31), FiveToEight(v >> 5 & 31), FiveToEight(v & 31)};
        } else {
            image.palette[k] = {bytes[at + 2], bytes[at + 1], bytes[at]};
            if (hasAlpha && bytes[at + 3] == 0 && !image.transparentIndex) {
                image.transparentIndex = static_cast<int>(k);
            }
        }
    }

    const std::size_t w = static_cast<std::size_t>(image.width);
    const std::size_t h = static_cast<std::size_t>(image.height);
    const std::size_t total = w * h;
    image.indices.resize(total);
    const bool rightToLeft = (bytes[17] & kRightToLeft) != 0;
    const bool topToBottom = (bytes[17] & kTopToBottom) != 0;
    std::size_t at = dataOffset;
    std::size_t produced = 0;
    Error fault;
    const auto put = [&](std::uint8_t index, std::size_t offset) {
        if (index < first || index >= first + length) {
            fault = At(offset, "pixel index " + std::to_string(index) + " lies outside the colour map's entries " +
                                   std::to_string(first) + " to " + std::to_string(first + length - 1));
            return false;
        }
        const std::size_t row = produced / w;
        const std::size_t column = produced % w;
        const std::size_t y = topToBottom ? row : h - 1 - row;
        const std::size_t x = rightToLeft ? w - 1 - column : column;
        image.indices[y * w + x] = index;
        ++produced;
        return true;
    };
    while (produced < total) {
        if (at >= bytes.size()) {
            return At(at, "the image data ends after " + std::to_string(produced) + " of " + std::to_string(total) +
                               " pixels");
        }
        if (type == kColourMapped) {
            if (!put(bytes[at], at)) {
                return fault;
            }
            ++at;
            continue;
        }
        const std::uint8_t packet = bytes[at++];
        const std::size_t count = std::min<std::size_t>((packet & 0x7F) + 1u, total - produced);
        const bool run = (packet & kRunPacket) != 0;
        const std::size_t needed = run ? 1 : count;
        if (bytes.size() - at < needed) {
            return At(bytes.size(), "the image data ends inside a packet");
        }
        for (std::size_t k = 0; k < count; ++k) {
            if (!put(bytes[run ? at : at + k], run ? at : at + k)) {
                return fault;
            }
        }
        at += needed;
    }
    return image;
}

Result<std::vector<std::uint8_t>> WriteTga(const IndexedImage& image) {
    if (Status writable = CheckWritable(image, kLargestSide, "tga"); !writable) {
        return std::move(writable).error();
    }
    std::vector<std::uint8_t> out{0, 1, kColourMapped};
    PutLe16(out, 0);
    PutLe16(out, kPaletteSize);
    out.push_back(24);
    PutLe32(out, 0);
    PutLe16(out, static_cast<std::uint32_t>(image.width));
    PutLe16(out, static_cast<std::uint32_t>(image.height));
    out.push_back(8);
    out.push_back(kTopToBottom);
    for (const Rgb8 c : FullPalette(image.palette)) {
        out.insert(out.end(), {c.b, c.g, c.r});
    }
    out.insert(out.end(), image.indices.begin(), image.indices.end());
    PutLe32(out, 0);  // no extension area
    PutLe32(out, 0);  // no developer directory
    out.insert(out.end(), kSignature.begin(), kSignature.end());
    return out;
}

}  // namespace paltab
