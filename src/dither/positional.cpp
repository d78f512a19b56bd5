// Palette-aware positional dithering, after Yliluoma's second algorithm: for
// each colour a plan of entries whose mean is the colour (each an exact
// lookup), ordered by lightness and picked by the pixel's Bayer threshold.
#include <algorithm>
#include <array>

#include "dither/space.hpp"

namespace paltab::dither {
namespace {

// Entries in a plan: the mix is exact to 1/16 of the way between entries.
constexpr std::size_t kPlanSize = 16;
constexpr int kPatternSide = 8;
constexpr std::size_t kLevelsPerEntry = kPatternSide * kPatternSide / kPlanSize;

using Plan = std::array<std::uint8_t, kPlanSize>;

// Plans of recent colours: pixels near each other repeat colours often. A
// slot holds one colour (key bit 24 marks it filled); the result is the same
// with or without it.
constexpr std::size_t kCacheBits = 16;

struct CacheSlot {
    std::uint32_t key = 0;
    Plan plan{};
};

std::size_t SlotOf(std::uint32_t rgb) {
    return static_cast<std::size_t>((rgb * 2654435761u) >> (32 - kCacheBits));
}

}  // namespace

void PositionalMix(const Pixels& pixels, std::span<const Rgb8> palette, const DitherLookup& lookup,
                   const DitherOptions& options, std::span<std::uint8_t> indices) {
    const Space space(options.space);
    const double share = options.strength / static_cast<double>(kMaxStrength);
    std::vector<Point> entries;
    std::array<int, kPaletteSize> luma{};
    for (std::size_t i = 0; i < palette.size() && i < kPaletteSize; ++i) {
        entries.push_back(space.Of(palette[i]));
        luma[i] = 299 * palette[i].r + 587 * palette[i].g + 114 * palette[i].b;
    }
    // Each step looks up the colour plus the error the plan has so far, so
    // the plan's running mean follows the colour (a sigma-delta sequence).
    const auto makePlan = [&](Rgb8 color) {
        const Point source = space.Of(color);
        Point error{};
        Plan plan{};
        for (std::uint8_t& chosen : plan) {
            const Point wanted = space.Clamped({source[0] + share * error[0], source[1] + share * error[1],
                                                source[2] + share * error[2]});
            chosen = lookup(space.Rounded(wanted));
            if (chosen < entries.size()) {
                for (std::size_t c = 0; c < 3; ++c) {
                    error[c] += source[c] - entries[chosen][c];
                }
            }
        }
        std::sort(plan.begin(), plan.end(), [&](std::uint8_t a, std::uint8_t b) {
            return luma[a] != luma[b] ? luma[a] < luma[b] : a < b;
        });
        return plan;
    };
    const std::vector<std::uint16_t> pattern = BayerPattern(kPatternSide);
    std::vector<CacheSlot> cache(std::size_t{1} << kCacheBits);
    const bool anyTransparent = pixels.transparentIndex.has_value();
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint16_t* row = pattern.data() + (y % kPatternSide) * kPatternSide;
        std::size_t i = pixels.Index(0, y);
        for (int x = 0; x < pixels.width; ++x, ++i) {
            if (anyTransparent && pixels.Transparent(i)) {
                indices[i] = *pixels.transparentIndex;
                continue;
            }
            const Rgb8 color = pixels.Color(i);
            const std::uint32_t key = 1u << 24 | std::uint32_t{color.r} << 16 | std::uint32_t{color.g} << 8 | color.b;
            CacheSlot& slot = cache[SlotOf(key)];
            if (slot.key != key) {
                slot = {key, makePlan(color)};
            }
            indices[i] = slot.plan[row[x % kPatternSide] / kLevelsPerEntry];
        }
    }
}

}  // namespace paltab::dither
