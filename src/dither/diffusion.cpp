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

// The errors of the last kRows rows, kReach columns of zeros at each end:
// a pixel gathers what it receives from the pixels before it, instead of
// each pixel adding its error to those after it, so that only the error of
// the pixels just before it in its own row stands in the way of the next
// lookup. A pixel that passed nothing on (transparent, outside the image)
// holds zero.
class ErrorRows {
public:
    explicit ErrorRows(int width) : width_(static_cast<std::size_t>(width) + 2 * kReach) {
        for (auto& row : rows_) {
            row.assign(width_, Point{});
        }
    }
    // Column x of row y (y >= -kReach); x may lie kReach outside the image.
    Point* Row(int y) { return rows_[static_cast<std::size_t>(y + kReach) % kRows].data() + kReach; }
    void ClearRow(int y) {
        auto& row = rows_[static_cast<std::size_t>(y + kReach) % kRows];
        std::fill(row.begin(), row.end(), Point{});
    }

private:
    std::size_t width_;
    std::array<std::vector<Point>, kRows> rows_;
};

// Where a pixel's shares come from: the pixel `dy` rows up and `dx` columns
// to the right (in the image's own direction), with the tap's weight.
struct Source {
    int dx;
    int dy;
    double weight;
};

// The sources of a pixel of a row scanned in `step` direction, in the order
// the pixels that pass it error are scanned: rows further up first, and in
// a row in that row's scanning direction. A pixel adds up its shares in
// that order, so that every sum is the one that adding each pixel's error
// to those after it, in scanning order, gives.
struct Sources {
    std::array<Source, kMaxTaps> list{};
    std::size_t count = 0;
};

Sources SourcesOf(std::span<const WeightedTap> taps, int row, bool serpentine) {
    const auto stepOf = [&](int y) { return serpentine && y % 2 != 0 ? -1 : 1; };
    Sources sources;
    for (int dy = kReach; dy >= 0; --dy) {
        const int step = stepOf(row - dy + 2 * kReach);  // the source row's direction (its parity)
        std::array<Source, kMaxTaps> inRow{};
        std::size_t n = 0;
        for (const WeightedTap& tap : taps) {
            if (tap.dy == dy) {
                inRow[n++] = {-step * tap.dx, dy, tap.weight};
            }
        }
        // Scanned in the source row's direction: by step * column.
        std::sort(inRow.begin(), inRow.begin() + static_cast<std::ptrdiff_t>(n),
                  [&](const Source& a, const Source& b) { return step * a.dx < step * b.dx; });
        for (std::size_t k = 0; k < n; ++k) {
            sources.list[sources.count++] = inRow[k];
        }
    }
    return sources;
}

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
// no conversion and an image without transparency no test per pixel.
template <DitherSpace kSpace, bool kTransparency>
void DiffuseImage(const Diffusion& d) {
    const int width = d.pixels.width;
    const int height = d.pixels.height;
    ErrorRows errors(width);
    // Rows of each parity share their sources (only serpentine scanning
    // tells them apart).
    const std::array<Sources, 2> sourcesOf{SourcesOf(d.taps, 0, d.serpentine), SourcesOf(d.taps, 1, d.serpentine)};
    const std::size_t entryCount = d.entries.size();
    for (int y = 0; y < height; ++y) {
        const bool backwards = d.serpentine && y % 2 == 1;
        errors.ClearRow(y);
        const std::array<const Point*, kRows> rows{errors.Row(y), errors.Row(y - 1), errors.Row(y - 2)};
        Point* own = errors.Row(y);
        const Sources& sources = sourcesOf[static_cast<std::size_t>(y % 2)];
        for (int k = 0; k < width; ++k) {
            const int x = backwards ? width - 1 - k : k;
            const std::size_t i = d.pixels.Index(x, y);
            if (kTransparency && d.pixels.Transparent(i)) {
                d.indices[i] = *d.pixels.transparentIndex;
                continue;
            }
            Point received{};
            for (std::size_t t = 0; t < sources.count; ++t) {
                const Source& source = sources.list[t];
                const Point& e = rows[static_cast<std::size_t>(source.dy)][x + source.dx];
                received[0] += e[0] * source.weight;
                received[1] += e[1] * source.weight;
                received[2] += e[2] * source.weight;
            }
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
            own[x] = {wanted[0] - got[0], wanted[1] - got[1], wanted[2] - got[2]};
        }
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
