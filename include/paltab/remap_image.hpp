// An image file to an indexed image file in one call: the size limits, the
// decoding, the choice between an exact map and a search, the remap, the
// count of opaque pixels that a map gave the transparent entry, and the
// encoding. paltool's remap, the benchmark and the fuzz target all go
// through it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "paltab/dither.hpp"
#include "paltab/exact_map.hpp"
#include "paltab/image.hpp"
#include "paltab/remap.hpp"
#include "paltab/result.hpp"
#include "paltab/table_reader.hpp"
#include "paltab/types.hpp"

namespace paltab {

// What pixels become: the palette the indices stand for, and how an entry is
// found for a colour: the exact search of `search`, or the cells of a map of
// `mapBits` per component (a table file's 5-bit map, as an engine using the
// file sees it).
struct RemapTarget {
    std::vector<Rgb8> palette;
    std::optional<MatchPalette> search;
    std::vector<std::uint8_t> map;
    int mapBits = kCellBits;
};

// The exact nearest entries of `colors` by `options`.
Result<RemapTarget> RemapTargetOfPalette(std::span<const Rgb8> colors, const MatchOptions& options);
// A table file's palette (unused entries black) and its 5-bit map.
RemapTarget RemapTargetOfTables(const ColorTableView& view);

struct ImageRemapOptions {
    DitherOptions dither;
    // Pixels with alpha below kOpaqueAlpha get this index, written as the
    // output's transparent entry; without it, alpha is ignored.
    std::optional<std::uint8_t> transparentIndex;
    // The largest image decoded, width x height; the input file may hold at
    // most ImageFileLimit(maxPixels) bytes.
    std::uint64_t maxPixels = kDefaultMaxPixels;
    // Also measure the result against the image (MeasureDitherQuality).
    bool measureQuality = false;
};

// The largest image file read for an image of at most `maxPixels` pixels:
// 8 bytes a pixel (16-bit RGBA stored uncompressed) and 16 MiB for other
// chunks, saturating at SIZE_MAX - 1.
std::uint64_t ImageFileLimit(std::uint64_t maxPixels);

struct RemappedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> indices;
    // Without a transparent index: the pixels whose alpha is below
    // kOpaqueAlpha, which get opaque colours.
    std::size_t clearPixels = 0;
    // Opaque pixels whose entry is the transparent index: only a map can give
    // it, since a search never chooses a reserved entry.
    std::size_t opaqueTransparent = 0;
    // With measureQuality.
    std::optional<DitherQuality> quality;
    // The output file: an 8-bit indexed PNG with the target's palette.
    std::vector<std::uint8_t> file;
};

// The decoded `image` remapped and encoded. Fails with kBadSettings when the
// dithering options are out of range, kOutput when the output cannot be
// encoded. The image's pixels are released before the encoding.
Result<RemappedImage> RemapDecodedImage(DecodedImage image, const RemapTarget& target,
                                        const ImageRemapOptions& options);

// The same from a PNG file's bytes. Fails besides with kTooLarge for a file
// over the size limit and kBadInput for one that does not decode (an image
// over maxPixels among them: the decoder's cause says so). `file` is
// released once decoded.
Result<RemappedImage> RemapImage(std::vector<std::uint8_t> file, const RemapTarget& target,
                                 const ImageRemapOptions& options);

// The same from the PNG file at `path`, decoded as it is read, never held
// whole. A file that cannot be read or decoded fails with kBadInput and the
// cause alone, for the caller to name the file.
Result<RemappedImage> RemapImageFile(const std::string& path, const RemapTarget& target,
                                     const ImageRemapOptions& options);

}  // namespace paltab
