// Pictures of a lump, each cell a square of whole pixels in the colour of
// the entry it holds (an entry without a colour checked grey):
//
//   light.png, colormap.png  a row of 256 swatches of kLumpRowCell pixels per
//                            light row (a colormap's 34: 32 levels, grey, zero)
//   tranmap.png,             256 x 256 cells of kPairCellSize: row behind,
//   translucency.png         column front
//   playpal.png              each palette as 16 x 16 swatches of
//                            kPlaypalSwatch, kPlaypalsAcross to a row,
//                            kPlaneGap apart, palette 0 at the top left
//   palette.png              a palette.dat's palette as render draws a table
//                            file's: 16 x 16 swatches of kSwatchSize
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "paltab/lumps.hpp"
#include "render/render.hpp"

namespace paltab {

inline constexpr int kLumpRowCell = 4;  // 256 entries in 1024 pixels
inline constexpr int kPlaypalSwatch = 8;
inline constexpr int kPlaypalsAcross = 7;  // 14 palettes in two rows

// The pictures of `bytes`, a lump recognised as `info`, with captions for
// WritePictures. `colors` gives the palette indices their colours (an index
// past its end has none); a playpal is drawn in its own colours, and a
// palette.dat in its own when `colors` is empty. Expects the lump's whole
// size (RecogniseLump's result for these bytes).
std::vector<NamedPicture> RenderLump(std::span<const std::uint8_t> bytes, const LumpInfo& info,
                                     std::span<const Rgb8> colors);

}  // namespace paltab
