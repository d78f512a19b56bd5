// Dithering: the kernels against their published matrices, diffusion against
// a plain implementation, the threshold patterns, the blue-noise spectrum,
// invariants over every mode, and the quality figure against a plain
// computation.
#include "paltab/dither.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <random>
#include <string>

#include "random_inputs.hpp"

namespace paltab {
namespace {

DitherOptions Options(DitherMethod method, DitherSpace space = DitherSpace::kSrgb, bool serpentine = false,
                      int strength = kMaxStrength, std::optional<double> spread = {}) {
    DitherOptions options;
    options.method = method;
    options.space = space;
    options.serpentine = serpentine;
    options.strength = strength;
    options.spread = spread;
    return options;
}

std::vector<DitherMethod> AllMethods() {
    std::vector<DitherMethod> methods;
    for (std::size_t i = 0; i < kDitherMethodCount; ++i) {
        methods.push_back(static_cast<DitherMethod>(i));
    }
    return methods;
}

struct Image {
    int width;
    int height;
    std::vector<std::uint8_t> rgba;
};

// Noise over a gradient, with a transparent column band when asked.
Image NoisyImage(int width, int height, unsigned seed, bool withTransparency) {
    Image image{width, height, {}};
    std::mt19937 rng(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const auto c = [&](int base) {
                return static_cast<std::uint8_t>(std::clamp<int>(base + static_cast<int>(rng() % 61) - 30, 0, 255));
            };
            const bool clear = withTransparency && (x == 3 || (x + y) % 11 == 0);
            image.rgba.insert(image.rgba.end(), {c(x * 255 / width), c(y * 255 / height), c(128),
                                                 static_cast<std::uint8_t>(clear ? 20 : 255)});
        }
    }
    return image;
}

// The kernels as their authors print them: "X" is the pixel being set, "-"
// nothing; columns -2..2, the rows from the pixel's own down.
struct PublishedKernel {
    DitherMethod method;
    int divisor;
    std::vector<std::vector<std::string>> rows;
};

const std::vector<PublishedKernel> kPublished{
    {DitherMethod::kFloydSteinberg, 16, {{"-", "-", "X", "7", "-"}, {"-", "3", "5", "1", "-"}}},
    {DitherMethod::kFalseFloydSteinberg, 8, {{"-", "-", "X", "3", "-"}, {"-", "-", "3", "2", "-"}}},
    {DitherMethod::kJarvis, 48, {{"-", "-", "X", "7", "5"}, {"3", "5", "7", "5", "3"}, {"1", "3", "5", "3", "1"}}},
    {DitherMethod::kStucki, 42, {{"-", "-", "X", "8", "4"}, {"2", "4", "8", "4", "2"}, {"1", "2", "4", "2", "1"}}},
    {DitherMethod::kBurkes, 32, {{"-", "-", "X", "8", "4"}, {"2", "4", "8", "4", "2"}}},
    {DitherMethod::kSierra, 32, {{"-", "-", "X", "5", "3"}, {"2", "4", "5", "4", "2"}, {"-", "2", "3", "2", "-"}}},
    {DitherMethod::kSierra2Row, 16, {{"-", "-", "X", "4", "3"}, {"1", "2", "3", "2", "1"}}},
    {DitherMethod::kSierraLite, 4, {{"-", "-", "X", "2", "-"}, {"-", "1", "1", "-", "-"}}},
    {DitherMethod::kAtkinson, 8, {{"-", "-", "X", "1", "1"}, {"-", "1", "1", "1", "-"}, {"-", "-", "1", "-", "-"}}},
};

TEST(Dither, KernelsAreThePublishedOnes) {
    std::size_t diffusing = 0;
    for (const DitherMethod method : AllMethods()) {
        diffusing += KernelOf(method) ? 1 : 0;
        EXPECT_EQ(IsErrorDiffusion(method), KernelOf(method).has_value());
    }
    EXPECT_EQ(diffusing, kPublished.size());
    for (const PublishedKernel& published : kPublished) {
        const auto kernel = KernelOf(published.method);
        ASSERT_TRUE(kernel) << DitherMethodName(published.method);
        EXPECT_EQ(kernel->divisor, published.divisor);
        std::vector<std::vector<std::string>> rows(published.rows.size(), std::vector<std::string>(5, "-"));
        rows[0][2] = "X";
        int sum = 0;
        for (const DiffusionTap& tap : kernel->taps) {
            ASSERT_TRUE(tap.dy >= 0 && tap.dy < static_cast<int>(rows.size()) && std::abs(tap.dx) <= 2);
            ASSERT_TRUE(tap.dy > 0 || tap.dx > 0) << "a tap behind the pixel";
            rows[static_cast<std::size_t>(tap.dy)][static_cast<std::size_t>(tap.dx + 2)] = std::to_string(tap.weight);
            sum += tap.weight;
        }
        EXPECT_EQ(rows, published.rows) << DitherMethodName(published.method);
        // Atkinson passes on 6/8 of the error by design; the others all of it.
        EXPECT_EQ(sum * 8, published.method == DitherMethod::kAtkinson ? 6 * kernel->divisor : 8 * kernel->divisor);
    }
}

// The plain statement of error diffusion in sRGB: one error per pixel of the
// whole image, pixels visited in scan order (odd rows backwards when
// serpentine), every lookup a full search.
std::vector<std::uint8_t> PlainDiffusion(const Image& image, const std::vector<Rgb8>& palette,
                                         const MatchPalette& match, std::optional<std::uint8_t> transparent,
                                         const DitherOptions& options) {
    const DiffusionKernel kernel = *KernelOf(options.method);
    const auto size = static_cast<std::size_t>(image.width * image.height);
    std::vector<std::array<double, 3>> error(size);
    std::vector<std::uint8_t> out(size);
    const auto clear = [&](std::size_t i) { return transparent && image.rgba[i * 4 + 3] < kOpaqueAlpha; };
    for (int y = 0; y < image.height; ++y) {
        const bool back = options.serpentine && y % 2 == 1;
        for (int k = 0; k < image.width; ++k) {
            const int x = back ? image.width - 1 - k : k;
            const auto i = static_cast<std::size_t>(y * image.width + x);
            if (clear(i)) {
                out[i] = *transparent;
                continue;
            }
            std::array<double, 3> wanted{};
            std::array<std::uint8_t, 3> rounded{};
            for (std::size_t c = 0; c < 3; ++c) {
                wanted[c] = std::clamp(image.rgba[i * 4 + c] + error[i][c], 0.0, 255.0);
                rounded[c] = static_cast<std::uint8_t>(std::floor(wanted[c] + 0.5));
            }
            out[i] = match.NearestEntry({rounded[0], rounded[1], rounded[2]});
            const Rgb8 got = palette[out[i]];
            const std::array<double, 3> e{wanted[0] - got.r, wanted[1] - got.g, wanted[2] - got.b};
            for (const DiffusionTap& tap : kernel.taps) {
                const int nx = x + (back ? -tap.dx : tap.dx), ny = y + tap.dy;
                const auto n = static_cast<std::size_t>(ny * image.width + nx);
                if (nx >= 0 && nx < image.width && ny < image.height && !clear(n)) {
                    for (std::size_t c = 0; c < 3; ++c) {
                        error[n][c] +=
                            e[c] * (static_cast<double>(tap.weight) / kernel.divisor * options.strength / 100.0);
                    }
                }
            }
        }
    }
    return out;
}

TEST(Dither, DiffusionMatchesThePlainStatement) {
    const Image image = NoisyImage(23, 11, 5, true);
    const std::vector<Rgb8> palette = RandomColors(12, 8, Draw::kLowByte);
    const auto match = MatchPalette::Create(palette, {});
    const auto lookup = DitherLookup{EntryFinder::FromSearch(*match), true};
    for (const PublishedKernel& published : kPublished) {
        for (const bool serpentine : {false, true}) {
            for (const int strength : {100, 60}) {
                for (const std::optional<std::uint8_t> transparent :
                     {std::optional<std::uint8_t>{}, std::optional<std::uint8_t>{2}}) {
                    const DitherOptions options = Options(published.method, DitherSpace::kSrgb, serpentine, strength);
                    EXPECT_EQ(
                        *DitherPixels(image.width, image.height, image.rgba, palette, lookup, transparent, options),
                        PlainDiffusion(image, palette, *match, transparent, options))
                        << DitherMethodName(published.method) << " serpentine " << serpentine << " strength "
                        << strength;
                }
            }
        }
    }
}

// Every mode, in every space: colours of the palette stay as they are (a
// cube of three levels, whose entries lie farther apart than the patterns
// move a colour), strength 0 is no dithering, and the same input gives the
// same output.
TEST(Dither, PaletteColoursStayInEveryMode) {
    std::vector<Rgb8> cube;
    for (int i = 0; i < 27; ++i) {
        const auto level = [](int v) { return static_cast<std::uint8_t>(v == 0 ? 0 : v == 1 ? 128 : 255); };
        cube.push_back({level(i / 9), level(i / 3 % 3), level(i % 3)});
    }
    const Image image{29, 17, RandomRgbaOf(cube, 29 * 17, 3)};
    const Image noisy = NoisyImage(29, 17, 4, false);
    for (const DitherSpace space : {DitherSpace::kSrgb, DitherSpace::kLinear, DitherSpace::kOklab}) {
        // Patterns in linear light and Oklab move dark colours further in
        // sRGB, so there the lookup compares in the same space.
        const Metric metric = space == DitherSpace::kSrgb     ? Metric::kRgb
                              : space == DitherSpace::kLinear ? Metric::kLinear
                                                              : Metric::kOklab;
        const auto match = MatchPalette::Create(cube, {metric, {}});
        const auto lookup = DitherLookup{EntryFinder::FromSearch(*match), true};
        const auto plain = *DitherPixels(image.width, image.height, image.rgba, cube, lookup, {}, {});
        const auto plainNoisy = *DitherPixels(noisy.width, noisy.height, noisy.rgba, cube, lookup, {}, {});
        for (std::size_t i = 0; i < plain.size(); ++i) {
            ASSERT_EQ(cube[plain[i]], (Rgb8{image.rgba[i * 4], image.rgba[i * 4 + 1], image.rgba[i * 4 + 2]}));
        }
        for (const DitherMethod method : AllMethods()) {
            // Oklab's distances are mostly in hue, which the patterns leave
            // alone; their offsets in lightness are kept below its gaps, and
            // "ordered", whose spread is fixed, is left out there.
            if (space == DitherSpace::kOklab && method == DitherMethod::kOrdered) {
                continue;
            }
            const DitherOptions options = Options(method, space, false, kMaxStrength,
                                                  space == DitherSpace::kOklab ? std::optional(12.0) : std::nullopt);
            const std::string what =
                std::string(DitherMethodName(method)) + " in " + std::string(DitherSpaceName(space));
            EXPECT_EQ(*DitherPixels(image.width, image.height, image.rgba, cube, lookup, {}, options), plain) << what;
            const auto once = *DitherPixels(noisy.width, noisy.height, noisy.rgba, cube, lookup, {}, options);
            EXPECT_EQ(*DitherPixels(noisy.width, noisy.height, noisy.rgba, cube, lookup, {}, options), once) << what;
            if (method != DitherMethod::kNone) {
                EXPECT_NE(once, plainNoisy) << what << " does not dither";
            }
            EXPECT_EQ(
                *DitherPixels(noisy.width, noisy.height, noisy.rgba, cube, lookup, {}, Options(method, space, false, 0)),
                plainNoisy)
                << what;
        }
    }
}

// Large images under the rgb metric look colours up among the few entries
// that can be nearest in their box of colours, or, where the lookup reads an
// 8-bit map, the patterns and the positional mix read it themselves; the
// indices are those of a full search per colour, in every mode, with entries
// reserved and colours repeated (which the boxes must leave to the lower
// entry).
TEST(Dither, BoxesAndMapReadsChangeNothing) {
    const Image image = NoisyImage(128, 128, 12, true);
    std::vector<Rgb8> palette = RandomColors(32, 5, Draw::kLowByte);
    palette[20] = palette[7];
    palette[9] = palette[30];
    MatchOptions options;
    options.reserved.set(3);
    options.reserved.set(9);
    const auto match = MatchPalette::Create(palette, options);
    const EntryFinder find = EntryFinder::FromSearch(*match);
    const ExactColorMap map = *ExactColorMap::Build(*match, ExactColorMap::kMaxBits);
    const EntryFinder read = EntryFinder::FromMap(map.Cells(), map.Bits());
    for (const DitherMethod method : AllMethods()) {
        for (const DitherSpace space : {DitherSpace::kSrgb, DitherSpace::kLinear, DitherSpace::kOklab}) {
            const DitherOptions dither = Options(method, space);
            const auto plain = *DitherPixels(128, 128, image.rgba, palette, {find, false}, 3, dither);
            const std::string what = std::string(DitherMethodName(method)) + " in " + std::string(DitherSpaceName(space));
            EXPECT_EQ(*DitherPixels(128, 128, image.rgba, palette, {find, true}, 3, dither), plain) << what;
            EXPECT_EQ(*DitherPixels(128, 128, image.rgba, palette, {read, true}, 3, dither), plain) << what;
        }
    }
}

// The patterns as DitherPixels states them, in sRGB and in linear light,
// on an image small enough that linear light is worked out per pixel and on
// one large enough for its tables; a spread far beyond the cube moves every
// component to its bounds.
TEST(Dither, PatternsMatchThePlainStatement) {
    const std::vector<Rgb8> palette = RandomColors(16, 21, Draw::kLowByte);
    const auto match = MatchPalette::Create(palette, {});
    const DitherLookup lookup{EntryFinder::FromSearch(*match), true};
    // The nearest 8-bit value to a linear one: how many values' upper
    // halfway points lie at or below it.
    std::array<double, 255> halfway{};
    for (std::size_t v = 0; v < halfway.size(); ++v) {
        halfway[v] = LinearFromSrgb(static_cast<double>(v) + 0.5);
    }
    const auto srgb8OfLinear = [&](double linear) {
        return std::count_if(halfway.begin(), halfway.end(), [&](double h) { return h <= linear; });
    };
    const std::vector<std::uint16_t> noise(BlueNoisePattern().begin(), BlueNoisePattern().end());
    const std::vector<std::pair<DitherMethod, std::vector<std::uint16_t>>> patterns{
        {DitherMethod::kOrdered, *BayerPattern(8)}, {DitherMethod::kBayer2, *BayerPattern(2)},
        {DitherMethod::kBayer4, *BayerPattern(4)},  {DitherMethod::kBayer16, *BayerPattern(16)},
        {DitherMethod::kBlueNoise, noise}};
    for (const Image& image : {NoisyImage(37, 9, 1, true), NoisyImage(120, 80, 2, false)}) {
        for (const auto& [method, pattern] : patterns) {
            for (const DitherSpace space : {DitherSpace::kSrgb, DitherSpace::kLinear}) {
                for (const std::optional<double> spread : {std::optional(60.0), std::optional(1e12)}) {
                    const DitherOptions options = Options(method, space, false, 70, spread);
                    const auto side = static_cast<int>(std::lround(std::sqrt(pattern.size())));
                    const double levels = static_cast<double>(pattern.size());
                    const double unit = space == DitherSpace::kSrgb ? 1.0 : 1.0 / 255;
                    const double full = (method == DitherMethod::kOrdered ? kOrderedSpread : *spread) * 0.7 * unit;
                    const auto got = *DitherPixels(image.width, image.height, image.rgba, palette, lookup, 2, options);
                    ASSERT_EQ(got.size(), image.rgba.size() / 4);
                    for (int y = 0; y < image.height; ++y) {
                        for (int x = 0; x < image.width; ++x) {
                            const auto i = static_cast<std::size_t>(y * image.width + x);
                            const std::uint16_t t = pattern[static_cast<std::size_t>((y % side) * side + x % side)];
                            const double offset = (2 * t + 1 - levels) / (2 * levels) * full;
                            const auto moved = [&](std::uint8_t v) {
                                if (space == DitherSpace::kSrgb) {
                                    return std::clamp(v + std::clamp(std::trunc(offset), -255.0, 255.0), 0.0, 255.0);
                                }
                                return static_cast<double>(
                                    srgb8OfLinear(std::clamp(LinearFromSrgb(v) + offset, 0.0, 1.0)));
                            };
                            const std::uint8_t* c = &image.rgba[i * 4];
                            const std::uint8_t expected =
                                c[3] < kOpaqueAlpha ? 2
                                                    : match->NearestEntry({static_cast<std::uint8_t>(moved(c[0])),
                                                                           static_cast<std::uint8_t>(moved(c[1])),
                                                                           static_cast<std::uint8_t>(moved(c[2]))});
                            ASSERT_EQ(got[i], expected) << DitherMethodName(method) << " in " << DitherSpaceName(space)
                                                        << " spread " << *spread << " at " << x << ", " << y;
                        }
                    }
                }
            }
        }
    }
}

// A positional mode's index depends on the pixel's position and colour only:
// a change in one region leaves every other pixel's index alone.
TEST(Dither, PositionalModesChangeOnlyWhereTheImageChanges) {
    const Image before = NoisyImage(40, 30, 6, false);
    Image after = before;
    for (int y = 10; y < 20; ++y) {
        for (int x = 5; x < 25; ++x) {
            after.rgba[static_cast<std::size_t>(y * 40 + x) * 4] ^= 0x55;
        }
    }
    const std::vector<Rgb8> palette = RandomColors(16, 2, Draw::kLowByte);
    const auto match = MatchPalette::Create(palette, {});
    const auto lookup = DitherLookup{EntryFinder::FromSearch(*match), true};
    for (const DitherMethod method : AllMethods()) {
        if (!IsPositional(method)) {
            continue;
        }
        const auto a = *DitherPixels(40, 30, before.rgba, palette, lookup, {}, Options(method));
        const auto b = *DitherPixels(40, 30, after.rgba, palette, lookup, {}, Options(method));
        for (std::size_t i = 0; i < a.size(); ++i) {
            if (before.rgba[i * 4] == after.rgba[i * 4]) {
                ASSERT_EQ(a[i], b[i]) << DitherMethodName(method) << " pixel " << i;
            }
        }
    }
}

TEST(Dither, PatternsHoldEachThresholdOnce) {
    const std::vector<std::uint16_t> noise(BlueNoisePattern().begin(), BlueNoisePattern().end());
    for (const auto& [side, pattern] :
         std::vector<std::pair<int, std::vector<std::uint16_t>>>{{2, *BayerPattern(2)},
                                                                 {4, *BayerPattern(4)},
                                                                 {8, *BayerPattern(8)},
                                                                 {16, *BayerPattern(16)},
                                                                 {kBlueNoiseSide, noise}}) {
        ASSERT_EQ(pattern.size(), static_cast<std::size_t>(side * side));
        std::vector<int> seen(pattern.size());
        for (const std::uint16_t t : pattern) {
            ASSERT_LT(t, pattern.size());
            ++seen[t];
        }
        EXPECT_EQ(seen, std::vector<int>(pattern.size(), 1)) << side;
    }
    // The classic 8 x 8 matrix, whose first rows are these.
    const std::vector<std::uint16_t> bayer8 = *BayerPattern(8);
    EXPECT_EQ(std::vector<std::uint16_t>(bayer8.begin(), bayer8.begin() + 16),
              (std::vector<std::uint16_t>{0, 32, 8, 40, 2, 34, 10, 42, 48, 16, 56, 24, 50, 18, 58, 26}));
    for (const int side : {3, 32, 0, -2}) {
        const auto none = BayerPattern(side);
        ASSERT_FALSE(none) << side;
        EXPECT_EQ(none.error().kind, ErrorKind::kBadSettings) << side;
    }
}

// The share of a pattern's energy (the mean removed) at spatial frequencies
// up to a quarter of the highest, divided by that share for white noise (the
// share of those frequencies): about 1 for white noise, far below for blue.
double LowFrequencyShare(const std::vector<std::uint16_t>& pattern, int side) {
    const auto n = static_cast<std::size_t>(side);
    const double mean = (static_cast<double>(pattern.size()) - 1) / 2;
    std::vector<std::complex<double>> turn(n);
    for (std::size_t k = 0; k < n; ++k) {
        turn[k] = std::polar(1.0, -2 * std::numbers::pi * static_cast<double>(k) / side);
    }
    // The discrete Fourier transform, along rows and then along columns.
    std::vector<std::complex<double>> rows(n * n), spectrum(n * n);
    for (std::size_t y = 0; y < n; ++y) {
        for (std::size_t u = 0; u < n; ++u) {
            for (std::size_t x = 0; x < n; ++x) {
                rows[y * n + u] += (pattern[y * n + x] - mean) * turn[u * x % n];
            }
        }
    }
    for (std::size_t v = 0; v < n; ++v) {
        for (std::size_t u = 0; u < n; ++u) {
            for (std::size_t y = 0; y < n; ++y) {
                spectrum[v * n + u] += rows[y * n + u] * turn[v * y % n];
            }
        }
    }
    double low = 0, total = 0;
    int lowCount = 0, count = 0;
    for (std::size_t v = 0; v < n; ++v) {
        for (std::size_t u = 0; u < n; ++u) {
            if (u == 0 && v == 0) {
                continue;
            }
            const std::size_t fu = std::min(u, n - u), fv = std::min(v, n - v);
            const bool isLow = fu * fu + fv * fv <= (n / 8) * (n / 8);
            low += isLow ? std::norm(spectrum[v * n + u]) : 0;
            lowCount += isLow ? 1 : 0;
            total += std::norm(spectrum[v * n + u]);
            ++count;
        }
    }
    return (low / total) / (static_cast<double>(lowCount) / count);
}

TEST(Dither, BlueNoiseHasLittleLowFrequencyEnergy) {
    const std::vector<std::uint16_t> noise(BlueNoisePattern().begin(), BlueNoisePattern().end());
    std::vector<std::uint16_t> white(noise.size());
    for (std::size_t i = 0; i < white.size(); ++i) {
        white[i] = static_cast<std::uint16_t>(i);
    }
    std::shuffle(white.begin(), white.end(), std::mt19937(11));
    EXPECT_GT(LowFrequencyShare(white, kBlueNoiseSide), 0.6);
    EXPECT_LT(LowFrequencyShare(noise, kBlueNoiseSide), 0.1);
}

// The plain computation: the full two-dimensional Gaussian of each image,
// its weights renormalised over the pixels inside the image.
TEST(Dither, QualityFigureMatchesThePlainComputation) {
    const Image image = NoisyImage(21, 13, 9, true);
    const std::vector<Rgb8> palette = RandomColors(7, 3, Draw::kLowByte);
    std::mt19937 rng(1);
    std::vector<std::uint8_t> indices(21 * 13);
    for (std::uint8_t& i : indices) {
        i = static_cast<std::uint8_t>(rng() % palette.size());
    }
    const std::optional<std::uint8_t> transparent = 0;
    const auto quality = MeasureDitherQuality(21, 13, image.rgba, palette, indices, transparent);
    ASSERT_TRUE(quality);
    const auto opaque = [&](int x, int y) {
        return image.rgba[static_cast<std::size_t>(y * 21 + x) * 4 + 3] >= kOpaqueAlpha;
    };
    const auto difference = [&](int x, int y, std::size_t c) {
        const auto i = static_cast<std::size_t>(y * 21 + x);
        const Rgb8 got = palette[indices[i]];
        return opaque(x, y) ? (c == 0   ? got.r
                               : c == 1 ? got.g
                                        : got.b) -
                                  static_cast<double>(image.rgba[i * 4 + c])
                            : 0.0;
    };
    double squares = 0, blurred = 0, n = 0;
    for (int y = 0; y < 13; ++y) {
        for (int x = 0; x < 21; ++x) {
            if (!opaque(x, y)) {
                continue;
            }
            n += 3;
            for (std::size_t c = 0; c < 3; ++c) {
                squares += difference(x, y, c) * difference(x, y, c);
                double sum = 0, weights = 0;
                for (int sy = std::max(0, y - kQualityRadius); sy <= std::min(12, y + kQualityRadius); ++sy) {
                    for (int sx = std::max(0, x - kQualityRadius); sx <= std::min(20, x + kQualityRadius); ++sx) {
                        const double w = std::exp(-((sx - x) * (sx - x) + (sy - y) * (sy - y)) /
                                                  (2 * kQualitySigma * kQualitySigma));
                        sum += w * difference(sx, sy, c);
                        weights += w;
                    }
                }
                blurred += (sum / weights) * (sum / weights);
            }
        }
    }
    EXPECT_NEAR(quality->meanSquaredError, squares / n, 1e-9 * squares / n);
    EXPECT_NEAR(quality->blurredError, blurred / n, 1e-9 * blurred / n);
    EXPECT_LT(quality->blurredError, quality->meanSquaredError);

    indices[5] = 7;  // past the palette
    EXPECT_FALSE(MeasureDitherQuality(21, 13, image.rgba, palette, indices, transparent));
    EXPECT_FALSE(MeasureDitherQuality(21, 12, image.rgba, palette, indices, transparent));
}

TEST(Dither, NamesAndBadArguments) {
    for (const DitherMethod method : AllMethods()) {
        EXPECT_EQ(ParseDitherMethod(DitherMethodName(method)), method);
    }
    EXPECT_FALSE(ParseDitherMethod("bayer32"));
    for (const DitherSpace space : {DitherSpace::kSrgb, DitherSpace::kLinear, DitherSpace::kOklab}) {
        EXPECT_EQ(ParseDitherSpace(DitherSpaceName(space)), space);
    }
    EXPECT_EQ(AdaptiveSpread(std::vector<Rgb8>{{0, 0, 0}, {0, 0, 0}}, DitherSpace::kSrgb), 0);
    EXPECT_EQ(AdaptiveSpread(std::vector<Rgb8>{{0, 0, 0}, {0, 0, 10}, {0, 0, 0}, {255, 0, 0}}, DitherSpace::kSrgb), 10);

    const std::vector<Rgb8> palette = RandomColors(4, 1, Draw::kLowByte);
    const auto match = MatchPalette::Create(palette, {});
    const auto lookup = DitherLookup{EntryFinder::FromSearch(*match), true};
    const std::vector<std::uint8_t> rgba(4 * 6, 100);
    EXPECT_EQ(DitherPixels(3, 2, rgba, palette, lookup, {}, Options(DitherMethod::kJarvis))->size(), 6u);
    struct Bad {
        int width, height;
        DitherOptions options;
        ErrorKind kind;
        std::string_view named;  // in the cause
    };
    const DitherOptions jarvis = Options(DitherMethod::kJarvis);
    for (const Bad& bad : {
             Bad{3, 2, Options(DitherMethod::kJarvis, DitherSpace::kSrgb, false, 101), ErrorKind::kBadSettings,
                 "strength 101"},
             Bad{3, 2, Options(DitherMethod::kNone, DitherSpace::kSrgb, false, -1), ErrorKind::kBadSettings,
                 "strength -1"},
             Bad{3, 2, Options(DitherMethod::kBayer4, DitherSpace::kSrgb, false, 100, -1.0), ErrorKind::kBadSettings,
                 "spread -1"},
             Bad{3, 2, Options(DitherMethod::kBlueNoise, DitherSpace::kSrgb, false, 100, std::nan("")),
                 ErrorKind::kBadSettings, "not a finite number"},
             Bad{2, 2, jarvis, ErrorKind::kBadInput, "24 bytes, not the 16 of 2 x 2 pixels"},
             Bad{0, 6, jarvis, ErrorKind::kBadInput, "0 x 6 pixels"},
             Bad{-3, -2, jarvis, ErrorKind::kBadInput, "-3 x -2 pixels"},
         }) {
        const auto got = DitherPixels(bad.width, bad.height, rgba, palette, lookup, {}, bad.options);
        ASSERT_FALSE(got) << bad.named;
        EXPECT_EQ(got.error().kind, bad.kind) << bad.named;
        EXPECT_NE(got.error().cause.find(bad.named), std::string::npos) << got.error().cause;
    }
}

}  // namespace
}  // namespace paltab
