// Rebuilding a lump from a palette with the library's builders, and
// comparing two lumps of one kind cell by cell.
#include <algorithm>
#include <cstdio>

#include "lumps/sections.hpp"

namespace paltab {
namespace {

constexpr std::size_t kMostWorstRows = 5;

std::string CellText(const std::vector<std::uint8_t>& cell, std::span<const Rgb8> colors) {
    if (cell.size() == 2) {
        return std::to_string(cell[0] | cell[1] << 8);
    }
    if (cell.size() == 1 && !colors.empty()) {
        if (cell[0] >= colors.size()) {
            return std::to_string(cell[0]) + " unused";
        }
        const Rgb8 c = colors[cell[0]];
        char hex[8];
        std::snprintf(hex, sizeof hex, "#%02x%02x%02x", c.r, c.g, c.b);
        return std::to_string(cell[0]) + " " + hex;
    }
    std::string text;
    for (const std::uint8_t b : cell) {
        if (!text.empty()) {
            text += ' ';
        }
        text += std::to_string(b);
    }
    return text;
}

// Bytes enough for the lump `info` describes.
Status CheckSize(std::span<const std::uint8_t> bytes, const LumpInfo& info) {
    const std::size_t size = lumps::LumpSize(info);
    if (bytes.size() < size) {
        return Error{"", std::to_string(bytes.size()) + " bytes is short of the " + std::to_string(size) + " of a " +
                             std::string(LumpKindName(info.kind)) + " of " + std::to_string(info.rows) + " rows"};
    }
    return {};
}

}  // namespace

Result<std::vector<std::uint8_t>> RebuildLump(const LumpInfo& info, std::span<const Rgb8> colors,
                                              const LumpSettings& settings) {
    using Bytes = Result<std::vector<std::uint8_t>>;
    LightSettings light = settings.light;
    light.levels = info.rows;
    switch (info.kind) {
        case LumpKind::kColormap: {
            light.levels = kDoomLightLevels;
            auto table = MakeDoomColormap(colors, light);
            return table ? Bytes(std::move(table->bytes)) : Bytes(table.error());
        }
        case LumpKind::kTranmap: {
            const auto table = MakeTranslucencyTable(colors, settings.blend);
            return table ? Bytes(std::vector<std::uint8_t>(table->bytes.begin(), table->bytes.end()))
                         : Bytes(table.error());
        }
        case LumpKind::kPlaypal:
            if (info.rows != kPlaypalPalettes) {
                return Error{"",
                             "a PLAYPAL of " + std::to_string(info.rows) + " palettes is not rebuilt; only one of 14",
                             ErrorKind::kBadSettings};
            }
            return MakePlaypal(colors, settings.tints);
        case LumpKind::kBuildPalette: {
            auto file = MakePaletteDat(colors, light);
            return file ? Bytes(std::move(file->bytes)) : Bytes(file.error());
        }
        case LumpKind::kLightTable: {
            auto table = MakeLightTable(colors, light);
            return table ? Bytes(std::move(table->bytes)) : Bytes(table.error());
        }
    }
    return Error{"", "unknown lump kind", ErrorKind::kBadSettings};
}

Result<std::vector<Rgb8>> LumpColors(std::span<const std::uint8_t> bytes, const LumpInfo& info, int palette) {
    const bool playpal = info.kind == LumpKind::kPlaypal;
    if (!playpal && info.kind != LumpKind::kBuildPalette) {
        return std::vector<Rgb8>{};
    }
    if (playpal && (palette < 0 || palette >= info.rows)) {
        return Error{"", "palette " + std::to_string(palette) + " is not 0.." + std::to_string(info.rows - 1),
                     ErrorKind::kBadSettings};
    }
    if (Status sized = CheckSize(bytes, info); !sized) {
        return std::move(sized).error();
    }
    const std::size_t at = playpal ? static_cast<std::size_t>(palette) * kPlaypalPaletteSize : 0;
    const auto component = [&](std::size_t k) {
        // The low six bits, as the VGA colour registers take a value.
        return playpal ? bytes[at + k] : ExpandSixBit(static_cast<std::uint8_t>(bytes[k] & 63));
    };
    std::vector<Rgb8> colors(kPaletteSize);
    for (std::size_t e = 0; e < kPaletteSize; ++e) {
        colors[e] = {component(3 * e), component(3 * e + 1), component(3 * e + 2)};
    }
    return colors;
}

Result<LumpComparison> CompareLump(std::span<const std::uint8_t> expected, std::span<const std::uint8_t> found,
                                   const LumpInfo& info, std::size_t firstCount) {
    for (const std::span<const std::uint8_t> lump : {expected, found}) {
        if (Status sized = CheckSize(lump, info); !sized) {
            return std::move(sized).error();
        }
    }
    LumpComparison comparison;
    std::vector<RowDifferences> rows;
    for (const lumps::Section& section : lumps::SectionsOf(info)) {
        const auto cellBytes = static_cast<std::size_t>(section.cellBytes);
        for (int row = 0; row < section.rows; ++row) {
            RowDifferences counted{section.name, section.firstRow + row, 0};
            for (int column = 0; column < section.columns; ++column) {
                const std::size_t at =
                    section.offset + (static_cast<std::size_t>(row * section.columns + column)) * cellBytes;
                ++comparison.cells;
                if (std::equal(expected.begin() + static_cast<std::ptrdiff_t>(at),
                               expected.begin() + static_cast<std::ptrdiff_t>(at + cellBytes),
                               found.begin() + static_cast<std::ptrdiff_t>(at))) {
                    continue;
                }
                ++comparison.differing;
                ++counted.cells;
                if (comparison.first.size() < firstCount) {
                    comparison.first.push_back({section.name, section.firstRow + row, column,
                                                {expected.begin() + static_cast<std::ptrdiff_t>(at),
                                                 expected.begin() + static_cast<std::ptrdiff_t>(at + cellBytes)},
                                                {found.begin() + static_cast<std::ptrdiff_t>(at),
                                                 found.begin() + static_cast<std::ptrdiff_t>(at + cellBytes)}});
                }
            }
            if (counted.cells > 0) {
                rows.push_back(counted);
            }
        }
    }
    // Most differing first; among equals, file order.
    std::stable_sort(rows.begin(), rows.end(), [](const RowDifferences& a, const RowDifferences& b) {
        return a.cells > b.cells;
    });
    rows.resize(std::min(rows.size(), kMostWorstRows));
    comparison.worstRows = std::move(rows);
    return comparison;
}

std::string FormatLumpComparison(const LumpComparison& comparison, const LumpInfo& info,
                                 std::span<const Rgb8> colors) {
    if (comparison.differing == 0) {
        return "all " + std::to_string(comparison.cells) + " cells match\n";
    }
    const auto sections = lumps::SectionsOf(info);
    const auto sectionOf = [&](std::string_view name) {
        return *std::find_if(sections.begin(), sections.end(), [&](const lumps::Section& s) { return s.name == name; });
    };
    std::string text = std::to_string(comparison.differing) + " of " + std::to_string(comparison.cells) +
                       " cells differ; worst rows:";
    for (std::size_t k = 0; k < comparison.worstRows.size(); ++k) {
        const RowDifferences& row = comparison.worstRows[k];
        const lumps::Section& section = sectionOf(row.section);
        std::string name(section.name);
        if (!section.rowLabel.empty()) {
            name.append(" ").append(section.rowLabel).append(" ").append(std::to_string(row.row));
        }
        text += (k == 0 ? " " : ", ") + name + " (" + std::to_string(row.cells) + ")";
    }
    text += "\n";
    for (const CellDifference& cell : comparison.first) {
        const lumps::Section& section = sectionOf(cell.section);
        text += "  " + lumps::CellName(section, cell.row - section.firstRow, cell.column) + ": expected " +
                CellText(cell.expected, colors) + ", found " + CellText(cell.found, colors) + "\n";
    }
    if (comparison.first.size() < comparison.differing) {
        text += "  ... and " + std::to_string(comparison.differing - comparison.first.size()) + " more\n";
    }
    return text;
}

}  // namespace paltab
