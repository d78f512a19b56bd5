// How each lump kind divides into rows of cells: what describing and
// comparing a lump walk over.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "paltab/lumps.hpp"

namespace paltab::lumps {

// Rows of `columns` cells of `cellBytes` bytes from `offset`; its rows are
// numbered from `firstRow` (a colormap's grey row is row 32).
struct Section {
    std::string_view name;
    std::size_t offset = 0;
    int rows = 0;
    int columns = 0;
    int cellBytes = 1;
    int firstRow = 0;
    std::string_view rowLabel;     // "row", "behind", "palette"; empty for one row
    std::string_view columnLabel;  // "entry", "front"
};

std::vector<Section> SectionsOf(const LumpInfo& info);
std::size_t LumpSize(const LumpInfo& info);

// "light row 31, entry 17", "palette, entry 3", "translucency behind 4, front 9".
std::string CellName(const Section& section, int row, int column);

}  // namespace paltab::lumps
