// Image formats: every writer read back by our readers and by Pillow (when
// installed), files Pillow writes read by ours, the pixel limit at its edge,
// every truncation of a file, and JPEG decoding of files libjpeg writes here.
#include "paltab/image_formats.hpp"

#include <gtest/gtest.h>
// jpeglib.h needs size_t and FILE declared first.
#include <cstdio>
#include <jpeglib.h>

#include <sstream>

#include "test_process.hpp"

namespace paltab {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr ImageFormat kIndexedFormats[] = {ImageFormat::kPng, ImageFormat::kBmp, ImageFormat::kPcx,
                                           ImageFormat::kTga, ImageFormat::kGif};

bool KeepsTransparency(ImageFormat format) {
    return format == ImageFormat::kGif || format == ImageFormat::kPng;
}

// Distinct colours (red is the entry's number) and a pattern that uses
// every entry once the image is large enough.
IndexedImage MakeImage(int width, int height, int colours, std::optional<int> transparent = {}) {
    IndexedImage image;
    image.width = width;
    image.height = height;
    for (int k = 0; k < colours; ++k) {
        image.palette.push_back({static_cast<std::uint8_t>(k), static_cast<std::uint8_t>(k * 7),
                                 static_cast<std::uint8_t>(255 - k)});
    }
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.indices.push_back(static_cast<std::uint8_t>((x * 5 + y * 3 + x * y) % colours));
        }
    }
    image.transparentIndex = transparent;
    return image;
}

struct Case {
    const char* name;
    IndexedImage image;
};

std::vector<Case> Cases() {
    return {{"one-pixel", MakeImage(1, 1, 1)},
            {"odd-width", MakeImage(7, 3, 16)},
            {"transparent", MakeImage(13, 5, 32, 9)},
            {"full-palette", MakeImage(33, 17, 256, 255)},
            {"tall", MakeImage(2, 41, 3)}};
}

Bytes Write(const IndexedImage& image, ImageFormat format) {
    const auto bytes = WriteIndexedImage(image, format);
    EXPECT_TRUE(bytes) << ImageFormatName(format) << ": " << bytes.error().Message();
    return bytes.value_or(Bytes{});
}

// Formats keep the transparent index where they have one (gif, png).
void ExpectSameImage(const IndexedImage& want, const IndexedImage& got, ImageFormat format, const char* name) {
    SCOPED_TRACE(std::string(ImageFormatName(format)) + " " + name);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
    EXPECT_EQ(got.indices, want.indices);
    ASSERT_GE(got.palette.size(), want.palette.size());
    EXPECT_TRUE(std::equal(want.palette.begin(), want.palette.end(), got.palette.begin()));
    EXPECT_EQ(got.transparentIndex, KeepsTransparency(format) ? want.transparentIndex : std::nullopt);
}

TEST(ImageFormats, EveryWriterReadBack) {
    for (const Case& c : Cases()) {
        for (const ImageFormat format : kIndexedFormats) {
            const auto read = ReadIndexedImage(Write(c.image, format), format, kDefaultMaxImagePixels);
            ASSERT_TRUE(read) << ImageFormatName(format) << " " << c.name << ": " << read.error().Message();
            ExpectSameImage(c.image, *read, format, c.name);
        }
        EXPECT_EQ(Write(c.image, ImageFormat::kRaw), c.image.indices);
    }
}

TEST(ImageFormats, LayoutFacts) {
    const IndexedImage image = MakeImage(7, 3, 16);
    const Bytes bmp = Write(image, ImageFormat::kBmp);
    // 14 + 40 + 1024 bytes of headers and table, then rows of 8 (7 padded to 4), bottom row first.
    ASSERT_EQ(bmp.size(), 1078u + 8 * 3);
    EXPECT_TRUE(std::equal(bmp.begin() + 1078, bmp.begin() + 1085, image.indices.begin() + 14));
    const Bytes pcx = Write(image, ImageFormat::kPcx);
    EXPECT_EQ(pcx[1], 5);
    EXPECT_EQ(pcx[66], 8);  // bytes per line: even
    EXPECT_EQ(pcx[pcx.size() - 769], 0x0C);
    const Bytes tga = Write(image, ImageFormat::kTga);
    EXPECT_EQ(tga[2], 1);
    EXPECT_EQ(tga[7], 24);
    EXPECT_EQ(tga[17], 0x20);  // top-left origin
}

