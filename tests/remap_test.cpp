// Remapping images: every pixel's index against a plain full search, the
// table file's map, the ditherings' invariants, transparency; and the
// `paltool map` and `paltool remap` commands, their outputs decoded with
// libpng, and their bad inputs.
#include "paltab/remap.hpp"

#include <gtest/gtest.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <iostream>
#include <random>
#include <sstream>

#include "paltab/color_tables.hpp"
#include "paltab/dither.hpp"
#include "paltab/image.hpp"
#include "paltab/image_formats.hpp"
#include "paltab/remap_image.hpp"
#include "paltab/table_reader.hpp"
#include "random_inputs.hpp"
#include "test_palettes.hpp"
#include "test_png.hpp"
#include "test_process.hpp"

namespace paltab {
namespace {

// A smooth picture with noise and an alpha edge: every part of the cube the
// pixels reach, many colours between palette entries.
struct TestImage {
    int width = 97;
    int height = 61;
    std::vector<std::uint8_t> rgba;
};

TestImage MakeImage() {
    TestImage image;
    std::mt19937 rng(9);
    std::uniform_int_distribution<int> noise(-12, 12);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const auto c = [&](int v) { return static_cast<std::uint8_t>(std::clamp(v + noise(rng), 0, 255)); };
            image.rgba.insert(image.rgba.end(), {c(x * 255 / image.width), c(y * 255 / image.height),
                                                 c(255 - (x + y) * 255 / (image.width + image.height)),
                                                 static_cast<std::uint8_t>(x < 8 ? 0 : x < 16 ? 127 : 255)});
        }
    }
    return image;
}

std::vector<Rgb8> RandomPalette(std::size_t size) {
    return RandomColors(size, 4);
}

// Plain full search by the metric, lowest index among the nearest.
int Nearest(const std::vector<Rgb8>& palette, Metric metric, const ReservedEntries& reserved, Rgb8 color) {
    const MetricPoint p = ToMetricPoint(metric, color);
    int best = -1;
    double bestDistance = 0;
    for (std::size_t i = 0; i < palette.size(); ++i) {
        const double d = SquaredDistance(p, ToMetricPoint(metric, palette[i]));
        if (!reserved.test(i) && (best < 0 || d < bestDistance)) {
            best = static_cast<int>(i);
            bestDistance = d;
        }
    }
    return best;
}

RemapOptions WithDither(Dither dither) {
    RemapOptions options;
    options.dither = dither;
    return options;
}

Rgb8 PixelColor(const TestImage& image, std::size_t i) {
    return {image.rgba[i * 4], image.rgba[i * 4 + 1], image.rgba[i * 4 + 2]};
}

TEST(RemapPixels, ExactByMapAndBySearch) {
    const TestImage image = MakeImage();
    const std::vector<Rgb8> palette = RandomPalette(200);
    for (const Metric metric : {Metric::kRgb, Metric::kLinear}) {
        MatchOptions options{metric, *ParseReservedList("3,7-9")};
        options.reserved.set(0);  // the transparent index
        const auto match = MatchPalette::Create(palette, options);
        ASSERT_TRUE(match) << match.error().Message();
        const ExactColorMap map = *ExactColorMap::Build(*match, 8);
        for (const EntryFinder& find : {EntryFinder::FromSearch(*match), EntryFinder::FromMap(map.Cells(), 8)}) {
            const auto indices = *RemapPixels(image.width, image.height, image.rgba, palette, find,
                                             {.dither = Dither::kNone, .transparentIndex = 0});
            ASSERT_EQ(indices.size(), image.rgba.size() / 4);
            for (std::size_t i = 0; i < indices.size(); ++i) {
                const int expected = image.rgba[i * 4 + 3] < kOpaqueAlpha
                                         ? 0
                                         : Nearest(palette, metric, options.reserved, PixelColor(image, i));
                ASSERT_EQ(indices[i], expected) << "pixel " << i << " " << MetricName(metric);
            }
        }
    }
    const auto tooShort = RemapPixels(3, 3, std::vector<std::uint8_t>(35), palette, EntryFinder{}, {});
    ASSERT_FALSE(tooShort);
    EXPECT_EQ(tooShort.error().kind, ErrorKind::kBadInput);
}

// An image of palette colours has no error to spread: every dithering gives
// the undithered indices, as long as the palette's colours lie farther
// apart than the ordered pattern moves them.
TEST(RemapPixels, PaletteColoursDitherToThemselves) {
    std::vector<Rgb8> corners;
    for (int i = 0; i < 8; ++i) {
        corners.push_back({static_cast<std::uint8_t>(i & 4 ? 255 : 0), static_cast<std::uint8_t>(i & 2 ? 255 : 0),
                           static_cast<std::uint8_t>(i & 1 ? 255 : 0)});
    }
    TestImage image;
    image.rgba = RandomRgbaOf(corners, image.width * image.height, 2);
    const auto match = MatchPalette::Create(corners, {});
    const auto find = EntryFinder::FromSearch(*match);
    const auto plain = *RemapPixels(image.width, image.height, image.rgba, corners, find, {});
    for (std::size_t i = 0; i < plain.size(); ++i) {
        ASSERT_EQ(corners[plain[i]], PixelColor(image, i));
    }
    for (const Dither dither : {Dither::kOrdered, Dither::kFloydSteinberg}) {
        EXPECT_EQ(*RemapPixels(image.width, image.height, image.rgba, corners, find, WithDither(dither)), plain)
            << DitherName(dither);
    }
}

