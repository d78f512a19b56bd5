// Pictures of the lumps: light rows, translucency tables and palettes drawn
// cell by cell in the colours of the entries they hold.
#include "render/lump_pictures.hpp"

#include <algorithm>
#include <string>


namespace paltab {
namespace {

using Bytes = std::span<const std::uint8_t>;
constexpr int kEntries = static_cast<int>(kPaletteSize);
constexpr int kSwatchesAcross = 16;
// Checker squares: big enough to read in a swatch, one pixel in a small cell.
constexpr int kSwatchCheck = 4;
constexpr int kCellCheck = 1;

void FillSquare(RgbImage& image, std::optional<Rgb8> color, int x0, int y0, int size, int check) {
    for (int y = y0; y < y0 + size; ++y) {
        for (int x = x0; x < x0 + size; ++x) {
            image.Set(x, y, color ? *color : ((x / check + y / check) % 2 == 0 ? kCheckerLight : kCheckerDark));
        }
    }
}

std::optional<Rgb8> ColorOf(std::span<const Rgb8> colors, std::uint8_t index) {
    return index < colors.size() ? std::optional(colors[index]) : std::nullopt;
}

// `rows` rows of 256 indices.
RgbImage LightRows(Bytes table, int rows, std::span<const Rgb8> colors) {
    RgbImage image(kEntries * kLumpRowCell, rows * kLumpRowCell, kBackground);
    for (int row = 0; row < rows; ++row) {
        for (int entry = 0; entry < kEntries; ++entry) {
            const std::uint8_t index = table[static_cast<std::size_t>(row * kEntries + entry)];
            FillSquare(image, ColorOf(colors, index), entry * kLumpRowCell, row * kLumpRowCell, kLumpRowCell,
                       kCellCheck);
        }
    }
    return image;
}

// 256 x 256 indices, row behind, column front.
RgbImage PairCells(Bytes table, std::span<const Rgb8> colors) {
    RgbImage image(kEntries * kPairCellSize, kEntries * kPairCellSize, kBackground);
    for (int behind = 0; behind < kEntries; ++behind) {
        for (int front = 0; front < kEntries; ++front) {
            const std::uint8_t index = table[static_cast<std::size_t>(behind * kEntries + front)];
            FillSquare(image, ColorOf(colors, index), front * kPairCellSize, behind * kPairCellSize, kPairCellSize,
                       kCellCheck);
        }
    }
    return image;
}

// Palette p of `palettes` at column p % kPlaypalsAcross, row p / kPlaypalsAcross.
RgbImage Playpal(Bytes bytes, const LumpInfo& info) {
    constexpr int side = kSwatchesAcross * kPlaypalSwatch;
    const int across = std::min(info.rows, kPlaypalsAcross);
    const int down = (info.rows + kPlaypalsAcross - 1) / kPlaypalsAcross;
    RgbImage image(across * side + (across - 1) * kPlaneGap, down * side + (down - 1) * kPlaneGap, kBackground);
    for (int p = 0; p < info.rows; ++p) {
        // Every palette exists: `info` is the lump's.
        const std::vector<Rgb8> colors = LumpColors(bytes, info, p).value_or(std::vector<Rgb8>(kEntries));
        const int x0 = p % kPlaypalsAcross * (side + kPlaneGap);
        const int y0 = p / kPlaypalsAcross * (side + kPlaneGap);
        for (int e = 0; e < kEntries; ++e) {
            FillSquare(image, colors[static_cast<std::size_t>(e)], x0 + e % kSwatchesAcross * kPlaypalSwatch,
                       y0 + e / kSwatchesAcross * kPlaypalSwatch, kPlaypalSwatch, kSwatchCheck);
        }
    }
    return image;
}

RgbImage Swatches(std::span<const Rgb8> colors) {
    constexpr int side = kSwatchesAcross * kSwatchSize;
    RgbImage image(side, side, kBackground);
    for (int e = 0; e < kEntries; ++e) {
        FillSquare(image, ColorOf(colors, static_cast<std::uint8_t>(e)), e % kSwatchesAcross * kSwatchSize,
                   e / kSwatchesAcross * kSwatchSize, kSwatchSize, kSwatchCheck);
    }
    return image;
}

constexpr std::string_view kUncoloured = " Indices the palette has no colour for are checked grey.";

}  // namespace

std::vector<NamedPicture> RenderLump(std::span<const std::uint8_t> bytes, const LumpInfo& info,
                                     std::span<const Rgb8> colors) {
    const std::string rows = std::to_string(info.rows);
    std::vector<NamedPicture> pictures;
    switch (info.kind) {
        case LumpKind::kColormap:
            pictures.push_back({"colormap.png",
                                "the COLORMAP: rows 0 to 31 the light levels (0, the brightest, at the top), row 32 "
                                "the inverted grey map, row 33; one column per entry, 0 at the left." +
                                    std::string(kUncoloured),
                                LightRows(bytes, info.rows, colors)});
            break;
        case LumpKind::kLightTable:
            pictures.push_back({"light.png",
                                "the light table: its " + rows +
                                    " levels, one row each (0 at the top), one column per entry (0 at the left)." +
                                    std::string(kUncoloured),
                                LightRows(bytes, info.rows, colors)});
            break;
        case LumpKind::kTranmap:
            pictures.push_back({"tranmap.png",
                                "the TRANMAP: row behind (the colour on screen, top to bottom), column front (the "
                                "translucent colour, left to right), each cell the entry drawn." +
                                    std::string(kUncoloured),
                                PairCells(bytes, colors)});
            break;
        case LumpKind::kPlaypal:
            pictures.push_back({"playpal.png",
                                "the " + rows + " palettes of the PLAYPAL, " + std::to_string(kPlaypalsAcross) +
                                    " to a row, palette 0 at the top left; in each, entry 0 at the top left, 16 "
                                    "to a row.",
                                Playpal(bytes, info)});
            break;
        case LumpKind::kBuildPalette: {
            const std::vector<Rgb8> own = LumpColors(bytes, info).value_or(std::vector<Rgb8>(kPaletteSize));
            const std::span<const Rgb8> drawn = colors.empty() ? std::span<const Rgb8>(own) : colors;
            const std::size_t light = kPaletteDatHeaderSize;
            const std::size_t lightSize = static_cast<std::size_t>(info.rows) * kPaletteSize;
            pictures.push_back({"palette.png",
                                "the palette of the palette.dat (stored at 6 bits, shown expanded to 8), entry 0 at "
                                "the top left, 16 to a row.",
                                Swatches(own)});
            pictures.push_back({"light.png",
                                "the " + rows +
                                    " light levels, one row each (0 at the top), one column per entry (0 at the "
                                    "left)." + std::string(kUncoloured),
                                LightRows(bytes.subspan(light, lightSize), info.rows, drawn)});
            pictures.push_back({"translucency.png",
                                "the 50 % translucency table: row behind (top to bottom), column front (left to "
                                "right), each cell the entry drawn." + std::string(kUncoloured),
                                PairCells(bytes.subspan(light + lightSize, kPairTableSize), drawn)});
            break;
        }
    }
    return pictures;
}

}  // namespace paltab
