// A short description of a lump: what it is, and the facts a person checks
// first (identity rows, fullbright-looking entries, repeated colours, how a
// PLAYPAL's palettes relate to the default tints).
#include <algorithm>
#include <bitset>

#include "lumps/sections.hpp"

namespace paltab {
namespace {

using Bytes = std::span<const std::uint8_t>;
constexpr std::size_t kRow = kPaletteSize;
constexpr std::size_t kMostListed = 8;

std::string List(const std::vector<int>& items) {
    std::string text;
    for (std::size_t k = 0; k < std::min(items.size(), kMostListed); ++k) {
        text += (k == 0 ? "" : ", ") + std::to_string(items[k]);
    }
    if (items.size() > kMostListed) {
        text += ", ... (" + std::to_string(items.size()) + ")";
    }
    return text.empty() ? "none" : text;
}

std::size_t DistinctEntries(Bytes cells) {
    std::bitset<kPaletteSize> seen;
    for (const std::uint8_t c : cells) {
        seen.set(c);
    }
    return seen.count();
}

// `rows` light rows of 256 entries.
std::string LightFacts(Bytes table, int rows) {
    const auto row = [&](int r) { return table.subspan(static_cast<std::size_t>(r) * kRow, kRow); };
    std::size_t ownInFirst = 0;
    for (std::size_t e = 0; e < kRow; ++e) {
        ownInFirst += row(0)[e] == e;
    }
    std::vector<int> identityRows;
    std::vector<int> fullbright;
    for (int r = 0; r < rows; ++r) {
        bool identity = true;
        for (std::size_t e = 0; e < kRow && identity; ++e) {
            identity = row(r)[e] == e;
        }
        if (identity) {
            identityRows.push_back(r);
        }
    }
    for (std::size_t e = 0; e < kRow; ++e) {
        bool own = true;
        for (int r = 0; r < rows && own; ++r) {
            own = row(r)[e] == e;
        }
        if (own) {
            fullbright.push_back(static_cast<int>(e));
        }
    }
    std::string text = "  row 0 maps " + std::to_string(ownInFirst) + " of 256 entries to themselves\n";
    text += "  rows that map every entry to itself: " + List(identityRows) + "\n";
    if (rows > 1) {
        text += "  entries with their own index in all " + std::to_string(rows) + " rows (fullbright-looking): " +
                List(fullbright) + "\n";
        text += "  row " + std::to_string(rows - 1) + " (the last) uses " +
                std::to_string(DistinctEntries(row(rows - 1))) + " distinct entries\n";
    }
    return text;
}

std::string TranslucencyFacts(Bytes table) {
    std::size_t diagonal = 0;
    std::size_t symmetric = 0;
    for (std::size_t c = 0; c < kRow; ++c) {
        diagonal += table[c * kRow + c] == c;
        for (std::size_t d = c + 1; d < kRow; ++d) {
            symmetric += table[c * kRow + d] == table[d * kRow + c];
        }
    }
    return "  cells (c, c) holding c: " + std::to_string(diagonal) + " of 256\n" +
           "  pairs (c, d) and (d, c) holding the same entry: " + std::to_string(symmetric) + " of 32640\n" +
           "  distinct entries used: " + std::to_string(DistinctEntries(table)) + "\n";
}

Rgb8 ColourAt(Bytes bytes, std::size_t palette, std::size_t entry) {
    const std::size_t at = palette * kPlaypalPaletteSize + entry * 3;
    return {bytes[at], bytes[at + 1], bytes[at + 2]};
}

std::string PlaypalFacts(Bytes bytes, int palettes) {
    std::vector<int> repeats;
    for (std::size_t e = 1; e < kRow; ++e) {
        for (std::size_t earlier = 0; earlier < e; ++earlier) {
            if (ColourAt(bytes, 0, e) == ColourAt(bytes, 0, earlier)) {
                repeats.push_back(static_cast<int>(e));
                break;
            }
        }
    }
    std::string text = "  palette 0: entries that repeat an earlier colour: " + List(repeats) + "\n";
    const PlaypalTints tints = DefaultPlaypalTints();
    for (int p = 1; p < std::min(palettes, kPlaypalPalettes); ++p) {
        const PaletteTint& tint = tints[static_cast<std::size_t>(p)];
        std::size_t differing = 0;
        for (std::size_t e = 0; e < kRow; ++e) {
            differing += ApplyTint(ColourAt(bytes, 0, e), tint) != ColourAt(bytes, static_cast<std::size_t>(p), e);
        }
        const std::string rule = "palette 0 towards " + std::to_string(tint.color.r) + " " +
                                 std::to_string(tint.color.g) + " " + std::to_string(tint.color.b) + " by " +
                                 std::to_string(tint.amount.numerator) + "/" +
                                 std::to_string(tint.amount.denominator);
        text += "  palette " + std::to_string(p) + ": " +
                (differing == 0 ? rule + " (the default)"
                                : std::to_string(differing) + " of 256 entries differ from " + rule) +
                "\n";
    }
    return text;
}

}  // namespace

std::string DescribeLump(std::span<const std::uint8_t> bytes, const LumpInfo& info) {
    const std::string size = std::to_string(bytes.size()) + " bytes";
    const std::string rows = std::to_string(info.rows);
    switch (info.kind) {
        case LumpKind::kColormap: {
            const Bytes grey = bytes.subspan(kDoomLightLevels * kRow, kRow);
            const Bytes last = bytes.subspan((kDoomLightLevels + 1) * kRow, kRow);
            const auto nonZero = static_cast<std::size_t>(std::count_if(last.begin(), last.end(), [](std::uint8_t c) {
                return c != 0;
            }));
            return "Doom COLORMAP, " + size + ": 32 light levels, the inverted grey row 32, row 33\n" +
                   LightFacts(bytes, kDoomLightLevels) + "  row 32 (grey) uses " +
                   std::to_string(DistinctEntries(grey)) + " distinct entries\n" + "  row 33: " +
                   (nonZero == 0 ? std::string("all zero") : std::to_string(nonZero) + " of 256 cells not zero") +
                   "\n";
        }
        case LumpKind::kTranmap:
            return "TRANMAP, " + size + ": row behind (the colour on screen), column front (the translucent colour)\n" +
                   TranslucencyFacts(bytes);
        case LumpKind::kPlaypal:
            return "PLAYPAL, " + size + ": " + rows + " palettes of 256 colours\n" + PlaypalFacts(bytes, info.rows);
        case LumpKind::kBuildPalette: {
            const Bytes palette = bytes.first(kPlaypalPaletteSize);
            const auto above = std::count_if(palette.begin(), palette.end(), [](std::uint8_t c) { return c > 63; });
            const Bytes light =
                bytes.subspan(kPaletteDatHeaderSize, static_cast<std::size_t>(info.rows) * kRow);
            return "Build palette.dat, " + size + ": the palette at 6 bits, " + rows +
                   " light levels, a translucency table\n" + "  palette: " +
                   (above == 0 ? std::string("every component 0..63")
                               : std::to_string(above) + " components above 63 (not 6-bit values)") +
                   "\n" + LightFacts(light, info.rows) +
                   TranslucencyFacts(bytes.subspan(kPaletteDatHeaderSize + light.size(), kPairTableSize));
        }
        case LumpKind::kLightTable:
            return "light table, " + size + ": " + rows + " levels of 256 entries\n" + LightFacts(bytes, info.rows);
    }
    return {};
}

}  // namespace paltab
