// The fast PNG paths against libpng: a table of generated files of every
// colour type, depth and layout decoded both ways, damaged files that must
// fail as libpng fails, and indexed files written by the fast encoder read
// back by libpng.
#include "image/png_fast.hpp"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <csetjmp>
#include <functional>
#include <random>

#include "paltab/image.hpp"

namespace paltab {
namespace {

struct PngShape {
    int colorType;
    int bitDepth;
    int width;
    int height;
    bool interlaced;
    bool trns;
    // libpng's zlib buffer: small values cut the data into many IDATs.
    std::size_t idatSize;
};

struct Written {
    std::vector<std::uint8_t>* bytes;
};

void OnWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<Written*>(png_get_io_ptr(png));
    out->bytes->insert(out->bytes->end(), data, data + length);
}
void OnFlush(png_structp) {}

int Channels(int colorType) {
    switch (colorType) {
        case PNG_COLOR_TYPE_RGB: return 3;
        case PNG_COLOR_TYPE_GRAY_ALPHA: return 2;
        case PNG_COLOR_TYPE_RGB_ALPHA: return 4;
        default: return 1;
    }
}

// Plain data only between setjmp and the calls that may jump.
bool WriteAll(png_structp png, png_infop info, const PngShape& shape, png_bytepp rows, png_colorp plte, int plteCount,
              png_bytep alpha, png_color_16* transparent) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_IHDR(png, info, static_cast<png_uint_32>(shape.width), static_cast<png_uint_32>(shape.height),
                 shape.bitDepth, shape.colorType, shape.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (shape.colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_PLTE(png, info, plte, plteCount);
    }
    if (shape.trns) {
        png_set_tRNS(png, info, alpha, shape.colorType == PNG_COLOR_TYPE_PALETTE ? plteCount / 2 + 1 : 0,
                     transparent);
    }
    png_set_compression_buffer_size(png, shape.idatSize);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, info);
    return true;
}

// A file of noise in the given layout; every fourth pixel of an image with
// a transparent colour is that colour. Filters are libpng's adaptive choice.
std::vector<std::uint8_t> MakePng(const PngShape& shape, unsigned seed) {
    std::mt19937 rng(seed);
    const int channels = Channels(shape.colorType);
    const std::size_t rowBytes = (static_cast<std::size_t>(shape.width) * channels * shape.bitDepth + 7) / 8;
    const int plteCount = shape.colorType == PNG_COLOR_TYPE_PALETTE ? std::min(1 << shape.bitDepth, 200) : 0;
    std::vector<std::uint8_t> pixels(rowBytes * static_cast<std::size_t>(shape.height));
    const std::size_t sampleBytes = shape.bitDepth / 8;
    for (std::size_t y = 0; y < static_cast<std::size_t>(shape.height); ++y) {
        std::uint8_t* row = pixels.data() + y * rowBytes;
        for (std::size_t i = 0; i < rowBytes; ++i) {
            // A smooth ramp with noise, so that every filter gets chosen.
            row[i] = static_cast<std::uint8_t>(i * 3 + y * 5 + rng() % 9);
        }
        if (plteCount > 0 && shape.bitDepth == 8) {
            for (std::size_t i = 0; i < rowBytes; ++i) {
                row[i] = static_cast<std::uint8_t>(row[i] % plteCount);
            }
        }
        if (shape.trns && shape.colorType != PNG_COLOR_TYPE_PALETTE && shape.bitDepth >= 8) {
            const std::size_t pixelBytes = static_cast<std::size_t>(channels) * sampleBytes;
            for (std::size_t x = 0; x < static_cast<std::size_t>(shape.width); x += 4) {
                std::fill_n(row + x * pixelBytes, pixelBytes, std::uint8_t{0});
                row[x * pixelBytes + sampleBytes - 1] = 7;  // grey 7, or red 7 and 0 0
            }
        }
    }
    std::vector<png_color> plte(static_cast<std::size_t>(std::max(plteCount, 1)));
    for (std::size_t i = 0; i < plte.size(); ++i) {
        plte[i] = {static_cast<png_byte>(rng()), static_cast<png_byte>(rng()), static_cast<png_byte>(i)};
    }
    std::vector<png_byte> alpha(256);
    for (std::size_t i = 0; i < alpha.size(); ++i) {
        alpha[i] = static_cast<png_byte>(i * 37);
    }
    png_color_16 transparent{0, 7, 0, 0, 7};
    if (shape.bitDepth < 8) {
        transparent.gray = 1;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(shape.height));
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = pixels.data() + y * rowBytes;
    }
    std::vector<std::uint8_t> bytes;
    Written out{&bytes};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &out, OnWrite, OnFlush);
    const bool written = WriteAll(png, info, shape, rows.data(), plte.data(), plteCount, alpha.data(), &transparent);
    png_destroy_write_struct(&png, &info);
    EXPECT_TRUE(written);
    return bytes;
}

