// Error diffusion: one table of kernels, rows scanned left to right or
// serpentine, the error kept and spread in the dither space.
#include <algorithm>
#include <array>

#include "dither/space.hpp"

namespace paltab::dither {
namespace {

constexpr DiffusionTap kFloydSteinberg[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
constexpr DiffusionTap kFalseFloydSteinberg[] = {{1, 0, 3}, {0, 1, 3}, {1, 1, 2}};
constexpr DiffusionTap kJarvis[] = {{1, 0, 7}, {2, 0, 5},  {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5},
                                    {2, 1, 3}, {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5},  {1, 2, 3}, {2, 2, 1}};
constexpr DiffusionTap kStucki[] = {{1, 0, 8}, {2, 0, 4},  {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4},
                                    {2, 1, 2}, {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4},  {1, 2, 2}, {2, 2, 1}};
constexpr DiffusionTap kBurkes[] = {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}};
constexpr DiffusionTap kSierra[] = {{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5},
                                    {1, 1, 4}, {2, 1, 2}, {-1, 2, 2}, {0, 2, 3},  {1, 2, 2}};
constexpr DiffusionTap kSierra2Row[] = {{1, 0, 4}, {2, 0, 3}, {-2, 1, 1}, {-1, 1, 2}, {0, 1, 3}, {1, 1, 2}, {2, 1, 1}};
constexpr DiffusionTap kSierraLite[] = {{1, 0, 2}, {-1, 1, 1}, {0, 1, 1}};
constexpr DiffusionTap kAtkinson[] = {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}};

// Every kernel reaches at most this far sideways and down.
constexpr int kReach = 2;
constexpr std::size_t kRows = kReach + 1;
constexpr std::size_t kMaxTaps = 12;

struct WeightedTap {
    int dx;
    int dy;
    double weight;
};

// The rows of errors a kernel reaches, kReach spare columns at each end.
// Error passed into the spare columns, or into rows past the image's last,
// is never read: that is how it leaves the image.
class ErrorRows {
public:
    explicit ErrorRows(int width) : width_(static_cast<std::size_t>(width) + 2 * kReach) {
        for (auto& row : rows_) {
            row.assign(width_, Point{});
        }
    }
    // Column x of row y; x may lie kReach outside the image.
    Point* Row(int y) { return rows_[static_cast<std::size_t>(y) % kRows].data() + kReach; }
    void ClearRow(int y) {
        auto& row = rows_[static_cast<std::size_t>(y) % kRows];
        std::fill(row.begin(), row.end(), Point{});
    }

private:
    std::size_t width_;
    std::array<std::vector<Point>, kRows> rows_;
};

struct Diffusion {
    const Pixels& pixels;
    Lookup& lookup;
    const Space& space;
    std::span<const Point> entries;
    std::span<const WeightedTap> taps;
    bool serpentine;
    std::span<std::uint8_t> indices;
};

// One body for every space, with and without transparent pixels; sRGB needs
// no conversion and an image without transparency no test per tap.
template <DitherSpace kSpace, bool kTransparency>
void DiffuseImage(const Diffusion& d) {
    const int width = d.pixels.width;
    const int height = d.pixels.height;
    ErrorRows errors(width);
    std::array<WeightedTap, kMaxTaps> taps{};
    std::copy(d.taps.begin(), d.taps.end(), taps.begin());
    const std::size_t tapCount = d.taps.size();
    const std::size_t entryCount = d.entries.size();
    for (int y = 0; y < height; ++y) {
        const bool backwards = d.serpentine && y % 2 == 1;
        const int step = backwards ? -1 : 1;
        std::array<Point*, kRows> rows{errors.Row(y), errors.Row(y + 1), errors.Row(y + 2)};
        for (int k = 0; k < width; ++k) {
            const int x = backwards ? width - 1 - k : k;
            const std::size_t i = d.pixels.Index(x, y);
            if (kTransparency && d.pixels.Transparent(i)) {
                d.indices[i] = *d.pixels.transparentIndex;
                continue;
            }
            const Point& received = rows[0][x];
            Point wanted{};
            std::uint8_t index = 0;
            const Rgb8 color = d.pixels.Color(i);
            if constexpr (kSpace == DitherSpace::kSrgb) {
                wanted = {std::clamp(color.r + received[0], 0.0, 255.0), std::clamp(color.g + received[1], 0.0, 255.0),
                          std::clamp(color.b + received[2], 0.0, 255.0)};
                // Halves round up, as std::lround does for these non-negative values.
                const auto nearest = [](double v) { return static_cast<std::uint8_t>(v + 0.5); };
                index = d.lookup({nearest(wanted[0]), nearest(wanted[1]), nearest(wanted[2])});
            } else {
                const Point source = d.space.Of(color);
                wanted = d.space.Clamped({source[0] + received[0], source[1] + received[1], source[2] + received[2]});
                index = d.lookup(d.space.Rounded(wanted));
            }
            d.indices[i] = index;
            if (index >= entryCount) {
                continue;
            }
            const Point& got = d.entries[index];
            const Point error{wanted[0] - got[0], wanted[1] - got[1], wanted[2] - got[2]};
            for (std::size_t t = 0; t < tapCount; ++t) {
                const WeightedTap& tap = taps[t];
                const int nx = x + step * tap.dx;
                if constexpr (kTransparency) {
                    const int ny = y + tap.dy;
                    if (nx < 0 || nx >= width || ny >= height || d.pixels.Transparent(d.pixels.Index(nx, ny))) {
                        continue;
                    }
                }
                Point& to = rows[static_cast<std::size_t>(tap.dy)][nx];
                to[0] += error[0] * tap.weight;
                to[1] += error[1] * tap.weight;
                to[2] += error[2] * tap.weight;
            }
        }
        errors.ClearRow(y);
    }
}

template <DitherSpace kSpace>
void DiffuseIn(const Diffusion& d) {
    if (d.pixels.transparentIndex) {
        DiffuseImage<kSpace, true>(d);
    } else {
        DiffuseImage<kSpace, false>(d);
    }
}

}  // namespace