// On colours between the entries the ditherings choose other entries than the
// nearest, but only near ones, and keep the image's mean colour far better.
TEST(RemapPixels, DitheringSpreadsTheError) {
    TestImage image = MakeImage();
    const std::vector<Rgb8> palette = RandomPalette(16);
    const auto match = MatchPalette::Create(palette, {});
    const auto find = EntryFinder::FromSearch(*match);
    const auto plain = *RemapPixels(image.width, image.height, image.rgba, palette, find, {});
    const auto meanError = [&](const std::vector<std::uint8_t>& indices) {
        std::array<double, 3> sum{};
        for (std::size_t i = 0; i < indices.size(); ++i) {
            const Rgb8 want = PixelColor(image, i), got = palette[indices[i]];
            sum[0] += got.r - want.r;
            sum[1] += got.g - want.g;
            sum[2] += got.b - want.b;
        }
        return std::hypot(sum[0], sum[1], sum[2]) / static_cast<double>(indices.size());
    };
    for (const Dither dither : {Dither::kOrdered, Dither::kFloydSteinberg}) {
        const auto dithered = *RemapPixels(image.width, image.height, image.rgba, palette, find, WithDither(dither));
        std::size_t changed = 0;
        for (std::size_t i = 0; i < dithered.size(); ++i) {
            ASSERT_LT(dithered[i], palette.size());
            changed += dithered[i] != plain[i] ? 1 : 0;
        }
        EXPECT_GT(changed, plain.size() / 20) << DitherName(dither);
        EXPECT_LT(meanError(dithered), meanError(plain) / 2) << DitherName(dither);
        // Deterministic.
        EXPECT_EQ(*RemapPixels(image.width, image.height, image.rgba, palette, find, WithDither(dither)), dithered);
    }
}

// A transparent pixel neither takes nor passes on error: the opaque pixels
// of an image whose transparent pixels are its leading columns dither as
// they do with those columns cut away.
TEST(RemapPixels, TransparentPixelsKeepOutOfTheDiffusion) {
    const TestImage image = MakeImage();
    const std::vector<Rgb8> palette = RandomPalette(16);
    const auto match = MatchPalette::Create(palette, {});
    const auto find = EntryFinder::FromSearch(*match);
    // The same image with its transparent columns (alpha < 128: x < 16) cut off.
    TestImage cut;
    cut.width = image.width - 16;
    for (int y = 0; y < image.height; ++y) {
        const auto row = image.rgba.begin() + (y * image.width + 16) * 4;
        cut.rgba.insert(cut.rgba.end(), row, row + cut.width * 4);
    }
    const auto whole = *RemapPixels(image.width, image.height, image.rgba, palette, find,
                                   {.dither = Dither::kFloydSteinberg, .transparentIndex = 15});
    const auto alone = *RemapPixels(cut.width, cut.height, cut.rgba, palette, find, WithDither(Dither::kFloydSteinberg));
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t got = whole[static_cast<std::size_t>(y * image.width + x)];
            const int expected = x < 16 ? 15 : alone[static_cast<std::size_t>(y * cut.width + x - 16)];
            ASSERT_EQ(got, expected) << x << "," << y;
        }
    }
}

// The commands.

std::vector<std::uint8_t> EncodeRgba(const TestImage& image) {
    return EncodeRgbaPng(image.width, image.height, image.rgba);
}

void WriteBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
    WriteFile(path, std::string(bytes.begin(), bytes.end()));
}

std::vector<std::uint8_t> ReadBytes(const std::string& path) {
    const std::string text = ReadFile(path);
    return {text.begin(), text.end()};
}

