// Builds every table of a palette and serialises them as one table file.
#include "paltab/color_tables.hpp"

#include <memory>

#include "paltab/blend.hpp"
#include "paltab/inverse_map.hpp"
#include "paltab/shade.hpp"

namespace paltab {
namespace {

// Zero at start: with no used palette entry the map stays all zero.
struct Workspace {
    DistanceBuffer distances{};
    InverseColorMap map{};
    ExtensionTables extension{};
};

}  // namespace

std::vector<std::uint8_t> GenerateColorTableFile(const Palette& palette, const GenerateOptions& options) {
    const auto work = std::make_unique<Workspace>();
    // Five bits per component is always accepted.
    (void)BuildInverseColorMap(static_cast<int>(kPaletteSize), palette, work->distances, work->map,
                               {.weightedDistance = options.weightedDistance, .bitsPerComponent = kCellBits});
    if (!options.writeExtension) {
        return SerializeColorTableFile(palette, work->map, nullptr);
    }
    ExtensionTables& tables = work->extension;
    BuildShadeTable(palette, work->map, tables.shade);
    BuildBlendTables(palette, work->map, tables.shade, tables.additive, tables.multiplicative);
    return SerializeColorTableFile(palette, work->map, &tables);
}

}  // namespace paltab
