// Palette formats: round trips through every writer, detection and reading
// of a small file of each kind, one bad input per reader with its message,
// the strict text reader against the generator's, and the PNG decoder's
// pixel limit. Every input is built here.
#include "paltab/palette_formats.hpp"

#include <gtest/gtest.h>
#include <zlib.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "paltab/image.hpp"
#include "paltab/palette_text.hpp"
#include "random_inputs.hpp"
#include "test_process.hpp"

namespace paltab {

void PrintTo(const Rgb8& c, std::ostream* os) {
    *os << '(' << int{c.r} << ' ' << int{c.g} << ' ' << int{c.b} << ')';
}

namespace {

using ByteVector = std::vector<std::uint8_t>;

ByteVector B(std::string_view text) {
    return {text.begin(), text.end()};
}

ByteVector Cat(std::initializer_list<ByteVector> parts) {
    ByteVector all;
    for (const auto& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

ByteVector Big32(std::uint32_t v) {
    return {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 8),
            static_cast<std::uint8_t>(v)};
}

// A PNG built chunk by chunk, so that tests can declare any size, cut the
// file short or damage it. `rows` are the raw scanlines, filter bytes
// included, compressed into one IDAT.
ByteVector Chunk(std::string_view type, const ByteVector& data) {
    ByteVector typed = Cat({B(type), data});
    const auto crc = static_cast<std::uint32_t>(crc32(0, typed.data(), static_cast<uInt>(typed.size())));
    return Cat({Big32(static_cast<std::uint32_t>(data.size())), typed, Big32(crc)});
}

ByteVector MakePng(std::uint32_t width, std::uint32_t height, std::uint8_t depth, std::uint8_t colorType,
                   const ByteVector& rows, const ByteVector& beforeIdat = {}) {
    uLongf size = compressBound(static_cast<uLong>(rows.size()));
    ByteVector compressed(size);
    compress(compressed.data(), &size, rows.data(), static_cast<uLong>(rows.size()));
    compressed.resize(size);
    const ByteVector ihdr = Cat({Big32(width), Big32(height), {depth, colorType, 0, 0, 0}});
    return Cat({B("\x89PNG\r\n\x1a\n"), Chunk("IHDR", ihdr), beforeIdat, Chunk("IDAT", compressed),
                Chunk("IEND", {})});
}

// Filter byte 0 before each row of `rowBytes` samples.
ByteVector Unfiltered(const ByteVector& samples, std::size_t rowBytes) {
    ByteVector rows;
    for (std::size_t at = 0; at < samples.size(); at += rowBytes) {
        rows.push_back(0);
        rows.insert(rows.end(), samples.begin() + static_cast<std::ptrdiff_t>(at),
                    samples.begin() + static_cast<std::ptrdiff_t>(at + rowBytes));
    }
    return rows;
}

// UTF-16 with its byte order mark, little- or big-endian.
ByteVector Utf16(std::u16string_view text, bool bigEndian) {
    ByteVector bytes = bigEndian ? ByteVector{0xFE, 0xFF} : ByteVector{0xFF, 0xFE};
    for (const char16_t unit : text) {
        const auto high = static_cast<std::uint8_t>(unit >> 8), low = static_cast<std::uint8_t>(unit);
        bytes.insert(bytes.end(), bigEndian ? std::initializer_list<std::uint8_t>{high, low}
                                            : std::initializer_list<std::uint8_t>{low, high});
    }
    return bytes;
}

// A text palette of 256 colours "1 2 3" padded with a comment to `size` bytes.
ByteVector TextOfSize(std::size_t size) {
    std::string text;
    for (int i = 0; i < 256; ++i) {
        text += "1 2 3\n";
    }
    text += '#';
    text.append(size - text.size() - 1, 'x');
    text += '\n';
    return B(text);
}

Result<PaletteData> Read(const ByteVector& bytes, PaletteFormat format, std::string* message = nullptr,
                         int paletteIndex = 0) {
    std::vector<std::string> warnings;
    auto palette = ReadPalette(bytes, format, {.paletteIndex = paletteIndex, .maxPngPixels = 1u << 20}, warnings);
    if (message != nullptr) {
        *message = palette ? "" : palette.error().Message();
    }
    return palette;
}

TEST(PaletteFormats, EveryWritableFormatReadsBackItsColours) {
    const std::vector<Rgb8> six{{0, 0, 0}, {255, 255, 255}, {255, 0, 0}, {1, 2, 3}, {128, 64, 32}, {9, 200, 77}};
    const std::vector<PaletteData> palettes{
        {{{12, 34, 56}}, "one", {}},
        {six, "six; with a name", 3},
        {RandomColors(17, 1, Draw::kLowByte), "", {}},
        {RandomColors(256, 2, Draw::kLowByte), "full", 255},
    };
    for (const FormatInfo& info : PaletteFormats()) {
        if (!info.writes) {
            continue;
        }
        for (const PaletteData& palette : palettes) {
            SCOPED_TRACE(std::string(info.name) + ", " + std::to_string(palette.colors.size()) + " colours");
            std::vector<std::string> warnings;
            const auto bytes = WritePalette(palette, info.format, warnings);
            ASSERT_TRUE(bytes) << bytes.error().Message();
            std::vector<Rgb8> expected = palette.colors;
            if (info.format == PaletteFormat::kVga) {
                for (Rgb8& c : expected) {
                    c = {ExpandSixBit(SixBit(c.r)), ExpandSixBit(SixBit(c.g)), ExpandSixBit(SixBit(c.b))};
                }
                EXPECT_NE(std::find_if(warnings.begin(), warnings.end(),
                                       [](const std::string& w) { return w.find("lossy") != std::string::npos; }),
                          warnings.end());
            }
            std::string message;
            const auto back = Read(*bytes, info.format, &message);
            ASSERT_TRUE(back) << message;
            EXPECT_EQ(back->colors, expected);
            const bool keepsTransparency = info.format == PaletteFormat::kAct || info.format == PaletteFormat::kPng;
            EXPECT_EQ(back->transparentIndex, keepsTransparency ? palette.transparentIndex : std::nullopt);
            if (info.format == PaletteFormat::kGpl && !palette.name.empty()) {
                EXPECT_EQ(back->name, palette.name);
            }
        }
    }
}

struct NamedCase {
    std::string label;
    std::string fileName;
    ByteVector bytes;
    PaletteFormat format;
    std::vector<Rgb8> colors;  // the first few
    std::size_t count;
    std::optional<int> transparent = {};
    int paletteIndex = 0;
    bool guessedVga = false;
};

std::vector<NamedCase> NamedCases() {
    ByteVector act772(768, 0);
    act772[3] = 10, act772[4] = 20, act772[5] = 30;
    act772 = Cat({act772, {0, 2, 0, 1}});
    ByteVector playpal(10752, 0);
    playpal[768] = 200, playpal[769] = 100, playpal[770] = 50;
    const ByteVector twoPalettes(playpal.begin(), playpal.begin() + 1536);
    const ByteVector riff = Cat({B("RIFF"), {4 + 8 + 12, 0, 0, 0}, B("PAL data"), {12, 0, 0, 0, 0, 3, 2, 0},
                                 {1, 2, 3, 0, 250, 251, 252, 0}});
    const ByteVector rgbRows = Unfiltered({9, 9, 9, 1, 1, 1, 9, 9, 9, 5, 6, 7, 1, 1, 1, 9, 9, 9}, 9);
    const ByteVector plte = Chunk("PLTE", {50, 60, 70, 0, 0, 0, 1, 2, 3});
    const ByteVector trns = Chunk("tRNS", {255, 0});
    // Two rows of 16-bit grey: 0x0000 0xffff / 0x8080 0x0000.
    const ByteVector grey16 = Unfiltered({0, 0, 255, 255, 128, 128, 0, 0}, 4);
    return {
        {"text with PAL header", "a.txt", B("PAL x\n3\n1 2 3\n# comment\n\n4 5 6 name\r\n7 8 9"), PaletteFormat::kText,
         {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}}, 3},
        {"gpl", "x", B("GIMP Palette\nName: Fire\nColumns: 4\n# c\n255   0   0\tRed\n  0 128 255\n"),
         PaletteFormat::kGpl, {{255, 0, 0}, {0, 128, 255}}, 2},
        {"gpl RGBA", "x.gpl", B("GIMP Palette\r\nChannels: RGBA\r\n1 2 3 4 first\r\n5 6 7 0\r\n"),
         PaletteFormat::kGpl, {{1, 2, 3}, {5, 6, 7}}, 2},
        {"jasc", "x.pal", B("JASC-PAL\r\n0100\r\n2\r\n10 20 30\r\n40 50 60\r\n"), PaletteFormat::kJasc,
         {{10, 20, 30}, {40, 50, 60}}, 2},
        {"act 768", "x.act", Cat({{7, 8, 9}, ByteVector(765, 0)}), PaletteFormat::kAct, {{7, 8, 9}, {0, 0, 0}}, 256},
        {"act 772", "x.ACT", act772, PaletteFormat::kAct, {{0, 0, 0}, {10, 20, 30}}, 2, 1},
        {"riff", "x.pal", riff, PaletteFormat::kRiff, {{1, 2, 3}, {250, 251, 252}}, 2},
        {"raw", "x.pal", {0, 0, 0, 255, 128, 64}, PaletteFormat::kRaw, {{0, 0, 0}, {255, 128, 64}}, 2},
        {"vga", "x.pal", {0, 0, 0, 63, 32, 1}, PaletteFormat::kVga, {{0, 0, 0}, {255, 130, 4}}, 2, {}, 0, true},
        {"playpal by size", "lump", playpal, PaletteFormat::kPlaypal, {{200, 100, 50}}, 256, {}, 1},
        {"playpal by name", "PLAYPAL.lmp", twoPalettes, PaletteFormat::kPlaypal, {{0, 0, 0}}, 256},
        {"hex", "x.hex", B("ff8000\n#00FF7f\r\n\n#fa0\n#11223300\n"), PaletteFormat::kHex,
         {{255, 128, 0}, {0, 255, 127}, {255, 170, 0}, {17, 34, 51}}, 4},
        // Content decides first: text that reads as a palette is text,
        // whatever its name or size.
        {"text named like a PLAYPAL", "playpal.txt", B("0 0 0\n255 255 255\n"), PaletteFormat::kText,
         {{0, 0, 0}, {255, 255, 255}}, 2},
        {"text of a PLAYPAL's size", "x", TextOfSize(10752), PaletteFormat::kText, {{1, 2, 3}}, 256},
        {"classic Mac line ends", "x.txt", B("PAL\r2\r1 2 3\r4 5 6\r"), PaletteFormat::kText,
         {{1, 2, 3}, {4, 5, 6}}, 2},
        {"hex by content", "colours.txt", B("ff8000\n00ff7f\n"), PaletteFormat::kHex, {{255, 128, 0}}, 2},
        {"paintnet by content", "x", B(";c\nFFFF0000\n"), PaletteFormat::kPaintNet, {{255, 0, 0}}, 1},
        // Binary triples of printable bytes (mid tones) in a .pal are raw.
        {"printable raw .pal", "mid.pal", B("@AB~}|"), PaletteFormat::kRaw, {{64, 65, 66}, {126, 125, 124}}, 2},
        {"printable vga .pal", "mid.pal", B("0 ?"), PaletteFormat::kVga, {{195, 130, 255}}, 1, {}, 0, true},
        {"UTF-16LE gpl named .pal", "x.pal", Utf16(u"GIMP Palette\r\n1 2 3 caf\u00e9\r\n", false),
         PaletteFormat::kGpl, {{1, 2, 3}}, 1},
        {"UTF-16BE text", "x.txt", Utf16(u"PAL\n1\n10 20 30\n", true), PaletteFormat::kText, {{10, 20, 30}}, 1},
        {"paintnet", "x.txt", B("; paint.net Palette File\r\n; Colors: 2\r\nFFFF0000\r\n800000ff\r\n"),
         PaletteFormat::kPaintNet, {{255, 0, 0}, {0, 0, 255}}, 2},
        {"png indexed: PLTE in order", "x", MakePng(2, 1, 8, 3, {0, 2, 2}, Cat({plte, trns})), PaletteFormat::kPng,
         {{50, 60, 70}, {0, 0, 0}, {1, 2, 3}}, 3, 1},
        {"png rgb: first appearance", "x", MakePng(3, 2, 8, 2, rgbRows), PaletteFormat::kPng,
         {{9, 9, 9}, {1, 1, 1}, {5, 6, 7}}, 3},
        {"png grey 16-bit", "x", MakePng(2, 2, 16, 0, grey16), PaletteFormat::kPng,
         {{0, 0, 0}, {255, 255, 255}, {128, 128, 128}}, 3},
    };
}

TEST(PaletteFormats, DetectsAndReadsASmallFileOfEachKind) {
    for (const NamedCase& c : NamedCases()) {
        SCOPED_TRACE(c.label);
        const DetectedFormat detected = DetectPaletteFormat(c.bytes, c.fileName);
        EXPECT_EQ(detected.format, c.format);
        EXPECT_EQ(detected.guessedVga, c.guessedVga);
        std::string message;
        const auto palette = Read(c.bytes, c.format, &message, c.paletteIndex);
        ASSERT_TRUE(palette) << message;
        ASSERT_EQ(palette->colors.size(), c.count);
        EXPECT_EQ(std::vector<Rgb8>(palette->colors.begin(),
                                    palette->colors.begin() + static_cast<std::ptrdiff_t>(c.colors.size())),
                  c.colors);
        EXPECT_EQ(palette->transparentIndex, c.transparent);
    }
}

// UTF-16 text cut short is refused as the text it is, never read as binary
// triples; binary triples that happen to begin with FF FE stay binary.
TEST(PaletteFormats, Utf16TextIsNeverBinary) {
    const ByteVector cut = Cat({Utf16(u"1 2 3\n4 5 6\n", false), {'7'}});
    EXPECT_EQ(DetectPaletteFormat(cut, "x.pal").format, PaletteFormat::kText);
    std::string message;
    EXPECT_FALSE(Read(cut, PaletteFormat::kText, &message));
    EXPECT_EQ(message, "offset 26: not UTF-16 text: an odd number of bytes");
    const ByteVector triples{0xFF, 0xFE, 0x10, 0x00, 0x00, 0x00};
    EXPECT_EQ(DetectPaletteFormat(triples, "x.pal").format, PaletteFormat::kRaw);
}

TEST(PaletteFormats, BadInputGivesOneLineWithLineOrOffset) {
    std::string lines257;
    for (int i = 0; i < 257; ++i) {
        lines257 += "1 2 3\n";
    }
    const ByteVector pngRows = Unfiltered({0, 0, 0, 1, 1, 1}, 6);
    const ByteVector goodPng = MakePng(2, 1, 8, 2, pngRows);
    ByteVector badCrc = goodPng;
    badCrc[badCrc.size() - 13] ^= 0xFF;  // the IDAT's CRC, before the 12-byte IEND
    ByteVector colors257;
    for (int i = 0; i < 257; ++i) {
        colors257.insert(colors257.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i / 256), 0});
    }
    const struct {
        PaletteFormat format;
        ByteVector bytes;
        std::string message;
    } cases[] = {
        {PaletteFormat::kText, B("1 2 3\n\n12 300 4\n"), "line 3: expected three numbers 0..255, found \"12 300 4\""},
        {PaletteFormat::kText, B("1 2\n"), "line 1: expected three numbers 0..255, found \"1 2\""},
        {PaletteFormat::kText, B("1 2 -3\n"), "line 1: expected three numbers 0..255, found \"1 2 -3\""},
        {PaletteFormat::kText, B("PAL\n3\n1 2 3\n"), "line 2: the header gives 3 colours, the file has 1"},
        {PaletteFormat::kText, B(lines257), "line 257: more than 256 colours"},
        {PaletteFormat::kText, B("\n# nothing\n"), "no colours"},
        {PaletteFormat::kGpl, B("GIMP palette\n"), "line 1: expected \"GIMP Palette\", found \"GIMP palette\""},
        {PaletteFormat::kGpl, B("GIMP Palette\nChannels: RGBA\n1 2 3 name\n"),
         "line 3: expected four numbers 0..255, found \"1 2 3 name\""},
        {PaletteFormat::kJasc, B("JASC-PAL\n0100\n3\n1 2 3\n4 5 6\n"), "line 3: the count is 3, the file has 2 colours"},
        {PaletteFormat::kJasc, B("JASC-PAL\n0100\n1\n1 2 3\n4 5 6\n"),
         "line 5: more colour lines than the count of 1 on line 3"},
        {PaletteFormat::kAct, ByteVector(700, 0), "offset 700: an act file has 768 or 772 bytes, this one 700 bytes"},
        {PaletteFormat::kAct, Cat({ByteVector(768, 0), {1, 44, 255, 255}}), "offset 768: colour count 300 is not 1..256"},
        {PaletteFormat::kRiff, Cat({B("RIFF"), {100, 0, 0, 0}, B("PAL ")}),
         "offset 12: the file is truncated: its RIFF header gives 108 bytes"},
        {PaletteFormat::kRiff, Cat({B("RIFF"), {16, 0, 0, 0}, B("PAL data"), {4, 0, 0, 0, 0, 1, 1, 0}}),
         "offset 20: palette version 256, expected 768 (0x0300)"},
        // Found by fuzzing: bytes of the input in a message are escaped.
        {PaletteFormat::kRiff, Cat({B("RIFF"), {12, 0, 0, 0}, B("PAL d\nta"), {100, 0, 0, 0}}),
         "offset 16: chunk \"d\\x0ata\" of 100 bytes runs past the end"},
        {PaletteFormat::kRaw, {1, 2, 3, 4}, "offset 3: the file ends inside a colour (4 bytes, not a multiple of 3)"},
        {PaletteFormat::kRaw, colors257, "offset 768: more than 256 colours (771 bytes)"},
        {PaletteFormat::kVga, {1, 2, 64}, "offset 2: value 64 is not a 6-bit component 0..63"},
        {PaletteFormat::kPlaypal, ByteVector(1000, 0),
         "offset 768: a PLAYPAL lump is a whole number of 768-byte palettes, this one 1000 bytes"},
        {PaletteFormat::kHex, B("ff0000\nff00\n"),
         "line 2: expected a colour rrggbb, #rrggbb, #rgb or #rrggbbaa, found \"ff00\""},
        // A hex line is a colour or blank: nothing is skipped, so no later
        // colour moves to another index.
        {PaletteFormat::kHex, B("ff0000\n#00gg00\n"),
         "line 2: expected a colour rrggbb, #rrggbb, #rgb or #rrggbbaa, found \"#00gg00\""},
        {PaletteFormat::kHex, B("#00FF00 green\n"),
         "line 1: expected a colour rrggbb, #rrggbb, #rgb or #rrggbbaa, found \"#00FF00 green\""},
        {PaletteFormat::kHex, B("# lospec\nff0000\n"),
         "line 1: expected a colour rrggbb, #rrggbb, #rgb or #rrggbbaa, found \"# lospec\""},
        {PaletteFormat::kHex, B("00FF0080\n"),
         "line 1: expected a colour rrggbb, #rrggbb, #rgb or #rrggbbaa, found \"00FF0080\""},
        {PaletteFormat::kText, B("PAL\n-3\n1 2 3\n"),
         "line 2: expected the colour count 1..256 after the PAL line, found \"-3\""},
        {PaletteFormat::kText, B("PAL\n300\n1 2 3\n"),
         "line 2: expected the colour count 1..256 after the PAL line, found \"300\""},
        {PaletteFormat::kText, B("PAL x\r\n1 2 3\r\n"),
         "line 2: expected the colour count 1..256 after the PAL line, found \"1 2 3\""},
        {PaletteFormat::kText, B("PAL"), "line 2: expected the colour count after the PAL line"},
        {PaletteFormat::kJasc, B("JASC-PAL\n0200\n1\n1 2 3\n"),
         "line 2: expected the version line \"0100\", found \"0200\""},
        {PaletteFormat::kText, Utf16(u"1 2 3\n4 5\n", false),
         "line 2: expected three numbers 0..255, found \"4 5\""},
        {PaletteFormat::kText, Cat({Utf16(u"1 2 3", false), {0}}), "offset 12: not UTF-16 text: an odd number of bytes"},
        {PaletteFormat::kGpl, Utf16(u"GIMP Palette\n\xd800", true), "offset 28: not UTF-16 text: a lone high surrogate"},
        {PaletteFormat::kText, Utf16(std::u16string(u"1 2 3\n") + u'\0', false),
         "offset 14: not UTF-16 text: control character 0"},
        {PaletteFormat::kPaintNet, B("; x\nFF00GG00\n"), "line 2: expected a colour aarrggbb, found \"FF00GG00\""},
        {PaletteFormat::kPng, ByteVector(goodPng.begin(), goodPng.end() - 20), "bad PNG: the file is truncated"},
        {PaletteFormat::kPng, badCrc, "bad PNG: IDAT: CRC error"},
        {PaletteFormat::kPng, B("GIF89a"), "not a PNG file (no PNG signature)"},
        // A few dozen bytes that declare 4 Gi pixels: refused on the header,
        // before the (far too short) image data is looked at.
        {PaletteFormat::kPng, MakePng(65535, 65535, 8, 2, pngRows),
         "the image is 65535 x 65535 pixels, more than the limit of 1048576"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(InfoOf(c.format).name) + ": " + c.message);
        std::string message;
        EXPECT_FALSE(Read(c.bytes, c.format, &message));
        EXPECT_EQ(message, c.message);
    }
    std::string message;
    EXPECT_FALSE(Read(Cat({ByteVector(768, 0)}), PaletteFormat::kPlaypal, &message, 1));
    EXPECT_EQ(message, "palette index 1 is not 0..0");

