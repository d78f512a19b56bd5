// The text palette formats of decimal components: the generator's own text,
// GIMP and JASC-PAL. Each reader is strict and names the line at fault.
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

bool IsSkipped(std::string_view trimmed) {
    return trimmed.empty() || trimmed.front() == '#';
}

std::string ExpectedNumbers(int count, std::string_view line) {
    return std::string("expected ") + (count == 3 ? "three" : "four") + " numbers 0..255, found " +
           Shown(Trimmed(line));
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

std::string Decimal(Rgb8 c, std::string_view separator) {
    std::string text = std::to_string(c.r);
    text += separator;
    text += std::to_string(c.g);
    text += separator;
    text += std::to_string(c.b);
    return text;
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
Result<PaletteData> ReadText(Bytes bytes) {
    TextLines lines(bytes);
    PaletteData palette;
    std::optional<int> count;
    TextLine line;
    bool more = lines.Next(line);
    if (more && line.text.starts_with("PAL")) {
        if (!lines.Next(line)) {
            return AtLine(line.number + 1, "expected the colour count after the PAL line");
        }
        count = ParseCount(Trimmed(line.text));
        if (!count || *count < 1 || *count > static_cast<int>(kPaletteSize)) {
            return AtLine(line.number, "expected the colour count 1.." + std::to_string(kPaletteSize) +
                                           " after the PAL line, found " + Shown(Trimmed(line.text)));
        }
        more = lines.Next(line);
    }
    for (; more; more = lines.Next(line)) {
        if (IsSkipped(Trimmed(line.text))) {
            continue;
        }
        std::array<int, 3> rgb{};
        if (!ParseComponents(line.text, rgb)) {
            return AtLine(line.number, ExpectedNumbers(3, line.text));
        }
        if (Status added = AddColor(palette, ToRgb(rgb[0], rgb[1], rgb[2]), line.number); !added) {
            return std::move(added).error();
        }
    }
    if (count && static_cast<std::size_t>(*count) != palette.colors.size()) {
        return AtLine(2, "the header gives " + std::to_string(*count) + " colours, the file has " +
                             std::to_string(palette.colors.size()));
    }
    return Finished(std::move(palette));
}

Result<PaletteData> ReadGpl(Bytes bytes) {
    TextLines lines(bytes);
    TextLine line;
    if (!lines.Next(line) || Trimmed(line.text) != "GIMP Palette") {
        return AtLine(1, "expected \"GIMP Palette\", found " + Shown(line.text));
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
                    return AtLine(line.number, "expected Channels: RGB or RGBA, found " + Shown(trimmed));
                }
                channels = *value == "RGB" ? 3 : 4;
                continue;
            }
        }
        std::array<int, 4> rgba{};
        if (!ParseComponents(line.text, std::span(rgba).first(static_cast<std::size_t>(channels)))) {
            return AtLine(line.number, ExpectedNumbers(channels, line.text));
        }
        if (Status added = AddColor(palette, ToRgb(rgba[0], rgba[1], rgba[2]), line.number); !added) {
            return std::move(added).error();
        }
    }
    return Finished(std::move(palette));
}

Result<PaletteData> ReadJasc(Bytes bytes) {
    TextLines lines(bytes);
    TextLine line;
    if (!lines.Next(line) || Trimmed(line.text) != "JASC-PAL") {
        return AtLine(1, "expected \"JASC-PAL\", found " + Shown(line.text));
    }
    // Every JASC-PAL file is of the one version there is.
    if (!lines.Next(line) || Trimmed(line.text) != "0100") {
        return AtLine(2, "expected the version line \"0100\", found " + Shown(line.number == 2 ? line.text : ""));
    }
    const bool haveCount = lines.Next(line);
    const std::optional<int> count = haveCount ? ParseCount(Trimmed(line.text)) : std::nullopt;
    if (!count || *count < 1 || *count > static_cast<int>(kPaletteSize)) {
        return AtLine(3, "expected the colour count 1.." + std::to_string(kPaletteSize) + ", found " +
                             Shown(haveCount ? line.text : ""));
    }
    PaletteData palette;
    while (lines.Next(line)) {
        if (Trimmed(line.text).empty()) {
            continue;
        }
        if (palette.colors.size() == static_cast<std::size_t>(*count)) {
            return AtLine(line.number,
                          "more colour lines than the count of " + std::to_string(*count) + " on line 3");
        }
        std::array<int, 3> rgb{};
        if (!ParseComponents(line.text, rgb)) {
            return AtLine(line.number, ExpectedNumbers(3, line.text));
        }
        palette.colors.push_back(ToRgb(rgb[0], rgb[1], rgb[2]));
    }
    if (palette.colors.size() != static_cast<std::size_t>(*count)) {
        return AtLine(3, "the count is " + std::to_string(*count) + ", the file has " +
                             std::to_string(palette.colors.size()) + " colours");
    }
    return palette;
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

}  // namespace paltab::palette_io
