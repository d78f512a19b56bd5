// `paltool verify`: a table file against the tables its palette gives.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paltab/color_tables.hpp"
#include "paltab/palette_formats.hpp"
#include "paltab/result.hpp"
#include "paltab/table_reader.hpp"

namespace paltab {

// The file the generator would write for the palette text file at `path`,
// built in memory with `options`. Fails with kIo, the Error naming the file
// ("cannot read 'x': No such file or directory").
Result<std::vector<std::uint8_t>> TablesOfPaletteFile(const std::string& path, const GenerateOptions& options);

// The same for a palette in any format. Without `forced`, a file detected as
// text, or larger than a palette of any other format but png can be
// (kMaxPaletteFileSize), is read as above, as the generator reads it, so that a table file
// paltab made from it matches; any other format, or a forced one, goes
// through the palette unit's strict reader (warnings appended to
// `warnings`). N colours fill entries 0..N-1, the rest stay unused. Fails
// as ReadPaletteFile does.
Result<std::vector<std::uint8_t>> TablesOfPaletteFile(const std::string& path, std::optional<PaletteFormat> forced,
                                                      const PaletteReadOptions& readOptions,
                                                      const GenerateOptions& options,
                                                      std::vector<std::string>& warnings);

struct ByteMismatch {
    std::size_t offset = 0;
    std::uint8_t expected = 0;
    std::uint8_t found = 0;
};

struct TableComparison {
    std::size_t differing = 0;                           // bytes that differ, or are missing from one side
    std::array<std::size_t, kTableSections.size()> perSection{};  // differing bytes by section
    std::vector<ByteMismatch> first;                     // the first few, in file order
};

// Compares two table files byte for byte, keeping the first `keep`
// mismatches. Bytes that only one side has count as differing.
TableComparison CompareTableFiles(std::span<const std::uint8_t> expected, std::span<const std::uint8_t> found,
                                  std::size_t keep);

// The report of a comparison: one line per kept mismatch (offset, what the
// byte is, expected and found), then a summary. Empty `differing` gives one
// line that says the file matches.
std::string FormatComparison(std::string_view tablesPath, std::string_view palettePath,
                             const TableComparison& comparison);

}  // namespace paltab
