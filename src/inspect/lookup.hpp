// `paltool lookup`: colours and index pairs through the tables of a file.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "paltab/table_reader.hpp"

namespace paltab {

// "r,g,b" (three decimal numbers 0..255, no spaces) or "#rrggbb" (six hex
// digits, either case). Nothing for anything else.
std::optional<Rgb8> ParseColor(std::string_view text);

// "x:y" with two decimal numbers 0..255: a colour and a level, or operands
// a and b. Nothing for anything else.
struct IndexPair {
    std::uint8_t first = 0;
    std::uint8_t second = 0;
};
std::optional<IndexPair> ParseIndexPair(std::string_view text);

// "255,128,0 #ff8000 cell r5 31 g5 16 b5 0 -> index 3 #ff8208 (6-bit 63 32 2)".
std::string FormatColorLookup(const ColorTableView& view, Rgb8 color);

// A lookup in the shade, additive or multiplicative table:
// "shade 3:200 -> index 5 ...", or "... -> no extension tables".
std::string FormatPairLookup(const ColorTableView& view, TableSection table, IndexPair pair);

}  // namespace paltab
