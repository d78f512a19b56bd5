// An image file to an indexed image file in one call: the size limits, the
// decoding (PNG, JPEG, GIF, BMP, PCX, TGA), the choice between keeping an
// indexed image's indices, an exact map and a search, the remap, the count of
// opaque pixels that got the transparent entry, and the encoding (PNG, BMP,
// PCX, TGA, GIF, raw). paltool's remap, the benchmark and the fuzz target all
// go through it.
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
#include "paltab/image_formats.hpp"
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
    // The output file's format: any CanWriteImageFormat takes.
    ImageFormat output = ImageFormat::kPng;
    // The format of an input whose content has no signature, which only a
    // TGA lacks; a signature (PNG, GIF, JPEG, BMP) always wins, and this
    // wins over PCX's weak one. RemapImageFile takes TGA from a .tga name
    // when this is unset.
    std::optional<ImageFormat> input;
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
    // Opaque pixels whose entry is the transparent index: only a map or kept
    // indices can give it, since a search never chooses a reserved entry.
    std::size_t opaqueTransparent = 0;
    // The input was indexed and every entry it has equals the target's entry
    // of the same index as far as both palettes go, every pixel's index
    // among them: the indices are kept as they are (whatever is reserved),
    // with no dithering. Duplicate colours keep their own entries.
    bool keptIndices = false;
    // The input was indexed in another palette: its colours were matched.
    bool otherPalette = false;
    // The input's grAb offsets (PNG), written to a PNG output.
    std::optional<ImageOffsets> offsets;
    // With measureQuality.
    std::optional<DitherQuality> quality;
    // The output file in options.output's format, with the target's palette
    // and the transparent index where the format has one (PNG, GIF).
    std::vector<std::uint8_t> file;
};

// The decoded `image` remapped and encoded. Fails with kBadSettings when the
// dithering options are out of range or the output format cannot be written
// (jpeg), kOutput when the output cannot be encoded (a side too long for the
// format). The image's pixels are released before the encoding.
Result<RemappedImage> RemapDecodedImage(DecodedImage image, const RemapTarget& target,
                                        const ImageRemapOptions& options);

// The same from an image file's bytes, its format by content (or
// options.input). Fails besides with kTooLarge for a file over the size limit
// or an image over maxPixels, and kBadInput for one that does not decode or
// is of no format read. `file` is released once decoded.
Result<RemappedImage> RemapImage(std::vector<std::uint8_t> file, const RemapTarget& target,
                                 const ImageRemapOptions& options);

// The same from the image file at `path`. Its first bytes say its format
// and, for a PNG, its size, so that a file of no format read, or a PNG over
// maxPixels, is refused from them. A PNG is read whole (at most
// ImageFileLimit bytes) for the fast decoder, or decoded by libpng as it is
// read when it is larger or no regular file (a pipe); the other formats are
// read whole, at most ImageFileLimit bytes (kTooLarge beyond). A file that
// cannot be read fails with kIo. Every error but kOutput's (the encoding's,
// which concerns the output) names the file: "cannot read 'x.png': ...".
Result<RemappedImage> RemapImageFile(const std::string& path, const RemapTarget& target,
                                     const ImageRemapOptions& options);

}  // namespace paltab
