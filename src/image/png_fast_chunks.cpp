// The fast PNG decoder's chunk walk: the signature, every length and CRC
// checked, IHDR, PLTE and tRNS read, the IDAT data gathered, libpng's limits
// kept; anything not plain is refused, for libpng to handle.
#include "image/png_fast_chunks.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <array>

namespace paltab::png_fast {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature{137, 80, 78, 71, 13, 10, 26, 10};
constexpr std::size_t kChunkOverhead = 12;  // length, type, CRC
constexpr std::uint32_t kMaxChunkLength = 0x7FFFFFFF;
// libpng's default limits (pnglibconf.h): a larger side, or a chunk other
// than IDAT larger than this, is an error there.
constexpr std::uint32_t kLibpngMaxSide = 1000000;
constexpr std::uint32_t kLibpngMaxChunk = 8000000;

constexpr std::uint32_t Tag(const char (&name)[5]) {
    return std::uint32_t{static_cast<std::uint8_t>(name[0])} << 24 |
           std::uint32_t{static_cast<std::uint8_t>(name[1])} << 16 |
           std::uint32_t{static_cast<std::uint8_t>(name[2])} << 8 | static_cast<std::uint8_t>(name[3]);
}
constexpr std::uint32_t kIHDR = Tag("IHDR"), kPLTE = Tag("PLTE"), kIDAT = Tag("IDAT"), kIEND = Tag("IEND"),
                        kTRNS = Tag("tRNS"), kGRAB = Tag("grAb");
constexpr std::uint32_t kGrabLength = 8;  // big-endian signed x and y

std::uint32_t Be32(const std::uint8_t* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

bool IsLetter(std::uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int Channels(std::uint8_t colorType) {
    switch (colorType) {
        case kGrey: return 1;
        case kRgb: return 3;
        case kPalette: return 1;
        case kGreyAlpha: return 2;
        case kRgbAlpha: return 4;
        default: return 0;
    }
}


// libpng's limit on one IDAT chunk: about the raw image size plus zlib's
// overhead (png_check_chunk_length).
std::uint64_t IdatChunkLimit(const Layout& layout) {
    const std::uint64_t rowFactor = std::uint64_t{layout.width} * static_cast<std::uint64_t>(layout.channels) + 1;
    std::uint64_t limit = std::uint64_t{layout.height} * rowFactor;
    limit += 6 + 5 * (limit / std::min<std::uint64_t>(rowFactor, 32566) + 1);
    return std::max<std::uint64_t>(std::min<std::uint64_t>(limit, kMaxChunkLength), kLibpngMaxChunk);
}

bool ReadIhdr(std::span<const std::uint8_t> data, std::uint64_t maxPixels, Layout& layout) {
    if (data.size() != 13) {
        return false;
    }
    layout.width = Be32(data.data());
    layout.height = Be32(data.data() + 4);
    const std::uint8_t depth = data[8];
    layout.colorType = data[9];
    layout.channels = Channels(layout.colorType);
    const bool plain = depth == 8 && layout.channels != 0 && data[10] == 0 && data[11] == 0 && data[12] == 0;
    return plain && layout.width != 0 && layout.height != 0 && layout.width <= kLibpngMaxSide &&
           layout.height <= kLibpngMaxSide && std::uint64_t{layout.width} * layout.height <= maxPixels;
}

bool ReadPlte(std::span<const std::uint8_t> data, Layout& layout) {
    if (data.empty() || data.size() % 3 != 0 || data.size() / 3 > kPaletteSize) {
        return false;
    }
    if (layout.colorType == kPalette) {
        for (std::size_t i = 0; i < data.size(); i += 3) {
            layout.plte.push_back({data[i], data[i + 1], data[i + 2]});
        }
        return true;
    }
    // A suggested palette of an RGB image: libpng keeps it aside. Grey
    // images have none.
    return layout.colorType == kRgb || layout.colorType == kRgbAlpha;
}

bool ReadTrns(std::span<const std::uint8_t> data, Layout& layout) {
    const auto sample = [&](std::size_t at) -> std::optional<std::uint8_t> {
        if (data[at] != 0) {
            return std::nullopt;  // beyond 8 bits: libpng warns, keep it plain
        }
        return data[at + 1];
    };
    switch (layout.colorType) {
        case kPalette:
            if (data.empty() || data.size() > layout.plte.size()) {
                return false;
            }
            layout.plteAlpha.assign(data.begin(), data.end());
            return true;
        case kGrey:
            if (data.size() != 2 || !sample(0)) {
                return false;
            }
            layout.transparentColor = Rgb8{*sample(0), *sample(0), *sample(0)};
            return true;
        case kRgb:
            if (data.size() != 6 || !sample(0) || !sample(2) || !sample(4)) {
                return false;
            }
            layout.transparentColor = Rgb8{*sample(0), *sample(2), *sample(4)};
            return true;
        default:
            return false;
    }
}

}  // namespace

bool ReadChunks(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels, Layout& layout) {
    if (bytes.size() < kSignature.size() || !std::equal(kSignature.begin(), kSignature.end(), bytes.begin())) {
        return false;
    }
    std::size_t at = kSignature.size();
    bool first = true, idatDone = false;
    for (;;) {
        if (bytes.size() - at < kChunkOverhead) {
            return false;
        }
        const std::uint32_t length = Be32(bytes.data() + at);
        if (length > kMaxChunkLength || length > bytes.size() - at - kChunkOverhead) {
            return false;
        }
        const std::uint8_t* typeBytes = bytes.data() + at + 4;
        if (!std::all_of(typeBytes, typeBytes + 4, IsLetter)) {
            return false;
        }
        const std::uint32_t type = Be32(typeBytes);
        const std::span<const std::uint8_t> data(typeBytes + 4, length);
        if (libdeflate_crc32(0, typeBytes, std::size_t{length} + 4) != Be32(typeBytes + 4 + length)) {
            return false;
        }
        at += kChunkOverhead + length;
        if (first != (type == kIHDR)) {
            return false;
        }
        if (type != kIDAT && length > kLibpngMaxChunk) {
            return false;
        }
        const bool seenIdat = !layout.idat.empty();
        if (type == kIHDR) {
            if (!ReadIhdr(data, maxPixels, layout)) {
                return false;
            }
            first = false;
        } else if (type == kPLTE) {
            if (seenIdat || !layout.plte.empty() || layout.transparentColor || !layout.plteAlpha.empty() ||
                !ReadPlte(data, layout)) {
                return false;
            }
        } else if (type == kTRNS) {
            if (seenIdat || layout.transparentColor || !layout.plteAlpha.empty() || !ReadTrns(data, layout)) {
                return false;
            }
        } else if (type == kIDAT) {
            if (idatDone || (layout.colorType == kPalette && layout.plte.empty()) ||
                length > IdatChunkLimit(layout)) {
                return false;
            }
            layout.idat.push_back(data);
            layout.idatSize += length;
        } else if (type == kIEND) {
            return length == 0 && seenIdat;
        } else if ((type & 0x20000000) == 0) {
            return false;  // a critical chunk this decoder does not know
        } else {
            if (type == kGRAB && length == kGrabLength && !layout.offsets) {
                layout.offsets = ImageOffsets{static_cast<std::int32_t>(Be32(data.data())),
                                              static_cast<std::int32_t>(Be32(data.data() + 4))};
            }
            idatDone = seenIdat;
        }
    }
}

}  // namespace paltab::png_fast