// DecodePngFast gives what DecodePng gives: the same pixels and palette, or
// the same message.
void ExpectSameAsLibpng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels, const std::string& what) {
    const auto slow = DecodePng(bytes, maxPixels);
    const auto fast = DecodePngFast(bytes, maxPixels);
    const auto message = [](const auto& result) { return result ? std::string() : result.error().Message(); };
    ASSERT_EQ(slow.has_value(), fast.has_value()) << what << ": " << message(slow) << " / " << message(fast);
    if (!slow) {
        EXPECT_EQ(slow.error().Message(), fast.error().Message()) << what;
        EXPECT_EQ(slow.error().kind, fast.error().kind) << what;
        return;
    }
    EXPECT_EQ(slow->width, fast->width) << what;
    EXPECT_EQ(slow->height, fast->height) << what;
    EXPECT_TRUE(slow->rgba == fast->rgba) << what;
    EXPECT_EQ(slow->indexed, fast->indexed) << what;
    EXPECT_EQ(slow->plte, fast->plte) << what;
    EXPECT_EQ(slow->plteAlpha, fast->plteAlpha) << what;
    EXPECT_TRUE(slow->indices == fast->indices) << what;
    EXPECT_EQ(slow->offsets, fast->offsets) << what;
    if (slow->indexed) {
        // Palette images are expanded from their indices by our code on both
        // paths: libpng's own expansion (the simplified API) is the reference.
        png_image reference{};
        reference.version = PNG_IMAGE_VERSION;
        ASSERT_TRUE(png_image_begin_read_from_memory(&reference, bytes.data(), bytes.size())) << what;
        reference.format = PNG_FORMAT_RGBA;
        std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(reference));
        ASSERT_TRUE(png_image_finish_read(&reference, nullptr, rgba.data(), 0, nullptr)) << what;
        EXPECT_TRUE(rgba == slow->rgba) << what;
        EXPECT_EQ(slow->indices.size(), slow->rgba.size() / 4) << what;
    }
}

TEST(PngFastDecode, EveryLayoutDecodesAsLibpngDoes) {
    const std::vector<std::pair<int, std::vector<int>>> depths = {
        {PNG_COLOR_TYPE_GRAY, {1, 2, 4, 8, 16}},   {PNG_COLOR_TYPE_RGB, {8, 16}},
        {PNG_COLOR_TYPE_PALETTE, {1, 2, 4, 8}},    {PNG_COLOR_TYPE_GRAY_ALPHA, {8, 16}},
        {PNG_COLOR_TYPE_RGB_ALPHA, {8, 16}},
    };
    const std::vector<std::pair<int, int>> sizes = {{1, 1}, {7, 3}, {33, 17}, {257, 90}};
    int taken = 0, cases = 0;
    for (const auto& [colorType, bitDepths] : depths) {
        for (const int bitDepth : bitDepths) {
            for (const auto& [width, height] : sizes) {
                for (const bool interlaced : {false, true}) {
                    const bool hasAlpha = (colorType & PNG_COLOR_MASK_ALPHA) != 0;
                    for (const bool trns : hasAlpha ? std::vector<bool>{false} : std::vector<bool>{false, true}) {
                        for (const std::size_t idatSize : {std::size_t{8192}, std::size_t{61}}) {
                            const PngShape shape{colorType, bitDepth, width, height, interlaced, trns, idatSize};
                            const auto bytes = MakePng(shape, static_cast<unsigned>(cases));
                            const std::string what = "type " + std::to_string(colorType) + " depth " +
                                                     std::to_string(bitDepth) + " " + std::to_string(width) + "x" +
                                                     std::to_string(height) + (interlaced ? " interlaced" : "") +
                                                     (trns ? " tRNS" : "") + " IDAT " + std::to_string(idatSize);
                            ExpectSameAsLibpng(bytes, kDefaultMaxPixels, what);
                            // The common files must take the fast path.
                            const bool common = bitDepth == 8 && !interlaced;
                            EXPECT_EQ(DecodeCommonPng(bytes, kDefaultMaxPixels).has_value(), common) << what;
                            taken += common;
                            ++cases;
                        }
                    }
                }
            }
        }
    }
    EXPECT_EQ(taken, 4 * 2 * (2 + 2 + 2 + 1 + 1));
}

