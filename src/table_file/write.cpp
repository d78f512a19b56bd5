// Serialisation of the colour table file; the layout lives in table_file.hpp.
#include "paltab/table_file.hpp"


namespace paltab {

std::array<std::uint8_t, kPaletteSectionSize> EncodePaletteSection(const Palette& palette) {
    std::array<std::uint8_t, kPaletteSectionSize> section{};
    for (std::size_t i = 0; i < kPaletteSize; ++i) {
        const PaletteEntry e = palette[i];
        const bool unused = IsUnused(e);
        section[3 * i + 0] = unused ? kUnusedPaletteByte : SixBit(e.r);
        section[3 * i + 1] = unused ? kUnusedPaletteByte : SixBit(e.g);
        section[3 * i + 2] = unused ? kUnusedPaletteByte : SixBit(e.b);
    }
    return section;
}

std::vector<std::uint8_t> SerializeColorTableFile(const Palette& palette, const InverseColorMap& map,
                                                  const ExtensionTables* extension) {
    std::vector<std::uint8_t> bytes;
    bytes.reserve(extension != nullptr ? kExtendedFileSize : kPlainFileSize);
    const auto section = EncodePaletteSection(palette);
    bytes.insert(bytes.end(), section.begin(), section.end());
    bytes.insert(bytes.end(), map.begin(), map.end());
    if (extension != nullptr) {
        bytes.insert(bytes.end(), kExtensionTag.begin(), kExtensionTag.end());
        bytes.insert(bytes.end(), extension->shade.begin(), extension->shade.end());
        bytes.insert(bytes.end(), extension->additive.begin(), extension->additive.end());
        bytes.insert(bytes.end(), extension->multiplicative.begin(), extension->multiplicative.end());
    }
    return bytes;
}

}  // namespace paltab