TEST(ImageFormats, WritersRefuseBadImages) {
    IndexedImage outside = MakeImage(4, 4, 8);
    outside.indices[5] = 8;
    IndexedImage badTransparent = MakeImage(4, 4, 8, 8);
    IndexedImage shortIndices = MakeImage(4, 4, 8);
    shortIndices.indices.pop_back();
    IndexedImage noPalette = MakeImage(4, 4, 1);
    noPalette.palette.clear();
    const struct {
        const char* name;
        IndexedImage image;
        const char* cause;
    } cases[] = {{"outside", outside, "pixel 1,1 has index 8, outside the 8-colour palette"},
                 {"transparent", badTransparent, "transparent index 8 lies outside"},
                 {"short", shortIndices, "15 indices for 16 pixels"},
                 {"no palette", noPalette, "0 colours"}};
    for (const auto& c : cases) {
        for (const ImageFormat format : {ImageFormat::kBmp, ImageFormat::kPcx, ImageFormat::kTga, ImageFormat::kGif,
                                         ImageFormat::kRaw}) {
            const auto written = WriteIndexedImage(c.image, format);
            ASSERT_FALSE(written) << c.name;
            EXPECT_NE(written.error().Message().find(c.cause), std::string::npos)
                << c.name << ": " << written.error().Message();
        }
    }
}

// A sprite's offsets go into a PNG as grAb before IDAT (big-endian, signed)
// and come back from it through the fast path and through libpng alike; an
// image without them gets no chunk.
TEST(ImageFormats, PngOffsets) {
    for (const std::optional<ImageOffsets> offsets :
         {std::optional<ImageOffsets>{}, std::optional(ImageOffsets{-3, 70000}), std::optional(ImageOffsets{16, -2})}) {
        IndexedImage image = MakeImage(5, 3, 4, 1);
        image.offsets = offsets;
        const Bytes png = Write(image, ImageFormat::kPng);
        const std::string text(png.begin(), png.end());
        const std::size_t grab = text.find("grAb");
        ASSERT_EQ(grab != std::string::npos, offsets.has_value());
        if (offsets) {
            EXPECT_LT(grab, text.find("IDAT"));
            EXPECT_EQ(png[grab - 1], 8);  // the chunk's length
            EXPECT_EQ(png[grab + 4], offsets->x < 0 ? 0xFF : 0);
        }
        const auto read = ReadPng(png, kDefaultMaxImagePixels);
        ASSERT_TRUE(read) << read.error().Message();
        EXPECT_EQ(read->offsets, offsets);
        const auto slow = DecodePng(png, kDefaultMaxImagePixels);
        ASSERT_TRUE(slow) << slow.error().Message();
        EXPECT_EQ(slow->offsets, offsets);
        EXPECT_EQ(slow->indices, image.indices);
    }
}

// The widest image each format can say is written and read; one more pixel
// is refused.
TEST(ImageFormats, LargestSides) {
    const struct {
        ImageFormat format;
        int largest;
    } cases[] = {{ImageFormat::kPcx, 65534}, {ImageFormat::kTga, 65535}, {ImageFormat::kGif, 65535}};
    for (const auto& c : cases) {
        const IndexedImage wide = MakeImage(c.largest, 1, 256);
        const auto read = ReadIndexedImage(Write(wide, c.format), c.format, kDefaultMaxImagePixels);
        ASSERT_TRUE(read) << read.error().Message();
        EXPECT_EQ(read->indices, wide.indices);
        const auto tooWide = WriteIndexedImage(MakeImage(c.largest + 1, 1, 2), c.format);
        ASSERT_FALSE(tooWide);
        EXPECT_EQ(tooWide.error().kind, ErrorKind::kOutput);
        EXPECT_NE(tooWide.error().Message().find("at most"), std::string::npos) << tooWide.error().Message();
    }
}