    // More than 256 distinct colours in a truecolour image: 257 pixels in a row.
    const ByteVector wide = MakePng(257, 1, 8, 2, Unfiltered(colors257, colors257.size()));
    EXPECT_FALSE(Read(wide, PaletteFormat::kPng, &message));
    EXPECT_EQ(message, "more than 256 distinct colours (the 257th at x 256, y 0)");
}

// On files the generator's lenient reader takes as they stand, the strict
// reader gives the same colours.
TEST(PaletteFormats, StrictTextAgreesWithTheGeneratorsReader) {
    std::mt19937 rng(11);
    for (int trial = 0; trial < 40; ++trial) {
        const std::size_t count = 1 + rng() % 256;
        const bool header = trial % 2 == 0;
        std::string text = header ? "PAL trial\n" + std::to_string(count) + "\n" : "";
        for (const Rgb8 c : RandomColors(count, static_cast<unsigned>(trial), Draw::kLowByte)) {
            text += std::to_string(c.r) + (trial % 3 == 0 ? "\t" : " ") + std::to_string(c.g) + " " +
                    std::to_string(c.b) + (trial % 4 == 0 ? "\r\n" : "\n");
        }
        SCOPED_TRACE("trial " + std::to_string(trial));
        const ByteVector bytes = B(text);
        std::string message;
        const auto strict = Read(bytes, PaletteFormat::kText, &message);
        ASSERT_TRUE(strict) << message;
        EXPECT_EQ(ToGeneratorPalette(strict->colors), ReadPaletteText(bytes).palette);
    }
}

