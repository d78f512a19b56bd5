// The text palette formats of hexadecimal colours: Lospec hex and
// Paint.NET. Each reader is strict and names the line at fault.
#include "palette/readers.hpp"

namespace paltab::palette_io {
namespace {

int HexValue(char c) {
    if (c >= '0' && c <= '9') {
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

Result<PaletteData> ReadHex(Bytes bytes) {
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
            return AtLine(line.number, "expected a colour rrggbb, #rrggbb, #rgb or #rrggbbaa, found " + Shown(trimmed));
        }
        if (Status added = AddColor(palette, *color, line.number); !added) {
            return std::move(added).error();
        }
    }
    return Finished(std::move(palette));
}

Result<PaletteData> ReadPaintNet(Bytes bytes) {
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
            return AtLine(line.number, "expected a colour aarrggbb, found " + Shown(trimmed));
        }
        if (Status added = AddColor(palette, FromPacked(*argb & 0xFFFFFFu), line.number); !added) {
            return std::move(added).error();
        }
    }
    return Finished(std::move(palette));
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
