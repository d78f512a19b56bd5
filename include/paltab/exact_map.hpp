// Exact nearest palette entries for every cell of a colour cube of 5 to 8
// bits per component, by the one search of nearest.hpp.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "paltab/color_metric.hpp"
#include "paltab/nearest.hpp"
#include "paltab/result.hpp"
#include "paltab/types.hpp"

namespace paltab {

// The nearest entry of every cell of a cube of `Bits()` bits per component.
//
// Cells as CellGeometry{Bits()} numbers them (the generator's layout at
// n = 5), each holding the entry nearest to its centre.
class ExactColorMap {
public:
    static constexpr int kMinBits = 5;
    static constexpr int kMaxBits = 8;

    // Fails with kBadSettings when bits is outside kMinBits..kMaxBits, as
    // MatchPalette::Create fails, or with kTooLarge when the map's memory
    // cannot be had.
    static Result<ExactColorMap> Build(std::span<const Rgb8> palette, int bits, const MatchOptions& options);
    // The same for a palette already prepared; fails only for `bits` outside
    // kMinBits..kMaxBits, and throws std::bad_alloc when the map's memory
    // cannot be had. Maps of 7 and 8 bits are built by two threads.
    static Result<ExactColorMap> Build(const MatchPalette& palette, int bits);
    // Fails with kBadSettings for bits outside kMinBits..kMaxBits.
    static Status CheckBits(int bits);

    static std::size_t CellCount(int bits) { return CellGeometry{bits}.CellCount(); }
    static Rgb8 CellColor(int bits, std::size_t cell) { return CellGeometry{bits}.CentreColor(cell); }
    static std::size_t CellOf(int bits, Rgb8 color) { return CellGeometry{bits}.CellOf(color); }

    int Bits() const { return bits_; }
    std::span<const std::uint8_t> Cells() const { return cells_; }
    // The entry of the cell that holds `color`.
    std::uint8_t Lookup(Rgb8 color) const { return cells_[CellOf(bits_, color)]; }

private:
    ExactColorMap(int bits, std::vector<std::uint8_t> cells) : bits_(bits), cells_(std::move(cells)) {}

    int bits_;
    std::vector<std::uint8_t> cells_;
};

// The entry of a colour: a cell's entry in a map of `bits` per component
// (ExactColorMap's cell layout; at 5 bits the table file's map), or the
// exact search of a MatchPalette.
class EntryFinder {
public:
    // `cells` must hold (2^bits)^3 entries and outlive the finder.
    static EntryFinder FromMap(std::span<const std::uint8_t> cells, int bits);
    // `palette` must outlive the finder.
    static EntryFinder FromSearch(const MatchPalette& palette);

    std::uint8_t operator()(Rgb8 color) const {
        return search_ != nullptr ? search_->NearestEntry(color) : cells_[ExactColorMap::CellOf(bits_, color)];
    }

    // The map read, and its bits per component; no cells when the finder
    // searches. For callers that read the map in a loop of their own.
    std::span<const std::uint8_t> MapCells() const { return cells_; }
    int MapBits() const { return bits_; }

private:
    std::span<const std::uint8_t> cells_;
    int bits_ = 8;
    const MatchPalette* search_ = nullptr;
};

// Whether `pixels` lookups are done sooner by building the 8-bit exact map
// first than by searching `palette` for each: the map costs about as much as
// 2^25 (rgb), 2^26 (linear) or 2^28 (oklab) pixel-by-entry distances.
bool ExactMapPays(std::size_t pixels, const MatchPalette& palette);

}  // namespace paltab
