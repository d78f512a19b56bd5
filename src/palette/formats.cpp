// The palette formats' table, detection, the dispatch to each reader and
// writer, and the file wrappers.
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

constexpr std::size_t kRawPaletteSize = kPaletteSize * 3;     // 768
constexpr std::size_t kPlaypalSize = 14 * kRawPaletteSize;    // 10752
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return lower;
}

std::string_view BaseName(std::string_view path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// ".gpl" of "dir/fire.GPL", lower case; empty when there is none.
std::string Extension(std::string_view path) {
    const std::string_view base = BaseName(path);
    const std::size_t dot = base.find_last_of('.');
    return dot == std::string_view::npos || dot == 0 ? std::string() : Lower(base.substr(dot));
}

std::string_view AsText(Bytes bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool IsPng(Bytes bytes) {
    return AsText(bytes).starts_with(kPngSignature);
}

// The first line, trimmed, after a possible byte order mark.
std::string_view FirstLine(Bytes bytes) {
    palette_io::TextLines lines(bytes.first(std::min<std::size_t>(bytes.size(), 256)));
    palette_io::TextLine line;
    return lines.Next(line) ? palette_io::Trimmed(line.text) : std::string_view();
}

// Control bytes other than white space, before the Ctrl-Z that would end a
// text: a palette of binary triples nearly always has some (black alone
// gives three zeros), text has none.
bool HasControlBytes(Bytes bytes) {
    const auto end = std::find(bytes.begin(), bytes.end(), std::uint8_t{0x1A});
    return std::any_of(bytes.begin(), end, [](std::uint8_t b) {
        return (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != '\v') || b == 0x7F;
    });
}

// UTF-16 that fails to decode (cut short, say) but begins as ASCII text
// does: its first units after the byte order mark printable characters or
// white space. Binary triples after an FF FE colour almost never look so.
bool BeginsAsUtf16Text(Bytes bytes) {
    constexpr std::size_t kUnitsLooked = 16;
    const bool little = bytes[0] == 0xFF;
    std::size_t units = 0;
    for (std::size_t at = 2; at + 1 < bytes.size() && units < kUnitsLooked; at += 2, ++units) {
        const std::uint8_t high = little ? bytes[at + 1] : bytes[at];
        const std::uint8_t low = little ? bytes[at] : bytes[at + 1];
        if (high != 0 || (low < 0x20 && low != '\t' && low != '\n' && low != '\r') || low >= 0x7F) {
            return false;
        }
    }
    return units > 0;
}

bool HasLineEnd(Bytes bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b == '\n' || b == '\r'; });
}

// Paint.NET's shape: ';' comment lines, and a first other line of eight hex
// digits.
bool LooksLikePaintNet(Bytes bytes) {
    bool comment = false;
    palette_io::TextLines lines(bytes);
    palette_io::TextLine line;
    while (lines.Next(line)) {
        const std::string_view text = palette_io::Trimmed(line.text);
        if (text.empty()) {
            continue;
        }
        if (text.front() == ';') {
            comment = true;
            continue;
        }
        return comment && text.size() == 8 &&
               std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); });
    }
    return false;
}

bool ReadsAs(Bytes bytes, PaletteFormat format) {
    PaletteError ignored;
    switch (format) {
        case PaletteFormat::kText: return palette_io::ReadText(bytes, ignored).has_value();
        case PaletteFormat::kHex: return palette_io::ReadHex(bytes, ignored).has_value();
        case PaletteFormat::kPaintNet: return palette_io::ReadPaintNet(bytes, ignored).has_value();
        default: return false;
    }
}

bool IsTextFormat(PaletteFormat format) {
    return format == PaletteFormat::kText || format == PaletteFormat::kGpl || format == PaletteFormat::kJasc ||
           format == PaletteFormat::kHex || format == PaletteFormat::kPaintNet;
}

// The text format `bytes` is by content alone: its first line (gpl, jasc),
// or the one format whose reader takes it whole (text, paintnet, hex: no
// file reads as two of them).
std::optional<PaletteFormat> TextFormatByContent(Bytes bytes) {
    const std::string_view first = FirstLine(bytes);
    if (first == "GIMP Palette") {
        return PaletteFormat::kGpl;
    }
    if (first == "JASC-PAL") {
        return PaletteFormat::kJasc;
    }
    for (const PaletteFormat format : {PaletteFormat::kText, PaletteFormat::kPaintNet, PaletteFormat::kHex}) {
        if (ReadsAs(bytes, format)) {
            return format;
        }
    }
    return std::nullopt;
}