// Sets the chunk at `at` (its length field) to `type` and fixes its CRC.
void Rename(std::vector<std::uint8_t>& png, std::size_t at, const char* type) {
    std::copy(type, type + 4, png.begin() + static_cast<std::ptrdiff_t>(at + 4));
    const std::size_t length = std::size_t{png[at]} << 24 | std::size_t{png[at + 1]} << 16 |
                               std::size_t{png[at + 2]} << 8 | png[at + 3];
    const auto crc = static_cast<std::uint32_t>(crc32(0, png.data() + at + 4, static_cast<uInt>(length + 4)));
    for (int i = 0; i < 4; ++i) {
        png[at + 8 + length + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
    }
}

// Offsets of every chunk of a file with the given type.
std::vector<std::size_t> ChunksOf(const std::vector<std::uint8_t>& png, std::string_view type) {
    std::vector<std::size_t> found;
    for (std::size_t at = 8; at + 12 <= png.size();) {
        const std::size_t length = std::size_t{png[at]} << 24 | std::size_t{png[at + 1]} << 16 |
                                   std::size_t{png[at + 2]} << 8 | png[at + 3];
        if (std::string_view(reinterpret_cast<const char*>(png.data() + at + 4), 4) == type) {
            found.push_back(at);
        }
        at += 12 + length;
    }
    return found;
}

TEST(PngFastDecode, DamagedFilesFailAsLibpngFails) {
    const auto rgb = MakePng({PNG_COLOR_TYPE_RGB, 8, 257, 90, false, false, 4096}, 1);
    const auto indexed = MakePng({PNG_COLOR_TYPE_PALETTE, 8, 33, 17, false, true, 8192}, 2);
    const std::size_t firstIdat = ChunksOf(rgb, "IDAT").front();
    const std::size_t iend = ChunksOf(rgb, "IEND").front();
    struct Damage {
        const char* what;
        std::vector<std::uint8_t> bytes;
    };
    std::vector<Damage> damages;
    const auto add = [&](const char* what, std::vector<std::uint8_t> bytes) { damages.push_back({what, bytes}); };
    for (std::size_t cut : {std::size_t{7}, std::size_t{20}, firstIdat + 30, iend, rgb.size() - 1}) {
        add("truncated", {rgb.begin(), rgb.begin() + static_cast<std::ptrdiff_t>(cut)});
    }
    auto flipped = rgb;
    flipped[firstIdat + 100] ^= 0x10;
    add("a bit flipped in IDAT", flipped);
    auto recrc = flipped;
    Rename(recrc, firstIdat, "IDAT");
    add("a bit flipped in IDAT, CRC fixed", recrc);
    auto unknown = rgb;
    Rename(unknown, iend, "QUUX");
    add("an unknown critical chunk for IEND", unknown);
    auto ancillary = rgb;
    Rename(ancillary, ChunksOf(rgb, "IDAT")[1], "quUx");
    add("an ancillary chunk between IDATs", ancillary);
    auto badType = rgb;
    Rename(badType, iend, "IE1D");
    add("a chunk type that is not letters", badType);
    // The image data decompressed, changed and stored again as one IDAT.
    const auto recompressed = [&](const std::function<void(std::vector<std::uint8_t>&)>& edit) {
        std::vector<std::uint8_t> stream;
        for (const std::size_t at : ChunksOf(rgb, "IDAT")) {
            const std::size_t length = std::size_t{rgb[at]} << 24 | std::size_t{rgb[at + 1]} << 16 |
                                       std::size_t{rgb[at + 2]} << 8 | rgb[at + 3];
            stream.insert(stream.end(), rgb.begin() + static_cast<std::ptrdiff_t>(at + 8),
                          rgb.begin() + static_cast<std::ptrdiff_t>(at + 8 + length));
        }
        std::vector<std::uint8_t> raw(90 * (257 * 3 + 1) + 64);
        uLongf rawSize = static_cast<uLongf>(raw.size());
        EXPECT_EQ(uncompress(raw.data(), &rawSize, stream.data(), static_cast<uLong>(stream.size())), Z_OK);
        raw.resize(rawSize);
        edit(raw);
        std::vector<std::uint8_t> packed(compressBound(static_cast<uLong>(raw.size())));
        uLongf packedSize = static_cast<uLongf>(packed.size());
        EXPECT_EQ(compress(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size())), Z_OK);
        std::vector<std::uint8_t> png(rgb.begin(), rgb.begin() + static_cast<std::ptrdiff_t>(firstIdat));
        for (int i = 0; i < 4; ++i) {
            png.push_back(static_cast<std::uint8_t>(packedSize >> (24 - 8 * i)));
        }
        png.insert(png.end(), {'I', 'D', 'A', 'T'});
        png.insert(png.end(), packed.begin(), packed.begin() + static_cast<std::ptrdiff_t>(packedSize));
        png.insert(png.end(), 4, 0);
        Rename(png, firstIdat, "IDAT");
        png.insert(png.end(), rgb.begin() + static_cast<std::ptrdiff_t>(iend), rgb.end());
        return png;
    };
    add("recompressed as it was", recompressed([](std::vector<std::uint8_t>&) {}));
    add("filter byte 5", recompressed([](std::vector<std::uint8_t>& raw) { raw[3 * (257 * 3 + 1)] = 5; }));
    add("one byte short", recompressed([](std::vector<std::uint8_t>& raw) { raw.pop_back(); }));
    add("one byte extra", recompressed([](std::vector<std::uint8_t>& raw) { raw.push_back(0); }));
    auto indexOutside = indexed;
    {
        // Entry count cut below the indices used: PLTE of 2 entries.
        const std::size_t plte = ChunksOf(indexed, "PLTE").front();
        indexOutside[plte + 3] = 6;
        Rename(indexOutside, plte, "PLTE");
        add("palette indices past the PLTE (tRNS longer too)", indexOutside);
    }
    add("indexed", indexed);
    for (const Damage& damage : damages) {
        ExpectSameAsLibpng(damage.bytes, kDefaultMaxPixels, damage.what);
    }
    // The pixel limit is checked from the header: one pixel too many fails
    // with libpng's message, exactly at the limit decodes.
    ExpectSameAsLibpng(rgb, 257 * 90 - 1, "over the limit");
    EXPECT_FALSE(DecodeCommonPng(rgb, 257 * 90 - 1).has_value());
    EXPECT_TRUE(DecodeCommonPng(rgb, 257 * 90).has_value());
}

