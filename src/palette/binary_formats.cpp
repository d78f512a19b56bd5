// The binary palette formats: Photoshop act, Microsoft RIFF PAL, raw and VGA
// (6-bit) r g b triples, and a PLAYPAL lump. Each reader is strict and
// names the byte offset at fault.
#include <algorithm>

#include "palette/readers.hpp"

namespace paltab::palette_io {
namespace {

constexpr std::size_t kRgbSize = 3;
constexpr std::size_t kFullTableSize = kPaletteSize * kRgbSize;  // 768

// act: the table, then (772 form) big-endian u16 count and transparent index.
constexpr std::size_t kActCountOffset = kFullTableSize;
constexpr std::size_t kActTransparentOffset = kActCountOffset + 2;
constexpr std::size_t kActLongSize = kActTransparentOffset + 2;  // 772
constexpr std::uint16_t kActNoTransparent = 0xFFFF;

// riff: "RIFF" u32 size "PAL " then chunks of id u32 size, padded to even;
// the "data" chunk holds u16 version, u16 count, count x (r g b flags).
// Little-endian throughout.
constexpr std::size_t kRiffFormOffset = 8;
constexpr std::size_t kRiffHeaderSize = 12;
constexpr std::size_t kChunkHeaderSize = 8;
constexpr std::size_t kRiffDataHeaderSize = 4;
constexpr std::size_t kRiffEntrySize = 4;
constexpr std::uint16_t kRiffVersion = 0x0300;

// playpal: palettes of 768 bytes one after another, 14 in the game's lump.
constexpr std::size_t kPlaypalPaletteSize = kFullTableSize;

constexpr std::uint8_t kSixBitMax = 63;

std::uint16_t BigEndian16(Bytes bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

std::uint16_t Little16(Bytes bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}

std::uint32_t Little32(Bytes bytes, std::size_t at) {
    return std::uint32_t{bytes[at]} | std::uint32_t{bytes[at + 1]} << 8 | std::uint32_t{bytes[at + 2]} << 16 |
           std::uint32_t{bytes[at + 3]} << 24;
}

void PutLittle16(std::vector<std::uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void PutLittle32(std::vector<std::uint8_t>& out, std::size_t value) {
    PutLittle16(out, value & 0xFFFF);
    PutLittle16(out, value >> 16);
}

void PutBigEndian16(std::vector<std::uint8_t>& out, std::size_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

Error Fail(std::size_t offset, std::string cause) {
    return {OffsetWhere(offset), std::move(cause)};
}

std::string ByteCount(std::size_t n) {
    return std::to_string(n) + (n == 1 ? " byte" : " bytes");
}

// `count` r g b triples from `at`, each stride bytes apart.
std::vector<Rgb8> Triples(Bytes bytes, std::size_t at, std::size_t count, std::size_t stride) {
    std::vector<Rgb8> colors(count);
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t p = at + i * stride;
        colors[i] = {bytes[p], bytes[p + 1], bytes[p + 2]};
    }
    return colors;
}

std::string Ignored(std::size_t extra, std::size_t count) {
    return std::to_string(extra) + (extra == 1 ? " colour" : " colours") + " beyond the file's count of " +
           std::to_string(count) + " ignored";
}

}  // namespace

Result<PaletteData> ReadAct(Bytes bytes, Warnings& warnings) {
    if (bytes.size() != kFullTableSize && bytes.size() != kActLongSize) {
        const std::size_t at = bytes.size() < kFullTableSize ? bytes.size()
                               : bytes.size() < kActLongSize ? kFullTableSize
                                                             : kActLongSize;
        return Fail(at,
                    "an act file has 768 or 772 bytes, this one " + ByteCount(bytes.size()));
    }
    PaletteData palette;
    std::size_t count = kPaletteSize;
    if (bytes.size() == kActLongSize) {
        count = BigEndian16(bytes, kActCountOffset);
        if (count == 0 || count > kPaletteSize) {
            return Fail(kActCountOffset,
                        "colour count " + std::to_string(count) + " is not 1.." + std::to_string(kPaletteSize));
        }
        const std::uint16_t transparent = BigEndian16(bytes, kActTransparentOffset);
        if (transparent != kActNoTransparent) {
            if (transparent >= count) {
                return Fail(kActTransparentOffset,
                            "transparent index " + std::to_string(transparent) + " is not among the " +
                                std::to_string(count) + " colours");
            }
            palette.transparentIndex = transparent;
        }
        // Writers fill the unused rest of the table with zeros; anything
        // else there is a colour the count leaves out.
        const auto rest = bytes.subspan(count * kRgbSize, kFullTableSize - count * kRgbSize);
        if (std::any_of(rest.begin(), rest.end(), [](std::uint8_t b) { return b != 0; })) {
            warnings.push_back(Ignored(kPaletteSize - count, count));
        }
    }
    palette.colors = Triples(bytes, 0, count, kRgbSize);
    return palette;
}

Result<PaletteData> ReadRiff(Bytes bytes, Warnings& warnings) {
    if (bytes.size() < kRiffHeaderSize) {
        return Fail(bytes.size(), "the file ends inside the RIFF header");
    }
    const auto text = [&](std::size_t at) { return std::string_view(reinterpret_cast<const char*>(&bytes[at]), 4); };
    if (text(0) != "RIFF" || text(kRiffFormOffset) != "PAL ") {
        return Fail(0, "not a RIFF palette (expected \"RIFF\" and \"PAL \")");
    }
    const std::uint64_t end = std::uint64_t{Little32(bytes, 4)} + kRiffFormOffset;
    if (end > bytes.size()) {
        return Fail(bytes.size(),
                    "the file is truncated: its RIFF header gives " + ByteCount(static_cast<std::size_t>(end)));
    }
    std::size_t at = kRiffHeaderSize;
    while (at + kChunkHeaderSize <= end) {
        const std::uint64_t size = Little32(bytes, at + 4);
        const std::size_t body = at + kChunkHeaderSize;
        if (body + size > end) {
            return Fail(at + 4, "chunk " + Shown(text(at)) + " of " +
                                           ByteCount(static_cast<std::size_t>(size)) + " runs past the end");
        }
        if (text(at) != "data") {
            at = static_cast<std::size_t>(body + size + (size & 1));
            continue;
        }
        if (size < kRiffDataHeaderSize) {
            return Fail(body, "the data chunk is too short for its version and count");
        }
        const std::uint16_t version = Little16(bytes, body);
        if (version != kRiffVersion) {
            return Fail(body, "palette version " + std::to_string(version) + ", expected 768 (0x0300)");
        }
        const std::size_t count = Little16(bytes, body + 2);
        if (count == 0 || count > kPaletteSize) {
            return Fail(body + 2,
                        "colour count " + std::to_string(count) + " is not 1.." + std::to_string(kPaletteSize));
        }
        const std::size_t held = static_cast<std::size_t>(size - kRiffDataHeaderSize) / kRiffEntrySize;
        if (held < count) {
            return Fail(static_cast<std::size_t>(body + size),
                        "the data chunk holds " + std::to_string(held) + " colours, its count says " +
                            std::to_string(count));
        }
        if (held > count) {
            warnings.push_back(Ignored(held - count, count));
        }
        return PaletteData{Triples(bytes, body + kRiffDataHeaderSize, count, kRiffEntrySize), {}, {}};
    }
    return Fail(static_cast<std::size_t>(end), "no \"data\" chunk");
}

Result<PaletteData> ReadRaw(Bytes bytes, bool sixBit) {
    if (bytes.empty()) {
        return Fail(0, "the file is empty");
    }
    if (bytes.size() > kFullTableSize) {
        return Fail(kFullTableSize,
                    "more than " + std::to_string(kPaletteSize) + " colours (" + ByteCount(bytes.size()) + ")");
    }
    if (bytes.size() % kRgbSize != 0) {
        return Fail(bytes.size() - bytes.size() % kRgbSize,
                    "the file ends inside a colour (" + ByteCount(bytes.size()) + ", not a multiple of 3)");
    }
    PaletteData palette;
    palette.colors = Triples(bytes, 0, bytes.size() / kRgbSize, kRgbSize);
    if (sixBit) {
        const auto high = std::find_if(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b > kSixBitMax; });
        if (high != bytes.end()) {
            return Fail(static_cast<std::size_t>(high - bytes.begin()),
                        "value " + std::to_string(*high) + " is not a 6-bit component 0..63");
        }
        for (Rgb8& c : palette.colors) {
            c = {ExpandSixBit(c.r), ExpandSixBit(c.g), ExpandSixBit(c.b)};
        }
    }
    return palette;
}

Result<PaletteData> ReadPlaypal(Bytes bytes, int paletteIndex) {
    if (bytes.empty() || bytes.size() % kPlaypalPaletteSize != 0) {
        return Fail(bytes.size() - bytes.size() % kPlaypalPaletteSize,
                    "a PLAYPAL lump is a whole number of 768-byte palettes, this one " + ByteCount(bytes.size()));
    }
    const std::size_t palettes = bytes.size() / kPlaypalPaletteSize;
    if (paletteIndex < 0 || static_cast<std::size_t>(paletteIndex) >= palettes) {
        return Error{"", "palette index " + std::to_string(paletteIndex) + " is not 0.." + std::to_string(palettes - 1),
                     ErrorKind::kBadSettings};
    }
    return PaletteData{
        Triples(bytes, static_cast<std::size_t>(paletteIndex) * kPlaypalPaletteSize, kPaletteSize, kRgbSize), {}, {}};
}

// The 768-byte form when it says everything; otherwise the 772-byte one.
std::vector<std::uint8_t> WriteAct(const PaletteData& palette) {
    std::vector<std::uint8_t> bytes(kFullTableSize, 0);
    for (std::size_t i = 0; i < palette.colors.size(); ++i) {
        bytes[i * kRgbSize] = palette.colors[i].r;
        bytes[i * kRgbSize + 1] = palette.colors[i].g;
        bytes[i * kRgbSize + 2] = palette.colors[i].b;
    }
    if (palette.colors.size() != kPaletteSize || palette.transparentIndex) {
        PutBigEndian16(bytes, palette.colors.size());
        PutBigEndian16(bytes, palette.transparentIndex ? static_cast<std::size_t>(*palette.transparentIndex)
                                                       : kActNoTransparent);
    }
    return bytes;
}

std::vector<std::uint8_t> WriteRiff(const PaletteData& palette) {
    const std::size_t dataSize = kRiffDataHeaderSize + palette.colors.size() * kRiffEntrySize;
    // "RIFF", its size (set below), "PAL ", the data chunk's id; then the
    // data chunk's size and body.
    constexpr std::string_view kTags = "RIFF    PAL data";
    std::vector<std::uint8_t> bytes(kTags.size());
    std::copy(kTags.begin(), kTags.end(), bytes.begin());
    const std::size_t riffSize = kRiffHeaderSize - kRiffFormOffset + kChunkHeaderSize + dataSize;
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[4 + i] = static_cast<std::uint8_t>(riffSize >> (8 * i));
    }
    PutLittle32(bytes, dataSize);
    PutLittle16(bytes, kRiffVersion);
    PutLittle16(bytes, palette.colors.size());
    for (const Rgb8 c : palette.colors) {
        bytes.insert(bytes.end(), {c.r, c.g, c.b, 0});
    }
    return bytes;
}

std::vector<std::uint8_t> WriteRaw(const PaletteData& palette, bool sixBit) {
    std::vector<std::uint8_t> bytes;
    for (const Rgb8 c : palette.colors) {
        if (sixBit) {
            bytes.insert(bytes.end(), {SixBit(c.r), SixBit(c.g), SixBit(c.b)});
        } else {
            bytes.insert(bytes.end(), {c.r, c.g, c.b});
        }
    }
    return bytes;
}

}  // namespace paltab::palette_io
