// `paltool info`: what a table file holds, in numbers.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "paltab/table_reader.hpp"

namespace paltab {

struct SectionDigest {
    TableSectionSpan span;
    std::uint32_t crc32 = 0;  // the zlib CRC-32, as `crc32` and zlib.crc32 print it
};

// A used entry that owns no map cell, and why.
struct CelllessEntry {
    std::uint8_t index = 0;
    // The lowest entry with the same stored colour, when there is one; else
    // nearer entries hide it everywhere.
    std::optional<std::uint8_t> sameColorAs;
};

struct TableFileSummary {
    std::size_t size = 0;
    bool extension = false;
    int usedEntries = 0;
    std::array<std::uint32_t, kPaletteSize> cellsOwned{};  // map cells per entry
    std::vector<CelllessEntry> celllessEntries;             // used entries with no cell
    std::vector<std::uint8_t> unusedOwners;                 // unused entries that own cells
    std::vector<SectionDigest> sections;
};

TableFileSummary SummarizeColorTableFile(const ColorTableView& view);

// The summary as text: size and sections first, then the entries, then the
// cells owned by each entry as a 16 x 16 grid.
std::string FormatSummary(std::string_view path, const ColorTableView& view, const TableFileSummary& summary);

}  // namespace paltab
