// Palettes in the formats editors and games write: one strict reader and one
// writer per format over bytes in memory, format detection, and thin file
// wrappers.
//
//   name      content                                               recognised by
//   text      optional "PAL" header line and count line, then       reading as one
//             lines "r g b" (0..255)
//   gpl       "GIMP Palette", optional Name:/Columns:/Channels:      first line "GIMP Palette"
//             lines, lines "r g b [name]" ("r g b a" with RGBA)
//   jasc      "JASC-PAL", "0100", count, count lines "r g b"         first line "JASC-PAL"
//   act       768 bytes r g b; or 772: + big-endian u16 count,       extension .act
//             big-endian u16 transparent index (0xFFFF: none)
//   riff      "RIFF" u32 size "PAL " "data" u32 size u16 0x0300      "RIFF" at 0, "PAL " at 8
//             u16 count, count x (r g b flags), little-endian
//   raw       3 x N bytes r g b, N <= 256                            extension .pal
//   vga       the same with 6-bit components 0..63                   .pal whose every byte <= 63
//   playpal   14 x 768 bytes, palette 0 or options.paletteIndex      10752 bytes, or name PLAYPAL
//   hex       one "rrggbb", "#rrggbb", "#rgb" or "#rrggbbaa"         reading as one, or .hex
//             per line
//   paintnet  ";" comment lines, one "aarrggbb" per line             reading as one, or .txt
//                                                                    with ";" and 8 hex digits
//   png       indexed: PLTE in order; otherwise distinct colours     PNG signature
//             in order of first appearance, row by row
//
// Every reader is strict: a number outside 0..255, a line with fewer than
// three numbers, a count that disagrees with the lines, a short binary file,
// no colour at all or more than 256 colours is an Error of kind kBadInput
// whose `where` names the line (1-based, text formats: "line 7") or byte
// offset (binary formats: "offset 768"). In text and gpl,
// blank lines and lines beginning with '#' are skipped; text after the last
// number of a colour line is allowed (GIMP's colour names). A hex line is a
// colour or blank. Lines end in LF, CR LF or CR; text formats also read
// UTF-16 with its byte order mark, and a UTF-8 byte order mark is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paltab/image.hpp"
#include "paltab/result.hpp"
#include "paltab/types.hpp"

