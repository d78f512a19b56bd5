// The colour table file: its layout, described once, and its serialisation.
//
//   offset   size   section
//        0    768   palette: 256 x (r, g, b), each (low 8 bits) >> 2, 0..63;
//                   an entry whose red is -1 is written 255 255 255
//      768  32768   inverse colour map, one index per cell 0 rrrrr ggggg bbbbb
//   ------------------------------ end of a plain file (33536 bytes)
//    33536      4   tag "CWEN"
//    33540  65536   shade table, byte at colour * 256 + level
//    99076  65536   additive blend table, byte at a * 256 + b
//   164612  65536   multiplicative blend table, byte at a * 256 + b
//   ------------------------------ end of an extended file (230148 bytes)
//
// No header, length, version or checksum: stored files and the engines that
// load them depend on exactly these bytes. Every table is bytes, so byte
// order does not arise.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "paltab/types.hpp"

namespace paltab {

inline constexpr std::size_t kPaletteSectionOffset = 0;
inline constexpr std::size_t kPaletteSectionSize = kPaletteSize * 3;
inline constexpr std::size_t kMapOffset = kPaletteSectionOffset + kPaletteSectionSize;
inline constexpr std::size_t kMapSize = kCellCount;
inline constexpr std::size_t kPlainFileSize = kMapOffset + kMapSize;

inline constexpr std::string_view kExtensionTag = "CWEN";
inline constexpr std::size_t kTagOffset = kPlainFileSize;
inline constexpr std::size_t kTagSize = 4;
inline constexpr std::size_t kShadeOffset = kTagOffset + kTagSize;
inline constexpr std::size_t kAdditiveOffset = kShadeOffset + kShadeTableSize;
inline constexpr std::size_t kMultiplicativeOffset = kAdditiveOffset + kPairTableSize;
inline constexpr std::size_t kExtendedFileSize = kMultiplicativeOffset + kPairTableSize;

// The byte written for each component of an unused entry; a used entry's
// bytes are at most 63, so the two cannot be confused.
inline constexpr std::uint8_t kUnusedPaletteByte = 255;

static_assert(kExtensionTag.size() == kTagSize);
static_assert(kPlainFileSize == 33536);
static_assert(kShadeOffset == 33540 && kAdditiveOffset == 99076 && kMultiplicativeOffset == 164612);
static_assert(kExtendedFileSize == 230148);

// The three tables that follow the tag. Value-initialise (`{}`) for zeros;
// plain default initialisation leaves them for the builders to fill.
struct ExtensionTables {
    ShadeTable shade;
    AdditiveBlendTable additive;
    MultiplicativeBlendTable multiplicative;
};

// The file as one object, its members at the file's offsets, so that the
// builders fill its tables in place and it is written as it stands.
struct ColorTableImage {
    std::array<std::uint8_t, kPaletteSectionSize> palette;
    InverseColorMap map;
    std::array<char, kTagSize> tag;
    ExtensionTables extension;
};

static_assert(offsetof(ColorTableImage, map) == kMapOffset && offsetof(ColorTableImage, tag) == kTagOffset);
static_assert(offsetof(ColorTableImage, extension) + offsetof(ExtensionTables, shade) == kShadeOffset);
static_assert(offsetof(ColorTableImage, extension) + offsetof(ExtensionTables, additive) == kAdditiveOffset);
static_assert(offsetof(ColorTableImage, extension) + offsetof(ExtensionTables, multiplicative) ==
              kMultiplicativeOffset);
static_assert(sizeof(ColorTableImage) == kExtendedFileSize);

// The file's bytes in an image: kPlainFileSize of them, or kExtendedFileSize
// with the extension.
inline std::span<const std::uint8_t> ImageBytes(const ColorTableImage& image, bool withExtension) {
    return {reinterpret_cast<const std::uint8_t*>(&image), withExtension ? kExtendedFileSize : kPlainFileSize};
}

// The palette section: three bytes per entry, 6 bits per used component.
std::array<std::uint8_t, kPaletteSectionSize> EncodePaletteSection(const Palette& palette);

// The whole file, kPlainFileSize bytes, or kExtendedFileSize when extension
// tables are given.
std::vector<std::uint8_t> SerializeColorTableFile(const Palette& palette, const InverseColorMap& map,
                                                  const ExtensionTables* extension);

}  // namespace paltab
