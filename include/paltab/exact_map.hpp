// Exact nearest palette entries: for one colour, and for every cell of a
// colour cube of 5 to 8 bits per component.
//
// "Exact" means the entry a plain search over every selectable entry gives,
// by the chosen metric (see color_metric.hpp): the least squared distance,
// and among entries at exactly the same distance the lowest index. The
// floating-point metrics compare the distances computed in double precision
// from ToMetricPoint of both colours, as such a search does.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "paltab/color_metric.hpp"
#include "paltab/types.hpp"

namespace paltab {

struct MatchOptions {
    Metric metric = Metric::kRgb;
    // Entries never chosen. Entries at or past the palette's size are ignored.
    ReservedEntries reserved;
};

// The palette entries a search may choose, with their points in the metric's
// space. An entry that repeats the colour of a lower selectable entry is left
// out: it could only tie with that entry, and ties go to the lower index.
class MatchPalette {
public:
    // Fails, setting `error`, when the palette is empty, has more than 256
    // colours, or every entry is reserved: there is nothing to choose.
    static std::optional<MatchPalette> Create(std::span<const Rgb8> palette, const MatchOptions& options,
                                              std::string& error);

    Metric GetMetric() const { return metric_; }
    // Selectable entries, lowest index first.
    std::span<const std::uint8_t> Entries() const { return entries_; }
    std::span<const Rgb8> Colors() const { return colors_; }
    std::span<const MetricPoint> Points() const { return points_; }

    // The exact nearest entry to `color`: a full search of the selectable
    // entries, for single colours (and as the reference the map is tested
    // against).
    std::uint8_t NearestEntry(Rgb8 color) const;

private:
    MatchPalette() = default;

    Metric metric_ = Metric::kRgb;
    std::vector<std::uint8_t> entries_;
    std::vector<Rgb8> colors_;
    std::vector<MetricPoint> points_;
};

// The nearest entry of every cell of a cube of `Bits()` bits per component.
//
// Cell number: r << 2n | g << n | b, red highest (the generator's layout at
// n = 5). A cell's colour is its centre, k * w + w / 2 per component with
// w = 2^(8 - n), so at 8 bits it is the colour itself and at 5 bits the
// generator's cell centre.
class ExactColorMap {
public:
    static constexpr int kMinBits = 5;
    static constexpr int kMaxBits = 8;

    // Fails, setting `error`, when bits is outside kMinBits..kMaxBits,
    // MatchPalette::Create fails or the map's memory cannot be had.
    static std::optional<ExactColorMap> Build(std::span<const Rgb8> palette, int bits, const MatchOptions& options,
                                              std::string& error);
    // The same for a palette already checked; `bits` is clamped to
    // kMinBits..kMaxBits. Maps of 7 and 8 bits are built by two threads.
    // Throws std::bad_alloc when the map's memory cannot be had.
    static ExactColorMap Build(const MatchPalette& palette, int bits);

    static std::size_t CellCount(int bits) { return std::size_t{1} << (3 * bits); }
    static Rgb8 CellColor(int bits, std::size_t cell);
    static std::size_t CellOf(int bits, Rgb8 color);

    int Bits() const { return bits_; }
    std::span<const std::uint8_t> Cells() const { return cells_; }
    // The entry of the cell that holds `color`.
    std::uint8_t Lookup(Rgb8 color) const { return cells_[CellOf(bits_, color)]; }

private:
    ExactColorMap(int bits, std::vector<std::uint8_t> cells) : bits_(bits), cells_(std::move(cells)) {}

    int bits_;
    std::vector<std::uint8_t> cells_;
};

}  // namespace paltab
