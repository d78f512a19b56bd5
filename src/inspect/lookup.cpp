// Parsing colours and index pairs, and the text of each lookup.
#include "inspect/lookup.hpp"

#include <charconv>

#include "inspect/describe.hpp"

namespace paltab {
namespace {

// A whole field of decimal digits, 0..255.
std::optional<std::uint8_t> ParseByte(std::string_view text) {
    unsigned value = 0;
    if (text.empty() || text.size() > 3 || text.find_first_not_of("0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    std::from_chars(text.data(), text.data() + text.size(), value);
    if (value > 255) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

std::optional<std::uint8_t> ParseHexByte(std::string_view text) {
    unsigned value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size() || text.size() != 2) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(value);
}

}  // namespace

std::optional<Rgb8> ParseColor(std::string_view text) {
    if (text.starts_with('#')) {
        if (text.size() != 7) {
            return std::nullopt;
        }
        const auto r = ParseHexByte(text.substr(1, 2)), g = ParseHexByte(text.substr(3, 2)),
                   b = ParseHexByte(text.substr(5, 2));
        if (!r || !g || !b) {
            return std::nullopt;
        }
        return Rgb8{*r, *g, *b};
    }
    const std::size_t first = text.find(','), second = text.find(',', first == text.npos ? first : first + 1);
    if (first == text.npos || second == text.npos) {
        return std::nullopt;
    }
    const auto r = ParseByte(text.substr(0, first)), g = ParseByte(text.substr(first + 1, second - first - 1)),
               b = ParseByte(text.substr(second + 1));
    if (!r || !g || !b) {
        return std::nullopt;
    }
    return Rgb8{*r, *g, *b};
}

std::optional<IndexPair> ParseIndexPair(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == text.npos) {
        return std::nullopt;
    }
    const auto first = ParseByte(text.substr(0, colon)), second = ParseByte(text.substr(colon + 1));
    if (!first || !second) {
        return std::nullopt;
    }
    return IndexPair{*first, *second};
}

std::string FormatColorLookup(const ColorTableView& view, Rgb8 color) {
    const std::size_t cell = CellOfColor(color.r, color.g, color.b);
    return std::to_string(color.r) + "," + std::to_string(color.g) + "," + std::to_string(color.b) + " " +
           HexColor(color) + " " + DescribeCell(cell) + " -> " + DescribeEntry(view, view.Lookup(color));
}

std::string FormatPairLookup(const ColorTableView& view, TableSection table, IndexPair pair) {
    const std::optional<std::uint8_t> result = view.PairTable(table, pair.first, pair.second);
    const std::string head = std::string(kTableSections[static_cast<std::size_t>(table)].name) + " " +
                             std::to_string(pair.first) + ":" + std::to_string(pair.second) + " -> ";
    return result ? head + DescribeEntry(view, *result) : head + "no extension tables";
}

}  // namespace paltab
