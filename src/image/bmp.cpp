// 8-bit indexed BMP (Windows bitmap).
//
//   offset  size  field (little-endian)
//   0       2     "BM"
//   2       4     file size
//   10      4     offset of the pixel rows
//   14      4     info header size: 12 (OS/2), or 40 and the longer V4/V5 ones
//   18      4     width (i32; u16 at 12 bytes)
//   22      4     height (i32, negative for rows top-down; u16 at 12 bytes)
//   26      2     planes (1)
//   28      2     bits per pixel (8)
//   30      4     compression (0: none)
//   46      4     colours used (0: 256)
//   14+hdr        the colour table, b g r (and a reserved byte unless OS/2)
//   rows, bottom-up unless the height is negative, each padded to 4 bytes
#include <limits>

#include "image/byte_order.hpp"

namespace paltab {
namespace {

using namespace image_codec;

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::size_t kCoreHeaderSize = 12;
constexpr std::size_t kInfoHeaderSize = 40;
constexpr std::size_t kLargestInfoHeaderSize = 124;  // BITMAPV5HEADER
constexpr std::uint32_t kUncompressed = 0;
constexpr std::int32_t kPixelsPerMetre = 2835;  // 72 dots an inch

std::size_t RowStride(std::size_t width) {
    return (width + 3) & ~std::size_t{3};
}

}  // namespace

Result<IndexedImage> ReadBmp(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    if (bytes.size() < kFileHeaderSize + 4 || bytes[0] != 'B' || bytes[1] != 'M') {
        return Error{"", "not a BMP file (no \"BM\" signature)"};
    }
    const std::size_t dataOffset = Le32(bytes, 10);
    const std::size_t headerSize = Le32(bytes, kFileHeaderSize);
    const bool core = headerSize == kCoreHeaderSize;
    if (!core && (headerSize < kInfoHeaderSize || headerSize > kLargestInfoHeaderSize)) {
        return At(kFileHeaderSize, "unknown info header size " + std::to_string(headerSize));
    }
    if (bytes.size() < kFileHeaderSize + headerSize) {
        return At(bytes.size(), "the file ends inside its info header");
    }
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::size_t field = kFileHeaderSize + 4;
    if (core) {
        width = Le16(bytes, field);
        height = Le16(bytes, field + 2);
        field += 4;
    } else {
        width = static_cast<std::int32_t>(Le32(bytes, field));
        height = static_cast<std::int32_t>(Le32(bytes, field + 4));
        field += 8;
    }
    const bool topDown = height < 0;
    height = topDown ? -height : height;
    const unsigned bitsPerPixel = Le16(bytes, field + 2);
    if (bitsPerPixel != 8) {
        return At(field + 2, std::to_string(bitsPerPixel) + " bits per pixel; only 8-bit indexed BMP is read");
    }
    std::size_t colours = kPaletteSize;
    if (!core) {
        const std::uint32_t compression = Le32(bytes, field + 4);
        if (compression != kUncompressed) {
            return At(field + 4, "compression " + std::to_string(compression) +
                                      "; only uncompressed BMP is read");
        }
        const std::uint32_t used = Le32(bytes, field + 20);
        if (used > kPaletteSize) {
            return At(field + 20, std::to_string(used) + " colours in the table of an 8-bit image");
        }
        colours = used == 0 ? kPaletteSize : used;
    }
    if (Status size = CheckSize(width, height, maxPixels); !size) {
        return At(18, std::move(size).error());
    }
    const std::size_t tableOffset = kFileHeaderSize + headerSize;
    const std::size_t entrySize = core ? 3 : 4;
    if (core) {
        // OS/2 files give no count: the table fills the space before the rows.
        colours = dataOffset > tableOffset ? std::min(kPaletteSize, (dataOffset - tableOffset) / entrySize) : 0;
        if (colours == 0) {
            return At(tableOffset, "no colour table");
        }
    }
    if (bytes.size() < tableOffset + colours * entrySize) {
        return At(bytes.size(), "the file ends inside its colour table");
    }
    IndexedImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    for (std::size_t k = 0; k < colours; ++k) {
        const std::size_t at = tableOffset + k * entrySize;
        image.palette.push_back({bytes[at + 2], bytes[at + 1], bytes[at]});
    }
    const std::size_t w = static_cast<std::size_t>(image.width);
    const std::size_t h = static_cast<std::size_t>(image.height);
    const std::size_t stride = RowStride(w);
    // The last row's padding may be missing.
    if (dataOffset > bytes.size() || bytes.size() - dataOffset < stride * (h - 1) + w) {
        return At(bytes.size(), "the file ends before its " + std::to_string(h) + " rows of " + std::to_string(w) +
                                     " pixels");
    }
    image.indices.resize(w * h);
    for (std::size_t row = 0; row < h; ++row) {
        const std::size_t at = dataOffset + row * stride;
        const std::size_t y = topDown ? row : h - 1 - row;
        for (std::size_t x = 0; x < w; ++x) {
            const std::uint8_t index = bytes[at + x];
            if (index >= colours) {
                return At(at + x, "pixel index " + std::to_string(index) + " lies outside the " +
                                       std::to_string(colours) + "-colour table");
            }
            image.indices[y * w + x] = index;
        }
    }
    return image;
}

Result<std::vector<std::uint8_t>> WriteBmp(const IndexedImage& image) {
    if (Status writable = CheckWritable(image, std::numeric_limits<std::int32_t>::max(), "bmp"); !writable) {
        return std::move(writable).error();
    }
    const std::size_t w = static_cast<std::size_t>(image.width);
    const std::size_t h = static_cast<std::size_t>(image.height);
    const std::size_t stride = RowStride(w);
    const std::size_t dataOffset = kFileHeaderSize + kInfoHeaderSize + kPaletteSize * 4;
    const std::uint64_t fileSize = dataOffset + std::uint64_t(stride) * h;
    if (fileSize > std::numeric_limits<std::uint32_t>::max()) {
        return Error{"", "a bmp file of " + std::to_string(fileSize) + " bytes is more than its size field holds",
                     ErrorKind::kOutput};
    }
    std::vector<std::uint8_t> out;
    out.reserve(static_cast<std::size_t>(fileSize));
    out.push_back('B');
    out.push_back('M');
    PutLe32(out, static_cast<std::uint32_t>(fileSize));
    PutLe32(out, 0);
    PutLe32(out, static_cast<std::uint32_t>(dataOffset));
    PutLe32(out, kInfoHeaderSize);
    PutLe32(out, static_cast<std::uint32_t>(w));
    PutLe32(out, static_cast<std::uint32_t>(h));  // positive: bottom-up
    PutLe16(out, 1);
    PutLe16(out, 8);
    PutLe32(out, kUncompressed);
    PutLe32(out, static_cast<std::uint32_t>(stride * h));
    PutLe32(out, kPixelsPerMetre);
    PutLe32(out, kPixelsPerMetre);
    PutLe32(out, kPaletteSize);
    PutLe32(out, 0);
    for (const Rgb8 c : FullPalette(image.palette)) {
        out.insert(out.end(), {c.b, c.g, c.r, 0});
    }
    for (std::size_t row = h; row-- > 0;) {
        const auto begin = image.indices.begin() + static_cast<std::ptrdiff_t>(row * w);
        out.insert(out.end(), begin, begin + static_cast<std::ptrdiff_t>(w));
        out.resize(out.size() + stride - w, 0);
    }
    return out;
}

}  // namespace paltab
