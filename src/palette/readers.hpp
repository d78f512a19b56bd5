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

// The text lines of `bytes` one at a time, numbered from 1, without their
// line end: LF, CR LF, or a CR alone (classic Mac OS). A UTF-8 byte order
// mark before the first line is dropped, and a Ctrl-Z byte ends the text.
// The generator's reader (palette_text.hpp) agrees on LF, CR LF and Ctrl-Z
// only: it reads a byte order mark as part of the first line, and drops a
// lone CR, joining the lines on either side of it.
struct TextLine {
    int number = 0;
    std::string_view text;
};
class TextLines {
public:
    explicit TextLines(Bytes bytes);
    // The next line; false at the end of the text.
    bool Next(TextLine& line);

private:
    std::string_view rest_;
    int number_ = 0;
};

// Whether `bytes` begins with a UTF-16 byte order mark (FF FE or FE FF).
bool HasUtf16Mark(Bytes bytes);
// Text saved as UTF-16 with its byte order mark, as UTF-8 without the mark.
// Fails, setting `error`, on an odd length, a lone surrogate, or a control
// character other than white space (such bytes are no text).
std::optional<std::vector<std::uint8_t>> Utf16ToUtf8(Bytes bytes, PaletteError& error);

// White space within a line (text_lines.cpp, like the rest of this block).
bool IsBlank(char c);

// `text` without white space at either end.
std::string_view Trimmed(std::string_view text);

// `text` quoted for a message: at most 40 characters, control and non-ASCII
// bytes as \xNN, so that a message stays on one line.
std::string Shown(std::string_view text);

// Small tests the detection (detect.cpp) shares with the dispatch.
std::string Lower(std::string_view text);
std::string_view AsText(Bytes bytes);
bool IsPng(Bytes bytes);
bool IsTextFormat(PaletteFormat format);

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

// PNG (png_palette.cpp). The file form decodes as it reads, never holding
// the file whole.
std::optional<PaletteData> ReadPngPalette(Bytes bytes, std::uint64_t maxPixels, Warnings& warnings,
                                          PaletteError& error);
std::optional<PaletteData> ReadPngPaletteFile(const std::string& path, std::uint64_t maxPixels, Warnings& warnings,
                                              PaletteError& error);
std::optional<std::vector<std::uint8_t>> WritePngPalette(const PaletteData& palette, PaletteError& error);

}  // namespace paltab::palette_io
