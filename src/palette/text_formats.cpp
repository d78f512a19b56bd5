// The text palette formats: the generator's own text, GIMP, JASC-PAL, Lospec
// hex and Paint.NET. Each reader is strict and names the line at fault.
#include <algorithm>
#include <array>
#include <charconv>
#include <span>

#include "palette/readers.hpp"

namespace paltab::palette_io {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

int HexValue(char c) {
    if (IsDigit(c)) {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// Reads `values.size()` decimal numbers 0..255 separated by white space from
// the start of `line`; whatever follows the last one after white space is
// left alone. False when a number is missing, too large or run into text.
bool ParseComponents(std::string_view line, std::span<int> values) {
    std::size_t p = 0;
    for (int& value : values) {
        while (p < line.size() && IsBlank(line[p])) {
            ++p;
        }
        if (p == line.size() || !IsDigit(line[p])) {
            return false;
        }
        value = 0;
        for (; p < line.size() && IsDigit(line[p]); ++p) {
            value = value * 10 + (line[p] - '0');
            if (value > 255) {
                return false;
            }
        }
        if (p < line.size() && !IsBlank(line[p])) {
            return false;
        }
    }
    return true;
}

Rgb8 ToRgb(int r, int g, int b) {
    return {static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(b)};
}

// `digits` hexadecimal digits and nothing else, most significant first.
std::optional<std::uint32_t> ParseHex(std::string_view text, std::size_t digits) {
    if (text.size() != digits) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (const char c : text) {
        const int v = HexValue(c);
        if (v < 0) {
            return std::nullopt;
        }
        value = value << 4 | static_cast<std::uint32_t>(v);
    }
    return value;
}

Rgb8 FromPacked(std::uint32_t rgb) {
    return {static_cast<std::uint8_t>(rgb >> 16), static_cast<std::uint8_t>(rgb >> 8), static_cast<std::uint8_t>(rgb)};
}

bool Fail(PaletteError& error, int line, std::string cause) {
    error = {LineWhere(line), std::move(cause)};
    return false;
}

// Adds one colour; fails on the one past kPaletteSize.
bool AddColor(PaletteData& palette, Rgb8 color, int line, PaletteError& error) {
    if (palette.colors.size() == kPaletteSize) {
        return Fail(error, line, "more than " + std::to_string(kPaletteSize) + " colours");
    }
    palette.colors.push_back(color);
    return true;
}

bool IsSkipped(std::string_view trimmed) {
    return trimmed.empty() || trimmed.front() == '#';
}

std::string ExpectedNumbers(int count, std::string_view line) {
    return std::string("expected ") + (count == 3 ? "three" : "four") + " numbers 0..255, found " +
           Shown(Trimmed(line));
}

std::optional<PaletteData> Finished(PaletteData palette, PaletteError& error) {
    if (palette.colors.empty()) {
        error = {"", "no colours"};
        return std::nullopt;
    }
    return palette;
}

// `prefix:` at the start of `line`, ignoring case; the rest, trimmed.
std::optional<std::string_view> Field(std::string_view line, std::string_view prefix) {
    if (line.size() < prefix.size()) {
        return std::nullopt;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char a = line[i], b = prefix[i];
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a) != lower(b)) {
            return std::nullopt;
        }
    }
    return Trimmed(line.substr(prefix.size()));
}

std::optional<int> ParseCount(std::string_view text) {
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || !IsDigit(text.front())) {
        return std::nullopt;
    }
    return value;
}

void Append(std::vector<std::uint8_t>& bytes, std::string_view text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

std::string Decimal(Rgb8 c, std::string_view separator) {
    std::string text = std::to_string(c.r);
    text += separator;
    text += std::to_string(c.g);
    text += separator;
    text += std::to_string(c.b);
    return text;
}

std::string HexDigits(std::uint32_t value, int digits, bool upper) {
    const char* table = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = table[value & 15];
    }
    return text;
}

std::uint32_t Packed(Rgb8 c) {
    return std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b;
}

// A palette name on one line.
std::string OneLine(std::string_view name) {
    std::string line(name);
    std::replace_if(line.begin(), line.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return line;
}

}  // namespace

