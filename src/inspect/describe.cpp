// Text for palette entries and table offsets.
#include "inspect/describe.hpp"

#include <cstdio>

namespace paltab {

std::string HexColor(Rgb8 color) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", color.r, color.g, color.b);
    return text;
}

std::string DescribeEntry(const ColorTableView& view, std::uint8_t index) {
    std::string text = "index " + std::to_string(index);
    const auto six = view.SixBitColor(index);
    if (!six) {
        return text + " (unused)";
    }
    return text + " " + HexColor(*view.Color(index)) + " (6-bit " + std::to_string(six->r) + " " +
           std::to_string(six->g) + " " + std::to_string(six->b) + ")";
}

std::string DescribeCell(std::size_t cell) {
    const CellPosition at = CellComponents(cell);
    return "cell r5 " + std::to_string(at.r5) + " g5 " + std::to_string(at.g5) + " b5 " + std::to_string(at.b5);
}

std::string DescribeOffset(std::size_t offset) {
    const TableSectionSpan& section = SectionAt(offset);
    const std::size_t at = offset - section.offset;
    const std::string name(section.name);
    switch (section.section) {
    case TableSection::kPalette:
        return "palette entry " + std::to_string(at / 3) + " " + std::string(kComponentNames[at % 3]);
    case TableSection::kMap:
        return "map " + DescribeCell(at);
    case TableSection::kTag:
        return "tag byte " + std::to_string(at);
    case TableSection::kShade:
        return "shade colour " + std::to_string(at / kShadeLevels) + " level " + std::to_string(at % kShadeLevels);
    case TableSection::kAdditive:
    case TableSection::kMultiplicative:
        return name + " a " + std::to_string(at / kPaletteSize) + " b " + std::to_string(at % kPaletteSize);
    }
    return name;
}

}  // namespace paltab
