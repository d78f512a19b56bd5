// PNG decoding and indexed-PNG encoding for speed: libdeflate for the zlib
// stream, our own chunk parsing and row filters. The decoder takes the common
// files (8-bit grey, grey-alpha, RGB, RGBA and palette, not interlaced) and
// hands everything else to libpng, so its results are libpng's.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "paltab/image.hpp"
#include "paltab/result.hpp"
#include "paltab/types.hpp"

namespace paltab {

// The image when `bytes` is a well-formed PNG of the common kind whose pixel
// count is within `maxPixels`; nothing when the file is unusual, damaged or
// too large in any way (the caller then asks libpng, which names the cause).
// Whatever it returns equals DecodePng's result for the same bytes.
std::optional<DecodedImage> DecodeCommonPng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);

// DecodeCommonPng where it applies, DecodePng otherwise: DecodePng's results
// and messages, faster on the common files.
Result<DecodedImage> DecodePngFast(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);

// DecodePng's first check, on a file's first bytes (24 are enough): fails for
// a file without the PNG signature (kBadInput) or one whose header declares
// more than `maxPixels` pixels (kTooLarge).
Status CheckPngHeader(std::span<const std::uint8_t> prefix, std::uint64_t maxPixels);

// DecodePngFile's decoding of a file already opened: `prefix` is what was read
// of it, `file` holds the rest, read only as libpng asks for it.
// Its errors are the cause alone, for the caller to name the file.
Result<DecodedImage> DecodePngStream(std::span<const std::uint8_t> prefix, std::FILE* file, std::uint64_t maxPixels);

enum class RowFilters {
    kNone,      // every row unfiltered
    kAdaptive,  // per row, None/Sub/Up/Paeth with the least sum of |signed bytes|
};

// The defaults are the measured choice for photographs remapped to 256
// colours (bench/png_fast_bench.cpp): level 1 writes 0.87 of libpng's level-1
// size in 0.7 of its time, and level 6 saves only 2.4 % more at 3.6 times
// level 1's time; row filters make such files 1.4 times larger, as the
// indices of neighbouring colours are unrelated numbers.
struct IndexedPngSettings {
    // libdeflate's level, 1 (fastest) to 12 (smallest).
    int level = 1;
    RowFilters filters = RowFilters::kNone;
    // Threads for the row filters; 0 means one per processor.
    unsigned threads = 0;
};

// What both indexed PNG encoders refuse, with their messages: sides below 1,
// indices that do not fill the image, a palette of no or over 256 colours, a
// transparent index or a pixel's index outside it.
Status CheckIndexedPngArguments(int width, int height, std::span<const std::uint8_t> indices,
                                std::span<const Rgb8> palette, std::optional<int> transparentIndex);

// EncodeIndexedPng's file format, checks and messages (8 bits per pixel,
// PLTE in order, tRNS up to a transparent index), compressed with libdeflate;
// `offsets`, a sprite's, are written as a grAb chunk before IDAT, as Doom's
// tools write it.
// A compression level outside 1..12 fails with kBadSettings.
Result<std::vector<std::uint8_t>> EncodeIndexedPngFast(int width, int height, std::span<const std::uint8_t> indices,
                                                       std::span<const Rgb8> palette,
                                                       std::optional<int> transparentIndex,
                                                       const IndexedPngSettings& settings = {},
                                                       std::optional<ImageOffsets> offsets = std::nullopt);

}  // namespace paltab