// An optional header of two lines, the first beginning with "PAL", as the
// generator reads it; the second is the colour count, which must agree with
// the lines.
std::optional<PaletteData> ReadText(Bytes bytes, PaletteError& error) {
    TextLines lines(bytes);
    PaletteData palette;
    std::optional<int> count;
    TextLine line;
    bool more = lines.Next(line);
    if (more && line.text.starts_with("PAL")) {
        if (!lines.Next(line)) {
            Fail(error, line.number + 1, "expected the colour count after the PAL line");
            return std::nullopt;
        }
        count = ParseCount(Trimmed(line.text));
        if (!count || *count < 1 || *count > static_cast<int>(kPaletteSize)) {
            Fail(error, line.number,
                 "expected the colour count 1.." + std::to_string(kPaletteSize) + " after the PAL line, found " +
                     Shown(Trimmed(line.text)));
            return std::nullopt;
        }
        more = lines.Next(line);
    }
    for (; more; more = lines.Next(line)) {
        if (IsSkipped(Trimmed(line.text))) {
            continue;
        }
        std::array<int, 3> rgb{};
        if (!ParseComponents(line.text, rgb)) {
            Fail(error, line.number, ExpectedNumbers(3, line.text));
            return std::nullopt;
        }
        if (!AddColor(palette, ToRgb(rgb[0], rgb[1], rgb[2]), line.number, error)) {
            return std::nullopt;
        }
    }
    if (count && static_cast<std::size_t>(*count) != palette.colors.size()) {
        Fail(error, 2,
             "the header gives " + std::to_string(*count) + " colours, the file has " +
                 std::to_string(palette.colors.size()));
        return std::nullopt;
    }
    return Finished(std::move(palette), error);
}

std::optional<PaletteData> ReadGpl(Bytes bytes, PaletteError& error) {
    TextLines lines(bytes);
    TextLine line;
    if (!lines.Next(line) || Trimmed(line.text) != "GIMP Palette") {
        Fail(error, 1, "expected \"GIMP Palette\", found " + Shown(line.text));
        return std::nullopt;
    }
    PaletteData palette;
    int channels = 3;
    while (lines.Next(line)) {
        const std::string_view trimmed = Trimmed(line.text);
        if (IsSkipped(trimmed)) {
            continue;
        }
        // Header fields come before the first colour; after it a line that
        // starts with a word is a bad colour line.
        if (palette.colors.empty()) {
            if (const auto name = Field(trimmed, "Name:")) {
                palette.name = *name;
                continue;
            }
            if (Field(trimmed, "Columns:")) {
                continue;
            }
            if (const auto value = Field(trimmed, "Channels:")) {
                if (*value != "RGB" && *value != "RGBA") {
                    Fail(error, line.number, "expected Channels: RGB or RGBA, found " + Shown(trimmed));
                    return std::nullopt;
                }
                channels = *value == "RGB" ? 3 : 4;
                continue;
            }
        }
        std::array<int, 4> rgba{};
        if (!ParseComponents(line.text, std::span(rgba).first(static_cast<std::size_t>(channels)))) {
            Fail(error, line.number, ExpectedNumbers(channels, line.text));
            return std::nullopt;
        }
        if (!AddColor(palette, ToRgb(rgba[0], rgba[1], rgba[2]), line.number, error)) {
            return std::nullopt;
        }
    }
    return Finished(std::move(palette), error);
}

std::optional<PaletteData> ReadJasc(Bytes bytes, PaletteError& error) {
    TextLines lines(bytes);
    TextLine line;
    if (!lines.Next(line) || Trimmed(line.text) != "JASC-PAL") {
        Fail(error, 1, "expected \"JASC-PAL\", found " + Shown(line.text));
        return std::nullopt;
    }
    // Every JASC-PAL file is of the one version there is.
    if (!lines.Next(line) || Trimmed(line.text) != "0100") {
        Fail(error, 2, "expected the version line \"0100\", found " + Shown(line.number == 2 ? line.text : ""));
        return std::nullopt;
    }
    const bool haveCount = lines.Next(line);
    const std::optional<int> count = haveCount ? ParseCount(Trimmed(line.text)) : std::nullopt;
    if (!count || *count < 1 || *count > static_cast<int>(kPaletteSize)) {
        Fail(error, 3,
             "expected the colour count 1.." + std::to_string(kPaletteSize) + ", found " +
                 Shown(haveCount ? line.text : ""));
        return std::nullopt;
    }
    PaletteData palette;
    while (lines.Next(line)) {
        if (Trimmed(line.text).empty()) {
            continue;
        }
        if (palette.colors.size() == static_cast<std::size_t>(*count)) {
            Fail(error, line.number, "more colour lines than the count of " + std::to_string(*count) + " on line 3");
            return std::nullopt;
        }
        std::array<int, 3> rgb{};
        if (!ParseComponents(line.text, rgb)) {
            Fail(error, line.number, ExpectedNumbers(3, line.text));
            return std::nullopt;
        }
        palette.colors.push_back(ToRgb(rgb[0], rgb[1], rgb[2]));
    }
    if (palette.colors.size() != static_cast<std::size_t>(*count)) {
        Fail(error, 3,
             "the count is " + std::to_string(*count) + ", the file has " + std::to_string(palette.colors.size()) +
                 " colours");
        return std::nullopt;
    }
    return palette;
}

