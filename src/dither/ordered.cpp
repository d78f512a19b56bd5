// Ordered dithering: Bayer patterns, a void-and-cluster blue-noise pattern,
// and the spread that fits a palette.
#include <algorithm>
#include <cmath>
#include <limits>

#include "dither/space.hpp"

namespace paltab::dither {
namespace {

constexpr int kBlueNoiseArea = kBlueNoiseSide * kBlueNoiseSide;
constexpr double kBlueNoiseSigma = 1.5;
// Energies are sums of integer kernel values, so that they do not depend on
// the order of additions.
constexpr double kEnergyScale = 1 << 24;

// splitmix64: a fixed, portable sequence for the starting pattern.
std::uint64_t NextRandom(std::uint64_t& state) {
    std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

// A binary pattern on the torus and the Gaussian energy each position gets
// from the set positions.
class Field {
public:
    Field() : set_(kBlueNoiseArea, false), energy_(kBlueNoiseArea, 0), kernel_(kBlueNoiseArea) {
        for (int dy = 0; dy < kBlueNoiseSide; ++dy) {
            for (int dx = 0; dx < kBlueNoiseSide; ++dx) {
                const int wx = std::min(dx, kBlueNoiseSide - dx);
                const int wy = std::min(dy, kBlueNoiseSide - dy);
                const double g = std::exp(-(wx * wx + wy * wy) / (2 * kBlueNoiseSigma * kBlueNoiseSigma));
                kernel_[static_cast<std::size_t>(dy * kBlueNoiseSide + dx)] =
                    static_cast<std::int64_t>(std::lround(g * kEnergyScale));
            }
        }
    }

    bool IsSet(int p) const { return set_[static_cast<std::size_t>(p)]; }
    void Toggle(int p) {
        const bool now = !set_[static_cast<std::size_t>(p)];
        set_[static_cast<std::size_t>(p)] = now;
        const int px = p % kBlueNoiseSide, py = p / kBlueNoiseSide;
        for (int y = 0; y < kBlueNoiseSide; ++y) {
            const int dy = (y - py + kBlueNoiseSide) % kBlueNoiseSide;
            for (int x = 0; x < kBlueNoiseSide; ++x) {
                const int dx = (x - px + kBlueNoiseSide) % kBlueNoiseSide;
                const std::int64_t k = kernel_[static_cast<std::size_t>(dy * kBlueNoiseSide + dx)];
                energy_[static_cast<std::size_t>(y * kBlueNoiseSide + x)] += now ? k : -k;
            }
        }
    }
    // The set position of most energy (the tightest cluster), or the unset
    // position of least (the largest void); the lowest position among equals.
    int TightestCluster() const { return Extreme(true); }
    int LargestVoid() const { return Extreme(false); }

private:
    int Extreme(bool set) const {
        int best = -1;
        for (int p = 0; p < kBlueNoiseArea; ++p) {
            if (IsSet(p) != set) {
                continue;
            }
            const std::int64_t e = energy_[static_cast<std::size_t>(p)];
            const std::int64_t b = best < 0 ? 0 : energy_[static_cast<std::size_t>(best)];
            if (best < 0 || (set ? e > b : e < b)) {
                best = p;
            }
        }
        return best;
    }

    std::vector<bool> set_;
    std::vector<std::int64_t> energy_;
    std::vector<std::int64_t> kernel_;
};

// Ulichney's void-and-cluster: a random tenth of the positions, moved from
// clusters to voids until stable; ranks below it by taking clusters away,
// ranks above by filling voids (which, past half, is the same as taking the
// tightest cluster of the unset positions).
std::vector<std::uint16_t> MakeBlueNoise() {
    Field start;
    std::uint64_t seed = 0x70616c746162ULL;
    int count = 0;
    while (count < kBlueNoiseArea / 10) {
        const int p = static_cast<int>(NextRandom(seed) % kBlueNoiseArea);
        if (!start.IsSet(p)) {
            start.Toggle(p);
            ++count;
        }
    }
    for (int moves = 0; moves < kBlueNoiseArea; ++moves) {
        const int cluster = start.TightestCluster();
        start.Toggle(cluster);
        const int gap = start.LargestVoid();
        start.Toggle(gap);
        if (gap == cluster) {
            break;
        }
    }
    std::vector<std::uint16_t> rank(kBlueNoiseArea);
    Field fewer = start;
    for (int r = count - 1; r >= 0; --r) {
        const int cluster = fewer.TightestCluster();
        fewer.Toggle(cluster);
        rank[static_cast<std::size_t>(cluster)] = static_cast<std::uint16_t>(r);
    }
    for (int r = count; r < kBlueNoiseArea; ++r) {
        const int gap = start.LargestVoid();
        start.Toggle(gap);
        rank[static_cast<std::size_t>(gap)] = static_cast<std::uint16_t>(r);
    }
    return rank;
}

struct Pattern {
    std::vector<std::uint16_t> owned;
    std::span<const std::uint16_t> values;
    int side;
};

Pattern PatternOf(DitherMethod method) {
    int side = 8;
    switch (method) {
        case DitherMethod::kBayer2:
            side = 2;
            break;
        case DitherMethod::kBayer4:
            side = 4;
            break;
        case DitherMethod::kBayer16:
            side = 16;
            break;
        case DitherMethod::kBlueNoise:
            return {{}, BlueNoisePattern(), kBlueNoiseSide};
        default:
            break;
    }
    Pattern pattern{BayerPattern(side), {}, side};
    pattern.values = pattern.owned;
    return pattern;
}

std::uint8_t Clamp8(int v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0, 255));
}

}  // namespace