// Text that reads as no palette: the format its name gives, so that the
// error comes from the reader the file was meant for.
PaletteFormat TextFormatByName(Bytes bytes, std::string_view extension) {
    if (extension == ".hex") {
        return PaletteFormat::kHex;
    }
    if (extension == ".txt" && LooksLikePaintNet(bytes)) {
        return PaletteFormat::kPaintNet;
    }
    return PaletteFormat::kText;
}

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

DetectedFormat DetectPaletteFormat(std::span<const std::uint8_t> bytes, std::string_view pathOrName) {
    const std::string_view text = AsText(bytes);
    if (IsPng(bytes)) {
        return {PaletteFormat::kPng};
    }
    if (text.size() >= 12 && text.starts_with("RIFF") && text.substr(8, 4) == "PAL ") {
        return {PaletteFormat::kRiff};
    }
    const std::string extension = Extension(pathOrName);
    if (palette_io::HasUtf16Mark(bytes)) {
        // UTF-16 text is text of some format, never binary triples.
        PaletteError ignored;
        if (const auto utf8 = palette_io::Utf16ToUtf8(bytes, ignored)) {
            return {TextFormatByContent(*utf8).value_or(TextFormatByName(*utf8, extension))};
        }
        if (BeginsAsUtf16Text(bytes)) {
            return {PaletteFormat::kText};  // whose reader says where the UTF-16 fails
        }
    }
    if (const auto format = TextFormatByContent(bytes)) {
        return {*format};
    }
    // The name and the size decide only for content that reads as no text
    // palette. Printable bytes without a line end can still be binary (a
    // palette of mid tones), but only in a size the format can have;
    // otherwise they are a text palette with a fault, and read as one.
    const bool binary = HasControlBytes(bytes);
    const bool printableBinary = !binary && !HasLineEnd(bytes);
    const std::string_view base = BaseName(pathOrName);
    const bool playpalName = Lower(base.substr(0, base.find('.'))) == "playpal";
    if ((binary && (bytes.size() == kPlaypalSize || playpalName)) ||
        (printableBinary && playpalName && !bytes.empty() && bytes.size() % kRawPaletteSize == 0) ||
        (printableBinary && bytes.size() == kPlaypalSize)) {
        return {PaletteFormat::kPlaypal};
    }
    if (extension == ".act" && (binary || (printableBinary && (bytes.size() == kRawPaletteSize ||
                                                                bytes.size() == kRawPaletteSize + 4)))) {
        return {PaletteFormat::kAct};
    }
    if (extension == ".pal" &&
        (binary || (printableBinary && bytes.size() % 3 == 0 && bytes.size() <= kRawPaletteSize))) {
        const bool sixBit = std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b <= 63; });
        return {sixBit ? PaletteFormat::kVga : PaletteFormat::kRaw, sixBit};
    }
    return {TextFormatByName(bytes, extension)};
}

std::optional<PaletteFormat> FormatOfOutputName(std::string_view path) {
    const std::string extension = Extension(path);
    if (extension == ".gpl") return PaletteFormat::kGpl;
    if (extension == ".act") return PaletteFormat::kAct;
    if (extension == ".hex") return PaletteFormat::kHex;
    if (extension == ".png") return PaletteFormat::kPng;
    if (extension == ".txt") return PaletteFormat::kText;
    return std::nullopt;
}

