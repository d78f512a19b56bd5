// Fuzz target: a small palette and an image file (PNG, JPEG, GIF, BMP, PCX
// or, by the caller's word, TGA) through the library's remap call, as
// `paltool remap` makes it (each dithering, with or without a transparent
// index, by search or by an exact map, kept indices when the image is
// indexed in the palette), its output in one of the formats written read
// back, then a second pass in another dithering method with its quality
// figure. Byte 0 holds the options (bits 0-1 the dithering, 2-3 the metric,
// also the dither space of the second pass, 4 serpentine, 5 a transparent
// last entry, 6 a 5-bit exact map instead of the search, 7 read a file of no
// signature as TGA), byte 1 the number of colours (1..16, low bits) and the
// dithering method of the second pass (high bits), which also choose the
// output format, then three bytes per colour, then the image file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <span>
#include <string>
#include <vector>

#include "fuzz_checks.hpp"
#include "paltab/image.hpp"
#include "paltab/image_formats.hpp"
#include "paltab/remap_image.hpp"

namespace {

// Small images only: a PNG declaring more is refused before decoding.
constexpr std::uint64_t kMaxPixels = 1u << 14;

constexpr const char* kTarget = "remap";

[[noreturn]] void Fail(const char* what) {
    fuzz_checks::Fail(kTarget, what);
}

constexpr paltab::ImageFormat kOutputs[] = {paltab::ImageFormat::kPng, paltab::ImageFormat::kBmp,
                                            paltab::ImageFormat::kPcx, paltab::ImageFormat::kTga,
                                            paltab::ImageFormat::kGif, paltab::ImageFormat::kRaw};

// The image as the pipeline should see it, by the reader of its format.
std::optional<paltab::DecodedImage> Reference(std::span<const std::uint8_t> file, bool tga) {
    using namespace paltab;
    std::optional<ImageFormat> format = DetectImageFormat(file);
    if (tga && (!format || *format == ImageFormat::kPcx)) {
        format = ImageFormat::kTga;
    }
    if (!format) {
        return std::nullopt;
    }
    if (*format == ImageFormat::kPng) {
        auto png = DecodePng(file, kMaxPixels);
        return png ? std::optional<DecodedImage>(std::move(*png)) : std::nullopt;
    }
    std::optional<RgbaImage> rgba;
    if (*format == ImageFormat::kJpeg) {
        if (auto jpeg = ReadJpeg(file, kMaxPixels)) {
            rgba = std::move(*jpeg);
        }
    } else if (const auto indexed = ReadIndexedImage(file, *format, kMaxPixels)) {
        rgba = IndexedToRgba(*indexed);
    }
    if (!rgba) {
        return std::nullopt;
    }
    DecodedImage image;
    image.width = rgba->width;
    image.height = rgba->height;
    image.rgba = std::move(rgba->rgba);
    return image;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paltab;
    if (size < 2) {
        return 0;
    }
    const std::uint8_t flags = data[0];
    const std::size_t count = 1 + data[1] % 16;
    if (size < 2 + 3 * count) {
        return 0;
    }
    std::vector<Rgb8> palette;
    for (std::size_t i = 0; i < count; ++i) {
        palette.push_back({data[2 + 3 * i], data[3 + 3 * i], data[4 + 3 * i]});
    }
    const std::span<const std::uint8_t> png(data + 2 + 3 * count, size - 2 - 3 * count);

    ImageRemapOptions options;
    options.maxPixels = kMaxPixels;
    // none, ordered, floyd-steinberg
    options.dither.method = static_cast<DitherMethod>((flags & 0x3) % 3);
    const auto metric = static_cast<Metric>((flags >> 2 & 0x3) % 3);
    MatchOptions match{metric, {}};
    if ((flags & 0x20) != 0 && count > 1) {
        options.transparentIndex = static_cast<std::uint8_t>(count - 1);
        match.reserved.set(count - 1);
    }
    auto made = RemapTargetOfPalette(palette, match);
    if (!made) {
        Fail("a palette with entries left to choose was refused");
    }
    RemapTarget& target = *made;
    const MatchPalette search = *target.search;
    const bool map = (flags & 0x40) != 0;
    if (map) {
        const ExactColorMap cells = *ExactColorMap::Build(search, ExactColorMap::kMinBits);
        target.map.assign(cells.Cells().begin(), cells.Cells().end());
        target.mapBits = ExactColorMap::kMinBits;
        target.search.reset();
    }
    const bool tga = (flags & 0x80) != 0;
    if (tga) {
        options.input = ImageFormat::kTga;
    }
    options.output = kOutputs[(data[1] + flags) % std::size(kOutputs)];
    const auto remapped = RemapImage({png.begin(), png.end()}, target, options);
    const auto image = Reference(png, tga);
    if (!remapped) {
        const std::string message = remapped.error().Message();
        if (message.empty() || message.find('\n') != std::string::npos) {
            Fail("an error without a one-line cause");
        }
        if (remapped.error().kind == ErrorKind::kOutput || image) {
            Fail("a decodable image was not remapped");
        }
        return 0;
    }
    if (!image || image->width != remapped->width || image->height != remapped->height ||
        image->rgba.size() != static_cast<std::size_t>(image->width) * static_cast<std::size_t>(image->height) * 4) {
        Fail("decoded pixels do not fill the image");
    }
    const std::vector<std::uint8_t>& indices = remapped->indices;
    if (indices.size() != image->rgba.size() / 4) {
        Fail("not one index per pixel");
    }
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const bool transparent = options.transparentIndex && image->rgba[i * 4 + 3] < kOpaqueAlpha;
        if (indices[i] >= count ||
            (transparent != (options.transparentIndex == indices[i]) && !remapped->keptIndices)) {
            Fail("an index outside the palette, or transparency wrongly given");
        }
        const Rgb8 color{image->rgba[i * 4], image->rgba[i * 4 + 1], image->rgba[i * 4 + 2]};
        if (remapped->keptIndices ? !transparent && palette[indices[i]] != color
                                  : !transparent && options.dither.method == DitherMethod::kNone && !map &&
                                        indices[i] != search.NearestEntry(color)) {
            Fail("an undithered pixel without its nearest entry, or a kept index of another colour");
        }
    }
    if (remapped->opaqueTransparent != 0 && !remapped->keptIndices) {
        Fail("an opaque pixel got the reserved transparent entry");
    }