// The limit is checked from the header: a file at the limit is read, and the
// same file is refused by a limit one pixel lower.
TEST(ImageFormats, PixelLimitFromTheHeader) {
    const IndexedImage image = MakeImage(9, 7, 16);
    for (const ImageFormat format : kIndexedFormats) {
        const Bytes bytes = Write(image, format);
        const auto atLimit = ReadIndexedImage(bytes, format, 63);
        EXPECT_TRUE(atLimit) << atLimit.error().Message();
        const auto overLimit = ReadIndexedImage(bytes, format, 62);
        ASSERT_FALSE(overLimit);
        EXPECT_EQ(overLimit.error().kind, ErrorKind::kTooLarge);
        EXPECT_NE(overLimit.error().Message().find("9 x 7 pixels, more than the limit of 62"), std::string::npos)
            << overLimit.error().Message();
    }
    // A BMP header declaring 60000 x 60000 pixels and nothing else.
    Bytes huge = Write(MakeImage(1, 1, 2), ImageFormat::kBmp);
    huge[18] = huge[22] = 0x60;
    huge[19] = huge[23] = 0xEA;
    const auto read = ReadBmp(huge, kDefaultMaxImagePixels);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().Message(), "offset 18: the image is 60000 x 60000 pixels, more than the limit of 33554432");
}

// Every prefix of a file fails cleanly; the last few bytes of some formats
// are optional (a BMP's last padding, a TGA's footer, a GIF's trailer).
TEST(ImageFormats, EveryTruncationFails) {
    const IndexedImage image = MakeImage(13, 5, 32, 9);
    const struct {
        ImageFormat format;
        std::size_t optionalTail;
    } cases[] = {{ImageFormat::kBmp, 3}, {ImageFormat::kPcx, 0}, {ImageFormat::kTga, 26}, {ImageFormat::kGif, 2},
                 {ImageFormat::kPng, 0}};
    for (const auto& c : cases) {
        const Bytes bytes = Write(image, c.format);
        for (std::size_t size = 0; size + c.optionalTail < bytes.size(); ++size) {
            const auto read = ReadIndexedImage(std::span(bytes).first(size), c.format, kDefaultMaxImagePixels);
            ASSERT_FALSE(read) << ImageFormatName(c.format) << " prefix of " << size;
            EXPECT_FALSE(read.error().cause.empty());
        }
    }
}

TEST(ImageFormats, BadHeaders) {
    const IndexedImage image = MakeImage(4, 2, 4);
    Bytes bmp24 = Write(image, ImageFormat::kBmp);
    bmp24[28] = 24;
    Bytes bmpRle = Write(image, ImageFormat::kBmp);
    bmpRle[30] = 1;
    Bytes bmpIndex = Write(image, ImageFormat::kBmp);
    bmpIndex[46] = 4;  // a table of four colours
    bmpIndex[47] = 0;
    bmpIndex[1078] = 200;
    Bytes tgaTrueColour = Write(image, ImageFormat::kTga);
    tgaTrueColour[2] = 2;
    Bytes pcxPlanes = Write(image, ImageFormat::kPcx);
    pcxPlanes[65] = 3;
    const struct {
        ImageFormat format;
        Bytes bytes;
        const char* message;
    } cases[] = {
        {ImageFormat::kBmp, bmp24, "offset 28: 24 bits per pixel; only 8-bit indexed BMP is read"},
        {ImageFormat::kBmp, bmpRle, "offset 30: compression 1; only uncompressed BMP is read"},
        {ImageFormat::kBmp, bmpIndex, "offset 1078: pixel index 200 lies outside the 4-colour table"},
        {ImageFormat::kTga, tgaTrueColour, "offset 1: colour map type 1, image type 2, 8 bits per pixel; only "},
        {ImageFormat::kPcx, pcxPlanes, "offset 3: 8 bits per pixel in 3 planes; only 8-bit, one-plane PCX is read"},
        {ImageFormat::kGif, Bytes{'G', 'I', 'F', '8', '9', 'a'}, "offset 6: bad GIF header"},
        {ImageFormat::kBmp, Bytes{'G', 'I', 'F'}, "not a BMP file"},
    };
    for (const auto& c : cases) {
        const auto read = ReadIndexedImage(c.bytes, c.format, kDefaultMaxImagePixels);
        ASSERT_FALSE(read);
        EXPECT_EQ(read.error().Message().substr(0, std::string_view(c.message).size()), c.message);
    }
}

