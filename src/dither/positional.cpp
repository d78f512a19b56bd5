// Palette-aware positional dithering, in the manner of Yliluoma's: each
// colour is drawn as a mix of its exact nearest entry, the partner among
// that entry's nearest neighbours whose mix comes closest to it, and when it
// helps a third such entry; an 8 x 8 Bayer pattern places each on its share
// of the pixels. Partners are entries the lookup gives for their own colour,
// so every index is still an exact lookup of some colour.
#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <memory>
#include <type_traits>

#include "dither/space.hpp"

namespace paltab::dither {
namespace {

constexpr int kPatternSide = 8;
constexpr int kLevels = kPatternSide * kPatternSide;
// Shares are whole sixteenths: four levels each, which the pattern spreads
// evenly, where single levels would leave a ripple of the tile's period
// that shows on flat areas (0.29 of visible noise on flat patches against
// 0.02).
constexpr int kSteps = 16;
// Partners considered for each entry: its nearest others. A palette of 16
// colours offers every other entry; a larger one the ring around the entry,
// where a colour near it finds its partner.
constexpr std::size_t kPartners = 16;
// The mix is chosen by how far it lies from the colour, plus this share of
// its own variance: the texture the pattern makes, which the eye sees
// however well the mean matches. Small, so that far partners stay for the
// colours that need them.
constexpr float kTextureWeight = 0.05f;

// The mixes of recent colours: a photograph repeats its colours, if not
// next to each other. The result is the same with or without them. A
// colour's slot is the low bits of each of its components, so that like
// colours, which neighbouring pixels have, share lines of cache and pages
// (a hash would scatter them); colours that share a slot differ by a
// multiple of 2^bits in some component and seldom lie close in an image.
// Slots of 8 bytes, at most one for every two pixels (4 bytes a pixel, as
// the image has) and 2^21 (16 MiB, near one slot for each colour a large
// photograph holds).
constexpr int kMinCacheBitsEach = 3;
constexpr int kMaxCacheBitsEach = 7;
// How many pixels ahead a slot is asked for.
constexpr std::size_t kAhead = 16;

// Up to three entries, each on its share of the pattern's levels: levels
// below `ends[0]` get entry[0], those below `ends[1]` entry[1], the rest
// entry[2]. The entries go darkest first, so that the pattern's lightness
// follows its thresholds, whose first levels of any count lie evenly spread.
struct Mix {
    std::array<std::uint8_t, 3> entry{};
    std::array<std::uint8_t, 2> ends{};
};

// A colour and its mix in one word:
//   bits  0..23  the colour, red highest
//   bits 24..47  the entries, entry[0] lowest
//   bits 48..63  ends[0], ends[1] (at most kLevels, so bit 63 is clear)
// An empty slot has bit 63 set and so matches no colour.
class CacheSlot {
public:
    static constexpr std::uint64_t kEmpty = std::uint64_t{1} << 63;

    static std::uint32_t KeyOf(Rgb8 c) { return std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b; }
    static std::uint64_t Of(std::uint32_t key, const Mix& mix) {
        return key | std::uint64_t{mix.entry[0]} << 24 | std::uint64_t{mix.entry[1]} << 32 |
               std::uint64_t{mix.entry[2]} << 40 | std::uint64_t{mix.ends[0]} << 48 | std::uint64_t{mix.ends[1]} << 56;
    }
    static bool Holds(std::uint64_t slot, std::uint32_t key) { return ((slot ^ key) & (kEmpty | 0xffffff)) == 0; }
    static std::uint8_t At(std::uint64_t slot, std::uint16_t level) {
        const int shift = level < (slot >> 48 & 0xff) ? 24 : level < (slot >> 56) ? 32 : 40;
        return static_cast<std::uint8_t>(slot >> shift);
    }
};

std::size_t SlotOf(Rgb8 c, int bitsEach) {
    const int mask = (1 << bitsEach) - 1;
    return static_cast<std::size_t>(c.r & mask) << (2 * bitsEach) | static_cast<std::size_t>(c.g & mask) << bitsEach |
           static_cast<std::size_t>(c.b & mask);
}

// An entry's partners, laid out for comparing all at once: each the step
// from the entry to the partner, its squared length and inverse (0 for the
// padding, which repeats the entry and so never wins).
struct Partners {
    std::array<float, kPartners> dx{};
    std::array<float, kPartners> dy{};
    std::array<float, kPartners> dz{};
    std::array<float, kPartners> length2{};
    std::array<float, kPartners> inverse{};
    std::array<std::uint8_t, kPartners> entry{};
};

class Mixer {
public:
    Mixer(std::span<const Rgb8> palette, Lookup& lookup, const Space& space, double share)
        : space_(space), share_(share), size_(std::min(palette.size(), kPaletteSize)) {
        for (std::size_t e = 0; e < kPaletteSize; ++e) {
            partners_[e].entry.fill(static_cast<std::uint8_t>(e));
        }
        // The entries a lookup can give: those it gives for their own colour.
        std::vector<std::uint8_t> selectable;
        for (std::size_t e = 0; e < palette.size() && e < kPaletteSize; ++e) {
            points_[e] = space.Of(palette[e]);
            luma_[e] = 299 * palette[e].r + 587 * palette[e].g + 114 * palette[e].b;
            if (lookup(palette[e]) == e) {
                selectable.push_back(static_cast<std::uint8_t>(e));
            }
        }
        for (const std::uint8_t a : selectable) {
            std::vector<std::pair<double, std::uint8_t>> others;
            for (const std::uint8_t b : selectable) {
                if (b != a) {
                    others.emplace_back(SquaredDistance(points_[a], points_[b]), b);
                }
            }
            const std::size_t kept = std::min(others.size(), kPartners);
            std::partial_sort(others.begin(), others.begin() + static_cast<std::ptrdiff_t>(kept), others.end());
            Partners& p = partners_[a];
            for (std::size_t k = 0; k < kept; ++k) {
                const std::uint8_t b = others[k].second;
                p.entry[k] = b;
                p.dx[k] = static_cast<float>(points_[b][0] - points_[a][0]);
                p.dy[k] = static_cast<float>(points_[b][1] - points_[a][1]);
                p.dz[k] = static_cast<float>(points_[b][2] - points_[a][2]);
                p.length2[k] = p.dx[k] * p.dx[k] + p.dy[k] * p.dy[k] + p.dz[k] * p.dz[k];
                p.inverse[k] = p.length2[k] > 0 ? 1.0f / p.length2[k] : 0.0f;
            }
        }
    }