// The library's remap call: each failure with its kind and a one-line cause,
// and a map that gives opaque pixels the transparent entry counted.
TEST(RemapImage, FailuresByKindAndTransparentCollisions) {
    const std::vector<Rgb8> palette{{0, 0, 0}, {255, 255, 255}, {255, 0, 0}};
    TestImage image{2, 1, {250, 5, 5, 255, 0, 0, 0, 0}};
    const std::vector<std::uint8_t> png = EncodeRgba(image);
    const RemapTarget search = *RemapTargetOfPalette(palette, {});
    struct Case {
        std::vector<std::uint8_t> file;
        std::uint64_t maxPixels;
        ErrorKind kind;
        std::string_view cause;
    };
    const Case cases[] = {
        {{'n', 'o', 't'}, 16, ErrorKind::kBadInput, "PNG"},
        {png, 1, ErrorKind::kTooLarge, "pixels"},
        {std::vector<std::uint8_t>(ImageFileLimit(1) + 1), 1, ErrorKind::kTooLarge, "the file is larger than"},
    };
    for (const Case& c : cases) {
        ImageRemapOptions options;
        options.maxPixels = c.maxPixels;
        const auto result = RemapImage(c.file, search, options);
        ASSERT_FALSE(result) << c.cause;
        EXPECT_EQ(result.error().kind, c.kind) << result.error().Message();
        EXPECT_NE(result.error().Message().find(c.cause), std::string::npos) << result.error().Message();
        EXPECT_EQ(result.error().Message().find('\n'), std::string::npos);
    }
    EXPECT_EQ(RemapTargetOfPalette(palette, {Metric::kRgb, ReservedEntries{}.set()}).error().kind,
              ErrorKind::kBadSettings);

    // A map whose every cell is entry 2, given as transparent: the opaque
    // pixel is counted, the transparent one is not.
    RemapTarget map{palette, std::nullopt, std::vector<std::uint8_t>(kCellCount, 2), kCellBits};
    ImageRemapOptions options;
    options.transparentIndex = 2;
    const auto result = RemapImage(png, map, options);
    ASSERT_TRUE(result) << result.error().Message();
    EXPECT_EQ(result->indices, (std::vector<std::uint8_t>{2, 2}));
    EXPECT_EQ(result->opaqueTransparent, 1u);
    EXPECT_EQ(result->clearPixels, 0u);
    // Without a transparent index the clear pixel is counted instead.
    const auto opaque = RemapImage(png, map, {});
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->opaqueTransparent, 0u);
    EXPECT_EQ(opaque->clearPixels, 1u);
    const auto back = DecodePng(result->file, kDefaultMaxPixels);
    ASSERT_TRUE(back) << back.error().Message();
    EXPECT_EQ(back->plte, palette);
}

// A palette with repeated colours, as Doom's has: entries 2 and 4 repeat 0
// and 1, so that matching by colour would turn them into 0 and 1.
const std::vector<Rgb8> kDuplicatePalette{{0, 0, 0},   {10, 20, 30}, {0, 0, 0},    {200, 0, 0},
                                          {10, 20, 30}, {0, 255, 0},  {90, 90, 90}, {255, 255, 255}};

IndexedImage InPalette(int width, int height, const std::vector<Rgb8>& palette, std::optional<int> transparent) {
    IndexedImage image{width, height, {}, palette, transparent, ImageOffsets{5, -7}};
    for (int k = 0; k < width * height; ++k) {
        image.indices.push_back(static_cast<std::uint8_t>((k * 3 + k / width) % static_cast<int>(palette.size())));
    }
    return image;
}

std::vector<std::uint8_t> Written(const IndexedImage& image, ImageFormat format) {
    auto bytes = WriteIndexedImage(image, format);
    EXPECT_TRUE(bytes) << bytes.error().Message();
    return bytes.value_or(std::vector<std::uint8_t>{});
}

constexpr ImageFormat kIndexedInputs[] = {ImageFormat::kPng, ImageFormat::kBmp, ImageFormat::kPcx, ImageFormat::kTga,
                                          ImageFormat::kGif};

// An indexed input in the target palette keeps its indices, repeated colours
// included, from every indexed format (a TGA named by the caller); with a
// transparent index the clear pixels get it and opaque pixels that have it
// (in formats without transparency) are counted; a PNG's grAb reaches a PNG
// output. A palette of its own (the same colours in another order) is
// matched by colour, the lowest of equal entries winning, and said so.
TEST(RemapImage, IndexedInputsKeepTheirIndicesInTheTargetPalette) {
    const RemapTarget target = *RemapTargetOfPalette(kDuplicatePalette, {});
    std::vector<Rgb8> reversed(kDuplicatePalette.rbegin(), kDuplicatePalette.rend());
    for (const ImageFormat format : kIndexedInputs) {
        for (const auto& [width, height] : {std::pair{1, 1}, std::pair{7, 3}, std::pair{16, 5}}) {
            for (const std::optional<int> transparent : {std::optional<int>{}, std::optional<int>{6}}) {
                SCOPED_TRACE(std::string(ImageFormatName(format)) + " " + std::to_string(width) + "x" +
                             std::to_string(height) + (transparent ? " transparent 6" : ""));
                const IndexedImage image = InPalette(width, height, kDuplicatePalette, transparent);
                ImageRemapOptions options;
                options.input = format == ImageFormat::kTga ? std::optional(ImageFormat::kTga) : std::nullopt;
                if (transparent) {
                    options.transparentIndex = static_cast<std::uint8_t>(*transparent);
                }
                const auto kept = RemapImage(Written(image, format), target, options);
                ASSERT_TRUE(kept) << kept.error().Message();
                EXPECT_TRUE(kept->keptIndices);
                EXPECT_FALSE(kept->otherPalette);
                EXPECT_EQ(kept->indices, image.indices);
                const bool hasTransparency = format == ImageFormat::kPng || format == ImageFormat::kGif;
                const auto sixes = static_cast<std::size_t>(std::count(image.indices.begin(), image.indices.end(), 6));
                EXPECT_EQ(kept->opaqueTransparent, transparent && !hasTransparency ? sixes : 0u);
                EXPECT_EQ(kept->offsets, format == ImageFormat::kPng ? image.offsets : std::nullopt);
                const auto back = ReadPng(kept->file, kDefaultMaxImagePixels);
                ASSERT_TRUE(back) << back.error().Message();
                EXPECT_EQ(back->indices, image.indices);
                EXPECT_EQ(back->offsets, kept->offsets);

                IndexedImage other = image;
                other.palette = reversed;
                for (std::uint8_t& index : other.indices) {
                    index = static_cast<std::uint8_t>(reversed.size() - 1 - index);
                }
                other.transparentIndex = std::nullopt;
                const auto matched = RemapImage(Written(other, format), target, options);
                ASSERT_TRUE(matched) << matched.error().Message();
                EXPECT_FALSE(matched->keptIndices);
                EXPECT_TRUE(matched->otherPalette);
                for (std::size_t k = 0; k < image.indices.size(); ++k) {
                    const Rgb8 colour = kDuplicatePalette[image.indices[k]];
                    const auto first = std::find(kDuplicatePalette.begin(), kDuplicatePalette.end(), colour);
                    ASSERT_EQ(matched->indices[k], first - kDuplicatePalette.begin()) << "pixel " << k;
                }
            }
        }
    }
    // A trimmed PLTE (as optimisers write it) is still the target palette;
    // an index past the entries the palettes share is not.
    IndexedImage trimmed = InPalette(4, 2, kDuplicatePalette, std::nullopt);
    trimmed.palette.resize(4);
    for (std::uint8_t& index : trimmed.indices) {
        index = index % 4;
    }
    EXPECT_TRUE(RemapImage(Written(trimmed, ImageFormat::kPng), target, {})->keptIndices);
    const RemapTarget small = *RemapTargetOfPalette(std::span(kDuplicatePalette).first(3), {});
    const auto beyond = RemapImage(Written(trimmed, ImageFormat::kPng), small, {});
    EXPECT_FALSE(beyond->keptIndices);
    EXPECT_TRUE(beyond->otherPalette);
}

