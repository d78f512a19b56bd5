// `paltool render`: pictures of the tables of a file, as PNG through libpng.
//
// Every image draws each table cell as a square of whole pixels, the same
// size across and down, in the 8-bit colour of the palette entry the cell
// holds. An entry stored as unused has no colour; its cells show a grey
// checkerboard instead.
//
//   palette.png  16 x 16 swatches of kSwatchSize: entry i at column i % 16,
//                row i / 16.
//   map.png      the 32 red planes of the map, kPlanesAcross to a row with
//                kPlaneGap pixels between them; plane r5 at column
//                r5 % kPlanesAcross, row r5 / kPlanesAcross; in a plane,
//                green down and blue across, kMapCellSize per cell.
//   shade.png,   256 x 256 cells of kPairCellSize: row = colour (or operand
//   add.png,     a), column = level (or operand b). Only with the extension.
//   mul.png
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paltab/result.hpp"
#include "paltab/table_reader.hpp"

namespace paltab {

inline constexpr int kSwatchSize = 16;
inline constexpr int kMapCellSize = 4;
inline constexpr int kPlanesAcross = 8;
inline constexpr int kPlaneGap = 4;
inline constexpr int kPairCellSize = 2;

// The two greys of the unused-entry checkerboard, and the background between
// map planes.
inline constexpr Rgb8 kCheckerLight{0xcc, 0xcc, 0xcc};
inline constexpr Rgb8 kCheckerDark{0x88, 0x88, 0x88};
inline constexpr Rgb8 kBackground{0x20, 0x20, 0x20};

// Eight bits per component, rows top to bottom, no padding.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    RgbImage(int w, int h, Rgb8 fill);
    Rgb8 At(int x, int y) const;
    void Set(int x, int y, Rgb8 color);
};

RgbImage RenderPalette(const ColorTableView& view);
RgbImage RenderMap(const ColorTableView& view);
// kShade, kAdditive or kMultiplicative; nothing without the extension.
std::optional<RgbImage> RenderPairTable(const ColorTableView& view, TableSection table);

// The PNG file of `image`. Fails with kOutput and libpng's reason.
Result<std::vector<std::uint8_t>> EncodePng(const RgbImage& image);

// A picture to write: its file name and what the index page says of it.
struct NamedPicture {
    std::string file;
    std::string caption;
    RgbImage image;
};

// Writes `pictures` as PNG files and an index.html that shows them with
// their captions under `heading` into `directory`, creating it when it does
// not exist (its parent must). All or none: a failure leaves the directory as
// it was (and removes it when it was made here). Fails with an Error that
// names the file ("cannot write 'out/map.png': ...").
Status WritePictures(const std::vector<NamedPicture>& pictures, std::string_view heading, const std::string& directory,
                     std::vector<std::string>& written);

// Writes every image and an index.html that shows them with captions into
// `directory`, creating it when it does not exist (its parent must).
// `tablesName` is shown in the page. As WritePictures.
Status WritePreviews(const ColorTableView& view, std::string_view tablesName, const std::string& directory,
                     std::vector<std::string>& written);

}  // namespace paltab
