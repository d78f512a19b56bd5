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
// next to each other. A slot holds one colour (key bit 24 marks it filled);
// the result is the same with or without it. Up to 2^18 slots (2 MiB), no
// more than the image has pixels.
constexpr std::size_t kMinCacheBits = 8;
constexpr std::size_t kMaxCacheBits = 18;
// How many pixels ahead a slot is asked for.
constexpr std::size_t kAhead = 16;

// Up to three entries, each on its share of the pattern's levels: levels
// below `ends[0]` get entry[0], those below `ends[1]` entry[1], the rest
// entry[2]. The entries go darkest first, so that the pattern's lightness
// follows its thresholds, whose first levels of any count lie evenly spread.
struct Mix {
    std::array<std::uint8_t, 3> entry{};
    std::array<std::uint8_t, 2> ends{};

    std::uint8_t At(std::uint16_t level) const {
        return level < ends[0] ? entry[0] : level < ends[1] ? entry[1] : entry[2];
    }
};

struct CacheSlot {
    std::uint32_t key = 0;
    Mix mix;
};

std::uint32_t KeyOf(Rgb8 color) {
    return 1u << 24 | std::uint32_t{color.r} << 16 | std::uint32_t{color.g} << 8 | color.b;
}

std::size_t SlotOf(std::uint32_t key, std::size_t bits) {
    return static_cast<std::size_t>((key * 2654435761u) >> (32 - bits));
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
        : lookup_(lookup), space_(space), share_(share), size_(std::min(palette.size(), kPaletteSize)) {
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

    Mix Of(Rgb8 color) {
        const std::uint8_t nearest = lookup_(color);
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

    Lookup& lookup_;
    const Space& space_;
    double share_;
    std::size_t size_;
    std::array<Point, kPaletteSize> points_{};
    std::array<int, kPaletteSize> luma_{};
    std::array<Partners, kPaletteSize> partners_{};
};

}  // namespace

void PositionalMix(const Pixels& pixels, std::span<const Rgb8> palette, Lookup& lookup, const DitherOptions& options,
                   std::span<std::uint8_t> indices) {
    const Space space(options.space);
    // About 90 KiB of partners: on the heap, not a caller's thread's stack.
    const auto mixer =
        std::make_unique<Mixer>(palette, lookup, space, options.strength / static_cast<double>(kMaxStrength));
    const std::vector<std::uint16_t> pattern = BayerPattern(kPatternSide);
    std::size_t cacheBits = kMinCacheBits;
    while (cacheBits < kMaxCacheBits && (std::size_t{1} << cacheBits) < indices.size()) {
        ++cacheBits;
    }
    std::vector<CacheSlot> cache(std::size_t{1} << cacheBits);
    const bool anyTransparent = pixels.transparentIndex.has_value();
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint16_t* row = pattern.data() + static_cast<std::size_t>((y % kPatternSide) * kPatternSide);
        std::size_t i = pixels.Index(0, y);
        for (int x = 0; x < pixels.width; ++x, ++i) {
            // The slot of a pixel ahead is asked for now: slots are read in
            // no order the processor can foresee, and a mix made in between
            // would keep it from reading ahead by itself.
            if (i + kAhead < indices.size()) {
                __builtin_prefetch(&cache[SlotOf(KeyOf(pixels.Color(i + kAhead)), cacheBits)]);
            }
            if (anyTransparent && pixels.Transparent(i)) {
                indices[i] = *pixels.transparentIndex;
                continue;
            }
            const Rgb8 color = pixels.Color(i);
            const std::uint32_t key = KeyOf(color);
            CacheSlot& slot = cache[SlotOf(key, cacheBits)];
            if (slot.key != key) {
                slot = {key, mixer->Of(color)};
            }
            indices[i] = slot.mix.At(row[x % kPatternSide]);
        }
    }
}

}  // namespace paltab::dither
