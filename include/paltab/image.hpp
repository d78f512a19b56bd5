// Images in memory and the PNG codec: any PNG decoded to RGBA (with its
// palette), indexed PNGs encoded for speed.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "paltab/types.hpp"

namespace paltab {

// The largest image (width x height) decoded unless a caller allows more:
// 32 Mi pixels is 8192 x 4096, more than any palette swatch or 256-colour
// picture needs, and bounds the decoded image to 128 MiB of RGBA. A PNG
// declares its size before any image data, so a larger one is refused
// unread, however small the file (a few hundred bytes can declare
// 65535 x 65535).
inline constexpr std::uint64_t kDefaultMaxPixels = std::uint64_t{1} << 25;

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

    Rgb8 ColorAt(int x, int y) const;
};

// Decodes a PNG of any colour type and bit depth: 16-bit samples are scaled
// to 8 bits, palette entries and grey expanded to RGB, tRNS turned into
// alpha (opaque where the file has none). No gamma or colour-space
// conversion: the samples are the file's. A file that does not begin with
// the PNG signature, or whose header declares more than `maxPixels` pixels
// (width x height), is refused from its first 24 bytes. Every ancillary
// chunk but tRNS is skipped unread (texts, profiles, private chunks), so
// that memory goes to the pixels and a fixed amount besides. On failure (no
// PNG signature, a truncated or corrupt file, too large, out of memory)
// returns nothing and sets `error` to one line.
std::optional<DecodedImage> DecodePng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels,
                                      std::string& error);

// The same for the file at `path`, read as the decoder goes rather than held
// whole: a file that is no PNG, or too large an image, is refused after its
// first 24 bytes. `error` is the cause alone ("No such file or directory",
// "bad PNG: ..."), for the caller to name the file.
std::optional<DecodedImage> DecodePngFile(const std::string& path, std::uint64_t maxPixels, std::string& error);

// The 8-bit indexed PNG file of an image of `width` x `height` palette
// indices (rows top to bottom), always 8 bits per pixel so that every byte of
// the image data is the index itself, whatever the palette's size. `palette`
// (1..256 colours) is the PLTE in order; `transparentIndex`, when given, is
// the one fully transparent entry (tRNS).
// Rows are stored unfiltered and compressed at zlib's fastest level: indexed
// rows gain little from filters, and a 4096 x 4096 image is written in a
// small part of a second. Fails (nothing, `error` set) on sizes that do not
// agree, an index outside the palette, a libpng error or too little memory.
std::optional<std::vector<std::uint8_t>> EncodeIndexedPng(int width, int height,
                                                          std::span<const std::uint8_t> indices,
                                                          std::span<const Rgb8> palette,
                                                          std::optional<int> transparentIndex, std::string& error);

}  // namespace paltab
