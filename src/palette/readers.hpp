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
// Fails at the offset of an odd length, a lone surrogate, or a control
// character other than white space (such bytes are no text).
Result<std::vector<std::uint8_t>> Utf16ToUtf8(Bytes bytes);

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

// What the text formats' readers and writers share (text_lines.cpp).
// A fault of the file at 1-based `line`.
Error AtLine(int line, std::string cause);
// Adds one colour; fails on the one past kPaletteSize.
Status AddColor(PaletteData& palette, Rgb8 color, int line);
// `palette`, or "no colours" when it has none.
Result<PaletteData> Finished(PaletteData palette);
void Append(std::vector<std::uint8_t>& bytes, std::string_view text);
// 0xRRGGBB.
std::uint32_t Packed(Rgb8 c);
// The low `digits` hexadecimal digits of `value`, most significant first.
std::string HexDigits(std::uint32_t value, int digits, bool upper);

// Text formats: decimal_formats.cpp (text, gpl, jasc) and hex_formats.cpp
// (hex, paintnet).
Result<PaletteData> ReadText(Bytes bytes);
Result<PaletteData> ReadGpl(Bytes bytes);
Result<PaletteData> ReadJasc(Bytes bytes);
Result<PaletteData> ReadHex(Bytes bytes);
Result<PaletteData> ReadPaintNet(Bytes bytes);
std::vector<std::uint8_t> WriteText(const PaletteData& palette);
std::vector<std::uint8_t> WriteGpl(const PaletteData& palette);
std::vector<std::uint8_t> WriteJasc(const PaletteData& palette);
std::vector<std::uint8_t> WriteHex(const PaletteData& palette);
std::vector<std::uint8_t> WritePaintNet(const PaletteData& palette);

// Binary formats (binary_formats.cpp).
Result<PaletteData> ReadAct(Bytes bytes, Warnings& warnings);
Result<PaletteData> ReadRiff(Bytes bytes, Warnings& warnings);
Result<PaletteData> ReadRaw(Bytes bytes, bool sixBit);
Result<PaletteData> ReadPlaypal(Bytes bytes, int paletteIndex);
std::vector<std::uint8_t> WriteAct(const PaletteData& palette);
std::vector<std::uint8_t> WriteRiff(const PaletteData& palette);
std::vector<std::uint8_t> WriteRaw(const PaletteData& palette, bool sixBit);

// PNG (png_palette.cpp). The file form decodes as it reads, never holding
// the file whole.
Result<PaletteData> ReadPngPalette(Bytes bytes, std::uint64_t maxPixels, Warnings& warnings);
Result<PaletteData> ReadPngPaletteFile(const std::string& path, std::uint64_t maxPixels, Warnings& warnings);
Result<std::vector<std::uint8_t>> WritePngPalette(const PaletteData& palette);

}  // namespace paltab::palette_io
