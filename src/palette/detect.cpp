// Which palette format a file is, from its content first, then its name
// and size; and the format an output name asks for.
#include <algorithm>
#include <cctype>

#include "palette/readers.hpp"

namespace paltab {
namespace {

constexpr std::size_t kRawPaletteSize = kPaletteSize * 3;     // 768
constexpr std::size_t kPlaypalSize = 14 * kRawPaletteSize;    // 10752
constexpr std::string_view kPngSignature = "\x89PNG\r\n\x1a\n";

}  // namespace

namespace palette_io {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); });
    return lower;
}

std::string_view AsText(Bytes bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool IsPng(Bytes bytes) {
    return AsText(bytes).starts_with(kPngSignature);
}

bool IsTextFormat(PaletteFormat format) {
    return format == PaletteFormat::kText || format == PaletteFormat::kGpl || format == PaletteFormat::kJasc ||
           format == PaletteFormat::kHex || format == PaletteFormat::kPaintNet;
}

}  // namespace palette_io

namespace {

using namespace palette_io;

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
    switch (format) {
        case PaletteFormat::kText: return palette_io::ReadText(bytes).ok();
        case PaletteFormat::kHex: return palette_io::ReadHex(bytes).ok();
        case PaletteFormat::kPaintNet: return palette_io::ReadPaintNet(bytes).ok();
        default: return false;
    }
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
        if (const auto utf8 = palette_io::Utf16ToUtf8(bytes)) {
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

}  // namespace paltab
