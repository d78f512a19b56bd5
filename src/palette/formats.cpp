// The palette formats' table, detection, the dispatch to each reader and
// writer, and the file wrappers.
#include <algorithm>
#include <array>
#include <cctype>

#include "io/file_io.hpp"
#include "palette/readers.hpp"

namespace paltab {
namespace {

using palette_io::Bytes;

constexpr std::array<FormatInfo, 11> kFormats{{
    {PaletteFormat::kText, "text", true, true, "anything not recognised otherwise",
     "the generator's palette text: optional PAL header, lines \"r g b\""},
    {PaletteFormat::kGpl, "gpl", true, true, "first line \"GIMP Palette\"",
     "GIMP palette: Name:, Columns:, lines \"r g b name\" (RGBA: \"r g b a\")"},
    {PaletteFormat::kJasc, "jasc", true, true, "first line \"JASC-PAL\"",
     "JASC-PAL: version 0100, the count, then that many \"r g b\" lines"},
    {PaletteFormat::kAct, "act", true, true, "extension .act",
     "Photoshop colour table: 768 bytes, or 772 with count and transparent index"},
    {PaletteFormat::kRiff, "riff", true, true, "bytes \"RIFF\" ... \"PAL \"",
     "Microsoft RIFF palette: a data chunk of r g b flags"},
    {PaletteFormat::kRaw, "raw", true, true, "extension .pal with binary content",
     "3 x N bytes of 8-bit r g b, N <= 256"},
    {PaletteFormat::kVga, "vga", true, true, "a raw .pal whose every byte is 0..63 (a guess; --format raw overrides)",
     "3 x N bytes of 6-bit r g b (0..63); writing drops the low two bits"},
    {PaletteFormat::kPlaypal, "playpal", true, false, "10752 bytes, or the name PLAYPAL",
     "a PLAYPAL lump: 14 palettes of 768 bytes, palette 0 or --palette-index N"},
    {PaletteFormat::kHex, "hex", true, true, "extension .hex", "Lospec hex: one rrggbb per line, optional #"},
    {PaletteFormat::kPaintNet, "paintnet", true, true, "extension .txt with ; comments and 8-digit lines",
     "Paint.NET: ; comment lines, one aarrggbb per line (alpha ignored)"},
    {PaletteFormat::kPng, "png", true, true, "PNG signature",
     "indexed PNG: its PLTE; other PNG: distinct colours in order; writes a swatch image"},
}};

constexpr std::size_t kPlaypalSize = 14 * kPaletteSize * 3;  // 10752
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

// The first line, trimmed, after a possible byte order mark.
std::string_view FirstLine(Bytes bytes) {
    const auto lines = palette_io::SplitLines(bytes.first(std::min<std::size_t>(bytes.size(), 256)));
    return lines.empty() ? std::string_view() : palette_io::Trimmed(lines.front().text);
}

// Text has no control bytes other than white space; a palette of binary
// triples nearly always has some (black alone gives three zeros).
bool IsBinary(Bytes bytes) {
    return std::any_of(bytes.begin(), bytes.end(), [](std::uint8_t b) {
        return (b < 0x20 && b != '\t' && b != '\n' && b != '\r' && b != '\f' && b != '\v') || b == 0x7F;
    });
}

// Paint.NET's shape: ';' comment lines, and a first other line of eight hex
// digits.
bool LooksLikePaintNet(Bytes bytes) {
    bool comment = false;
    for (const auto& line : palette_io::SplitLines(bytes)) {
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

}  // namespace

std::string PaletteError::Message() const {
    return where.empty() ? cause : where + ": " + cause;
}

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
    if (text.starts_with(kPngSignature)) {
        return {PaletteFormat::kPng};
    }
    if (text.size() >= 12 && text.starts_with("RIFF") && text.substr(8, 4) == "PAL ") {
        return {PaletteFormat::kRiff};
    }
    const std::string_view first = FirstLine(bytes);
    if (first == "GIMP Palette") {
        return {PaletteFormat::kGpl};
    }
    if (first == "JASC-PAL") {
        return {PaletteFormat::kJasc};
    }
    const std::string extension = Extension(pathOrName);
    const std::string_view base = BaseName(pathOrName);
    if (bytes.size() == kPlaypalSize || Lower(base.substr(0, base.find('.'))) == "playpal") {
        return {PaletteFormat::kPlaypal};
    }
    if (extension == ".act") {
        return {PaletteFormat::kAct};
    }
    if (extension == ".pal" && IsBinary(bytes)) {
        const bool sixBit = std::all_of(bytes.begin(), bytes.end(), [](std::uint8_t b) { return b <= 63; });
        return {sixBit ? PaletteFormat::kVga : PaletteFormat::kRaw, sixBit};
    }
    if (extension == ".hex") {
        return {PaletteFormat::kHex};
    }
    if (extension == ".txt" && LooksLikePaintNet(bytes)) {
        return {PaletteFormat::kPaintNet};
    }
    return {PaletteFormat::kText};
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

bool ReadPaletteFileBytes(const std::string& path, std::vector<std::uint8_t>& bytes, std::string& error) {
    // One byte more than allowed tells a file at the limit from a larger one.
    if (!ReadFileBytes(path, kMaxPaletteFileSize + 1, bytes, error)) {
        return false;
    }
    if (bytes.size() > kMaxPaletteFileSize) {
        error = CannotRead(path, "larger than " + std::to_string(kMaxPaletteFileSize >> 20) +
                                     " MiB, too large for a palette");
        return false;
    }
    return true;
}

std::optional<PaletteFile> ReadPaletteFile(const std::string& path, std::optional<PaletteFormat> forced,
                                           const PaletteReadOptions& options, std::vector<std::string>& warnings,
                                           std::string& error) {
    std::vector<std::uint8_t> bytes;
    if (!ReadPaletteFileBytes(path, bytes, error)) {
        return std::nullopt;
    }
    PaletteFormat format;
    std::vector<std::string> found;
    if (forced) {
        format = *forced;
    } else {
        const DetectedFormat detected = DetectPaletteFormat(bytes, path);
        format = detected.format;
        if (detected.guessedVga) {
            found.push_back("every byte is 0..63, read as vga (6-bit components); give the format raw to read 8-bit ones");
        }
    }
    PaletteError cause;
    std::optional<PaletteData> palette = ReadPalette(bytes, format, options, found, cause);
    if (!palette) {
        error = CannotRead(path, cause.Message());
        return std::nullopt;
    }
    for (const std::string& warning : found) {
        warnings.push_back(QuotedPath(path) + ": " + warning);
    }
    return PaletteFile{std::move(*palette), format};
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