// A GIF's first frame on its logical screen: placed, clipped, the rest of
// the screen the background (or the transparent) index.
TEST(ImageFormats, GifFrameOnItsScreen) {
    const IndexedImage frame = MakeImage(3, 2, 4);  // indices 0 1 2 / 3 1 3
    const struct {
        const char* name;
        int screenWidth, screenHeight, left, top;
        std::optional<int> transparent;
        Bytes expected;  // the screen, row by row
    } cases[] = {{"placed", 5, 3, 1, 1, {}, {0, 0, 0, 0, 0, 0, 0, 1, 2, 0, 0, 3, 1, 3, 0}},
                 {"clipped", 2, 2, 1, 1, 3, {3, 3, 3, 0}},
                 {"far outside", 2, 1, 65535, 65535, {}, {0, 0}},
                 {"no screen", 0, 0, 7, 7, {}, {0, 1, 2, 3, 1, 3}}};
    for (const auto& c : cases) {
        IndexedImage source = frame;
        source.transparentIndex = c.transparent;
        Bytes gif = Write(source, ImageFormat::kGif);
        const auto put16 = [&](std::size_t at, int value) {
            gif[at] = static_cast<std::uint8_t>(value);
            gif[at + 1] = static_cast<std::uint8_t>(value >> 8);
        };
        put16(6, c.screenWidth);
        put16(8, c.screenHeight);
        // The image descriptor follows the screen, its map and, with
        // transparency, the 8-byte graphic control extension.
        const std::size_t descriptor = 13 + 768 + (c.transparent ? 8 : 0);
        ASSERT_EQ(gif[descriptor], ',');
        put16(descriptor + 1, c.left);
        put16(descriptor + 3, c.top);
        const auto image = ReadGif(gif, kDefaultMaxImagePixels);
        ASSERT_TRUE(image) << c.name << ": " << image.error().Message();
        EXPECT_EQ(image->indices, c.expected) << c.name;
        EXPECT_EQ(image->width * image->height, static_cast<int>(c.expected.size())) << c.name;
    }
}

TEST(ImageFormats, NamesAndDetection) {
    EXPECT_EQ(ImageFormatOfName("art/TITLEPIC.Pcx"), ImageFormat::kPcx);
    EXPECT_EQ(ImageFormatOfName("photo.JPG"), ImageFormat::kJpeg);
    EXPECT_EQ(ImageFormatOfName("FLOOR0_1.lmp"), ImageFormat::kRaw);
    EXPECT_EQ(ImageFormatOfName("dir.gif/noext"), std::nullopt);
    EXPECT_EQ(ParseImageFormat("TGA"), ImageFormat::kTga);
    EXPECT_EQ(ParseImageFormat("lmp"), std::nullopt);
    const IndexedImage image = MakeImage(3, 3, 4);
    for (const ImageFormat format : {ImageFormat::kBmp, ImageFormat::kPcx, ImageFormat::kGif}) {
        EXPECT_EQ(DetectImageFormat(Write(image, format)), format);
    }
    EXPECT_EQ(DetectImageFormat(Write(image, ImageFormat::kTga)), std::nullopt);
}

// --- JPEG, from files libjpeg writes here ----------------------------------

Bytes EncodeJpeg(int width, int height, J_COLOR_SPACE space, int components, const Bytes& samples) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = components;
    info.in_color_space = space;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 100, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = const_cast<JSAMPROW>(samples.data() + std::size_t{info.next_scanline} *
                                                                    static_cast<std::size_t>(width * components));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    Bytes bytes(buffer, buffer + size);
    std::free(buffer);
    return bytes;
}

