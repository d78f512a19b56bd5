// The palette formats' table, the dispatch to each reader and writer, and
// the file wrappers.
#include <algorithm>
#include <array>
#include <cctype>
#include <new>

#include "io/file_io.hpp"
#include "palette/readers.hpp"
#include "paltab/palette_text.hpp"

namespace paltab {
namespace {

using palette_io::Bytes;

constexpr std::array<FormatInfo, 11> kFormats{{
    {PaletteFormat::kText, "text", true, true, "content that reads as one, whatever the name; anything else",
     "the generator's palette text: optional PAL header, lines \"r g b\""},
    {PaletteFormat::kGpl, "gpl", true, true, "first line \"GIMP Palette\"",
     "GIMP palette: Name:, Columns:, lines \"r g b name\" (RGBA: \"r g b a\")"},
    {PaletteFormat::kJasc, "jasc", true, true, "first line \"JASC-PAL\"",
     "JASC-PAL: version 0100, the count, then that many \"r g b\" lines"},
    {PaletteFormat::kAct, "act", true, true, "extension .act",
     "Photoshop colour table: 768 bytes, or 772 with count and transparent index"},
    {PaletteFormat::kRiff, "riff", true, true, "bytes \"RIFF\" ... \"PAL \"",
     "Microsoft RIFF palette: a data chunk of r g b flags"},
    {PaletteFormat::kRaw, "raw", true, true, "extension .pal, content that reads as no text palette",
     "3 x N bytes of 8-bit r g b, N <= 256"},
    {PaletteFormat::kVga, "vga", true, true, "a raw .pal whose every byte is 0..63 (a guess; --format raw overrides)",
     "3 x N bytes of 6-bit r g b (0..63); writing drops the low two bits"},
    {PaletteFormat::kPlaypal, "playpal", true, false, "10752 bytes or the name PLAYPAL, content no text palette",
     "a PLAYPAL lump: 14 palettes of 768 bytes, palette 0 or --palette-index N"},
    {PaletteFormat::kHex, "hex", true, true, "content that reads as one, or extension .hex",
     "Lospec hex: one rrggbb per line; also #rrggbb, #rgb, #rrggbbaa (alpha ignored)"},
    {PaletteFormat::kPaintNet, "paintnet", true, true, "content that reads as one: ; comments, 8-digit lines",
     "Paint.NET: ; comment lines, one aarrggbb per line (alpha ignored)"},
    {PaletteFormat::kPng, "png", true, true, "PNG signature",
     "indexed PNG: its PLTE; other PNG: distinct colours in order; writes a swatch image"},
}};

using palette_io::AsText;
using palette_io::IsPng;
using palette_io::IsTextFormat;
using palette_io::Lower;

}  // namespace

namespace palette_io {

std::string LineWhere(int number) {
    return "line " + std::to_string(number);
}

std::string OffsetWhere(std::size_t offset) {
    return "offset " + std::to_string(offset);
}

}  // namespace palette_io

std::span<const FormatInfo> PaletteFormats() {
    return kFormats;
}

const FormatInfo& InfoOf(PaletteFormat format) {
    return kFormats[static_cast<std::size_t>(format)];
}

std::optional<PaletteFormat> FindFormat(std::string_view name) {
    const std::string lower = Lower(name);
    for (const FormatInfo& info : kFormats) {
        if (info.name == lower) {
            return info.format;
        }
    }
    return std::nullopt;
}

Result<PaletteData> ReadPalette(std::span<const std::uint8_t> bytes, PaletteFormat format,
                                const PaletteReadOptions& options, std::vector<std::string>& warnings) {
    using namespace palette_io;
    if (IsTextFormat(format) && HasUtf16Mark(bytes)) {
        const auto utf8 = Utf16ToUtf8(bytes);
        return utf8 ? ReadPalette(*utf8, format, options, warnings) : utf8.error();
    }
    switch (format) {
        case PaletteFormat::kText: return ReadText(bytes);
        case PaletteFormat::kGpl: return ReadGpl(bytes);
        case PaletteFormat::kJasc: return ReadJasc(bytes);
        case PaletteFormat::kAct: return ReadAct(bytes, warnings);
        case PaletteFormat::kRiff: return ReadRiff(bytes, warnings);
        case PaletteFormat::kRaw: return ReadRaw(bytes, false);
        case PaletteFormat::kVga: return ReadRaw(bytes, true);
        case PaletteFormat::kPlaypal: return ReadPlaypal(bytes, options.paletteIndex);
        case PaletteFormat::kHex: return ReadHex(bytes);
        case PaletteFormat::kPaintNet: return ReadPaintNet(bytes);
        case PaletteFormat::kPng: return ReadPngPalette(bytes, options.maxPngPixels, warnings);
    }
    return Error{"", "unknown format", ErrorKind::kBadSettings};
}

Result<std::vector<std::uint8_t>> WritePalette(const PaletteData& palette, PaletteFormat format,
                                               std::vector<std::string>& warnings) {
    using namespace palette_io;
    const FormatInfo& info = InfoOf(format);
    if (!info.writes) {
        return Error{"", "the " + std::string(info.name) + " format is read only", ErrorKind::kBadSettings};
    }
    if (palette.colors.empty() || palette.colors.size() > kPaletteSize) {
        return Error{"", "a palette holds 1 to " + std::to_string(kPaletteSize) + " colours, not " +
                             std::to_string(palette.colors.size())};
    }
    if (palette.transparentIndex &&
        (*palette.transparentIndex < 0 || static_cast<std::size_t>(*palette.transparentIndex) >= palette.colors.size())) {
        return Error{"",
                     "transparent index " + std::to_string(*palette.transparentIndex) + " is not among the colours"};
    }
    if (palette.transparentIndex && format != PaletteFormat::kAct && format != PaletteFormat::kPng) {
        warnings.push_back("the " + std::string(info.name) + " format has no transparent index; index " +
                           std::to_string(*palette.transparentIndex) + " is written as an ordinary colour");
    }
    if (format == PaletteFormat::kVga) {
        const auto lossy = std::count_if(palette.colors.begin(), palette.colors.end(), [](Rgb8 c) {
            return ExpandSixBit(SixBit(c.r)) != c.r || ExpandSixBit(SixBit(c.g)) != c.g ||
                   ExpandSixBit(SixBit(c.b)) != c.b;
        });
        if (lossy != 0) {
            warnings.push_back("vga keeps 6 bits per component: " + std::to_string(lossy) +
                               (lossy == 1 ? " colour loses" : " colours lose") + " its low bits (lossy)");
        }
    }
    switch (format) {
        case PaletteFormat::kText: return WriteText(palette);
        case PaletteFormat::kGpl: return WriteGpl(palette);
        case PaletteFormat::kJasc: return WriteJasc(palette);
        case PaletteFormat::kAct: return WriteAct(palette);
        case PaletteFormat::kRiff: return WriteRiff(palette);
        case PaletteFormat::kRaw: return WriteRaw(palette, false);
        case PaletteFormat::kVga: return WriteRaw(palette, true);
        case PaletteFormat::kHex: return WriteHex(palette);
        case PaletteFormat::kPaintNet: return WritePaintNet(palette);
        case PaletteFormat::kPng: return WritePngPalette(palette);
        case PaletteFormat::kPlaypal: break;
    }
    return Error{"", "unknown format", ErrorKind::kBadSettings};
}

namespace {

Error TooLarge(const std::string& path, std::string_view what) {
    return CannotRead(path, Error{"",
                                  "larger than " + std::to_string(kMaxPaletteFileSize >> 20) +
                                      " MiB, too large for " + std::string(what),
                                  ErrorKind::kTooLarge});
}

std::string PaletteOfFormat(PaletteFormat format) {
    return std::string(format == PaletteFormat::kAct ? "an " : "a ") + std::string(InfoOf(format).name) + " palette";
}

}  // namespace

Result<std::vector<std::uint8_t>> ReadPaletteFileBytes(const std::string& path) {
    // One byte more than allowed tells a file at the limit from a larger one.
    Result<std::vector<std::uint8_t>> bytes = ReadFileBytes(path, kMaxPaletteFileSize + 1);
    if (bytes && bytes->size() > kMaxPaletteFileSize) {
        return TooLarge(path, "a palette");
    }
    return bytes;
}

Result<PaletteFile> ReadPaletteFile(const std::string& path, std::optional<PaletteFormat> forced,
                                    const PaletteReadOptions& options, std::vector<std::string>& warnings) try {
    // No more than any palette but a PNG can take; a PNG is decoded from the
    // file as it is read instead.
    Result<std::vector<std::uint8_t>> read = ReadFileBytes(path, kMaxPaletteFileSize + 1);
    if (!read) {
        return std::move(read).error();
    }
    std::vector<std::uint8_t> bytes = std::move(read).value();
    PaletteFormat format = PaletteFormat::kPng;
    std::vector<std::string> found;
    Result<PaletteData> palette = Error{};
    if (forced ? *forced == PaletteFormat::kPng : IsPng(bytes)) {
        bytes = {};
        palette = palette_io::ReadPngPaletteFile(path, options.maxPngPixels, found);
    } else {
        if (forced) {
            format = *forced;
        } else if (bytes.size() <= kMaxPaletteFileSize) {
            const DetectedFormat detected = DetectPaletteFormat(bytes, path);
            format = detected.format;
            if (detected.guessedVga) {
                found.push_back(
                    "every byte is 0..63, read as vga (6-bit components); give the format raw to read 8-bit ones");
            }
        } else {
            format = PaletteFormat::kText;
        }
        if (bytes.size() > kMaxPaletteFileSize) {
            return TooLarge(path, PaletteOfFormat(format));
        }
        palette = ReadPalette(bytes, format, options, found);
    }
    if (!palette) {
        return CannotRead(path, std::move(palette).error());
    }
    for (const std::string& warning : found) {
        warnings.push_back(QuotedPath(path) + ": " + warning);
    }
    return PaletteFile{std::move(palette).value(), format};
} catch (const std::bad_alloc&) {
    return CannotRead(path, Error{"", "out of memory", ErrorKind::kTooLarge});
}

std::optional<std::string> GeneratorReadsDifferently(std::span<const std::uint8_t> bytes,
                                                     std::span<const Rgb8> colors) {
    using palette_io::HasUtf16Mark;
    std::string_view cause;
    if (HasUtf16Mark(bytes)) {
        cause = "the file is UTF-16 text, which paltab reads as bytes";
    } else if (AsText(bytes).starts_with("\xEF\xBB\xBF")) {
        cause = "the file begins with a UTF-8 byte order mark, which paltab reads as part of the first line";
    } else if (std::find(bytes.begin(), bytes.end(), std::uint8_t{'\n'}) == bytes.end() &&
               std::find(bytes.begin(), bytes.end(), std::uint8_t{'\r'}) != bytes.end()) {
        cause = "its lines end in a carriage return alone, which paltab does not take as a line end";
    } else {
        return std::nullopt;
    }
    const Palette theirs = ReadPaletteText(bytes).palette;
    const Palette ours = ToGeneratorPalette(colors);
    for (std::size_t i = 0; i < kPaletteSize; ++i) {
        if (theirs[i] != ours[i]) {
            const PaletteEntry e = theirs[i];
            const std::string entry = IsUnused(e) ? std::string("unused")
                                                  : std::to_string(e.r) + " " + std::to_string(e.g) + " " +
                                                        std::to_string(e.b);
            return "paltab would read this file differently, entry " + std::to_string(i) + " as " + entry +
                   ": " + std::string(cause);
        }
    }
    return std::nullopt;
}

Status WritePaletteFile(const std::string& path, const PaletteData& palette, PaletteFormat format,
                        std::vector<std::string>& warnings) {
    std::vector<std::string> found;
    const Result<std::vector<std::uint8_t>> bytes = WritePalette(palette, format, found);
    if (!bytes) {
        return CannotWrite(path, bytes.error());
    }
    for (const std::string& warning : found) {
        warnings.push_back(QuotedPath(path) + ": " + warning);
    }
    return WriteFileBytes(path, *bytes);
}

std::vector<std::string> DuplicateColorWarnings(std::span<const Rgb8> colors) {
    std::vector<std::string> warnings;
    for (std::size_t i = 0; i < colors.size(); ++i) {
        const auto earlier = std::find(colors.begin(), colors.begin() + static_cast<std::ptrdiff_t>(i), colors[i]);
        if (earlier != colors.begin() + static_cast<std::ptrdiff_t>(i)) {
            const Rgb8 c = colors[i];
            warnings.push_back("entry " + std::to_string(i) + " repeats entry " +
                               std::to_string(earlier - colors.begin()) + " (" + std::to_string(c.r) + " " +
                               std::to_string(c.g) + " " + std::to_string(c.b) + ") and is never chosen");
        }
    }
    return warnings;
}

Palette ToGeneratorPalette(std::span<const Rgb8> colors) {
    Palette palette{};
    for (std::size_t i = 0; i < colors.size() && i < kPaletteSize; ++i) {
        palette[i] = {colors[i].r, colors[i].g, colors[i].b};
    }
    return palette;
}

}  // namespace paltab
