// Text for palette entries and table offsets, shared by the inspection commands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "paltab/table_reader.hpp"

namespace paltab {

// "#ff8000".
std::string HexColor(Rgb8 color);

// "index 3 #ff8208 (6-bit 63 32 2)", or "index 3 (unused)".
std::string DescribeEntry(const ColorTableView& view, std::uint8_t index);

// "cell r5 12 g5 3 b5 4" for cell 0 01100 00011 00100.
std::string DescribeCell(std::size_t cell);

// What byte `offset` of a table file holds, in the terms of its section:
// "palette entry 5 green", "map cell r5 12 g5 3 b5 4", "tag byte 2",
// "shade colour 3 level 200", "additive a 3 b 4", "multiplicative a 3 b 4".
std::string DescribeOffset(std::size_t offset);

}  // namespace paltab