void Diffuse(const Pixels& pixels, std::span<const Rgb8> palette, Lookup& lookup, const DitherOptions& options,
             std::span<std::uint8_t> indices) {
    const DiffusionKernel kernel = *KernelOf(options.method);
    // At full strength each weight is exactly weight / divisor.
    const double share = options.strength / static_cast<double>(kMaxStrength);
    std::vector<WeightedTap> taps;
    for (const DiffusionTap& tap : kernel.taps) {
        taps.push_back({tap.dx, tap.dy, static_cast<double>(tap.weight) / kernel.divisor * share});
    }
    const Space space(options.space);
    std::vector<Point> entries;
    for (const Rgb8 color : palette) {
        entries.push_back(space.Of(color));
    }
    const Diffusion diffusion{pixels, lookup, space, entries, taps, options.serpentine, indices};
    switch (options.space) {
        case DitherSpace::kSrgb:
            DiffuseIn<DitherSpace::kSrgb>(diffusion);
            break;
        case DitherSpace::kLinear:
            DiffuseIn<DitherSpace::kLinear>(diffusion);
            break;
        case DitherSpace::kOklab:
            DiffuseIn<DitherSpace::kOklab>(diffusion);
            break;
    }
}

}  // namespace paltab::dither

namespace paltab {

std::optional<DiffusionKernel> KernelOf(DitherMethod method) {
    switch (method) {
        case DitherMethod::kFloydSteinberg:
            return DiffusionKernel{dither::kFloydSteinberg, 16};
        case DitherMethod::kFalseFloydSteinberg:
            return DiffusionKernel{dither::kFalseFloydSteinberg, 8};
        case DitherMethod::kJarvis:
            return DiffusionKernel{dither::kJarvis, 48};
        case DitherMethod::kStucki:
            return DiffusionKernel{dither::kStucki, 42};
        case DitherMethod::kBurkes:
            return DiffusionKernel{dither::kBurkes, 32};
        case DitherMethod::kSierra:
            return DiffusionKernel{dither::kSierra, 32};
        case DitherMethod::kSierra2Row:
            return DiffusionKernel{dither::kSierra2Row, 16};
        case DitherMethod::kSierraLite:
            return DiffusionKernel{dither::kSierraLite, 4};
        case DitherMethod::kAtkinson:
            return DiffusionKernel{dither::kAtkinson, 8};
        default:
            return std::nullopt;
    }
}

}  // namespace paltab
