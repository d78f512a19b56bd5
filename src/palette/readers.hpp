// The palette unit's per-format readers and writers, called through the
// dispatch in formats.cpp, which checks what every writer may assume: 1 to
// kPaletteSize colours and a transparent index among them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paltab/palette_formats.hpp"

namespace paltab::palette_io {

using Bytes = std::span<const std::uint8_t>;
using Warnings = std::vector<std::string>;

// The text lines of `bytes`, 1-based numbers, without their "\r\n" or "\n";
// a UTF-8 byte order mark is dropped and a Ctrl-Z byte ends the text, as in
// the generator's reader.
struct TextLine {
    int number = 0;
    std::string_view text;
};
std::vector<TextLine> SplitLines(Bytes bytes);

// `text` without white space at either end.
std::string_view Trimmed(std::string_view text);

std::string LineWhere(int number);
std::string OffsetWhere(std::size_t offset);

// Text formats (text_formats.cpp).
std::optional<PaletteData> ReadText(Bytes bytes, PaletteError& error);
std::optional<PaletteData> ReadGpl(Bytes bytes, PaletteError& error);
std::optional<PaletteData> ReadJasc(Bytes bytes, PaletteError& error);
std::optional<PaletteData> ReadHex(Bytes bytes, PaletteError& error);
std::optional<PaletteData> ReadPaintNet(Bytes bytes, PaletteError& error);
std::vector<std::uint8_t> WriteText(const PaletteData& palette);
std::vector<std::uint8_t> WriteGpl(const PaletteData& palette);
std::vector<std::uint8_t> WriteJasc(const PaletteData& palette);
std::vector<std::uint8_t> WriteHex(const PaletteData& palette);
std::vector<std::uint8_t> WritePaintNet(const PaletteData& palette);

// Binary formats (binary_formats.cpp).
std::optional<PaletteData> ReadAct(Bytes bytes, Warnings& warnings, PaletteError& error);
std::optional<PaletteData> ReadRiff(Bytes bytes, Warnings& warnings, PaletteError& error);
std::optional<PaletteData> ReadRaw(Bytes bytes, bool sixBit, PaletteError& error);
std::optional<PaletteData> ReadPlaypal(Bytes bytes, int paletteIndex, PaletteError& error);
std::vector<std::uint8_t> WriteAct(const PaletteData& palette);
std::vector<std::uint8_t> WriteRiff(const PaletteData& palette);
std::vector<std::uint8_t> WriteRaw(const PaletteData& palette, bool sixBit);

// PNG (png_palette.cpp).
std::optional<PaletteData> ReadPngPalette(Bytes bytes, std::uint64_t maxPixels, Warnings& warnings,
                                          PaletteError& error);
std::optional<std::vector<std::uint8_t>> WritePngPalette(const PaletteData& palette, PaletteError& error);

}  // namespace paltab::palette_io
