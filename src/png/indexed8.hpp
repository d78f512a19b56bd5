// 8-bit indexed PNG files, written for speed: remapped images and palette
// swatches.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "paltab/types.hpp"

namespace paltab {

// The PNG file of an image of `width` x `height` palette indices (rows top to
// bottom), always 8 bits per pixel so that every byte of the image data is the
// index itself, whatever the palette's size. `palette` (1..256 colours) is the PLTE in order;
// `transparentIndex`, when given, is the one fully transparent entry (tRNS).
// Rows are stored unfiltered and compressed at zlib's fastest level: indexed
// rows gain little from filters, and a 4096 x 4096 image is written in a
// small part of a second. Fails (nothing, `error` set) on sizes that do not
// agree, an index outside the palette, a libpng error or too little memory.
std::optional<std::vector<std::uint8_t>> EncodeIndexedPng(int width, int height,
                                                          std::span<const std::uint8_t> indices,
                                                          std::span<const Rgb8> palette,
                                                          std::optional<int> transparentIndex, std::string& error);

}  // namespace paltab
