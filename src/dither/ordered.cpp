// Ordered dithering: Bayer patterns, a void-and-cluster blue-noise pattern,
// and the spread that fits a palette.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

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
    Pattern pattern{*BayerPattern(side), {}, side};
    pattern.values = pattern.owned;
    return pattern;
}

// Offsets beyond a whole range move every colour to the cube's bounds, as
// this does; in doubles, so that any spread converts to int safely.
constexpr double kWidestOffset = 255.0;

// sRGB: the offset of each cell of the tile, in whole units, added to each
// component and clamped by a table.
class SrgbMove {
public:
    explicit SrgbMove(std::span<const double> offsets) : offsets_(offsets.size()) {
        for (std::size_t cell = 0; cell < offsets.size(); ++cell) {
            offsets_[cell] = static_cast<std::int16_t>(std::trunc(offsets[cell]));
        }
        for (std::size_t k = 0; k < clamp_.size(); ++k) {
            clamp_[k] = static_cast<std::uint8_t>(std::clamp<int>(static_cast<int>(k) - kBelow, 0, 255));
        }
    }

    Rgb8 operator()(Rgb8 c, std::size_t cell) const {
        const int offset = offsets_[cell] + kBelow;
        return {clamp_[static_cast<std::size_t>(c.r + offset)], clamp_[static_cast<std::size_t>(c.g + offset)],
                clamp_[static_cast<std::size_t>(c.b + offset)]};
    }

private:
    static constexpr int kBelow = static_cast<int>(kWidestOffset);
    std::vector<std::int16_t> offsets_;
    std::array<std::uint8_t, 256 + 2 * kBelow> clamp_{};
};

// Linear light: the offset added to each component's linear value, clamped
// and rounded back to 8 bits; a table per cell of the 256 results where the
// image has pixels enough to repay it.
class LinearMove {
public:
    LinearMove(std::span<const double> offsets, const Space& space, std::size_t pixels)
        : offsets_(offsets), space_(space) {
        if (pixels * 3 < offsets.size() * 256) {
            return;
        }
        table_.resize(offsets.size() * 256);
        for (std::size_t cell = 0; cell < offsets.size(); ++cell) {
            for (std::size_t v = 0; v < 256; ++v) {
                table_[cell * 256 + v] = Moved(static_cast<std::uint8_t>(v), cell);
            }
        }
    }
    bool Tabled() const { return !table_.empty(); }

    std::uint8_t Moved(std::uint8_t v, std::size_t cell) const {
        return space_.Srgb8OfLinear(std::clamp(space_.LinearOf(v) + offsets_[cell], 0.0, 1.0));
    }
    Rgb8 operator()(Rgb8 c, std::size_t cell) const {
        if (!table_.empty()) {
            const std::uint8_t* row = table_.data() + cell * 256;
            return {row[c.r], row[c.g], row[c.b]};
        }
        return {Moved(c.r, cell), Moved(c.g, cell), Moved(c.b, cell)};
    }

private:
    std::span<const double> offsets_;
    const Space& space_;
    std::vector<std::uint8_t> table_;
};

// Oklab: the offset added to lightness, the point clamped into the cube and
// rounded.
class OklabMove {
public:
    OklabMove(std::span<const double> offsets, const Space& space) : offsets_(offsets), space_(space) {}

    Rgb8 operator()(Rgb8 c, std::size_t cell) const {
        Point p = space_.Of(c);
        p[0] += offsets_[cell];
        return space_.Rounded(space_.Clamped(p));
    }

private:
    std::span<const double> offsets_;
    const Space& space_;
};

// Each pixel's colour moved by its cell of the tile, and looked up. A row
// goes by the tile's columns, one offset at a time: like colours moved
// alike read the lookup's map near each other, as an undithered row does,
// where offsets taken in turn would spread the reads over the map.
template <bool kAnyTransparent, class Move, class Find>
void Threshold(const Pixels& pixels, int side, const Move& move, Find& find, std::span<std::uint8_t> indices) {
    const int mask = side - 1;
    for (int y = 0; y < pixels.height; ++y) {
        const std::size_t rowStart = static_cast<std::size_t>((y & mask) * side);
        const std::size_t rowIndex = pixels.Index(0, y);
        for (int column = 0; column < side; ++column) {
            const std::size_t cell = rowStart + static_cast<std::size_t>(column);
            for (int x = column; x < pixels.width; x += side) {
                const std::size_t i = rowIndex + static_cast<std::size_t>(x);
                if constexpr (kAnyTransparent) {
                    if (pixels.Transparent(i)) {
                        indices[i] = *pixels.transparentIndex;
                        continue;
                    }
                }
                indices[i] = find(move(pixels.Color(i), cell));
            }
        }
    }
}

template <class Move>
void ThresholdWith(const Pixels& pixels, int side, const Move& move, Lookup& lookup, std::span<std::uint8_t> indices) {
    const auto with = [&](auto& find) {
        if (pixels.transparentIndex) {
            Threshold<true>(pixels, side, move, find, indices);
        } else {
            Threshold<false>(pixels, side, move, find, indices);
        }
    };
    if (const std::uint8_t* cells = lookup.FullMap()) {
        MapRead read{cells};
        with(read);
    } else {
        with(lookup);
    }
}

}  // namespace

void OrderedDither(const Pixels& pixels, std::span<const Rgb8>, Lookup& lookup, const DitherOptions& options,
                   std::span<std::uint8_t> indices) {
    const Pattern pattern = PatternOf(options.method);
    const Space space(options.space);
    const double spread = (options.method == DitherMethod::kOrdered ? kOrderedSpread : *options.spread) *
                          (options.strength / static_cast<double>(kMaxStrength)) * space.SpreadUnit();
    // The offset of each threshold t of n: (2t + 1 - n) / 2n of the spread,
    // strictly inside -1/2..1/2 and symmetric about 0; by cell of the tile.
    const std::size_t levels = pattern.values.size();
    std::vector<double> offsets(levels);
    for (std::size_t cell = 0; cell < levels; ++cell) {
        const std::uint16_t t = pattern.values[cell];
        const double offset =
            (static_cast<double>(2 * t + 1) - static_cast<double>(levels)) / static_cast<double>(2 * levels) * spread;
        offsets[cell] = std::clamp(offset, -kWidestOffset, kWidestOffset);
    }
    switch (options.space) {
        case DitherSpace::kSrgb:
            ThresholdWith(pixels, pattern.side, SrgbMove(offsets), lookup, indices);
            break;
        case DitherSpace::kLinear:
            ThresholdWith(pixels, pattern.side, LinearMove(offsets, space, indices.size()), lookup, indices);
            break;
        case DitherSpace::kOklab:
            ThresholdWith(pixels, pattern.side, OklabMove(offsets, space), lookup, indices);
            break;
    }
}

}  // namespace paltab::dither

namespace paltab {

Result<std::vector<std::uint16_t>> BayerPattern(int side) {
    if (side != 2 && side != 4 && side != 8 && side != 16) {
        return Error{"", "a Bayer pattern's side is 2, 4, 8 or 16, not " + std::to_string(side),
                     ErrorKind::kBadSettings};
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
