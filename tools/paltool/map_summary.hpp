// What `paltool map` says of the exact map it wrote: the summary lines and
// the comment of its C header.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "paltab/exact_map.hpp"

namespace paltab::paltool {

// The lines after "wrote OUT: ": the map's size, bits, colours (`selectable`
// of them chosen from) and metric; the cell farthest from its entry; and at
// 5 bits by rgb with nothing reserved, how many cells paltab's own map gives
// another entry.
std::string MapSummary(const ExactColorMap& map, std::span<const Rgb8> colors, std::size_t selectable,
                       const MatchOptions& options);

// The comment of the C header holding `map` as the array `name`: what it is
// and how a colour is looked up in it.
std::string MapHeaderDescription(const ExactColorMap& map, std::size_t colors, Metric metric, std::string_view name);

}  // namespace paltab::paltool