std::vector<Rgb8> Palette(std::size_t size) {
    std::vector<Rgb8> palette(size);
    for (std::size_t i = 0; i < size; ++i) {
        palette[i] = {static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(255 - i), static_cast<std::uint8_t>(i * i)};
    }
    return palette;
}

TEST(PngFastEncode, FilesReadBackByLibpng) {
    struct Case {
        int width, height;
        std::size_t colors;
        std::optional<int> transparent;
        IndexedPngSettings settings;
    };
    const std::vector<Case> cases = {
        {1, 1, 1, std::nullopt, {1, RowFilters::kNone, 1}},
        {1, 1, 2, 1, {12, RowFilters::kAdaptive, 1}},
        {33, 17, 16, 0, {6, RowFilters::kAdaptive, 2}},
        {515, 300, 256, 255, {6, RowFilters::kAdaptive, 3}},
        {515, 300, 256, std::nullopt, {3, RowFilters::kNone, 0}},
        {2000, 700, 200, 7, {1, RowFilters::kAdaptive, 0}},  // several IDAT chunks
    };
    for (const Case& c : cases) {
        std::mt19937 rng(static_cast<unsigned>(c.width));
        std::vector<std::uint8_t> indices(static_cast<std::size_t>(c.width) * static_cast<std::size_t>(c.height));
        for (std::size_t i = 0; i < indices.size(); ++i) {
            const std::size_t x = i % static_cast<std::size_t>(c.width), y = i / static_cast<std::size_t>(c.width);
            indices[i] = static_cast<std::uint8_t>((x / 3 + y / 5 + rng() % 3) % c.colors);
        }
        const std::vector<Rgb8> palette = Palette(c.colors);
        const auto png = EncodeIndexedPngFast(c.width, c.height, indices, palette, c.transparent, c.settings);
        ASSERT_TRUE(png) << png.error().Message();
        const auto back = DecodePng(*png, kDefaultMaxPixels);
        ASSERT_TRUE(back) << back.error().Message();
        ASSERT_EQ(back->width, c.width);
        ASSERT_EQ(back->height, c.height);
        EXPECT_TRUE(back->indexed);
        EXPECT_EQ(back->plte, palette);
        std::vector<std::uint8_t> alpha;
        if (c.transparent) {
            alpha.assign(static_cast<std::size_t>(*c.transparent) + 1, 255);
            alpha.back() = 0;
        }
        EXPECT_EQ(back->plteAlpha, alpha);
        std::size_t wrong = 0;
        for (std::size_t i = 0; i < indices.size(); ++i) {
            const Rgb8 expected = palette[indices[i]];
            const std::uint8_t expectedAlpha = c.transparent == indices[i] ? 0 : 255;
            wrong += back->ColorAt(static_cast<int>(i % static_cast<std::size_t>(c.width)),
                                   static_cast<int>(i / static_cast<std::size_t>(c.width))) != expected ||
                     back->rgba[i * 4 + 3] != expectedAlpha;
        }
        EXPECT_EQ(wrong, 0u) << c.width << "x" << c.height;
        ExpectSameAsLibpng(*png, kDefaultMaxPixels, "encoded " + std::to_string(c.width));
        EXPECT_TRUE(DecodeCommonPng(*png, kDefaultMaxPixels)) << c.width;
    }
}