// Every output format from one RGBA input: the indices the PNG output holds,
// read back by our readers, with the palette and, where the format has one,
// the transparent index; jpeg is refused as a setting.
TEST(RemapImage, EveryOutputFormat) {
    const TestImage image = MakeImage();
    const std::vector<std::uint8_t> png = EncodeRgba(image);
    const std::vector<Rgb8> palette = RandomPalette(40);
    MatchOptions match;
    match.reserved.set(3);
    const RemapTarget target = *RemapTargetOfPalette(palette, match);
    ImageRemapOptions options;
    options.transparentIndex = 3;
    const auto reference = RemapImage(png, target, options);
    ASSERT_TRUE(reference) << reference.error().Message();
    EXPECT_FALSE(reference->keptIndices || reference->otherPalette);
    for (const ImageFormat format : kIndexedInputs) {
        options.output = format;
        const auto out = RemapImage(png, target, options);
        ASSERT_TRUE(out) << out.error().Message();
        EXPECT_EQ(out->indices, reference->indices);
        const auto back = ReadIndexedImage(out->file, format, kDefaultMaxImagePixels);
        ASSERT_TRUE(back) << ImageFormatName(format) << ": " << back.error().Message();
        EXPECT_EQ(back->indices, reference->indices) << ImageFormatName(format);
        ASSERT_GE(back->palette.size(), palette.size());
        EXPECT_TRUE(std::equal(palette.begin(), palette.end(), back->palette.begin())) << ImageFormatName(format);
        const bool hasTransparency = format == ImageFormat::kPng || format == ImageFormat::kGif;
        EXPECT_EQ(back->transparentIndex, hasTransparency ? std::optional<int>(3) : std::nullopt);
    }
    options.output = ImageFormat::kRaw;
    EXPECT_EQ(RemapImage(png, target, options)->file, reference->indices);
    options.output = ImageFormat::kJpeg;
    EXPECT_EQ(RemapImage(png, target, options).error().kind, ErrorKind::kBadSettings);
    // A side longer than the format says is the output's failure (a map
    // target: an exact map of the palette would cost more than the test).
    options.output = ImageFormat::kGif;
    const RemapTarget map{palette, std::nullopt, std::vector<std::uint8_t>(kCellCount, 2), kCellBits};
    const auto wide = RemapImage(Written(InPalette(70000, 1, palette, std::nullopt), ImageFormat::kPng), map, options);
    EXPECT_EQ(wide.error().kind, ErrorKind::kOutput);
}

class RemapCommand : public testing::Test {
protected:
    ProcessResult Paltool(std::vector<std::string> args) {
        args.insert(args.begin(), PALTOOL_EXE);
        return RunProgram(PALTOOL_EXE, std::move(args), scratch_.path());
    }
    // The output PNG decoded with libpng: 8-bit indexed, PLTE as given.
    DecodedImage Decoded(const std::string& path) {
        const std::vector<std::uint8_t> bytes = ReadBytes(path);
        EXPECT_GT(bytes.size(), 25u);
        EXPECT_EQ(bytes[24], 8) << "bit depth";
        EXPECT_EQ(bytes[25], 3) << "colour type";
        auto decoded = DecodePng(bytes, kDefaultMaxPixels);
        EXPECT_TRUE(decoded) << decoded.error().Message();
        return decoded ? std::move(*decoded) : DecodedImage{};
    }

