// Error diffusion: one table of kernels, rows scanned left to right or
// serpentine, the error kept and spread in the dither space.
#include <algorithm>
#include <array>

#include "dither/space.hpp"

namespace paltab::dither {
namespace {

constexpr DiffusionTap kFloydSteinberg[] = {{1, 0, 7}, {-1, 1, 3}, {0, 1, 5}, {1, 1, 1}};
constexpr DiffusionTap kFalseFloydSteinberg[] = {{1, 0, 3}, {0, 1, 3}, {1, 1, 2}};
constexpr DiffusionTap kJarvis[] = {{1, 0, 7},  {2, 0, 5},  {-2, 1, 3}, {-1, 1, 5}, {0, 1, 7}, {1, 1, 5},
                                    {2, 1, 3},  {-2, 2, 1}, {-1, 2, 3}, {0, 2, 5},  {1, 2, 3}, {2, 2, 1}};
constexpr DiffusionTap kStucki[] = {{1, 0, 8},  {2, 0, 4},  {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4},
                                    {2, 1, 2},  {-2, 2, 1}, {-1, 2, 2}, {0, 2, 4},  {1, 2, 2}, {2, 2, 1}};
constexpr DiffusionTap kBurkes[] = {{1, 0, 8}, {2, 0, 4}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 8}, {1, 1, 4}, {2, 1, 2}};
constexpr DiffusionTap kSierra[] = {{1, 0, 5}, {2, 0, 3}, {-2, 1, 2}, {-1, 1, 4}, {0, 1, 5},
                                    {1, 1, 4}, {2, 1, 2}, {-1, 2, 2}, {0, 2, 3},  {1, 2, 2}};
constexpr DiffusionTap kSierra2Row[] = {{1, 0, 4},  {2, 0, 3}, {-2, 1, 1}, {-1, 1, 2},
                                        {0, 1, 3},  {1, 1, 2}, {2, 1, 1}};
constexpr DiffusionTap kSierraLite[] = {{1, 0, 2}, {-1, 1, 1}, {0, 1, 1}};
constexpr DiffusionTap kAtkinson[] = {{1, 0, 1}, {2, 0, 1}, {-1, 1, 1}, {0, 1, 1}, {1, 1, 1}, {0, 2, 1}};

// Every kernel reaches at most this far sideways and down.
constexpr int kReach = 2;
constexpr std::size_t kRows = kReach + 1;

// The errors of the rows a kernel reaches, kReach spare columns at each end
// so that taps need no edge test sideways.
class ErrorRows {
public:
    explicit ErrorRows(int width) : width_(static_cast<std::size_t>(width) + 2 * kReach) {
        for (auto& row : rows_) {
            row.assign(width_, Point{});
        }
    }
    Point& At(int x, int y) { return rows_[static_cast<std::size_t>(y) % kRows][static_cast<std::size_t>(x + kReach)]; }
    void ClearRow(int y) { std::fill(rows_[static_cast<std::size_t>(y) % kRows].begin(), rows_[static_cast<std::size_t>(y) % kRows].end(), Point{}); }

private:
    std::size_t width_;
    std::array<std::vector<Point>, kRows> rows_;
};

struct WeightedTap {
    int dx;
    int dy;
    double weight;
};

}  // namespace

void Diffuse(const Pixels& pixels, std::span<const Rgb8> palette, const DitherLookup& lookup,
             const DitherOptions& options, std::span<std::uint8_t> indices) {
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
    const int width = pixels.width;
    const int height = pixels.height;
    const bool anyTransparent = pixels.transparentIndex.has_value();
    ErrorRows errors(width);
    for (int y = 0; y < height; ++y) {
        const bool backwards = options.serpentine && y % 2 == 1;
        const int step = backwards ? -1 : 1;
        for (int k = 0; k < width; ++k) {
            const int x = backwards ? width - 1 - k : k;
            const std::size_t i = pixels.Index(x, y);
            if (anyTransparent && pixels.Transparent(i)) {
                indices[i] = *pixels.transparentIndex;
                continue;
            }
            const Point source = space.Of(pixels.Color(i));
            const Point& received = errors.At(x, y);
            const Point wanted =
                space.Clamped({source[0] + received[0], source[1] + received[1], source[2] + received[2]});
            const std::uint8_t index = lookup(space.Rounded(wanted));
            indices[i] = index;
            if (index >= entries.size()) {
                continue;
            }
            const Point& got = entries[index];
            const Point error{wanted[0] - got[0], wanted[1] - got[1], wanted[2] - got[2]};
            for (const WeightedTap& tap : taps) {
                const int nx = x + step * tap.dx;
                const int ny = y + tap.dy;
                if (nx < 0 || nx >= width || ny >= height || (anyTransparent && pixels.Transparent(pixels.Index(nx, ny)))) {
                    continue;
                }
                Point& to = errors.At(nx, ny);
                for (std::size_t c = 0; c < 3; ++c) {
                    to[c] += error[c] * tap.weight;
                }
            }
        }
        errors.ClearRow(y);
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
