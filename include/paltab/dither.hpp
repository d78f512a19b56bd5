// Dithering true-colour pixels to palette indices: error diffusion with the
// classic kernels, ordered threshold patterns (Bayer, blue noise), a
// palette-aware positional mix, in sRGB, linear light or Oklab, and a
// quality figure to compare them by.
//
// Every index is an exact lookup of some colour (the lookup given, by its
// metric): dithering only chooses which colour is looked up.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "paltab/exact_map.hpp"
#include "paltab/result.hpp"
#include "paltab/types.hpp"

namespace paltab {

// How ordered dithering moves a colour: the 8 x 8 Bayer threshold t (0..63)
// of a pixel adds (2t + 1 - 64) * kOrderedSpread / 128, truncated toward
// zero (-15..15), to each component before the lookup. About half the gap
// between neighbours of a 256-colour palette spread evenly over the cube.
inline constexpr int kOrderedSpread = 32;

// Alpha below this makes a pixel transparent (when a transparent index is
// given).
inline constexpr std::uint8_t kOpaqueAlpha = 128;

// The nearest-entry lookup dithering calls for each colour it settles on.
struct DitherLookup {
    EntryFinder find;
    // Set when `find` gives every colour its nearest entry by the rgb metric
    // (integer squared distances): then the colours of each entry form a
    // convex set, so a box of colours whose corners get one entry gets it
    // throughout, and large images skip most lookups.
    bool byRgbDistance = false;
};

// Stable names (DitherMethodName) in parentheses.
enum class DitherMethod : std::uint8_t {
    kNone,                 // "none": each pixel's own nearest entry
    kOrdered,              // "ordered": 8 x 8 Bayer with the fixed spread 32 (kOrderedSpread)
    kFloydSteinberg,       // "floyd-steinberg"
    kFalseFloydSteinberg,  // "false-floyd-steinberg"
    kJarvis,               // "jarvis": Jarvis, Judice and Ninke
    kStucki,               // "stucki"
    kBurkes,               // "burkes"
    kSierra,               // "sierra": three rows
    kSierra2Row,           // "sierra-2row"
    kSierraLite,           // "sierra-lite"
    kAtkinson,             // "atkinson": passes on 6/8 of the error, by design
    kBayer2,               // "bayer2"
    kBayer4,               // "bayer4"
    kBayer8,               // "bayer8"
    kBayer16,              // "bayer16"
    kBlueNoise,            // "blue-noise": a 64 x 64 void-and-cluster pattern
    kYliluoma,             // "yliluoma": the nearest entry mixed with up to two others, placed by an 8 x 8 Bayer pattern
};

inline constexpr std::size_t kDitherMethodCount = 17;

std::string_view DitherMethodName(DitherMethod method);
std::optional<DitherMethod> ParseDitherMethod(std::string_view name);
bool IsErrorDiffusion(DitherMethod method);
// Bayer, blue noise, "ordered" and "yliluoma": the index depends on the
// pixel's position and colour only.
bool IsPositional(DitherMethod method);

// Where the error is measured and spread (or the pattern's offset added):
// 8-bit sRGB values, linear light, or Oklab. The lookup is always of an
// 8-bit sRGB colour, exact by the lookup's metric.
enum class DitherSpace : std::uint8_t { kSrgb, kLinear, kOklab };

// "srgb", "linear", "oklab".
std::string_view DitherSpaceName(DitherSpace space);
std::optional<DitherSpace> ParseDitherSpace(std::string_view name);

inline constexpr int kMaxStrength = 100;

struct DitherOptions {
    DitherMethod method = DitherMethod::kNone;
    DitherSpace space = DitherSpace::kSrgb;
    // Error diffusion: odd rows right to left, the kernel mirrored.
    bool serpentine = false;
    // Percent, 0..kMaxStrength: the share of each pixel's error passed on,
    // the share of the pattern's spread used, or (yliluoma) of the mix
    // given to entries other than the nearest. 0 is no dithering.
    int strength = kMaxStrength;
    // Ordered patterns: the offsets span this many units, from -spread/2 to
    // +spread/2 (8-bit units in sRGB; linear light and Oklab lightness times
    // 255). Unset: AdaptiveSpread of the palette. "ordered" ignores it.
    std::optional<double> spread;
};

// One tap of an error-diffusion kernel: the share weight / divisor goes to
// the pixel dx to the right (mirrored on serpentine right-to-left rows) and
// dy rows down.
struct DiffusionTap {
    int dx;
    int dy;
    int weight;
};

struct DiffusionKernel {
    std::span<const DiffusionTap> taps;
    int divisor;
};

// The kernel of an error-diffusion method; nothing for the others. Weights
// sum to the divisor, except Atkinson's, which sum to 6/8: it drops a
// quarter of the error on purpose, keeping contrast at the cost of detail in
// the darkest and lightest areas.
std::optional<DiffusionKernel> KernelOf(DitherMethod method);

// Threshold patterns, row by row: side x side values, each of 0..side^2 - 1
// once. The Bayer pattern of side 2, 4, 8 or 16 (failing with kBadSettings
// for other sides), and the 64 x 64 blue-noise pattern, made by
// void-and-cluster with a Gaussian of sigma 1.5 on the torus from a fixed
// seed, once per process.
inline constexpr int kBlueNoiseSide = 64;
Result<std::vector<std::uint16_t>> BayerPattern(int side);
std::span<const std::uint16_t> BlueNoisePattern();

// The default spread of ordered patterns: the median, over the palette's
// distinct colours, of the distance to the nearest other colour, measured in
// `space` (in the units of DitherOptions::spread). 0 with fewer than two
// distinct colours.
double AdaptiveSpread(std::span<const Rgb8> palette, DitherSpace space);

// The index of every pixel of a `width` x `height` image, `rgba` four bytes
// a pixel, rows top to bottom. `palette` is what the indices stand for:
// every index `lookup` gives should lie within it (a pixel given one beyond
// passes no error on). With `transparentIndex`, pixels whose alpha is below
// kOpaqueAlpha get it and neither take nor pass on error.
//
// Error diffusion keeps the error in double precision, per component, in
// the dither space. A pixel plus the error it received is clamped to the
// colours an 8-bit sRGB image holds, rounded to the nearest 8-bit colour for
// the lookup, and its error is that clamped colour minus the chosen entry's;
// error that would leave the image, or reach a transparent pixel, is
// dropped. Ordered patterns add the offset of the pixel's threshold to each
// component (in Oklab, to lightness) and look up the result, clamped and
// rounded; in sRGB the offset is truncated toward zero to whole units.
//
// Fails with kBadInput when `rgba` does not hold width x height pixels (or
// a side is below 1), and with kBadSettings when strength is outside
// 0..kMaxStrength or the spread is negative or not a finite number. Output
// is deterministic.
Result<std::vector<std::uint8_t>> DitherPixels(int width, int height, std::span<const std::uint8_t> rgba,
                                               std::span<const Rgb8> palette, const DitherLookup& lookup,
                                               std::optional<std::uint8_t> transparentIndex,
                                               const DitherOptions& options);

// How far the indices' colours lie from the source, over the pixels that
// are opaque (all of them without a transparent index), in 8-bit sRGB units:
// the mean squared difference per component, and the same after both images
// are blurred by a Gaussian of standard deviation kQualitySigma pixels
// (cut at kQualityRadius; its weights renormalised at the image's edges;
// transparent pixels differ by nothing), which is closer to how the eye sees
// a dither from a normal distance. Memory in proportion to the width.
inline constexpr double kQualitySigma = 2.0;
inline constexpr int kQualityRadius = 6;

struct DitherQuality {
    double meanSquaredError = 0;
    double blurredError = 0;
};

// Fails with kBadInput when the sizes disagree or an index of an opaque
// pixel lies outside `palette`.
Result<DitherQuality> MeasureDitherQuality(int width, int height, std::span<const std::uint8_t> rgba,
                                           std::span<const Rgb8> palette, std::span<const std::uint8_t> indices,
                                           std::optional<std::uint8_t> transparentIndex);

}  // namespace paltab
