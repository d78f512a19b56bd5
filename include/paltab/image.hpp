// Images in memory and the PNG codec: any PNG decoded to RGBA (with its
// palette), indexed PNGs encoded for speed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "paltab/result.hpp"
#include "paltab/types.hpp"

namespace paltab {

// The largest image (width x height) decoded unless a caller allows more:
// 32 Mi pixels is 8192 x 4096, more than any palette swatch or 256-colour
// picture needs, and bounds the decoded image to 128 MiB of RGBA. A PNG
// declares its size before any image data, so a larger one is refused
// unread, however small the file (a few hundred bytes can declare
// 65535 x 65535).
inline constexpr std::uint64_t kDefaultMaxPixels = std::uint64_t{1} << 25;

// A sprite's offsets, as the grAb chunk of a Doom PNG carries them: where its
// origin lies relative to its top-left pixel.
struct ImageOffsets {
    std::int32_t x = 0;
    std::int32_t y = 0;

    friend bool operator==(const ImageOffsets&, const ImageOffsets&) = default;
};

struct DecodedImage {
    int width = 0;
    int height = 0;
    // Four bytes per pixel, r g b a, rows top to bottom, no padding.
    std::vector<std::uint8_t> rgba;
    // Colour type 3 (palette). Its PLTE in file order, and the tRNS alpha of
    // its first entries (entries past the end are opaque).
    bool indexed = false;
    std::vector<Rgb8> plte;
    std::vector<std::uint8_t> plteAlpha;
    // With `indexed`: each pixel's palette index as stored, rows top to
    // bottom (an index past the PLTE, which draws black, included).
    std::vector<std::uint8_t> indices;
    // The first grAb chunk of 8 bytes (big-endian signed x, y), wherever it
    // lies before IEND.
    std::optional<ImageOffsets> offsets;

    Rgb8 ColorAt(int x, int y) const;
};

// Decodes a PNG of any colour type and bit depth: 16-bit samples are scaled
// to 8 bits, palette entries and grey expanded to RGB, tRNS turned into
// alpha (opaque where the file has none). No gamma or colour-space
// conversion: the samples are the file's. A file that does not begin with
// the PNG signature, or whose header declares more than `maxPixels` pixels
// (width x height), is refused from its first 24 bytes. Every ancillary
// chunk but tRNS and grAb is skipped unread (texts, profiles, private chunks), so
// that memory goes to the pixels and a fixed amount besides. Fails with
// kBadInput (no PNG signature, a truncated or corrupt file) or kTooLarge
// (over `maxPixels`, out of memory), the cause one line.
Result<DecodedImage> DecodePng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);

// The same for the file at `path`, read as the decoder goes rather than held
// whole: a file that is no PNG, or too large an image, is refused after its
// first 24 bytes. The error names the file ("cannot read 'x.png': bad PNG:
// ..."); one that cannot be opened or read fails with kIo.
Result<DecodedImage> DecodePngFile(const std::string& path, std::uint64_t maxPixels);

// The 8-bit indexed PNG file of an image of `width` x `height` palette
// indices (rows top to bottom), always 8 bits per pixel so that every byte of
// the image data is the index itself, whatever the palette's size. `palette`
// (1..256 colours) is the PLTE in order; `transparentIndex`, when given, is
// the one fully transparent entry (tRNS).
// Rows are stored unfiltered and compressed at zlib's fastest level: indexed
// rows gain little from filters, and a 4096 x 4096 image is written in a
// small part of a second. Fails with kBadInput on sizes that do not agree or
// an index outside the palette, kOutput on a libpng error or too little
// memory.
Result<std::vector<std::uint8_t>> EncodeIndexedPng(int width, int height, std::span<const std::uint8_t> indices,
                                                   std::span<const Rgb8> palette, std::optional<int> transparentIndex);

}  // namespace paltab