void OrderedDither(const Pixels& pixels, std::span<const Rgb8>, Lookup& lookup, const DitherOptions& options,
                   std::span<std::uint8_t> indices) {
    const Pattern pattern = PatternOf(options.method);
    const Space space(options.space);
    const double spread = (options.method == DitherMethod::kOrdered ? kOrderedSpread : *options.spread) *
                          (options.strength / static_cast<double>(kMaxStrength)) * space.SpreadUnit();
    // The offset of each threshold t of n: (2t + 1 - n) / 2n of the spread,
    // strictly inside -1/2..1/2 and symmetric about 0.
    const std::size_t levels = pattern.values.size();
    std::vector<double> offsets(levels);
    std::vector<int> wholeOffsets(levels);
    for (std::size_t t = 0; t < levels; ++t) {
        offsets[t] =
            (static_cast<double>(2 * t + 1) - static_cast<double>(levels)) / static_cast<double>(2 * levels) * spread;
        wholeOffsets[t] = static_cast<int>(std::trunc(offsets[t]));
    }
    const int mask = pattern.side - 1;
    const bool anyTransparent = pixels.transparentIndex.has_value();
    for (int y = 0; y < pixels.height; ++y) {
        const std::uint16_t* row = pattern.values.data() + static_cast<std::size_t>((y & mask) * pattern.side);
        std::size_t i = pixels.Index(0, y);
        for (int x = 0; x < pixels.width; ++x, ++i) {
            if (anyTransparent && pixels.Transparent(i)) {
                indices[i] = *pixels.transparentIndex;
                continue;
            }
            const std::uint16_t t = row[x & mask];
            const Rgb8 color = pixels.Color(i);
            if (space.Kind() == DitherSpace::kSrgb) {
                const int offset = wholeOffsets[t];
                indices[i] = lookup({Clamp8(color.r + offset), Clamp8(color.g + offset), Clamp8(color.b + offset)});
                continue;
            }
            Point p = space.Of(color);
            const double offset = offsets[t];
            if (space.Kind() == DitherSpace::kOklab) {
                p[0] += offset;
            } else {
                p = {p[0] + offset, p[1] + offset, p[2] + offset};
            }
            indices[i] = lookup(space.Rounded(space.Clamped(p)));
        }
    }
}

}  // namespace paltab::dither

namespace paltab {

std::vector<std::uint16_t> BayerPattern(int side) {
    if (side != 2 && side != 4 && side != 8 && side != 16) {
        return {};
    }
    // M(2n)[y][x] = n^2 * M(2)[y % 2][x % 2] + M(n)[y / 2][x / 2]: neighbours
    // differ most, and each quarter of the levels fills a grid of its own.
    constexpr std::array<std::uint16_t, 4> kBase{0, 2, 3, 1};
    std::vector<std::uint16_t> pattern{0};
    for (int n = 1; n < side; n *= 2) {
        std::vector<std::uint16_t> next(static_cast<std::size_t>(4 * n * n));
        for (int y = 0; y < 2 * n; ++y) {
            for (int x = 0; x < 2 * n; ++x) {
                next[static_cast<std::size_t>(y * 2 * n + x)] =
                    static_cast<std::uint16_t>(n * n * kBase[static_cast<std::size_t>((y % 2) * 2 + x % 2)] +
                                               pattern[static_cast<std::size_t>((y / 2) * n + x / 2)]);
            }
        }
        pattern = std::move(next);
    }
    return pattern;
}

std::span<const std::uint16_t> BlueNoisePattern() {
    static const std::vector<std::uint16_t> pattern = dither::MakeBlueNoise();
    return pattern;
}

double AdaptiveSpread(std::span<const Rgb8> palette, DitherSpace space) {
    const dither::Space conversion(space);
    std::vector<Rgb8> distinct;
    for (const Rgb8 color : palette) {
        if (std::find(distinct.begin(), distinct.end(), color) == distinct.end()) {
            distinct.push_back(color);
        }
    }
    if (distinct.size() < 2) {
        return 0;
    }
    std::vector<dither::Point> points;
    for (const Rgb8 color : distinct) {
        points.push_back(conversion.Of(color));
    }
    std::vector<double> nearest;
    for (std::size_t i = 0; i < points.size(); ++i) {
        double best = std::numeric_limits<double>::infinity();
        for (std::size_t j = 0; j < points.size(); ++j) {
            if (j != i) {
                best = std::min(best, SquaredDistance(points[i], points[j]));
            }
        }
        nearest.push_back(std::sqrt(best) / conversion.SpreadUnit());
    }
    std::sort(nearest.begin(), nearest.end());
    const std::size_t mid = nearest.size() / 2;
    return nearest.size() % 2 == 1 ? nearest[mid] : (nearest[mid - 1] + nearest[mid]) / 2;
}

}  // namespace paltab