    // The mix of `color`, whose nearest entry is `nearest`.
    Mix Of(Rgb8 color, std::uint8_t nearest) const {
        Mix mix{{nearest, nearest, nearest}, {0, 0}};
        if (nearest >= size_) {
            return mix;
        }
        const Point p = space_.Of(color);
        const Point& a = points_[nearest];
        const float ox = static_cast<float>(p[0] - a[0]), oy = static_cast<float>(p[1] - a[1]),
                    oz = static_cast<float>(p[2] - a[2]);
        const Partners& n = partners_[nearest];
        // Pairs: for each partner its share t of the mix (the colour's
        // projection on the step, within 0..1) and the mix's score. The
        // clamps are comparisons the compiler turns into packed minimum and
        // maximum, so that partners are scored four at a time.
        std::array<float, kPartners> pairShare;
        std::array<float, kPartners> score;
        for (std::size_t k = 0; k < kPartners; ++k) {
            const float along = (ox * n.dx[k] + oy * n.dy[k] + oz * n.dz[k]) * n.inverse[k];
            const float above = along > 0.0f ? along : 0.0f;
            const float t = above < 1.0f ? above : 1.0f;
            const float rx = ox - t * n.dx[k], ry = oy - t * n.dy[k], rz = oz - t * n.dz[k];
            pairShare[k] = t;
            score[k] = rx * rx + ry * ry + rz * rz + kTextureWeight * t * (1.0f - t) * n.length2[k];
        }
        const std::size_t b = Least(score);
        // Triples: the best pair and a third entry, the colour's nearest
        // point in their triangle (when it lies inside) from the two steps'
        // Gram matrix. The variance of a mix of shares s and u of the steps
        // d1, d2 is s(1 - s)|d1|^2 + u(1 - u)|d2|^2 - 2su d1.d2.
        const float d1x = n.dx[b], d1y = n.dy[b], d1z = n.dz[b], g11 = n.length2[b];
        const float od1 = ox * d1x + oy * d1y + oz * d1z;
        std::array<float, kPartners> s1;
        std::array<float, kPartners> s2;
        std::array<float, kPartners> tripleScore;
        for (std::size_t k = 0; k < kPartners; ++k) {
            const float g12 = d1x * n.dx[k] + d1y * n.dy[k] + d1z * n.dz[k];
            const float g22 = n.length2[k];
            const float od2 = ox * n.dx[k] + oy * n.dy[k] + oz * n.dz[k];
            const float det = g11 * g22 - g12 * g12;
            // Steps along one line (or the padding) give no triangle. Tests
            // without branches (& for &&), as in the pairs' loop.
            const bool triangle = det > 1e-6f * g11 * g22;
            const float inverse = triangle ? 1.0f / (triangle ? det : 1.0f) : 0.0f;
            const float s = (g22 * od1 - g12 * od2) * inverse;
            const float u = (g11 * od2 - g12 * od1) * inverse;
            const float rx = ox - s * d1x - u * n.dx[k], ry = oy - s * d1y - u * n.dy[k],
                        rz = oz - s * d1z - u * n.dz[k];
            const float texture = s * (1.0f - s) * g11 + u * (1.0f - u) * g22 - 2.0f * s * u * g12;
            const bool inside = triangle & (s >= 0.0f) & (u >= 0.0f) & (s + u <= 1.0f);
            s1[k] = s;
            s2[k] = u;
            tripleScore[k] = inside ? rx * rx + ry * ry + rz * rz + kTextureWeight * texture
                                    : std::numeric_limits<float>::infinity();
        }
        const std::size_t c = Least(tripleScore);
        // The shares of the nearest entry, the partner and the third.
        std::array<std::pair<std::uint8_t, double>, 3> shares{
            {{nearest, 1.0}, {n.entry[b], share_ * pairShare[b]}, {nearest, 0.0}}};
        if (tripleScore[c] < score[b]) {
            shares[1].second = share_ * s1[c];
            shares[2] = {n.entry[c], share_ * s2[c]};
        }
        shares[0].second = 1.0 - shares[1].second - shares[2].second;
        std::sort(shares.begin(), shares.end(), [&](const auto& x, const auto& y) {
            return std::pair(luma_[x.first], x.first) < std::pair(luma_[y.first], y.first);
        });
        // Level L lies in an entry's range when (L + 1/2) / kLevels does.
        double sum = 0;
        for (std::size_t k = 0; k < 3; ++k) {
            mix.entry[k] = shares[k].first;
            sum += shares[k].second;
            if (k < 2) {
                mix.ends[k] = static_cast<std::uint8_t>(
                    std::clamp(std::ceil(sum * kSteps - 0.5), 0.0, double{kSteps}) * (kLevels / kSteps));
            }
        }
        return mix;
    }

private:
    // The first of the least scores.
    static std::size_t Least(const std::array<float, kPartners>& scores) {
        std::size_t best = 0;
        for (std::size_t k = 1; k < kPartners; ++k) {
            if (scores[k] < scores[best]) {
                best = k;
            }
        }
        return best;
    }