TEST(Jpeg, ColourSpacesDecodeToTheirColours) {
    const struct {
        const char* name;
        J_COLOR_SPACE space;
        int components;
        std::vector<std::uint8_t> sample;  // every pixel
        Rgb8 expected;
    } cases[] = {{"rgb", JCS_RGB, 3, {200, 40, 90}, {200, 40, 90}},
                 {"grey", JCS_GRAYSCALE, 1, {77}, {77, 77, 77}},
                 // Adobe CMYK holds inverted ink: no cyan, full magenta, no yellow, no black.
                 {"cmyk", JCS_CMYK, 4, {255, 0, 255, 255}, {255, 0, 255}}};
    for (const auto& c : cases) {
        const int width = 19;
        const int height = 11;
        Bytes samples;
        for (int k = 0; k < width * height; ++k) {
            samples.insert(samples.end(), c.sample.begin(), c.sample.end());
        }
        const Bytes jpeg = EncodeJpeg(width, height, c.space, c.components, samples);
        const auto image = ReadJpeg(jpeg, kDefaultMaxImagePixels);
        ASSERT_TRUE(image) << c.name << ": " << image.error().Message();
        ASSERT_EQ(image->width, width);
        ASSERT_EQ(image->height, height);
        for (std::size_t k = 0; k < image->rgba.size(); k += 4) {
            const Rgb8 expected = c.expected;
            EXPECT_NEAR(image->rgba[k], expected.r, 2) << c.name << " pixel " << k / 4;
            EXPECT_NEAR(image->rgba[k + 1], expected.g, 2) << c.name;
            EXPECT_NEAR(image->rgba[k + 2], expected.b, 2) << c.name;
            ASSERT_EQ(image->rgba[k + 3], 255);
        }
        EXPECT_TRUE(ReadJpeg(jpeg, width * height));
        const auto overLimit = ReadJpeg(jpeg, width * height - 1);
        ASSERT_FALSE(overLimit);
        EXPECT_NE(overLimit.error().Message().find("more than the limit"), std::string::npos);
    }
}

TEST(Jpeg, TruncatedOrCorruptFails) {
    Bytes samples(64 * 48 * 3);
    for (std::size_t k = 0; k < samples.size(); ++k) {
        samples[k] = static_cast<std::uint8_t>(k * 131 % 251);
    }
    const Bytes jpeg = EncodeJpeg(64, 48, JCS_RGB, 3, samples);
    for (std::size_t size = 0; size + 2 < jpeg.size(); size += 1 + size / 8) {
        const auto read = ReadJpeg(std::span(jpeg).first(size), kDefaultMaxImagePixels);
        ASSERT_FALSE(read) << "prefix " << size;
        EXPECT_FALSE(read.error().cause.empty());
    }
    const auto read = ReadJpeg(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 2, 0xFF, 0xD9}, kDefaultMaxImagePixels);
    ASSERT_FALSE(read);
    EXPECT_EQ(read.error().Message().rfind("bad JPEG: ", 0), 0u) << read.error().Message();
}

// --- Pillow, an independent reader and writer --------------------------------

bool HavePillow(const ScratchDir& scratch) {
    return RunProgram("/usr/bin/python3", {"python3", "-c", "import PIL"}, scratch.path()).exitStatus == 0;
}

// Per file: "format mode width height transparency|- indices-hex rgb-hex".
constexpr const char* kPillowRead = R"(import sys
from PIL import Image
for path in sys.argv[1:]:
    im = Image.open(path)
    t = im.info.get('transparency')
    print(im.format, im.mode, im.width, im.height, '-' if t is None else t,
          im.tobytes().hex() if im.mode == 'P' else '-', im.convert('RGB').tobytes().hex())
)";

std::string Hex(const Bytes& bytes) {
    std::string text;
    constexpr char kDigits[] = "0123456789abcdef";
    for (const std::uint8_t b : bytes) {
        text += kDigits[b >> 4];
        text += kDigits[b & 15];
    }
    return text;
}

