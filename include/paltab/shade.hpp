// The shade table: every palette colour darkened towards black (levels 0..127)
// or lightened towards white (levels 128..255), as palette indices.
#pragma once

#include "paltab/types.hpp"

namespace paltab {

// Fills the 256 levels of row `color` for a used entry: level L < 128 scales
// each 5-bit component v to floor(v * L / 128); level 128 + k moves it to
// v + floor((31 - v) * k / 128). Each result cell is looked up in `map`.
void BuildShadeRow(int color, const Palette& palette, const InverseColorMap& map, ShadeTable& shade);

// Fills all of `shade`. The row of an unused entry (red -1) is all zero.
// Every path gives the same bytes; the vector paths compute eight levels'
// cells per step, the plain path is BuildShadeRow.
void BuildShadeTable(const Palette& palette, const InverseColorMap& map, ShadeTable& shade,
                     BuildPath path = BuildPath::kVector);

}  // namespace paltab