    const Space& space_;
    double share_;
    std::size_t size_;
    std::array<Point, kPaletteSize> points_{};
    std::array<int, kPaletteSize> luma_{};
    std::array<Partners, kPaletteSize> partners_{};
};

// Each pixel's mix, from the cache or made, and its entry at the pixel's
// level of the pattern.
template <bool kAnyTransparent, class Find>
void MixPixels(const Pixels& pixels, const Mixer& mixer, Find& find, std::span<std::uint8_t> indices) {
    const std::vector<std::uint16_t> pattern = *BayerPattern(kPatternSide);
    int bitsEach = kMinCacheBitsEach;
    while (bitsEach < kMaxCacheBitsEach && (std::size_t{2} << (3 * (bitsEach + 1))) <= indices.size()) {
        ++bitsEach;
    }
    std::vector<std::uint64_t> cache(std::size_t{1} << (3 * bitsEach), CacheSlot::kEmpty);
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint16_t* row = pattern.data() + static_cast<std::size_t>((y % kPatternSide) * kPatternSide);
        std::size_t i = pixels.Index(0, y);
        for (int x = 0; x < pixels.width; ++x, ++i) {
            // The slot of a pixel ahead is asked for now, and its cell of the
            // map, which a colour not held needs: both are read in no order
            // the processor can foresee.
            if (i + kAhead < indices.size()) {
                const Rgb8 ahead = pixels.Color(i + kAhead);
                __builtin_prefetch(&cache[SlotOf(ahead, bitsEach)]);
                if constexpr (std::is_same_v<Find, MapRead>) {
                    __builtin_prefetch(&find.cells[MapRead::CellOf(ahead)]);
                }
            }
            if constexpr (kAnyTransparent) {
                if (pixels.Transparent(i)) {
                    indices[i] = *pixels.transparentIndex;
                    continue;
                }
            }
            const Rgb8 color = pixels.Color(i);
            const std::uint32_t key = CacheSlot::KeyOf(color);
            std::uint64_t& slot = cache[SlotOf(color, bitsEach)];
            if (!CacheSlot::Holds(slot, key)) {
                slot = CacheSlot::Of(key, mixer.Of(color, find(color)));
            }
            indices[i] = CacheSlot::At(slot, row[x % kPatternSide]);
        }
    }
}

}  // namespace

void PositionalMix(const Pixels& pixels, std::span<const Rgb8> palette, Lookup& lookup, const DitherOptions& options,
                   std::span<std::uint8_t> indices) {
    const Space space(options.space);
    // About 90 KiB of partners: on the heap, not a caller's thread's stack.
    const auto mixer =
        std::make_unique<Mixer>(palette, lookup, space, options.strength / static_cast<double>(kMaxStrength));
    const auto with = [&](auto& find) {
        if (pixels.transparentIndex) {
            MixPixels<true>(pixels, *mixer, find, indices);
        } else {
            MixPixels<false>(pixels, *mixer, find, indices);
        }
    };
    if (const std::uint8_t* cells = lookup.FullMap()) {
        MapRead read{cells};
        with(read);
    } else {
        with(lookup);
    }
}

}  // namespace paltab::dither