// Where paltab would read a palette text otherwise than the strict reader,
// without anything to see in an editor, the difference is named; where it
// reads the same palette, nothing is said.
TEST(PaletteFormats, SaysWherePaltabReadsATextOtherwise) {
    const struct {
        ByteVector bytes;
        std::string message;  // empty: none
    } cases[] = {
        {B("1 2 3\n4 5 6\n"), ""},
        {B("\xEF\xBB\xBF" "1 2 3\n4 5 6\n"),
         "paltab would read this file differently, entry 0 as 0 0 0: the file begins with a UTF-8 byte order mark, "
         "which paltab reads as part of the first line"},
        {B("\xEF\xBB\xBFPAL\n2\n1 2 3\n4 5 6\n"),
         "paltab would read this file differently, entry 0 as 0 0 0: the file begins with a UTF-8 byte order mark, "
         "which paltab reads as part of the first line"},
        // paltab reads the mark's line as no numbers: entry 0 keeps its
        // zeros, as the strict reader's black.
        {B("\xEF\xBB\xBF" "0 0 0\n4 5 6\n"), ""},
        {B("1 2 3\r4 5 6\r"),
         "paltab would read this file differently, entry 0 as 1 2 34: its lines end in a carriage return alone, "
         "which paltab does not take as a line end"},
        {Utf16(u"1 2 3\n", false),
         "paltab would read this file differently, entry 0 as 0 0 0: the file is UTF-16 text, which paltab reads "
         "as bytes"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.bytes.begin(), c.bytes.end()));
        std::string message;
        const auto strict = Read(c.bytes, PaletteFormat::kText, &message);
        ASSERT_TRUE(strict) << message;
        EXPECT_EQ(GeneratorReadsDifferently(c.bytes, strict->colors).value_or(""), c.message);
    }
}

