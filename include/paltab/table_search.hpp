// How light, fog and translucency tables fill their cells: every cell asks
// for one target colour and holds the palette entry nearest to it, found by
// a full search.
//
// Arithmetic. With the rgb metric and sRGB mixing, every target is a fraction
// n / q of integers (q = levels for a light row, 100 for alpha, 255 for
// multiply and screen, 10000 for the grey row) and the search compares
// sum (e * q - n)^2 in 64-bit integers: the target is never rounded, so a cell
// holds what a full search in exact arithmetic gives. The linear and oklab
// metrics, and every metric with linear mixing, compute the target in double
// precision from one conversion per colour (see color_metric.hpp).
//
// Choice. Among entries at the same distance the lowest index wins. Reserved
// entries and fullbright entries are never chosen; a fullbright entry keeps
// its own index in every light row and in the grey row, reserved or not.
//
// A palette of fewer than 256 colours: the entries past its count are unused.
// They are never chosen, and a table leaves them as they are: an unused
// entry's column of a light table holds its own index, and a blend cell with
// an unused operand holds the other operand (a when both are unused), as the
// generator's blend tables do.
//
// Statistics. Over the cells that were searched (not fullbright or unused
// entries' own cells): the Euclidean distance from the target to the colour
// chosen, in the metric's units: 8-bit sRGB units for rgb, linear light 0..1
// for linear, Oklab units for oklab.
#pragma once

#include "paltab/color_metric.hpp"
#include "paltab/nearest.hpp"
#include "paltab/types.hpp"

namespace paltab {

// How the cells of every table choose their entries: the one search's
// options (metric, reserved entries) and where colours are mixed.
struct SearchSettings {
    Metric metric = Metric::kRgb;
    // Mix in linear light: the target is the mix of the linear components,
    // compared by `metric` (rgb compares it converted back to 8-bit sRGB).
    bool linearMix = false;
    ReservedEntries reserved;

    MatchOptions Match() const { return {metric, reserved}; }
};

using TableStats = FitStats;

}  // namespace paltab
