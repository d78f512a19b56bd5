// PNG images in memory: decoding any PNG to RGBA (encoding an indexed one is
// in png/indexed8.hpp).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "paltab/palette_formats.hpp"
#include "paltab/types.hpp"

namespace paltab {

// The pixel limit DecodePng applies unless a caller asks for another (see
// kDefaultMaxPngPixels for the reason of its value).
inline constexpr std::uint64_t kDefaultMaxPixels = kDefaultMaxPngPixels;

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

}  // namespace paltab
