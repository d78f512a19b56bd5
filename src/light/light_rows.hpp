// The light rows, which the Doom colormap and Build's palette.dat share with
// the light table.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "paltab/light_tables.hpp"
#include "light/table_targets.hpp"
#include "paltab/nearest.hpp"

namespace paltab::light_rows {

// The palette (kBadInput) and the level count (kBadSettings) within bounds.
Status CheckLight(std::span<const Rgb8> colors, const LightSettings& settings);

// The light rows into `bytes` (levels * 256 of them).
void FillLightRows(std::span<const Rgb8> colors, const LightSettings& settings, const table_targets::TableSearch& search,
                   std::span<std::uint8_t> bytes, FitAccumulator& stats);

}  // namespace paltab::light_rows