    ScratchDir scratch_;
};

TEST_F(RemapCommand, PaletteGivesTheFullSearchIndex) {
    const TestImage image = MakeImage();
    WriteBytes(scratch_ / "in.png", EncodeRgba(image));
    const std::vector<Rgb8> palette = RandomPalette(256);
    std::string text = "GIMP Palette\n";
    for (const Rgb8 c : palette) {
        text += std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + "\n";
    }
    WriteFile(scratch_ / "p.gpl", text);
    for (const Metric metric : {Metric::kRgb, Metric::kLinear}) {
        const ProcessResult run = Paltool({"remap", scratch_ / "in.png", "-o", scratch_ / "out.png", "--palette",
                                           scratch_ / "p.gpl", "--metric", std::string(MetricName(metric)),
                                           "--transparent", "5", "--reserve", "0-4"});
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        const DecodedImage out = Decoded(scratch_ / "out.png");
        ASSERT_EQ(out.plte, palette);
        ASSERT_EQ(out.plteAlpha, (std::vector<std::uint8_t>{255, 255, 255, 255, 255, 0}));
        ReservedEntries reserved;
        for (int i = 0; i <= 5; ++i) {
            reserved.set(static_cast<std::size_t>(i));
        }
        for (std::size_t i = 0; i < out.rgba.size() / 4; ++i) {
            const bool transparent = image.rgba[i * 4 + 3] < kOpaqueAlpha;
            const int expected = transparent ? 5 : Nearest(palette, metric, reserved, PixelColor(image, i));
            const Rgb8 got{out.rgba[i * 4], out.rgba[i * 4 + 1], out.rgba[i * 4 + 2]};
            ASSERT_EQ(got, palette[static_cast<std::size_t>(expected)]) << "pixel " << i;
            ASSERT_EQ(out.rgba[i * 4 + 3], transparent ? 0 : 255);
        }
    }
}