    // A second pass in another method, and its quality figure.
    ImageRemapOptions second = options;
    second.dither.method = static_cast<DitherMethod>(1 + (data[1] >> 4) % (kDitherMethodCount - 1));
    second.dither.space = static_cast<DitherSpace>(static_cast<int>(metric));
    second.dither.serpentine = (flags & 0x10) != 0;
    second.measureQuality = true;
    const auto again = RemapDecodedImage(*image, target, second);
    if (!again || again->indices.size() != indices.size()) {
        Fail("a second pass without one index per pixel");
    }
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const bool transparent = options.transparentIndex && image->rgba[i * 4 + 3] < kOpaqueAlpha;
        if (again->indices[i] >= count ||
            (transparent != (options.transparentIndex == again->indices[i]) && !again->keptIndices)) {
            Fail("a second pass with an index outside the palette, or transparency wrongly given");
        }
    }
    const auto inRange = [](double v) { return v >= 0 && v <= 255.0 * 255.0; };
    if (!again->quality || !inRange(again->quality->meanSquaredError) || !inRange(again->quality->blurredError)) {
        Fail("a quality figure out of range");
    }

    if (options.output == ImageFormat::kRaw) {
        if (remapped->file != indices) {
            Fail("a raw file other than the indices");
        }
        return 0;
    }
    const auto back = ReadIndexedImage(remapped->file, options.output, kMaxPixels);
    if (!back || back->indices != indices || back->palette.size() < palette.size() ||
        !std::equal(palette.begin(), palette.end(), back->palette.begin())) {
        Fail("the output does not read back with its indices and palette");
    }
    return 0;
}