namespace paltab {

enum class PaletteFormat { kText, kGpl, kJasc, kAct, kRiff, kRaw, kVga, kPlaypal, kHex, kPaintNet, kPng };

// What a palette file holds: up to kPaletteSize colours in order, and what
// the format carried besides.
struct PaletteData {
    std::vector<Rgb8> colors;
    std::string name;                     // gpl Name:, empty when none
    std::optional<int> transparentIndex;  // act 772 form, png tRNS; < colors.size()
};

struct FormatInfo {
    PaletteFormat format;
    std::string_view name;  // as given to --format
    bool reads;
    bool writes;
    std::string_view recognisedBy;
    std::string_view description;
};

// Every format, in the order of PaletteFormat.
std::span<const FormatInfo> PaletteFormats();
const FormatInfo& InfoOf(PaletteFormat format);
// The format called `name` ("gpl", "paintnet"...), ignoring case.
std::optional<PaletteFormat> FindFormat(std::string_view name);

// A PNG palette is decoded with the image codec's pixel limit.
inline constexpr std::uint64_t kDefaultMaxPngPixels = kDefaultMaxPixels;

struct PaletteReadOptions {
    int paletteIndex = 0;  // playpal: which of its palettes
    std::uint64_t maxPngPixels = kDefaultMaxPngPixels;
};

struct DetectedFormat {
    PaletteFormat format = PaletteFormat::kText;
    // A .pal whose every byte is 0..63, taken for vga: a guess worth a
    // warning, since a very dark raw palette looks the same.
    bool guessedVga = false;
};

// The format of `bytes`. Content decides first: the PNG signature, RIFF
// PAL, the first line "GIMP Palette" or "JASC-PAL", then the one text
// format (text, paintnet, hex) that reads the whole file, whatever its name
// or size (UTF-16 text is text of some format, never binary). Only content
// that reads as no text palette goes by its size and the name of
// `pathOrName`: 10752 bytes or the name PLAYPAL, .act, .pal (raw, or vga
// when every byte is 0..63) for binary content, and for printable bytes
// without a line end in a size that format can have; then .hex, .txt with
// ';' comments (paintnet), and text.
DetectedFormat DetectPaletteFormat(std::span<const std::uint8_t> bytes, std::string_view pathOrName);

// The format to write for a file name: .gpl, .act, .hex, .png, .txt (text).
// Nothing for .pal, which jasc, riff, raw and vga all use, or an unknown
// extension.
std::optional<PaletteFormat> FormatOfOutputName(std::string_view path);

// Reads `bytes` as `format`. Fails with kBadInput for bytes that are no such
// palette, kTooLarge for a png over options.maxPngPixels and kBadSettings
// for a playpal index past its palettes. Appends to `warnings` what was read
// but not used (an act's or riff's colours beyond its count, a png
// transparency it cannot express).
Result<PaletteData> ReadPalette(std::span<const std::uint8_t> bytes, PaletteFormat format,
                                const PaletteReadOptions& options, std::vector<std::string>& warnings);

// The bytes of `palette` in `format`. Fails with kBadSettings for a format
// that is not written (playpal), kBadInput for no colours, more than
// kPaletteSize colours or a transparent index outside them. Appends a
// warning when the format loses something: vga's low two bits, or a
// transparent index the format has no place for.
Result<std::vector<std::uint8_t>> WritePalette(const PaletteData& palette, PaletteFormat format,
                                               std::vector<std::string>& warnings);

// Palette files of every format but png larger than this are refused
// before they are held: 256 colour lines with names and comments stay
// within tens of kilobytes, act and raw files are at most 772 and 768
// bytes (their readers refuse any other size), a PLAYPAL of 14 palettes is
// 10752 bytes. A png is decoded from the file as it is read, its cost
// bounded by its declared pixels (PaletteReadOptions::maxPngPixels).
inline constexpr std::size_t kMaxPaletteFileSize = std::size_t{1} << 20;

// The file wrappers below fail with an Error that names the file: its
// Message() is "cannot read 'x': No such file or directory" (kIo), or the
// reader's error with the file's name in front.

// Reads the whole file at `path`, refusing one larger than
// kMaxPaletteFileSize (kTooLarge) after reading no more than one byte past
// it.
Result<std::vector<std::uint8_t>> ReadPaletteFileBytes(const std::string& path);

struct PaletteFile {
    PaletteData palette;
    PaletteFormat format = PaletteFormat::kText;  // as forced, or detected
};

// Reads the palette file at `path` in `forced` format, or the detected one.
// Reads no more than kMaxPaletteFileSize and one byte of it, a png
// excepted, which is decoded as it is read. Fails as ReadPalette does, or
// with kTooLarge for a larger file or too little memory; the Message() is
// one line:
//   cannot read 'fire.gpl': line 7: expected three numbers 0..255, found "12 300 4"
// Warnings (a vga guess, colours beyond the file's count) are prefixed with
// the quoted path.
Result<PaletteFile> ReadPaletteFile(const std::string& path, std::optional<PaletteFormat> forced,
                                    const PaletteReadOptions& options, std::vector<std::string>& warnings);

// Writes `palette` as `format` to `path`, whole or not at all. Fails as
// WritePalette does, or with kIo ("cannot write 'x.act': ...").
Status WritePaletteFile(const std::string& path, const PaletteData& palette, PaletteFormat format,
                        std::vector<std::string>& warnings);

// For a palette text file `bytes` that the strict reader read as `colors`:
// one line saying how paltab would read it otherwise, where the difference
// cannot be seen in an editor (a UTF-8 byte order mark, which paltab reads
// as part of the first line; line ends of a CR alone; UTF-16). Nothing when
// paltab reads the same palette.
std::optional<std::string> GeneratorReadsDifferently(std::span<const std::uint8_t> bytes,
                                                     std::span<const Rgb8> colors);

// One warning for each colour that repeats an earlier one: the tables never
// choose it ("entry 17 repeats entry 3 (255 0 0) and is never chosen").
std::vector<std::string> DuplicateColorWarnings(std::span<const Rgb8> colors);

// The generator's palette: N colours fill entries 0..N-1, the rest unused.
// Colours beyond kPaletteSize are ignored.
Palette ToGeneratorPalette(std::span<const Rgb8> colors);

}  // namespace paltab