TEST(Pillow, ReadsEveryWriter) {
    ScratchDir scratch;
    if (!HavePillow(scratch)) {
        GTEST_SKIP() << "Pillow (python3-pil) is not installed";
    }
    std::vector<std::string> argv{"python3", "-c", kPillowRead};
    std::vector<std::string> expected;
    for (const Case& c : Cases()) {
        const RgbaImage rgba = IndexedToRgba(c.image);
        Bytes rgb;
        for (std::size_t k = 0; k < rgba.rgba.size(); k += 4) {
            rgb.insert(rgb.end(), rgba.rgba.begin() + static_cast<std::ptrdiff_t>(k),
                       rgba.rgba.begin() + static_cast<std::ptrdiff_t>(k + 3));
        }
        for (const ImageFormat format : kIndexedFormats) {
            const std::string path = scratch / (std::string(c.name) + "." + std::string(ImageFormatName(format)));
            const Bytes bytes = Write(c.image, format);
            WriteFile(path, std::string(bytes.begin(), bytes.end()));
            argv.push_back(path);
            std::string upper(ImageFormatName(format));
            std::transform(upper.begin(), upper.end(), upper.begin(), ::toupper);
            const bool gifTransparent = KeepsTransparency(format) && c.image.transparentIndex;
            expected.push_back(upper + " P " + std::to_string(c.image.width) + " " + std::to_string(c.image.height) +
                               " " + (gifTransparent ? std::to_string(*c.image.transparentIndex) : "-") + " " +
                               Hex(c.image.indices) + " " + Hex(rgb));
        }
    }
    const ProcessResult result = RunProgram("/usr/bin/python3", argv, scratch.path());
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    std::istringstream lines(result.out);
    for (std::size_t k = 0; k < expected.size(); ++k) {
        std::string line;
        std::getline(lines, line);
        EXPECT_EQ(line, expected[k]) << argv[k + 3];
    }
}

// Pillow writes a 40 x 23 image of 200 colours (PNG, interlaced GIF, RLE TGA, and
// a JPEG it also decodes); ours read them and must agree pixel for pixel.
constexpr const char* kPillowWrite = R"(import sys
from PIL import Image
w, h = 40, 23
im = Image.new('P', (w, h))
im.putpalette(sum(([k, (k * 7) % 256, 255 - k] for k in range(200)), []))
im.putdata([(x * 5 + y * 3 + x * y) % 200 for y in range(h) for x in range(w)])
im.save('p.png', transparency=9, optimize=True); im.save('p.bmp'); im.save('p.pcx'); im.save('p.tga', compression='tga_rle'); im.save('p.gif', transparency=9)
photo = Image.new('RGB', (w, h))
photo.putdata([(x * 6, y * 11, (x * y) % 256) for y in range(h) for x in range(w)])
photo.save('p.jpg', quality=90)
open('p.rgb', 'wb').write(Image.open('p.jpg').convert('RGB').tobytes())
)";

TEST(Pillow, WritesWhatWeRead) {
    ScratchDir scratch;
    if (!HavePillow(scratch)) {
        GTEST_SKIP() << "Pillow (python3-pil) is not installed";
    }
    const ProcessResult result =
        RunProgram("/usr/bin/python3", {"python3", "-c", kPillowWrite}, scratch.path(), scratch.path().string());
    ASSERT_EQ(result.exitStatus, 0) << result.err;
    const IndexedImage want = MakeImage(40, 23, 200);
    const auto readFile = [&](const char* name) {
        const std::string text = ReadFile(scratch / name);
        return Bytes(text.begin(), text.end());
    };
    for (const ImageFormat format : kIndexedFormats) {
        const std::string name = "p." + std::string(ImageFormatName(format));
        const auto image = ReadIndexedImage(readFile(name.c_str()), format, kDefaultMaxImagePixels);
        ASSERT_TRUE(image) << name << ": " << image.error().Message();
        ASSERT_EQ(image->width, want.width);
        ASSERT_EQ(image->height, want.height);
        // Pillow may reorder or trim a palette: compare colours.
        for (std::size_t k = 0; k < want.indices.size(); ++k) {
            ASSERT_EQ(image->palette[image->indices[k]], want.palette[want.indices[k]]) << name << " pixel " << k;
        }
        if (KeepsTransparency(format)) {
            ASSERT_TRUE(image->transparentIndex) << name;
            EXPECT_EQ(image->palette[static_cast<std::size_t>(*image->transparentIndex)], want.palette[9]);
        }
    }
    const auto photo = ReadJpeg(readFile("p.jpg"), kDefaultMaxImagePixels);
    ASSERT_TRUE(photo) << photo.error().Message();
    const Bytes pillowRgb = readFile("p.rgb");
    ASSERT_EQ(pillowRgb.size(), std::size_t{40 * 23 * 3});
    for (std::size_t k = 0; k < 40 * 23; ++k) {
        for (std::size_t c = 0; c < 3; ++c) {
            ASSERT_EQ(photo->rgba[k * 4 + c], pillowRgb[k * 3 + c]) << "pixel " << k;
        }
    }
}

}  // namespace
}  // namespace paltab
