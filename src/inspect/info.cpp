// Counts, ownership and checksums of a table file, and their text.
#include "inspect/info.hpp"

#include <zlib.h>

#include <cstdarg>
#include <cstdio>

#include "inspect/describe.hpp"
#include "io/file_io.hpp"

namespace paltab {
namespace {

// A section is at most 64 KB, well within one zlib call.
std::uint32_t Crc32(std::span<const std::uint8_t> section) {
    const uLong crc = crc32(crc32(0L, Z_NULL, 0), section.data(), static_cast<uInt>(section.size()));
    return static_cast<std::uint32_t>(crc);
}

// printf onto the end of `text`; one call makes at most one short line.
__attribute__((format(printf, 2, 3))) void Append(std::string& text, const char* format, ...) {
    char line[160];
    std::va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    text += line;
}

}  // namespace

TableFileSummary SummarizeColorTableFile(const ColorTableView& view) {
    TableFileSummary summary;
    const auto bytes = view.Bytes();
    summary.size = bytes.size();
    summary.extension = view.HasExtension();
    for (std::size_t cell = 0; cell < kCellCount; ++cell) {
        ++summary.cellsOwned[view.MapCell(cell)];
    }
    for (std::size_t i = 0; i < kPaletteSize; ++i) {
        const auto index = static_cast<std::uint8_t>(i);
        const bool used = view.IsUsed(index);
        summary.usedEntries += used ? 1 : 0;
        if (!used && summary.cellsOwned[i] > 0) {
            summary.unusedOwners.push_back(index);
        }
        if (!used || summary.cellsOwned[i] > 0) {
            continue;
        }
        CelllessEntry entry{index, std::nullopt};
        for (std::size_t earlier = 0; earlier < i; ++earlier) {
            const auto other = static_cast<std::uint8_t>(earlier);
            if (view.IsUsed(other) && view.SixBitColor(other) == view.SixBitColor(index)) {
                entry.sameColorAs = other;
                break;
            }
        }
        summary.celllessEntries.push_back(entry);
    }
    for (const TableSectionSpan& section : SectionsOfFile(bytes.size())) {
        summary.sections.push_back({section, Crc32(bytes.subspan(section.offset, section.size))});
    }
    return summary;
}

std::string FormatSummary(std::string_view path, const ColorTableView& view, const TableFileSummary& summary) {
    std::string text;
    text += ShownPath(path) + ": " + std::to_string(summary.size) + " bytes, " +
            (summary.extension ? "with the extension (shade, additive and multiplicative tables)"
                               : "no extension (palette and map only)") +
            "\n";
    Append(text, "  %-16s %6s %6s  %s\n", "section", "offset", "size", "crc32");
    for (const SectionDigest& digest : summary.sections) {
        Append(text, "  %-16.*s %6zu %6zu  %08x\n", static_cast<int>(digest.span.name.size()), digest.span.name.data(),
               digest.span.offset, digest.span.size, digest.crc32);
    }

    int owners = 0;
    for (const std::uint32_t cells : summary.cellsOwned) {
        owners += cells > 0 ? 1 : 0;
    }
    Append(text, "palette: %d entries used, %d unused\n", summary.usedEntries,
           static_cast<int>(kPaletteSize) - summary.usedEntries);
    Append(text, "map: %zu cells owned by %d entries\n", kCellCount, owners);
    if (!summary.celllessEntries.empty()) {
        Append(text, "used entries that own no cell: %zu\n", summary.celllessEntries.size());
        for (const CelllessEntry& entry : summary.celllessEntries) {
            text += "  " + DescribeEntry(view, entry.index) + ": ";
            text += entry.sameColorAs ? "same colour as index " + std::to_string(*entry.sameColorAs)
                                      : std::string("hidden by nearer entries");
            text += "\n";
        }
    }
    if (!summary.unusedOwners.empty()) {
        Append(text, "unused entries that own cells: %zu\n", summary.unusedOwners.size());
        for (const std::uint8_t index : summary.unusedOwners) {
            Append(text, "  index %d: %u cells\n", index, summary.cellsOwned[index]);
        }
    }

    auto blank = [&](std::size_t i) {
        return !view.IsUsed(static_cast<std::uint8_t>(i)) && summary.cellsOwned[i] == 0;
    };
    text += "cells owned per entry, 16 to a row from the index shown ('-': unused and owns none;\n"
            "rows of such entries alone are left out):\n";
    for (std::size_t row = 0; row < kPaletteSize; row += 16) {
        bool allBlank = true;
        for (std::size_t i = row; i < row + 16; ++i) {
            allBlank = allBlank && blank(i);
        }
        if (allBlank) {
            continue;
        }
        Append(text, "  %3zu:", row);
        for (std::size_t i = row; i < row + 16; ++i) {
            if (blank(i)) {
                Append(text, " %5s", "-");
            } else {
                Append(text, " %5u", summary.cellsOwned[i]);
            }
        }
        text += "\n";
    }
    return text;
}

}  // namespace paltab
