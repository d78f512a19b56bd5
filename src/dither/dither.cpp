// The dithering methods by name, and the entry point that checks its
// arguments and hands the image to the method's unit.
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

#include "dither/space.hpp"

namespace paltab {
namespace {

struct MethodName {
    DitherMethod method;
    std::string_view name;
};

// The one list of methods and their stable names.
constexpr std::array<MethodName, kDitherMethodCount> kMethods{{
    {DitherMethod::kNone, "none"},
    {DitherMethod::kOrdered, "ordered"},
    {DitherMethod::kFloydSteinberg, "floyd-steinberg"},
    {DitherMethod::kFalseFloydSteinberg, "false-floyd-steinberg"},
    {DitherMethod::kJarvis, "jarvis"},
    {DitherMethod::kStucki, "stucki"},
    {DitherMethod::kBurkes, "burkes"},
    {DitherMethod::kSierra, "sierra"},
    {DitherMethod::kSierra2Row, "sierra-2row"},
    {DitherMethod::kSierraLite, "sierra-lite"},
    {DitherMethod::kAtkinson, "atkinson"},
    {DitherMethod::kBayer2, "bayer2"},
    {DitherMethod::kBayer4, "bayer4"},
    {DitherMethod::kBayer8, "bayer8"},
    {DitherMethod::kBayer16, "bayer16"},
    {DitherMethod::kBlueNoise, "blue-noise"},
    {DitherMethod::kYliluoma, "yliluoma"},
}};

constexpr std::array<std::string_view, 3> kSpaceNames{"srgb", "linear", "oklab"};

void Undithered(const dither::Pixels& pixels, const EntryFinder& find, std::span<std::uint8_t> indices) {
    for (std::size_t i = 0; i < indices.size(); ++i) {
        indices[i] = pixels.Transparent(i) ? *pixels.transparentIndex : find(pixels.Color(i));
    }
}

}  // namespace

std::string_view DitherMethodName(DitherMethod method) {
    for (const MethodName& entry : kMethods) {
        if (entry.method == method) {
            return entry.name;
        }
    }
    return "none";
}

std::optional<DitherMethod> ParseDitherMethod(std::string_view name) {
    for (const MethodName& entry : kMethods) {
        if (entry.name == name) {
            return entry.method;
        }
    }
    return std::nullopt;
}

bool IsErrorDiffusion(DitherMethod method) {
    return KernelOf(method).has_value();
}

bool IsPositional(DitherMethod method) {
    return method != DitherMethod::kNone && !IsErrorDiffusion(method);
}

std::string_view DitherSpaceName(DitherSpace space) {
    return kSpaceNames[static_cast<std::size_t>(space)];
}

std::optional<DitherSpace> ParseDitherSpace(std::string_view name) {
    for (std::size_t i = 0; i < kSpaceNames.size(); ++i) {
        if (kSpaceNames[i] == name) {
            return static_cast<DitherSpace>(i);
        }
    }
    return std::nullopt;
}

Result<std::vector<std::uint8_t>> DitherPixels(int width, int height, std::span<const std::uint8_t> rgba,
                                               std::span<const Rgb8> palette, const DitherLookup& lookup,
                                               std::optional<std::uint8_t> transparentIndex,
                                               const DitherOptions& options) {
    constexpr std::size_t kChannels = dither::Pixels::kChannels;
    const auto size = [&] { return std::to_string(width) + " x " + std::to_string(height) + " pixels"; };
    if (width <= 0 || height <= 0) {
        return Error{"", "the image is " + size() + ": each side must be 1 or more"};
    }
    const std::size_t expected = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * kChannels;
    if (rgba.size() != expected) {
        return Error{"", "the pixels take " + std::to_string(rgba.size()) + " bytes, not the " +
                             std::to_string(expected) + " of " + size() + " at " + std::to_string(kChannels) +
                             " bytes each"};
    }
    if (options.strength < 0 || options.strength > kMaxStrength) {
        return Error{"",
                     "strength " + std::to_string(options.strength) + " is outside 0.." + std::to_string(kMaxStrength),
                     ErrorKind::kBadSettings};
    }
    if (options.spread && !(*options.spread >= 0 && std::isfinite(*options.spread))) {
        std::array<char, 32> spread{};
        std::snprintf(spread.data(), spread.size(), "%g", *options.spread);
        return Error{"", "spread " + std::string(spread.data()) + " is not a finite number 0 or more",
                     ErrorKind::kBadSettings};
    }
    std::vector<std::uint8_t> indices(rgba.size() / kChannels);
    const dither::Pixels pixels{width, height, rgba, transparentIndex};
    DitherOptions settled = options;
    if (!settled.spread && IsPositional(settled.method)) {
        settled.spread = AdaptiveSpread(palette, settled.space);
    }
    if (settled.method == DitherMethod::kNone) {
        Undithered(pixels, lookup.find, indices);
        return indices;
    }
    dither::Lookup cached(lookup, palette, indices.size(), IsErrorDiffusion(settled.method));
    if (IsErrorDiffusion(settled.method)) {
        dither::Diffuse(pixels, palette, cached, settled, indices);
    } else if (settled.method == DitherMethod::kYliluoma) {
        dither::PositionalMix(pixels, palette, cached, settled, indices);
    } else {
        dither::OrderedDither(pixels, palette, cached, settled, indices);
    }
    return indices;
}

}  // namespace paltab