namespace {

// Lospec's "rrggbb", or the CSS forms with '#': "#rrggbb", "#rgb" (each
// digit doubled) and "#rrggbbaa" (alpha ignored). Eight digits without '#'
// are refused: they could as well be Paint.NET's aarrggbb. A line is a
// colour or blank; anything else (a comment, a colour name after the
// colour) is an error, so that no line is skipped and no later colour moves
// to another index.
std::optional<Rgb8> ParseHexColor(std::string_view text) {
    if (!text.starts_with('#')) {
        const auto rgb = ParseHex(text, 6);
        return rgb ? std::optional(FromPacked(*rgb)) : std::nullopt;
    }
    text.remove_prefix(1);
    if (const auto rgb = ParseHex(text, 6)) {
        return FromPacked(*rgb);
    }
    if (const auto rgba = ParseHex(text, 8)) {
        return FromPacked(*rgba >> 8);
    }
    if (const auto short_rgb = ParseHex(text, 3)) {
        const auto twice = [](std::uint32_t digit) { return static_cast<std::uint8_t>(digit * 17); };
        return Rgb8{twice(*short_rgb >> 8), twice(*short_rgb >> 4 & 15), twice(*short_rgb & 15)};
    }
    return std::nullopt;
}

}  // namespace

std::optional<PaletteData> ReadHex(Bytes bytes, PaletteError& error) {
    PaletteData palette;
    TextLines lines(bytes);
    TextLine line;
    while (lines.Next(line)) {
        const std::string_view trimmed = Trimmed(line.text);
        if (trimmed.empty()) {
            continue;
        }
        const std::optional<Rgb8> color = ParseHexColor(trimmed);
        if (!color) {
            Fail(error, line.number, "expected a colour rrggbb, #rrggbb, #rgb or #rrggbbaa, found " + Shown(trimmed));
            return std::nullopt;
        }
        if (!AddColor(palette, *color, line.number, error)) {
            return std::nullopt;
        }
    }
    return Finished(std::move(palette), error);
}

std::optional<PaletteData> ReadPaintNet(Bytes bytes, PaletteError& error) {
    PaletteData palette;
    TextLines lines(bytes);
    TextLine line;
    while (lines.Next(line)) {
        const std::string_view trimmed = Trimmed(line.text);
        if (trimmed.empty() || trimmed.front() == ';') {
            continue;
        }
        const auto argb = ParseHex(trimmed, 8);
        if (!argb) {
            Fail(error, line.number, "expected a colour aarrggbb, found " + Shown(trimmed));
            return std::nullopt;
        }
        if (!AddColor(palette, FromPacked(*argb & 0xFFFFFFu), line.number, error)) {
            return std::nullopt;
        }
    }
    return Finished(std::move(palette), error);
}

std::vector<std::uint8_t> WriteText(const PaletteData& palette) {
    std::vector<std::uint8_t> bytes;
    for (const Rgb8 c : palette.colors) {
        Append(bytes, Decimal(c, " ") + "\n");
    }
    return bytes;
}

std::vector<std::uint8_t> WriteGpl(const PaletteData& palette) {
    std::vector<std::uint8_t> bytes;
    Append(bytes, "GIMP Palette\nName: " + OneLine(palette.name.empty() ? "paltab" : palette.name) +
                      "\nColumns: 16\n#\n");
    for (const Rgb8 c : palette.colors) {
        Append(bytes, Decimal(c, "\t") + "\t#" + HexDigits(Packed(c), 6, false) + "\n");
    }
    return bytes;
}

// JASC files come from Windows programs; their lines end in CR LF.
std::vector<std::uint8_t> WriteJasc(const PaletteData& palette) {
    std::vector<std::uint8_t> bytes;
    Append(bytes, "JASC-PAL\r\n0100\r\n" + std::to_string(palette.colors.size()) + "\r\n");
    for (const Rgb8 c : palette.colors) {
        Append(bytes, Decimal(c, " ") + "\r\n");
    }
    return bytes;
}

std::vector<std::uint8_t> WriteHex(const PaletteData& palette) {
    std::vector<std::uint8_t> bytes;
    for (const Rgb8 c : palette.colors) {
        Append(bytes, HexDigits(Packed(c), 6, false) + "\n");
    }
    return bytes;
}

std::vector<std::uint8_t> WritePaintNet(const PaletteData& palette) {
    std::vector<std::uint8_t> bytes;
    Append(bytes, "; paint.net Palette File\r\n; Colors: " + std::to_string(palette.colors.size()) + "\r\n");
    for (const Rgb8 c : palette.colors) {
        Append(bytes, "FF" + HexDigits(Packed(c), 6, true) + "\r\n");
    }
    return bytes;
}

}  // namespace paltab::palette_io