TEST(PngFastEncode, RefusesWhatTheLibpngEncoderRefuses) {
    struct Case {
        int width, height;
        std::size_t indices, colors;
        std::optional<int> transparent;
        std::uint8_t index;
    };
    const std::vector<Case> cases = {
        {0, 1, 0, 4, std::nullopt, 0}, {3, 3, 8, 4, std::nullopt, 0}, {2, 2, 4, 0, std::nullopt, 0},
        {2, 2, 4, 257, std::nullopt, 0}, {2, 2, 4, 4, 4, 0}, {2, 2, 4, 4, -1, 0}, {2, 2, 4, 4, std::nullopt, 9},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> indices(c.indices, 0);
        if (!indices.empty()) {
            indices.back() = c.index;
        }
        const std::vector<Rgb8> palette = Palette(c.colors);
        const auto slow = EncodeIndexedPng(c.width, c.height, indices, palette, c.transparent);
        const auto fast = EncodeIndexedPngFast(c.width, c.height, indices, palette, c.transparent);
        ASSERT_FALSE(slow);
        ASSERT_FALSE(fast);
        EXPECT_EQ(fast.error().Message(), slow.error().Message());
    }
    const auto badLevel =
        EncodeIndexedPngFast(1, 1, std::vector<std::uint8_t>{0}, Palette(1), std::nullopt, {13, RowFilters::kNone, 1});
    ASSERT_FALSE(badLevel);
    EXPECT_EQ(badLevel.error().kind, ErrorKind::kBadSettings);
}

}  // namespace
}  // namespace paltab