std::optional<PaletteData> ReadPalette(std::span<const std::uint8_t> bytes, PaletteFormat format,
                                       const PaletteReadOptions& options, std::vector<std::string>& warnings,
                                       PaletteError& error) {
    using namespace palette_io;
    if (IsTextFormat(format) && HasUtf16Mark(bytes)) {
        const auto utf8 = Utf16ToUtf8(bytes, error);
        return utf8 ? ReadPalette(*utf8, format, options, warnings, error) : std::nullopt;
    }
    switch (format) {
        case PaletteFormat::kText: return ReadText(bytes, error);
        case PaletteFormat::kGpl: return ReadGpl(bytes, error);
        case PaletteFormat::kJasc: return ReadJasc(bytes, error);
        case PaletteFormat::kAct: return ReadAct(bytes, warnings, error);
        case PaletteFormat::kRiff: return ReadRiff(bytes, warnings, error);
        case PaletteFormat::kRaw: return ReadRaw(bytes, false, error);
        case PaletteFormat::kVga: return ReadRaw(bytes, true, error);
        case PaletteFormat::kPlaypal: return ReadPlaypal(bytes, options.paletteIndex, error);
        case PaletteFormat::kHex: return ReadHex(bytes, error);
        case PaletteFormat::kPaintNet: return ReadPaintNet(bytes, error);
        case PaletteFormat::kPng: return ReadPngPalette(bytes, options.maxPngPixels, warnings, error);
    }
    error = {"", "unknown format"};
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> WritePalette(const PaletteData& palette, PaletteFormat format,
                                                      std::vector<std::string>& warnings, PaletteError& error) {
    using namespace palette_io;
    const FormatInfo& info = InfoOf(format);
    if (!info.writes) {
        error = {"", "the " + std::string(info.name) + " format is read only"};
        return std::nullopt;
    }
    if (palette.colors.empty() || palette.colors.size() > kPaletteSize) {
        error = {"", "a palette holds 1 to " + std::to_string(kPaletteSize) + " colours, not " +
                         std::to_string(palette.colors.size())};
        return std::nullopt;
    }
    if (palette.transparentIndex &&
        (*palette.transparentIndex < 0 || static_cast<std::size_t>(*palette.transparentIndex) >= palette.colors.size())) {
        error = {"", "transparent index " + std::to_string(*palette.transparentIndex) + " is not among the colours"};
        return std::nullopt;
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
        case PaletteFormat::kPng: return WritePngPalette(palette, error);
        case PaletteFormat::kPlaypal: break;
    }
    error = {"", "unknown format"};
    return std::nullopt;
}

namespace {

std::string TooLarge(const std::string& path, PaletteFormat format) {
    return CannotRead(path, "larger than " + std::to_string(kMaxPaletteFileSize >> 20) + " MiB, too large for a" +
                                (format == PaletteFormat::kAct ? "n " : " ") + std::string(InfoOf(format).name) +
                                " palette");
}

}  // namespace

bool ReadPaletteFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    // One byte more than allowed tells a file at the limit from a larger one.
    if (!ReadFileBytes(path, kMaxPaletteFileSize + 1, bytes, error)) {
        return false;
    }
    if (bytes.size() > kMaxPaletteFileSize) {
        error = CannotRead(path, "larger than " + std::to_string(kMaxPaletteFileSize >> 20) +
                                     " MiB, too large for a palette");
        bytes.clear();
        return false;
    }
    return true;
}

std::optional<PaletteFile> ReadPaletteFile(const std::string& path, std::optional<PaletteFormat> forced,
                                           const PaletteReadOptions& options, std::vector<std::string>& warnings,
                                           std::string& error) try {
    // No more than any palette but a PNG can take; a PNG is decoded from the
    // file as it is read instead.
    std::vector<std::uint8_t> bytes;
    if (!ReadFileBytes(path, kMaxPaletteFileSize + 1, bytes, error)) {
        return std::nullopt;
    }
    PaletteFormat format = PaletteFormat::kPng;
    std::vector<std::string> found;
    PaletteError cause;
    std::optional<PaletteData> palette;
    if (forced ? *forced == PaletteFormat::kPng : IsPng(bytes)) {
        bytes = {};
        palette = palette_io::ReadPngPaletteFile(path, options.maxPngPixels, found, cause);
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
            error = TooLarge(path, format);
            return std::nullopt;
        }
        palette = ReadPalette(bytes, format, options, found, cause);
    }
    if (!palette) {
        error = CannotRead(path, cause.Message());
        return std::nullopt;
    }
    for (const std::string& warning : found) {
        warnings.push_back(QuotedPath(path) + ": " + warning);
    }
    return PaletteFile{std::move(*palette), format};
} catch (const std::bad_alloc&) {
    error = CannotRead(path, "out of memory");
    return std::nullopt;
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

bool WritePaletteFile(const std::string& path, const PaletteData& palette, PaletteFormat format,
                      std::vector<std::string>& warnings, std::string& error) {
    PaletteError cause;
    std::vector<std::string> found;
    const std::optional<std::vector<std::uint8_t>> bytes = WritePalette(palette, format, found, cause);
    if (!bytes) {
        error = CannotWrite(path, cause.Message());
        return false;
    }
    for (const std::string& warning : found) {
        warnings.push_back(QuotedPath(path) + ": " + warning);
    }
    return WriteFileBytes(path, *bytes, error);
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
