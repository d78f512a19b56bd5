// The blend tables: the palette index for the sum and for the product of any
// two palette colours.
#pragma once

#include "paltab/types.hpp"

namespace paltab {

// Fills row `a` of both tables. An unused operand is ignored: the result is
// the other index (the row index when both are unused). A sum that passes 31
// in any component is pulled back by the overflow and lightened by it through
// `shade`, so the overflow becomes brightness rather than a change of hue.
void BuildBlendRow(int a, const Palette& palette, const InverseColorMap& map, const ShadeTable& shade,
                   AdditiveBlendTable& additive, MultiplicativeBlendTable& multiplicative);

// Fills both tables. `shade` must be complete: any row may read any shade row.
// Every path gives the same bytes; the vector paths compute eight pairs'
// cells per step, the plain path is BuildBlendRow.
void BuildBlendTables(const Palette& palette, const InverseColorMap& map, const ShadeTable& shade,
                      AdditiveBlendTable& additive, MultiplicativeBlendTable& multiplicative,
                      BuildPath path = BuildPath::kVector);

}  // namespace paltab
