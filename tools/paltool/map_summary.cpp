// The analysis and the words of paltool map.
#include "map_summary.hpp"

#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "paltab/inverse_map.hpp"
#include "paltab/palette_formats.hpp"

namespace paltab::paltool {
namespace {

struct Farthest {
    double squared = -1;
    std::size_t cell = 0;
};

// The cell farthest from its entry, by the map's metric.
Farthest FarthestCell(const ExactColorMap& map, std::span<const Rgb8> palette, Metric metric) {
    std::vector<MetricPoint> points;
    for (const Rgb8 c : palette) {
        points.push_back(ToMetricPoint(metric, c));
    }
    Farthest farthest;
    const std::span<const std::uint8_t> cells = map.Cells();
    for (std::size_t cell = 0; cell < cells.size(); ++cell) {
        const double d =
            SquaredDistance(ToMetricPoint(metric, ExactColorMap::CellColor(map.Bits(), cell)), points[cells[cell]]);
        if (d > farthest.squared) {
            farthest = {d, cell};
        }
    }
    return farthest;
}

std::size_t CellsUnlikeGenerator(const ExactColorMap& map, std::span<const Rgb8> colors) {
    auto distances = std::make_unique<DistanceBuffer>();
    auto generated = std::make_unique<InverseColorMap>();
    (void)BuildInverseColorMap(static_cast<int>(kPaletteSize), ToGeneratorPalette(colors), *distances, *generated);
    std::size_t differ = 0;
    for (std::size_t cell = 0; cell < kCellCount; ++cell) {
        differ += (*generated)[cell] != map.Cells()[cell] ? 1 : 0;
    }
    return differ;
}

std::string Describe(const Farthest& farthest, const ExactColorMap& map, Metric metric) {
    const Rgb8 c = ExactColorMap::CellColor(map.Bits(), farthest.cell);
    char text[200];
    if (metric == Metric::kRgb) {
        std::snprintf(text, sizeof text, "%.2f (squared %.0f), cell %zu (%d %d %d) -> entry %d",
                      std::sqrt(farthest.squared), farthest.squared, farthest.cell, c.r, c.g, c.b,
                      map.Cells()[farthest.cell]);
    } else {
        std::snprintf(text, sizeof text, "%.6f, cell %zu (%d %d %d) -> entry %d", std::sqrt(farthest.squared),
                      farthest.cell, c.r, c.g, c.b, map.Cells()[farthest.cell]);
    }
    return text;
}

}  // namespace

std::string MapSummary(const ExactColorMap& map, std::span<const Rgb8> colors, std::size_t selectable,
                       const MatchOptions& options) {
    const int bits = map.Bits();
    std::string summary = std::to_string(map.Cells().size()) + " cells, " + std::to_string(bits) +
                          " bits per component, " + std::to_string(colors.size()) + " colours (" +
                          std::to_string(selectable) + " selectable), " + std::string(MetricName(options.metric)) +
                          "\n";
    summary += "largest distance from a cell to its entry: " +
               Describe(FarthestCell(map, colors, options.metric), map, options.metric) + "\n";
    if (bits == kCellBits && options.metric == Metric::kRgb && options.reserved.none()) {
        summary += "cells where paltab's map gives another entry: " + std::to_string(CellsUnlikeGenerator(map, colors)) +
                   " of " + std::to_string(kCellCount) + "\n";
    }
    return summary;
}

std::string MapHeaderDescription(const ExactColorMap& map, std::size_t colors, Metric metric, std::string_view name) {
    const int bits = map.Bits();
    const std::string shift = std::to_string(8 - bits);
    return "Exact " + std::to_string(bits) + "-bit map of " + std::to_string(colors) + " colours by " +
           std::string(MetricName(metric)) + ".\n\n" + std::string(name) + "[(r >> " + shift + ") << " +
           std::to_string(2 * bits) + " | (g >> " + shift + ") << " + std::to_string(bits) + " | (b >> " + shift +
           ")]: the palette entry nearest to the\n    centre of the cell of the 8-bit colour r, g, b.";
}

}  // namespace paltab::paltool
