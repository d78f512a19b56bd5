// Lump kinds, their layouts as sections of rows, and recognising a lump
// from its size.
#include <algorithm>
#include <array>

#include "common/name_table.hpp"
#include "lumps/sections.hpp"

namespace paltab {
namespace {

constexpr std::size_t kRow = kPaletteSize;
constexpr int kColormapRows = kDoomColormapRows;  // 34
constexpr int kMaxLevels = kMaxLightLevels;       // 256

constexpr std::array kKinds{NamedValue<LumpKind>{LumpKind::kColormap, "colormap"},
                            NamedValue<LumpKind>{LumpKind::kTranmap, "tranmap"},
                            NamedValue<LumpKind>{LumpKind::kPlaypal, "playpal"},
                            NamedValue<LumpKind>{LumpKind::kBuildPalette, "build-palette"},
                            NamedValue<LumpKind>{LumpKind::kLightTable, "light"}};

// A palette.dat's level count, when the size and the count field agree.
std::optional<int> BuildPaletteLevels(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kPaletteDatHeaderSize + kPairTableSize + kRow) {
        return std::nullopt;
    }
    const std::size_t table = bytes.size() - kPaletteDatHeaderSize - kPairTableSize;
    const int levels = bytes[768] | bytes[769] << 8;
    if (table % kRow != 0 || table / kRow != static_cast<std::size_t>(levels) || levels > kMaxLevels) {
        return std::nullopt;
    }
    return levels;
}

std::string SizeError(std::size_t size, LumpKind kind) {
    const std::string got = std::to_string(size) + " bytes";
    switch (kind) {
        case LumpKind::kColormap: return got + ", not the 8704 of a COLORMAP";
        case LumpKind::kTranmap: return got + ", not the 65536 of a TRANMAP";
        case LumpKind::kPlaypal: return got + " is not a whole number of 768-byte palettes";
        case LumpKind::kBuildPalette:
            return got + " do not make a palette.dat: 768 + 2 + levels x 256 + 65536 bytes, with the level count "
                         "(1..256) at offset 768";
        case LumpKind::kLightTable: return got + " is not 1..256 rows of 256";
    }
    return got;
}

}  // namespace

std::string_view LumpKindName(LumpKind kind) {
    return NameIn(kKinds, kind, "?");
}

std::optional<LumpKind> ParseLumpKind(std::string_view name) {
    return ValueIn(kKinds, name);
}

std::string LumpKindList() {
    return NameList(kKinds);
}

Result<LumpInfo> RecogniseLump(std::span<const std::uint8_t> bytes, std::optional<LumpKind> as) {
    const std::size_t size = bytes.size();
    const bool lightSize = size > 0 && size % kRow == 0 && size / kRow <= kMaxLevels;
    if (!as) {
        if (size == kDoomColormapSize) {
            return LumpInfo{LumpKind::kColormap, kColormapRows};
        }
        if (size == kPairTableSize) {
            return LumpInfo{LumpKind::kTranmap, static_cast<int>(kPaletteSize)};
        }
        if (size == kPlaypalSize) {
            return LumpInfo{LumpKind::kPlaypal, kPlaypalPalettes};
        }
        if (const auto levels = BuildPaletteLevels(bytes)) {
            return LumpInfo{LumpKind::kBuildPalette, *levels};
        }
        if (lightSize) {
            return LumpInfo{LumpKind::kLightTable, static_cast<int>(size / kRow)};
        }
        return Error{"", std::to_string(size) +
                             " bytes is the size of no lump paltool knows: a COLORMAP (8704), TRANMAP (65536), "
                             "PLAYPAL (10752), Build palette.dat (768 + 2 + levels x 256 + 65536) or light table "
                             "(levels x 256)"};
    }
    std::optional<LumpInfo> info;
    switch (*as) {
        case LumpKind::kColormap:
            if (size == kDoomColormapSize) info = LumpInfo{*as, kColormapRows};
            break;
        case LumpKind::kTranmap:
            if (size == kPairTableSize) info = LumpInfo{*as, static_cast<int>(kPaletteSize)};
            break;
        case LumpKind::kPlaypal:
            if (size > 0 && size % kPlaypalPaletteSize == 0) {
                info = LumpInfo{*as, static_cast<int>(size / kPlaypalPaletteSize)};
            }
            break;
        case LumpKind::kBuildPalette:
            if (const auto levels = BuildPaletteLevels(bytes)) info = LumpInfo{*as, *levels};
            break;
        case LumpKind::kLightTable:
            if (lightSize) info = LumpInfo{*as, static_cast<int>(size / kRow)};
            break;
    }
    if (!info) {
        return Error{"", SizeError(size, *as)};
    }
    return *info;
}

namespace lumps {

std::vector<Section> SectionsOf(const LumpInfo& info) {
    const int columns = static_cast<int>(kPaletteSize);
    switch (info.kind) {
        case LumpKind::kColormap:
            return {{"light", 0, kDoomLightLevels, columns, 1, 0, "row", "entry"},
                    {"grey", kDoomLightLevels * kRow, 1, columns, 1, kDoomLightLevels, "row", "entry"},
                    {"zero", (kDoomLightLevels + 1) * kRow, 1, columns, 1, kDoomLightLevels + 1, "row", "entry"}};
        case LumpKind::kTranmap: return {{"translucency", 0, columns, columns, 1, 0, "behind", "front"}};
        case LumpKind::kPlaypal: return {{"playpal", 0, info.rows, columns, 3, 0, "palette", "entry"}};
        case LumpKind::kBuildPalette: {
            const std::size_t light = kPaletteDatHeaderSize;
            return {{"palette", 0, 1, columns, 3, 0, "", "entry"},
                    {"level count", 3 * kRow, 1, 1, 2, 0, "", ""},
                    {"light", light, info.rows, columns, 1, 0, "row", "entry"},
                    {"translucency", light + static_cast<std::size_t>(info.rows) * kRow, columns, columns, 1, 0,
                     "behind", "front"}};
        }
        case LumpKind::kLightTable: return {{"light", 0, info.rows, columns, 1, 0, "row", "entry"}};
    }
    return {};
}

std::size_t LumpSize(const LumpInfo& info) {
    const auto sections = SectionsOf(info);
    const Section& last = sections.back();
    return last.offset + static_cast<std::size_t>(last.rows * last.columns * last.cellBytes);
}

std::string CellName(const Section& section, int row, int column) {
    std::string name(section.name);
    if (!section.rowLabel.empty()) {
        name.append(" ").append(section.rowLabel).append(" ").append(std::to_string(section.firstRow + row));
    }
    if (!section.columnLabel.empty()) {
        name.append(", ").append(section.columnLabel).append(" ").append(std::to_string(column));
    }
    return name;
}

}  // namespace lumps
}  // namespace paltab