TEST(PaletteFormats, FileErrorsAndWarningsNameTheFile) {
    const std::filesystem::path dir = std::filesystem::path(testing::TempDir()) / "palette_formats_test";
    std::filesystem::create_directories(dir);
    const auto write = [&](const std::string& name, std::string_view content) {
        std::ofstream(dir / name, std::ios::binary) << content;
        return (dir / name).string();
    };
    const std::string gpl = write("fire.gpl", "GIMP Palette\nName: fire\n#\n1 2 3\n4 5 6\n7 8 9\n12 300 4\n");
    std::vector<std::string> warnings;
    const auto bad = ReadPaletteFile(gpl, std::nullopt, {}, warnings);
    ASSERT_FALSE(bad);
    EXPECT_EQ(bad.error().Message(),
              "cannot read '" + gpl + "': line 7: expected three numbers 0..255, found \"12 300 4\"");
    EXPECT_EQ(bad.error().where, "line 7");

    const std::string vga = write("dark.pal", std::string("\0\1\2\77\77\77", 6));
    const auto guessed = ReadPaletteFile(vga, std::nullopt, {}, warnings);
    ASSERT_TRUE(guessed) << guessed.error().Message();
    EXPECT_EQ(guessed->format, PaletteFormat::kVga);
    EXPECT_EQ(guessed->palette.colors[1], (Rgb8{255, 255, 255}));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_TRUE(warnings[0].starts_with("'" + vga + "': every byte is 0..63, read as vga")) << warnings[0];
    const auto forced = ReadPaletteFile(vga, PaletteFormat::kRaw, {}, warnings);
    ASSERT_TRUE(forced) << forced.error().Message();
    EXPECT_EQ(forced->palette.colors[1], (Rgb8{63, 63, 63}));

    EXPECT_EQ(DuplicateColorWarnings(std::vector<Rgb8>{{1, 2, 3}, {0, 0, 0}, {1, 2, 3}}),
              std::vector<std::string>{"entry 2 repeats entry 0 (1 2 3) and is never chosen"});
    std::filesystem::remove_all(dir);
}

