// Builds every table of a palette in the table file's image: the whole-file
// step, beside the file's layout.
#include "paltab/color_tables.hpp"

#include <algorithm>
#include <memory>

#include "paltab/blend.hpp"
#include "paltab/inverse_map.hpp"
#include "paltab/shade.hpp"

namespace paltab {

void BuildColorTableImage(const Palette& palette, const GenerateOptions& options, ColorTableImage& image) {
    // Left uninitialised: the map's walk uses it only as working storage.
    const auto distances = std::make_unique_for_overwrite<DistanceBuffer>();
    image.palette = EncodePaletteSection(palette);
    // With no used palette entry the map stays all zero.
    image.map.fill(0);
    // Five bits per component is always accepted.
    (void)BuildInverseColorMap(
        static_cast<int>(kPaletteSize), palette, *distances, image.map,
        {.weightedDistance = options.weightedDistance, .bitsPerComponent = kCellBits, .path = options.path});
    if (!options.writeExtension) {
        return;
    }
    std::copy(kExtensionTag.begin(), kExtensionTag.end(), image.tag.begin());
    ExtensionTables& tables = image.extension;
    BuildShadeTable(palette, image.map, tables.shade, options.path);
    BuildBlendTables(palette, image.map, tables.shade, tables.additive, tables.multiplicative, options.path);
}

std::vector<std::uint8_t> GenerateColorTableFile(const Palette& palette, const GenerateOptions& options) {
    // Every table the file holds is filled whole; the rest is not written.
    const auto image = std::make_unique_for_overwrite<ColorTableImage>();
    BuildColorTableImage(palette, options, *image);
    const std::span<const std::uint8_t> bytes = ImageBytes(*image, options.writeExtension);
    return {bytes.begin(), bytes.end()};
}

}  // namespace paltab
