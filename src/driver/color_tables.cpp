// Builds every table of a palette and serialises them as one table file: the
// whole-file step, beside the file's serialisation.
#include "paltab/color_tables.hpp"

#include <memory>

#include "paltab/blend.hpp"
#include "paltab/inverse_map.hpp"
#include "paltab/shade.hpp"

namespace paltab {
namespace {

// Left uninitialised: every builder writes all of its table, and the map is
// cleared below. The distance buffer alone is 128 KiB that need no zeroing.
struct Workspace {
    DistanceBuffer distances;
    InverseColorMap map;
    ExtensionTables extension;
};

}  // namespace

std::vector<std::uint8_t> GenerateColorTableFile(const Palette& palette, const GenerateOptions& options) {
    const auto work = std::make_unique_for_overwrite<Workspace>();
    // With no used palette entry the map stays all zero.
    work->map.fill(0);
    // Five bits per component is always accepted.
    (void)BuildInverseColorMap(
        static_cast<int>(kPaletteSize), palette, work->distances, work->map,
        {.weightedDistance = options.weightedDistance, .bitsPerComponent = kCellBits, .path = options.path});
    if (!options.writeExtension) {
        return SerializeColorTableFile(palette, work->map, nullptr);
    }
    ExtensionTables& tables = work->extension;
    BuildShadeTable(palette, work->map, tables.shade, options.path);
    BuildBlendTables(palette, work->map, tables.shade, tables.additive, tables.multiplicative, options.path);
    return SerializeColorTableFile(palette, work->map, &tables);
}

}  // namespace paltab
