// Properties every table file and every palette read must have, whatever the
// input: shared by the fuzz targets and by the tests that replay their inputs.
// Each check returns an empty string when all holds, else what broke.
#pragma once

#include <cstdint>
#include <cstdio>
#include <span>
#include <sstream>
#include <string>

#include "paltab/color_tables.hpp"
#include "paltab/palette_text.hpp"
#include "paltab/table_file.hpp"

namespace paltab {

// The file generated for `palette` with `options`: its size, its palette
// section, its tag, map bytes that name entries the map uses, zero shade rows
// for unused entries, each used colour's own level in its shade row, and
// blend results that skip an unused operand.
inline std::string CheckTableFile(const Palette& palette, const GenerateOptions& options,
                                  std::span<const std::uint8_t> file) {
    std::ostringstream problem;
    const std::size_t expectedSize = options.writeExtension ? kExtendedFileSize : kPlainFileSize;
    if (file.size() != expectedSize) {
        problem << "size " << file.size() << ", expected " << expectedSize;
        return problem.str();
    }
    for (std::size_t i = 0; i < kPaletteSize; ++i) {
        const PaletteEntry e = palette[i];
        const int components[3] = {e.r, e.g, e.b};
        for (std::size_t c = 0; c < 3; ++c) {
            const int expected = IsUnused(e) ? 255 : (components[c] & 0xFF) >> 2;
            if (file[kPaletteSectionOffset + 3 * i + c] != expected) {
                problem << "palette byte " << 3 * i + c << " is " << int{file[3 * i + c]} << ", expected " << expected;
                return problem.str();
            }
        }
    }

    bool anyInMap = false;
    for (const PaletteEntry& e : palette) {
        anyInMap = anyInMap || !IsSkippedByMap(e);
    }
    const auto map = file.subspan(kMapOffset, kMapSize);
    for (std::size_t cell = 0; cell < kMapSize; ++cell) {
        const std::uint8_t index = map[cell];
        if (anyInMap ? IsSkippedByMap(palette[index]) : index != 0) {
            problem << "map cell " << cell << " names entry " << int{index}
                    << (anyInMap ? ", which the map skips" : " though no entry is used");
            return problem.str();
        }
    }
    if (!options.writeExtension) {
        return {};
    }

    if (std::string(file.begin() + kTagOffset, file.begin() + kTagOffset + kTagSize) != kExtensionTag) {
        return "no CWEN tag";
    }
    const auto shade = file.subspan(kShadeOffset, kShadeTableSize);
    const auto additive = file.subspan(kAdditiveOffset, kPairTableSize);
    const auto multiplicative = file.subspan(kMultiplicativeOffset, kPairTableSize);
    for (int color = 0; color < static_cast<int>(kPaletteSize); ++color) {
        const PaletteEntry e = palette[static_cast<std::size_t>(color)];
        for (int level = 0; level < static_cast<int>(kShadeLevels); ++level) {
            const std::uint8_t value = shade[PairIndex(color, level)];
            if (IsUnused(e) ? value != 0 : anyInMap && IsSkippedByMap(palette[value])) {
                problem << "shade(" << color << ", " << level << ") is " << int{value};
                return problem.str();
            }
        }
        const std::size_t ownCell = CellIndex((e.r & 0xFF) >> 3, (e.g & 0xFF) >> 3, (e.b & 0xFF) >> 3);
        if (!IsUnused(e) && shade[PairIndex(color, 128)] != map[ownCell]) {
            problem << "shade(" << color << ", 128) is not the map's index for the colour's own cell";
            return problem.str();
        }
    }
    for (int a = 0; a < static_cast<int>(kPaletteSize); ++a) {
        for (int b = 0; b < static_cast<int>(kPaletteSize); ++b) {
            const bool aUnused = IsUnused(palette[static_cast<std::size_t>(a)]);
            const bool bUnused = IsUnused(palette[static_cast<std::size_t>(b)]);
            if (!aUnused && !bUnused) {
                continue;
            }
            // With both operands unused the row index stands.
            const int expected = bUnused ? a : b;
            if (additive[PairIndex(a, b)] != expected || multiplicative[PairIndex(a, b)] != expected) {
                problem << "blend(" << a << ", " << b << ") with an unused operand is "
                        << int{additive[PairIndex(a, b)]} << " / " << int{multiplicative[PairIndex(a, b)]}
                        << ", expected " << expected;
                return problem.str();
            }
        }
    }
    return {};
}

// Reads `text` from memory and through a stream over the same bytes; both
// must give the same palette, and entries past the colour lines stay unused.
inline std::string CheckPaletteReaders(std::span<const std::uint8_t> text) {
    const PaletteReadResult fromMemory = ReadPaletteText(text);
    std::ostringstream problem;
    if (fromMemory.readFailed || fromMemory.colorLines < 0 || fromMemory.colorLines > 256) {
        problem << "memory read: failed " << fromMemory.readFailed << ", " << fromMemory.colorLines << " lines";
        return problem.str();
    }
    for (std::size_t i = static_cast<std::size_t>(fromMemory.colorLines); i < kPaletteSize; ++i) {
        if (fromMemory.palette[i] != kUnusedEntry) {
            problem << "entry " << i << " past the " << fromMemory.colorLines << " colour lines is set";
            return problem.str();
        }
    }
    if (text.empty()) {
        // fmemopen refuses an empty buffer; an empty file is covered elsewhere.
        return fromMemory.colorLines == 0 ? std::string() : "an empty text has colour lines";
    }
    std::FILE* stream = fmemopen(const_cast<std::uint8_t*>(text.data()), text.size(), "rb");
    if (stream == nullptr) {
        return "fmemopen failed";
    }
    const PaletteReadResult fromStream = ReadPaletteText(stream);
    std::fclose(stream);
    if (fromStream.readFailed || fromStream.colorLines != fromMemory.colorLines ||
        fromStream.palette != fromMemory.palette) {
        problem << "stream read differs: failed " << fromStream.readFailed << ", " << fromStream.colorLines
                << " lines against " << fromMemory.colorLines;
        return problem.str();
    }
    return {};
}

}  // namespace paltab
