// All tables of one palette, built in memory in the order they depend on
// each other: map, then shade, then blend.
#pragma once

#include <cstdint>
#include <vector>

#include "paltab/table_file.hpp"
#include "paltab/types.hpp"

namespace paltab {

struct GenerateOptions {
    bool weightedDistance = false;  // -c
    bool writeExtension = false;    // -n
    // Every path writes the same bytes (see BuildPath).
    BuildPath path = BuildPath::kVector;
};

// Fills `image` with the colour table file for `palette`, exactly as the
// generator writes it; the tag and extension tables only with the extension
// (ImageBytes gives the file's bytes).
void BuildColorTableImage(const Palette& palette, const GenerateOptions& options, ColorTableImage& image);

// The bytes of the colour table file for `palette`, exactly as the generator
// writes them: kPlainFileSize bytes, or kExtendedFileSize with the extension.
std::vector<std::uint8_t> GenerateColorTableFile(const Palette& palette, const GenerateOptions& options);

}  // namespace paltab