TEST(PngCodec, IndexedImageRoundTripsPixelsPaletteAndTransparency) {
    const std::vector<Rgb8> palette = RandomColors(5, 3, Draw::kLowByte);
    const ByteVector indices{0, 1, 2, 3, 4, 4, 3, 2, 1, 0, 2, 2};
    const auto png = EncodeIndexedPng(4, 3, indices, palette, 2);
    ASSERT_TRUE(png) << png.error().Message();
    const auto image = DecodePng(*png, kDefaultMaxPixels);
    ASSERT_TRUE(image) << image.error().Message();
    ASSERT_TRUE(image->indexed);
    EXPECT_EQ(image->plte, palette);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 4; ++x) {
            const std::uint8_t index = indices[static_cast<std::size_t>(y * 4 + x)];
            EXPECT_EQ(image->ColorAt(x, y), palette[index]);
            EXPECT_EQ(image->rgba[static_cast<std::size_t>(y * 4 + x) * 4 + 3], index == 2 ? 0 : 255);
        }
    }
}

// Too little memory for an image's pixels is an error naming it, not an
// exception: a header within the pixel limit may still ask for more memory
// than there is.
TEST(PngCodecDeathTest, TooLittleMemoryIsAnError) {
    if (const std::string why = AddressSpaceLimitUnusable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    // Run anew, so that no memory an earlier test freed is room.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const ByteVector png = MakePng(8192, 4096, 8, 2, Unfiltered(ByteVector(3 * 8192, 0), 3 * 8192));
    EXPECT_EXIT(
        {
            LimitAddressSpace(std::size_t{32} << 20);
            const auto image = DecodePng(png, kDefaultMaxPixels);
            std::fprintf(stderr, "%s\n", image ? "decoded under the limit" : image.error().Message().c_str());
            std::exit(0);
        },
        testing::ExitedWithCode(0), "^out of memory for 8192 x 4096 pixels\n$");
}

}  // namespace
}  // namespace paltab
