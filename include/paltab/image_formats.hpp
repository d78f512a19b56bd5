// Images in the formats engines and their tools use besides PNG: readers and
// writers over bytes in memory, one unit per format.
//
//   format  reads                                     writes
//   png     8-bit-or-less palette images (libpng or    8 bits a pixel, PLTE in order, tRNS
//           the fast path), their grAb offsets         up to the transparent index, grAb
//   bmp     8-bit indexed, uncompressed, bottom-up    BITMAPINFOHEADER, bottom-up, rows
//           or top-down, 40..124-byte info headers    padded to 4 bytes, 256-entry table
//           and OS/2's 12-byte one
//   pcx     version 0..5, 8 bits, 1 plane, RLE,       version 5, 8 bits, 1 plane, RLE,
//           0x0C and 768-byte palette at the end      even bytes per line, palette at end
//   tga     colour-mapped, plain (1) or RLE (9),      colour-mapped (1), 24-bit map,
//           15/16/24/32-bit map, any origin           top-left origin
//   gif     the first frame on its logical screen,    GIF89a, 256-colour map, the
//           transparency from its graphic control     transparent index in a graphic
//           extension (giflib)                        control extension (giflib)
//   jpeg    to RGBA: grey, YCbCr, RGB, CMYK, YCCK     no
//           (libjpeg-turbo)
//   raw     no                                        width x height indices, no header
//
// Every reader checks the declared width x height against a pixel limit
// before it allocates or decodes anything, never reads past the bytes it is
// given, and fails with an Error whose cause is one line and whose `where`
// is the byte offset where it helps: kBadInput for bytes that are no such
// image, kTooLarge for an image over the limit. Writers check the image first
// (sizes, indices inside the palette) and produce nothing for a bad one.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paltab/image.hpp"
#include "paltab/palette_formats.hpp"
#include "paltab/result.hpp"
#include "paltab/types.hpp"

namespace paltab {

// The largest image (width x height) a reader decodes unless its caller
// allows more: the same 32 Mi pixels (8192 x 4096) as for PNG.
inline constexpr std::uint64_t kDefaultMaxImagePixels = kDefaultMaxPngPixels;

// Palette indices, one byte a pixel, rows top to bottom without padding.
struct IndexedImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> indices;  // width * height
    std::vector<Rgb8> palette;          // 1..256 colours; every index lies below its size
    std::optional<int> transparentIndex;
    std::optional<ImageOffsets> offsets;
};

// Four bytes a pixel, r g b a, rows top to bottom without padding.
struct RgbaImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;
};

enum class ImageFormat { kPng, kBmp, kPcx, kTga, kGif, kJpeg, kRaw };

std::string_view ImageFormatName(ImageFormat format);
// The file name extension a format is written with, with its dot: ".png",
// ".jpg", ".raw".
std::string_view ImageFormatExtension(ImageFormat format);
// The format called `name` ("bmp", "JPG"...), ignoring case; "jpg" is jpeg.
std::optional<ImageFormat> ParseImageFormat(std::string_view name);
// The format of a file name's extension (.png, .bmp, .pcx, .tga, .gif, .jpg,
// .jpeg, .raw, .lmp for a raw lump), ignoring case.
std::optional<ImageFormat> ImageFormatOfName(std::string_view path);
// The format by content: the PNG signature, "BM", a PCX header,
// "GIF87a"/"GIF89a", a JPEG start-of-image marker. A TGA has no signature:
// nothing.
std::optional<ImageFormat> DetectImageFormat(std::span<const std::uint8_t> bytes);
bool CanReadImageFormat(ImageFormat format);  // png, bmp, pcx, tga, gif, jpeg
// Every format but jpeg.
bool CanWriteImageFormat(ImageFormat format);

// Checks what every writer needs: 1 <= width, height; width * height indices;
// 1..256 palette colours; every index and the transparent index inside the
// palette. Fails with kBadInput otherwise.
Status CheckIndexedImage(const IndexedImage& image);

// The image's colours: each pixel's palette colour, alpha 0 for the
// transparent index and 255 otherwise. Expects an image CheckIndexedImage
// accepts.
RgbaImage IndexedToRgba(const IndexedImage& image);

// Readers. Each fails with kBadInput on bytes that are not such a file, a
// truncated or corrupt one or a kind the reader does not take (a 24-bit BMP,
// say), and with kTooLarge for an image over `maxPixels`.
Result<IndexedImage> ReadBmp(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);
Result<IndexedImage> ReadPcx(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);
Result<IndexedImage> ReadTga(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);
// The first frame, drawn on the logical screen and clipped to it: where the
// frame does not cover it, the transparent index when the frame has one, else
// the screen's background index. A screen with a zero side is taken to be
// the frame's size. The frame's local colour map, else the global one.
Result<IndexedImage> ReadGif(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);
// Baseline and progressive JPEG; alpha is 255. Adobe CMYK is converted as
// Adobe writes it (inverted ink). A truncated or corrupt file is an error,
// not a grey patch.
Result<RgbaImage> ReadJpeg(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);
// A palette PNG (DecodePngFast): its PLTE, indices and grAb offsets; the
// transparent index is its lowest entry of tRNS alpha 0 (other alpha values
// are not kept). Any other colour type is refused as not indexed.
Result<IndexedImage> ReadPng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels);

// An indexed image from any readable indexed format (png, bmp, pcx, tga, gif).
// Fails with kBadSettings for a format that is not one of them.
Result<IndexedImage> ReadIndexedImage(std::span<const std::uint8_t> bytes, ImageFormat format,
                                      std::uint64_t maxPixels);

// Writers: the file's bytes. They fail as CheckIndexedImage does, and with
// kOutput for an image larger than the format can say (65535 pixels a side
// for tga and gif, 65534 for pcx, whose even line length is a 16-bit field)
// or an encoder's failure. The palette is written in order;
// entries the palette does not have are written black. Formats without
// transparency (bmp, pcx, tga, raw) drop the transparent index: the index
// stays, and with it whatever colour the palette gives it.
// PNG: EncodeIndexedPngFast's file, with a grAb chunk before IDAT for offsets.
Result<std::vector<std::uint8_t>> WritePng(const IndexedImage& image);
Result<std::vector<std::uint8_t>> WriteBmp(const IndexedImage& image);
Result<std::vector<std::uint8_t>> WritePcx(const IndexedImage& image);
Result<std::vector<std::uint8_t>> WriteTga(const IndexedImage& image);
Result<std::vector<std::uint8_t>> WriteGif(const IndexedImage& image);
Result<std::vector<std::uint8_t>> WriteRaw(const IndexedImage& image);

// The writer of `format`; kBadSettings for jpeg.
Result<std::vector<std::uint8_t>> WriteIndexedImage(const IndexedImage& image, ImageFormat format);

}  // namespace paltab
