// Palette text reader: header, line ends, Ctrl-Z, 79-character pieces, number
// syntax and wrap-around, missing numbers, the 256-line limit, and the stream
// reader against the in-memory one.
#include "paltab/palette_text.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "test_palettes.hpp"

namespace paltab {

void PrintTo(const PaletteEntry& e, std::ostream* os) {
    *os << '(' << e.r << ", " << e.g << ", " << e.b << ')';
}

namespace {

using namespace std::string_literals;

std::span<const std::uint8_t> Bytes(const std::string& text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Colour line i is "i 2i -i", so every entry tells which line filled it.
std::string Lines(int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        text += std::to_string(i) + ' ' + std::to_string(2 * i) + ' ' + std::to_string(-i) + '\n';
    }
    return text;
}

std::vector<PaletteEntry> Entries(int count) {
    std::vector<PaletteEntry> entries;
    for (int i = 0; i < count; ++i) {
        entries.push_back(Rgb(i, 2 * i, -i));
    }
    return entries;
}

// `text` followed by spaces up to `width` characters.
std::string Pad(std::string text, std::size_t width) {
    text.resize(width, ' ');
    return text;
}

struct Row {
    const char* name;
    std::string bytes;
    int colorLines;
    std::vector<PaletteEntry> first;  // expected entries from 0; the rest of the lines are not checked
};

std::vector<Row> Rows() {
    return {
        {"256 lines fill entries 0 to 255 in order", Lines(256), 256, Entries(256)},
        {"of 300 lines only the first 256 are used", Lines(300), 256, Entries(256)},
        {"16 lines leave entries 16 to 255 unused", Lines(16), 16, Entries(16)},

        {"PAL header: colours start on line 3", "PAL my palette\n256\n1 2 3\n4 5 6\n", 2, {Rgb(1, 2, 3), Rgb(4, 5, 6)}},
        {"PAL alone is a header", "PAL\n7 7 7\n1 2 3\n", 1, {Rgb(1, 2, 3)}},
        {"PALETTE is a header", "PALETTE\n16\n1 2 3\n", 1, {Rgb(1, 2, 3)}},
        {"PA is a colour line", "PA\n1 2 3\n", 2, {Rgb(0, 0, 0), Rgb(1, 2, 3)}},
        {"xPAL is a colour line", "xPAL\n1 2 3\n", 2, {Rgb(0, 0, 0), Rgb(1, 2, 3)}},
        {"a space before PAL makes a colour line", " PAL\n1 2 3\n", 2, {Rgb(0, 0, 0), Rgb(1, 2, 3)}},
        {"pal in lower case is a colour line", "pal\n1 2 3\n", 2, {Rgb(0, 0, 0), Rgb(1, 2, 3)}},
        {"PA, NUL, L is a colour line", "PA\0L\n1 2 3\n"s, 2, {Rgb(0, 0, 0), Rgb(1, 2, 3)}},
        {"PAL on the second line is a colour line", "1 2 3\nPAL\n4 5 6\n", 3,
         {Rgb(1, 2, 3), Rgb(1, 2, 3), Rgb(4, 5, 6)}},
        {"header only", "PAL\n16\n", 0, {}},
        {"first header line only", "PAL\n", 0, {}},
        {"first header line without terminator", "PAL", 0, {}},

        {"numbers after the third are ignored", "1 2 3 4 5 6\n7 8 9\n", 2, {Rgb(1, 2, 3), Rgb(7, 8, 9)}},
        {"text after the third number is ignored", "1 2 3abc 4\n5 6 7 # note\n", 2, {Rgb(1, 2, 3), Rgb(5, 6, 7)}},
        {"tabs and other white space separate numbers", "\t1\t2\v3 \f\n", 1, {Rgb(1, 2, 3)}},

        {"CR LF line ends", "1 2 3\r\n4 5 6\r\n", 2, {Rgb(1, 2, 3), Rgb(4, 5, 6)}},
        {"a lone CR vanishes", "1 2\r3\n", 1, {Rgb(1, 23, 0)}},
        {"a lone CR joins two lines", "1 2 3\r4 5 6\n", 1, {Rgb(1, 2, 34)}},
        {"CR CR leaves one CR, which separates numbers", "1 2\r\r3\n", 1, {Rgb(1, 2, 3)}},
        // The CR that stays is the 79th character, so the LF is a piece of its own.
        {"CR CR LF reads as CR LF", Pad("1 2 3", 78) + "\r\r\n4 5 6\n", 3, {Rgb(1, 2, 3), Rgb(1, 2, 3), Rgb(4, 5, 6)}},
        {"CR LF after 78 characters reads as LF", Pad("1 2 3", 78) + "\r\n4 5 6\n", 2, {Rgb(1, 2, 3), Rgb(4, 5, 6)}},

        {"Ctrl-Z ends the file", "1 2 3\n\x1A" "4 5 6\n", 1, {Rgb(1, 2, 3)}},
        {"Ctrl-Z mid-line: the text before it is the last line", "1 2 3\n4 5\x1A" " 6\n7 8 9\n", 2,
         {Rgb(1, 2, 3), Rgb(4, 5, 3)}},
        {"Ctrl-Z after a CR ends the file", "1 2 3\r\x1A" "\n4 5 6\n", 1, {Rgb(1, 2, 3)}},
        {"Ctrl-Z first: no colours", "\x1A" "1 2 3\n", 0, {}},

        {"a line of 79 characters and LF: the LF is the next colour line", Pad("1 2 3", 79) + "\n4 5 6\n", 3,
         {Rgb(1, 2, 3), Rgb(1, 2, 3), Rgb(4, 5, 6)}},
        {"a line of 78 characters and LF is one line", Pad("1 2 3", 78) + "\n4 5 6\n", 2,
         {Rgb(1, 2, 3), Rgb(4, 5, 6)}},
        {"a number across character 79 is split", std::string(77, ' ') + "12345 6\n", 2,
         {Rgb(12, 0, 0), Rgb(345, 6, 0)}},
        {"a 165-character line is three colour lines", Pad("1 2 3", 79) + Pad("4 5", 79) + "6 x\n", 3,
         {Rgb(1, 2, 3), Rgb(4, 5, 3), Rgb(6, 5, 3)}},

        {"NUL ends what the parser sees of its line", "1 2\0 3\n4 5 6\n"s, 2, {Rgb(1, 2, 0), Rgb(4, 5, 6)}},
        {"NUL does not end the line itself", "1 2 3\n7\0 8 9\n4 5 6\n"s, 3,
         {Rgb(1, 2, 3), Rgb(7, 2, 3), Rgb(4, 5, 6)}},

        {"a sign begins a number without white space", "1-2-3\n", 1, {Rgb(1, -2, -3)}},
        {"plus signs", "+5 +6 +7\n", 1, {Rgb(5, 6, 7)}},
        {"a sign followed by a space is a missing number", "1 2 3\n4 - 5\n", 2, {Rgb(1, 2, 3), Rgb(4, 2, 3)}},
        {"two signs are a missing number", "1 2 3\n+-4 5 6\n", 2, {Rgb(1, 2, 3), Rgb(1, 2, 3)}},
        {"leading zeros are decimal, not octal", "010 08 0009\n", 1, {Rgb(10, 8, 9)}},
        // 4294967596 = 2^32 + 300; 65836 = 65536 + 300; 70000 - 65536 = 4464;
        // 2^31 wraps to -2^31, whose low 16 bits are 0; 12345678901 mod 2^32 = 3755744309 = 0xDFDC1C35.
        {"values wrap in 32 bits and keep their low 16 bits", "4294967596 65836 70000\n-70000 2147483648 12345678901\n",
         2, {Rgb(300, 300, 4464), Rgb(-4464, 0, 0x1C35)}},
        {"a red of -1 is stored as read", "-1 40 200\n", 1, {Rgb(-1, 40, 200)}},

        {"missing numbers keep the previous line's values", "1 2 3\n4 5\n\n7\nx 9 9\n", 5,
         {Rgb(1, 2, 3), Rgb(4, 5, 3), Rgb(4, 5, 3), Rgb(7, 5, 3), Rgb(7, 5, 3)}},
        {"missing numbers on the first line are 0", "5\n1 2 3\n", 2, {Rgb(5, 0, 0), Rgb(1, 2, 3)}},
        {"a blank first line takes entry 0", "\n1 2 3\n", 2, {Rgb(0, 0, 0), Rgb(1, 2, 3)}},
        {"a blank line keeps later colours at their index", "1 2 3\n\n4 5 6\n", 3,
         {Rgb(1, 2, 3), Rgb(1, 2, 3), Rgb(4, 5, 6)}},
        {"a final line without terminator is read", "1 2 3\n4 5 6", 2, {Rgb(1, 2, 3), Rgb(4, 5, 6)}},
        {"a single line without terminator is read", "7 8 9", 1, {Rgb(7, 8, 9)}},
        {"the 256th line without terminator is read", Lines(255) + "255 510 -255", 256, Entries(256)},
        {"empty file", "", 0, {}},
    };
}

void ExpectResult(const PaletteReadResult& result, const Row& row) {
    SCOPED_TRACE(row.name);
    EXPECT_FALSE(result.readFailed);
    EXPECT_EQ(result.colorLines, row.colorLines);
    for (std::size_t i = 0; i < row.first.size(); ++i) {
        EXPECT_EQ(result.palette[i], row.first[i]) << "entry " << i;
    }
    for (std::size_t i = static_cast<std::size_t>(row.colorLines); i < kPaletteSize; ++i) {
        ASSERT_EQ(result.palette[i], kUnusedEntry) << "entry " << i;
    }
}

// Reads `text` through a real stream, as the generator does.
PaletteReadResult ReadThroughStream(const std::string& text) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    if (file == nullptr) {
        return {};
    }
    std::fwrite(text.data(), 1, text.size(), file);
    std::rewind(file);
    PaletteReadResult result = ReadPaletteText(file);
    std::fclose(file);
    return result;
}

TEST(ReadPaletteText, FromMemory) {
    for (const Row& row : Rows()) {
        ExpectResult(ReadPaletteText(Bytes(row.bytes)), row);
    }
}

TEST(ReadPaletteText, FromStream) {
    for (const Row& row : Rows()) {
        ExpectResult(ReadThroughStream(row.bytes), row);
    }
}

// The stream is read in chunks; nothing may change where a chunk ends: not a
// long file, nor a CR, CR CR or Ctrl-Z that falls on either side of a chunk
// boundary.
TEST(ReadPaletteText, StreamMatchesMemoryAcrossChunks) {
    std::vector<std::string> texts;
    std::string longLines;
    for (int i = 0; i < 300; ++i) {
        longLines += Pad(std::to_string(i) + " " + std::to_string(i / 2) + " 7 and a comment", 70) + "\r\n";
    }
    texts.push_back(longLines);

    for (std::size_t offset : {4094u, 4095u, 4096u, 4097u}) {
        for (const char* special : {"\r\n", "\r\r\n", "\r3", "\x1A"}) {
            // Lines of 78 characters (fewer than 256 lines), then one short
            // line, so that `special` starts exactly at `offset`.
            std::string text;
            while (text.size() + 79 + 1 + 6 <= offset) {
                text += Pad("9 9 9", 78) + "\n";
            }
            text += Pad("", offset - text.size() - 5) + "1 2 4";
            text += special;
            text += "5 6 7\n";
            ASSERT_EQ(text.find(special), offset);
            texts.push_back(text);
        }
    }

    for (const std::string& text : texts) {
        const PaletteReadResult fromMemory = ReadPaletteText(Bytes(text));
        const PaletteReadResult fromStream = ReadThroughStream(text);
        EXPECT_FALSE(fromStream.readFailed);
        EXPECT_EQ(fromStream.colorLines, fromMemory.colorLines) << text.size() << " bytes";
        EXPECT_EQ(fromStream.palette, fromMemory.palette) << text.size() << " bytes";
    }
    const PaletteReadResult longRead = ReadThroughStream(longLines);
    EXPECT_EQ(longRead.colorLines, 256);
    EXPECT_EQ(longRead.palette[255], Rgb(255, 127, 7));
}

// A directory opens for reading on Linux, but reading it fails.
TEST(ReadPaletteText, DirectoryReportsReadFailed) {
    const std::filesystem::path directory = std::filesystem::temp_directory_path();
    std::FILE* file = std::fopen(directory.c_str(), "rb");
    ASSERT_NE(file, nullptr) << directory;
    const PaletteReadResult result = ReadPaletteText(file);
    std::fclose(file);
    EXPECT_TRUE(result.readFailed);
    EXPECT_EQ(result.colorLines, 0);
}

}  // namespace
}  // namespace paltab