TEST_F(RemapCommand, TablesGiveTheirMapEntry) {
    const TestImage image = MakeImage();
    WriteBytes(scratch_ / "in.png", EncodeRgba(image));
    const std::vector<std::uint8_t> tables = GenerateColorTableFile(TestPalettes().back().second, {});
    WriteBytes(scratch_ / "t.tab", tables);
    const ProcessResult run =
        Paltool({"remap", scratch_ / "in.png", "-o", scratch_ / "out.png", "--tables", scratch_ / "t.tab"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const DecodedImage out = Decoded(scratch_ / "out.png");
    const auto view = ColorTableView::Parse(tables);
    ASSERT_TRUE(view);
    ASSERT_EQ(out.plte.size(), kPaletteSize);
    for (std::size_t i = 0; i < out.rgba.size() / 4; ++i) {
        const std::uint8_t entry = view->Lookup(PixelColor(image, i));
        ASSERT_EQ(out.plte[entry], view->Color(entry).value());
        const Rgb8 got{out.rgba[i * 4], out.rgba[i * 4 + 1], out.rgba[i * 4 + 2]};
        ASSERT_EQ(got, out.plte[entry]) << "pixel " << i;
    }
}

TEST_F(RemapCommand, MapMatchesTheLibrary) {
    WriteFile(scratch_ / "p.txt", "0 0 0\n255 255 255\n200 30 40\n200 30 40\n10 200 90\n");
    const ProcessResult run =
        Paltool({"map", scratch_ / "p.txt", "-o", scratch_ / "p.map", "--bits", "6", "--reserve", "1"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    EXPECT_NE(run.out.find("262144 cells"), std::string::npos) << run.out;
    const std::vector<Rgb8> colors{{0, 0, 0}, {255, 255, 255}, {200, 30, 40}, {200, 30, 40}, {10, 200, 90}};
    ReservedEntries reserved;
    reserved.set(1);
    const auto map = ExactColorMap::Build(colors, 6, {Metric::kRgb, reserved});
    const std::vector<std::uint8_t> written = ReadBytes(scratch_ / "p.map");
    EXPECT_TRUE(std::equal(written.begin(), written.end(), map->Cells().begin(), map->Cells().end()));

    const ProcessResult header = Paltool({"map", scratch_ / "p.txt", "-o", scratch_ / "p.h", "--bits", "5",
                                          "--c-header", "p_map"});
    ASSERT_EQ(header.exitStatus, 0) << header.err;
    EXPECT_NE(header.out.find("cells where paltab's map gives another entry: "), std::string::npos) << header.out;
    EXPECT_NE(ReadFile(scratch_ / "p.h").find("static const unsigned char p_map[32768] = {"), std::string::npos);
}

// Pixels that --transparent would keep transparent become opaque colours
// without it: a warning says how many, unless --quiet.
TEST_F(RemapCommand, TransparentPixelsWithoutTransparentWarn) {
    TestImage opaque = MakeImage();
    for (std::size_t i = 3; i < opaque.rgba.size(); i += 4) {
        opaque.rgba[i] = 255;
    }
    WriteBytes(scratch_ / "clear.png", EncodeRgba(MakeImage()));
    WriteBytes(scratch_ / "opaque.png", EncodeRgba(opaque));
    WriteFile(scratch_ / "p.txt", "0 0 0\n255 255 255\n");
    const std::string warning = "paltool: warning: 976 pixels of '" + (scratch_ / "clear.png") +
                                "' have alpha below 128 and get opaque colours; --transparent INDEX keeps them "
                                "transparent\n";
    const struct {
        std::vector<std::string> args;
        std::string err;
    } cases[] = {
        {{scratch_ / "clear.png"}, warning},
        {{scratch_ / "clear.png", "--transparent", "0"}, ""},
        {{scratch_ / "clear.png", "--quiet"}, ""},
        {{scratch_ / "opaque.png"}, ""},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"remap", "-o", scratch_ / "out.png", "--palette", scratch_ / "p.txt"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult run = Paltool(args);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.err, c.err);
    }
}

// The output's format is its name's extension, whatever its case, or --to;
// a name without one is PNG; other names and formats are refused before
// anything is read.
TEST_F(RemapCommand, OutputFormatByNameOrTo) {
    WriteBytes(scratch_ / "in.png", EncodeRgba(MakeImage()));
    WriteFile(scratch_ / "p.txt", "0 0 0\n255 255 255\n");
    const std::string refusedName = "': remap writes .png, .bmp, .pcx, .tga, .gif, .raw, .lmp images (or --to FORMAT)";
    const struct {
        std::string out;
        std::vector<std::string> to;
        int status;
        std::string signature;  // the written file's first bytes, or the error's end
    } cases[] = {{"x.jpg", {}, 2, refusedName},
                 {"x.png.docx", {}, 2, refusedName},
                 {"x.bmp", {"--to", "jpeg"}, 2, "--to 'jpeg' is not a format remap writes (png, bmp, pcx, tga, gif, raw)"},
                 {"x.PNG", {}, 0, "\x89PNG"},
                 {"plain", {}, 0, "\x89PNG"},
                 {".hidden", {}, 0, "\x89PNG"},
                 {"x.Bmp", {}, 0, "BM"},
                 {"x.gif", {}, 0, "GIF89a"},
                 {"x.pcx", {}, 0, "\x0A\x05"},
                 {"x.png", {"--to", "gif"}, 0, "GIF89a"},
                 {"FLAT.lmp", {}, 0, ""}};
    for (const auto& c : cases) {
        std::vector<std::string> args{"remap", scratch_ / "in.png", "-o", scratch_ / c.out, "--palette",
                                      scratch_ / "p.txt", "--quiet"};
        args.insert(args.end(), c.to.begin(), c.to.end());
        const ProcessResult run = Paltool(args);
        EXPECT_EQ(run.exitStatus, c.status) << c.out << ": " << run.err;
        EXPECT_EQ(fs::exists(scratch_ / c.out), c.status == 0) << c.out;
        if (c.status == 2) {
            EXPECT_NE(run.err.find(c.signature + "; see 'paltool remap --help'\n"), std::string::npos) << run.err;
        } else {
            const std::string written = ReadFile(scratch_ / c.out);
            EXPECT_EQ(written.substr(0, c.signature.size()), c.signature) << c.out;
            if (c.signature.empty()) {
                EXPECT_EQ(written.size(), 97u * 61u);  // raw: the indices alone
            }
        }
        fs::remove(scratch_ / c.out);
    }
}

// Pillow writes a JPEG photo and a GIF in the palette; remap turns each into
// every output format, and Pillow reads them all back: the same size and
// indexed colours in each, the GIF's indices kept as they are.
constexpr const char* kPillowRoundTrip = R"(import sys
from PIL import Image
if sys.argv[1] == 'write':
    photo = Image.new('RGB', (37, 19))
    photo.putdata([(x * 6, y * 13, (x * y) % 256) for y in range(19) for x in range(37)])
    photo.save('in.jpg', quality=90)
    art = Image.new('P', (37, 19))
    art.putpalette([0, 0, 0, 10, 20, 30, 0, 0, 0, 200, 0, 0])
    art.putdata([(x + 2 * y) % 4 for y in range(19) for x in range(37)])
    art.save('in.gif')
else:
    for path in sys.argv[2:]:
        im = Image.open(path)
        print(im.mode, im.size[0], im.size[1], im.convert('RGB').tobytes().hex(),
              im.tobytes().hex() if path.endswith('gif.png') else '')
)";

TEST_F(RemapCommand, PillowReadsEveryOutput) {
    if (RunProgram("/usr/bin/python3", {"python3", "-c", "import PIL"}, scratch_.path()).exitStatus != 0) {
        GTEST_SKIP() << "Pillow (python3-pil) is not installed";
    }
    ASSERT_EQ(RunProgram("/usr/bin/python3", {"python3", "-c", kPillowRoundTrip, "write"}, scratch_.path(),
                         scratch_.path().string())
                  .exitStatus,
              0);
    WriteFile(scratch_ / "p.txt", "0 0 0\n10 20 30\n0 0 0\n200 0 0\n");
    std::vector<std::string> read{"python3", "-c", kPillowRoundTrip, "read"};
    for (const std::string input : {"jpg", "gif"}) {
        for (const std::string format : {"png", "bmp", "pcx", "tga", "gif", "raw"}) {
            const std::string out = scratch_ / (input + "." + format);
            const ProcessResult run =
                Paltool({"remap", scratch_ / ("in." + input), "-o", out, "--palette", scratch_ / "p.txt"});
            ASSERT_EQ(run.exitStatus, 0) << run.err;
            EXPECT_NE(run.out.find(input == "gif" ? "its indices kept" : "dither none"), std::string::npos) << run.out;
            if (format != "raw") {
                read.push_back(out);
            }
        }
    }
    const ProcessResult back = RunProgram("/usr/bin/python3", read, scratch_.path());
    ASSERT_EQ(back.exitStatus, 0) << back.err;
    std::istringstream lines(back.out);
    std::string first, line;
    for (std::size_t k = 0; k < 10; ++k) {
        ASSERT_TRUE(std::getline(lines, line)) << read[k + 4];
        EXPECT_EQ(line.substr(0, 8), "P 37 19 ") << read[k + 4];
        // Each input's outputs show the same colours as its PNG output.
        const std::string colours = line.substr(8, line.find(' ', 8) - 8);
        first = k % 5 == 0 ? colours : first;
        EXPECT_EQ(colours, first) << read[k + 4];
        if (k == 5) {  // the GIF's PNG: its indices as Pillow made them, repeated black (2) included
            std::string indices;
            for (int y = 0; y < 19; ++y) {
                for (int x = 0; x < 37; ++x) {
                    indices += {'0', static_cast<char>('0' + (x + 2 * y) % 4)};
                }
            }
            EXPECT_EQ(line.substr(line.rfind(' ') + 1), indices);
        }
    }
    const std::string raw = ReadFile(scratch_ / "gif.raw");
    ASSERT_EQ(raw.size(), 37u * 19u);
    EXPECT_EQ(raw[2], 2);
}

// The dithering options reach the library as given, and --report prints its
// quality figure.
TEST_F(RemapCommand, DitherOptionsAndReport) {
    const TestImage image = MakeImage();
    WriteBytes(scratch_ / "in.png", EncodeRgba(image));
    const std::vector<Rgb8> palette = RandomPalette(16);
    std::string text;
    for (const Rgb8 c : palette) {
        text += std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + "\n";
    }
    WriteFile(scratch_ / "p.txt", text);
    const ProcessResult run =
        Paltool({"remap", scratch_ / "in.png", "-o", scratch_ / "out.png", "--palette", scratch_ / "p.txt", "--dither",
                 "jarvis", "--serpentine", "--strength", "80", "--dither-space", "linear", "--report", "--quiet"});
    ASSERT_EQ(run.exitStatus, 0) << run.err;
    const auto match = MatchPalette::Create(palette, {});
    DitherOptions options;
    options.method = DitherMethod::kJarvis;
    options.serpentine = true;
    options.strength = 80;
    options.space = DitherSpace::kLinear;
    const auto expected = *DitherPixels(image.width, image.height, image.rgba, palette,
                                       {EntryFinder::FromSearch(*match), true}, {}, options);
    const DecodedImage out = Decoded(scratch_ / "out.png");
    ASSERT_EQ(out.rgba.size(), image.rgba.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const int x = static_cast<int>(i) % image.width, y = static_cast<int>(i) / image.width;
        ASSERT_EQ(out.ColorAt(x, y), palette[expected[i]]) << i;
    }
    const auto quality = MeasureDitherQuality(image.width, image.height, image.rgba, palette, expected, {});
    char figure[64];
    std::snprintf(figure, sizeof figure, "mean squared error %.2f", quality->meanSquaredError);
    EXPECT_EQ(run.out.rfind(figure, 0), 0u) << run.out;
    std::snprintf(figure, sizeof figure, "blurred %.2f", quality->blurredError);
    EXPECT_NE(run.out.find(figure), std::string::npos) << run.out;
}

TEST_F(RemapCommand, BadInputsWriteNothing) {
    const TestImage image = MakeImage();
    const std::vector<std::uint8_t> png = EncodeRgba(image);
    WriteBytes(scratch_ / "good.png", png);
    WriteBytes(scratch_ / "short.png", std::span(png).first(png.size() / 2));
    std::vector<std::uint8_t> corrupt = png;
    corrupt[corrupt.size() / 2] ^= 0x55;
    WriteBytes(scratch_ / "corrupt.png", corrupt);
    WriteFile(scratch_ / "text.png", "GIMP Palette\n0 0 0\n");
    WriteFile(scratch_ / "p.txt", "0 0 0\n255 255 255\n");
    const std::string out = scratch_ / "out.png";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;  // a part of the one line
    } cases[] = {
        {{scratch_ / "text.png"}, 1, "text.png': not an image remap reads (no PNG, JPEG, GIF, BMP or PCX signature"},
        {{scratch_ / "short.png"}, 1, "short.png': bad PNG"},
        {{scratch_ / "corrupt.png"}, 1, "corrupt.png': bad PNG"},
        {{scratch_ / "missing.png"}, 1, "missing.png': No such file"},
        {{scratch_ / "good.png", "--max-pixels", "5000"}, 1, "good.png': the image is 97 x 61 pixels, more than"},
        {{scratch_ / "good.png", "--max-pixels", "-1"}, 2, "--max-pixels '-1' is not a whole number 1 or more"},
        {{scratch_ / "good.png", "--max-pixels", "0"}, 2, "--max-pixels '0' is not a whole number 1 or more"},
        {{scratch_ / "good.png", "--max-pixels", "+5"}, 2, "--max-pixels '+5' is not a whole number 1 or more"},
        {{scratch_ / "good.png", "--reserve", "0-1"}, 1, "every one of the palette's 2 colours is reserved"},
        {{scratch_ / "good.png", "--transparent", "2"}, 2, "--transparent 2 is not an entry"},
        {{scratch_ / "good.png", "--dither", "random"}, 2, "--dither 'random'"},
        {{scratch_ / "good.png", "--metric", "lab"}, 2, "--metric 'lab'"},
        {{scratch_ / "good.png", "--dither-space", "lab"}, 2, "--dither-space 'lab'"},
        {{scratch_ / "good.png", "--dither", "jarvis", "--strength", "101"}, 2, "--strength must be"},
        {{scratch_ / "good.png", "--dither", "bayer4", "--spread", "-3"}, 2, "--spread must be"},
        {{scratch_ / "good.png", "--tables", scratch_ / "p.txt"}, 2, "either --palette P or --tables T"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args{"remap", "-o", out, "--palette", scratch_ / "p.txt"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const ProcessResult run = Paltool(args);
        EXPECT_EQ(run.exitStatus, c.status) << c.err << ": " << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(fs::exists(out)) << c.err;
    }
}

// A PNG chunk: length, type, data, CRC.
std::string PngChunk(std::string_view type, std::string_view data) {
    std::string chunk;
    for (const int shift : {24, 16, 8, 0}) {
        chunk += static_cast<char>(data.size() >> shift & 0xFF);
    }
    const std::string typed = std::string(type) + std::string(data);
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(typed.data()), static_cast<uInt>(typed.size()));
    chunk += typed;
    for (const int shift : {24, 16, 8, 0}) {
        chunk += static_cast<char>(crc >> shift & 0xFF);
    }
    return chunk;
}

std::string Deflated(const std::string& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::string out(size, '\0');
    compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(data.data()),
              static_cast<uLong>(data.size()), 9);
    out.resize(size);
    return out;
}

// A one-pixel red PNG carrying `count` compressed text chunks (zTXt and
// iTXt) of `textSize` bytes each once inflated: a few kilobytes of file.
std::string TextChunkPng(int count, std::size_t textSize) {
    const std::string text = Deflated(std::string(textSize, 'A'));
    std::string png = "\x89PNG\r\n\x1a\n" + PngChunk("IHDR", std::string("\0\0\0\1\0\0\0\1\x08\x02\0\0\0", 13));
    for (int i = 0; i < count; ++i) {
        png += i % 2 == 0 ? PngChunk("zTXt", std::string("Comment\0\0", 9) + text)
                          : PngChunk("iTXt", std::string("XML:com.adobe.xmp\0\1\0\0\0", 22) + text);
    }
    return png + PngChunk("IDAT", Deflated(std::string("\0\xff\0\0", 4))) + PngChunk("IEND", "");
}

// Any input costs a bounded amount of memory: text chunks are skipped, not
// inflated and kept; what is no PNG, or too large for any palette, is
// refused after its first bytes. The time bound only catches a hang.
TEST_F(RemapCommand, AnyInputCostsBoundedMemory) {
    WriteFile(scratch_ / "texts.png", TextChunkPng(200, std::size_t{2} << 20));
    WriteFile(scratch_ / "lines.txt", std::string(std::size_t{16} << 20, '\n'));
    WriteFile(scratch_ / "p.txt", "0 0 0\n255 255 255\n");
    const std::string out = scratch_ / "out";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;  // a part of the standard error
    } cases[] = {
        {{"remap", scratch_ / "texts.png", "-o", out + ".png", "--palette", scratch_ / "p.txt"}, 0, ""},
        {{"build", scratch_ / "texts.png", out + ".tab"}, 0, ""},
        {{"remap", "/dev/zero", "-o", out + ".png", "--palette", scratch_ / "p.txt"}, 1,
         "cannot read '/dev/zero': not an image remap reads"},
        {{"build", "/dev/zero", out + ".tab"}, 1, "cannot read '/dev/zero': larger than 1 MiB"},
        {{"build", scratch_ / "lines.txt", out + ".tab"}, 1, "lines.txt': larger than 1 MiB, too large for a text palette"},
        {{"convert", "/dev/zero", out + ".gpl", "--from", "gpl"}, 1, "cannot read '/dev/zero': larger than 1 MiB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const ProcessResult run = Paltool(c.args);
        EXPECT_EQ(run.exitStatus, c.status) << run.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_LT(run.seconds, 30.0);
#if defined(__SANITIZE_ADDRESS__)
        std::cout << "peak memory not checked: AddressSanitizer's shadow memory dwarfs it\n";
#else
        EXPECT_LT(run.maxResidentKb, 32 * 1024) << "peak resident memory in KB";
#endif
    }
}

}  // namespace
}  // namespace paltab
