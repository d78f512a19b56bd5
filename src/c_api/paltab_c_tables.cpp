// The C interface (paltab.h), its tables: exact maps, light tables, the
// Doom colormap, blend tables, the generator's table file, and the
// fingerprint of a table's inputs.
#include <algorithm>
#include <memory>

#include "paltab/palette_formats.hpp"
#include "paltab/table_file.hpp"
#include "paltab_c.hpp"

namespace {

using namespace paltab::c_api;

// FNV-1a, 64 bits, over the bytes fed to it.
class Fnv1a64 {
public:
    void Byte(std::uint8_t byte) {
        hash_ = (hash_ ^ byte) * 0x100000001b3u;
    }
    void Flags(const paltab::ReservedEntries& flags) {
        for (std::size_t i = 0; i < flags.size(); ++i) {
            Byte(flags.test(i) ? 1 : 0);
        }
    }
    void Little16(int value) {
        Byte(static_cast<std::uint8_t>(value & 0xff));
        Byte(static_cast<std::uint8_t>((value >> 8) & 0xff));
    }
    std::uint64_t Value() const { return hash_; }

private:
    std::uint64_t hash_ = 0xcbf29ce484222325u;
};

}  // namespace

extern "C" {

paltab_status paltab_exact_map(const paltab_palette* palette, int bits, uint8_t* out, size_t size) {
    if (palette == nullptr || out == nullptr || !ValidMapBits(bits)) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    if (size < paltab::ExactColorMap::CellCount(bits)) {
        return PALTAB_ERROR_BUFFER_TOO_SMALL;
    }
    return Guarded([&] {
        const auto map = paltab::ExactColorMap::Build(palette->match, bits);
        return map ? CopyOut(map->Cells(), out) : PALTAB_ERROR_INVALID_ARGUMENT;
    });
}

paltab_status paltab_light_table(const paltab_palette* palette, int levels, paltab_rgb fog,
                                 const uint8_t* fullbright, uint8_t* out, size_t size) {
    if (palette == nullptr || out == nullptr || !ValidLight(levels)) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    if (size < static_cast<std::size_t>(levels) * paltab::kPaletteSize) {
        return PALTAB_ERROR_BUFFER_TOO_SMALL;
    }
    return Guarded([&] {
        paltab::LightSettings settings;
        settings.levels = levels;
        settings.fog = {fog.r, fog.g, fog.b};
        settings.fullbright = ToEntries(fullbright, paltab::kPaletteSize);
        settings.search = SearchOf(*palette);
        const auto table = paltab::MakeLightTable(palette->colors, settings);
        return table ? CopyOut(table->bytes, out) : PALTAB_ERROR_INVALID_ARGUMENT;
    });
}

paltab_status paltab_doom_colormap(const paltab_palette* palette, uint8_t* out, size_t size) {
    if (palette == nullptr || out == nullptr) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    if (size < paltab::kDoomColormapSize) {
        return PALTAB_ERROR_BUFFER_TOO_SMALL;
    }
    return Guarded([&] {
        paltab::LightSettings settings;
        settings.levels = paltab::kDoomLightLevels;
        settings.search = SearchOf(*palette);
        const auto table = paltab::MakeDoomColormap(palette->colors, settings);
        return table ? CopyOut(table->bytes, out) : PALTAB_ERROR_INVALID_ARGUMENT;
    });
}

paltab_status paltab_blend_table(const paltab_palette* palette, paltab_blend_mode mode, int alpha_percent,
                                 uint8_t* out, size_t size) {
    if (palette == nullptr || out == nullptr || !ValidBlend(RawValue(mode), alpha_percent)) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    if (size < paltab::kPairTableSize) {
        return PALTAB_ERROR_BUFFER_TOO_SMALL;
    }
    return Guarded([&] {
        paltab::TranslucencySettings settings;
        settings.mode = *ToBlendMode(RawValue(mode));
        settings.alphaPercent = RawValue(mode) == PALTAB_BLEND_ALPHA ? alpha_percent : 50;
        settings.search = SearchOf(*palette);
        const auto table = paltab::MakeTranslucencyTable(palette->colors, settings);
        if (!table) {
            return PALTAB_ERROR_INVALID_ARGUMENT;
        }
        // Both are indexed [behind * 256 + front], as engines index it.
        std::copy(table->bytes.begin(), table->bytes.end(), out);
        return PALTAB_OK;
    });
}

paltab_status paltab_color_table_file(const paltab_rgb* colors, int count, unsigned flags, uint8_t* out,
                                      size_t size, size_t* written) {
    if (colors == nullptr || count < 1 || count > kMaxCount || (flags & ~kKnownFlags) != 0 ||
        (out == nullptr && size > 0)) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    const bool extension = (flags & PALTAB_WITH_EXTENSION) != 0;
    const std::size_t needed = extension ? paltab::kExtendedFileSize : paltab::kPlainFileSize;
    if (written != nullptr) {
        *written = needed;
    }
    if (size < needed) {
        return PALTAB_ERROR_BUFFER_TOO_SMALL;
    }
    return Guarded([&] {
        const std::vector<Rgb8> cppColors = ToColors(colors, count);
        paltab::GenerateOptions options;
        options.weightedDistance = (flags & PALTAB_WEIGHTED_DISTANCE) != 0;
        options.writeExtension = extension;
        // The image is 230 KiB: on the heap, not the caller's stack.
        auto image = std::make_unique<paltab::ColorTableImage>();
        paltab::BuildColorTableImage(paltab::ToGeneratorPalette(cppColors), options, *image);
        return CopyOut(paltab::ImageBytes(*image, extension), out);
    });
}

paltab_status paltab_palette_fingerprint(const paltab_palette* palette, const paltab_table_settings* settings,
                                         uint64_t* out) {
    if (palette == nullptr || out == nullptr) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    const int kind = settings != nullptr ? RawValue(settings->kind) : PALTAB_TABLE_NONE;
    Fnv1a64 hash;
    hash.Little16(static_cast<int>(palette->colors.size()));
    for (std::size_t i = 0; i < paltab::kPaletteSize; ++i) {
        const Rgb8 color = i < palette->colors.size() ? palette->colors[i] : Rgb8{};
        hash.Byte(color.r);
        hash.Byte(color.g);
        hash.Byte(color.b);
    }
    hash.Byte(static_cast<std::uint8_t>(palette->metric));
    hash.Flags(palette->reserved);
    hash.Byte(static_cast<std::uint8_t>(kind));
    switch (kind) {
        case PALTAB_TABLE_NONE:
        case PALTAB_TABLE_DOOM_COLORMAP:
            break;
        case PALTAB_TABLE_EXACT_MAP:
            if (!ValidMapBits(settings->bits)) {
                return PALTAB_ERROR_INVALID_ARGUMENT;
            }
            hash.Byte(static_cast<std::uint8_t>(settings->bits));
            break;
        case PALTAB_TABLE_LIGHT:
            if (!ValidLight(settings->levels)) {
                return PALTAB_ERROR_INVALID_ARGUMENT;
            }
            hash.Little16(settings->levels);
            hash.Byte(settings->fog.r);
            hash.Byte(settings->fog.g);
            hash.Byte(settings->fog.b);
            hash.Flags(ToEntries(settings->fullbright, paltab::kPaletteSize));
            break;
        case PALTAB_TABLE_BLEND:
        {
            const int mode = RawValue(settings->blend_mode);
            if (!ValidBlend(mode, settings->alpha_percent)) {
                return PALTAB_ERROR_INVALID_ARGUMENT;
            }
            hash.Byte(static_cast<std::uint8_t>(mode));
            hash.Byte(static_cast<std::uint8_t>(mode == PALTAB_BLEND_ALPHA ? settings->alpha_percent : 0));
        }
            break;
        case PALTAB_TABLE_COLOR_TABLE_FILE:
            if ((settings->flags & ~kKnownFlags) != 0) {
                return PALTAB_ERROR_INVALID_ARGUMENT;
            }
            hash.Byte(static_cast<std::uint8_t>(settings->flags));
            break;
        default:
            return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    *out = hash.Value();
    return PALTAB_OK;
}

}  // extern "C"
