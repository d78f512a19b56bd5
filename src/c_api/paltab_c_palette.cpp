// The C interface (paltab.h), its palettes: the version, the status texts,
// creating and searching a palette, and reading palette files. Each
// function checks its arguments, then makes one call into the C++ library;
// every exception ends here as a status.
#include <string>

#include "paltab/palette_formats.hpp"
#include "paltab_c.hpp"

namespace {

using namespace paltab::c_api;

// The header's version is the project's (CMake passes the project's).
static_assert(PALTAB_VERSION_MAJOR == PALTAB_PROJECT_VERSION_MAJOR && PALTAB_VERSION_MINOR == PALTAB_PROJECT_VERSION_MINOR &&
              PALTAB_VERSION_PATCH == PALTAB_PROJECT_VERSION_PATCH);
static_assert(sizeof(paltab_rgb) == 3, "paltab_rgb is three bytes, as Rgb8");
static_assert(PALTAB_DOOM_COLORMAP_SIZE == paltab::kDoomColormapSize);
static_assert(PALTAB_BLEND_TABLE_SIZE == paltab::kPairTableSize);
static_assert(PALTAB_TABLE_FILE_SIZE == paltab::kPlainFileSize);
static_assert(PALTAB_TABLE_FILE_EXTENDED_SIZE == paltab::kExtendedFileSize);

paltab_status StoreRead(const paltab::PaletteData& data, paltab_rgb* colors, int* count) {
    for (std::size_t i = 0; i < data.colors.size(); ++i) {
        colors[i] = {data.colors[i].r, data.colors[i].g, data.colors[i].b};
    }
    *count = static_cast<int>(data.colors.size());
    return PALTAB_OK;
}

paltab_status ReadBytes(std::span<const std::uint8_t> bytes, const char* name, paltab_rgb* colors, int* count) {
    const paltab::DetectedFormat detected = paltab::DetectPaletteFormat(bytes, name != nullptr ? name : "");
    std::vector<std::string> warnings;
    const auto data = paltab::ReadPalette(bytes, detected.format, {}, warnings);
    if (!data || data->colors.empty() || data->colors.size() > paltab::kPaletteSize) {
        return PALTAB_ERROR_BAD_DATA;
    }
    return StoreRead(*data, colors, count);
}

}  // namespace

extern "C" {

#define PALTAB_STRINGIFY(x) #x
#define PALTAB_VERSION_STRING(major, minor, patch) \
    PALTAB_STRINGIFY(major) "." PALTAB_STRINGIFY(minor) "." PALTAB_STRINGIFY(patch)

const char* paltab_version(void) {
    return PALTAB_VERSION_STRING(PALTAB_VERSION_MAJOR, PALTAB_VERSION_MINOR, PALTAB_VERSION_PATCH);
}

const char* paltab_status_text(paltab_status status) {
    switch (RawValue(status)) {
        case PALTAB_OK:
            return "success";
        case PALTAB_ERROR_INVALID_ARGUMENT:
            return "invalid argument";
        case PALTAB_ERROR_BUFFER_TOO_SMALL:
            return "output buffer too small";
        case PALTAB_ERROR_OUT_OF_MEMORY:
            return "out of memory";
        case PALTAB_ERROR_BAD_DATA:
            return "not a palette in any known format";
        case PALTAB_ERROR_IO:
            return "cannot read the file";
        case PALTAB_ERROR_INTERNAL:
            return "internal error";
    }
    return "unknown status";
}

paltab_status paltab_palette_create(const paltab_rgb* colors, int count, paltab_metric metric,
                                    const uint8_t* reserved, paltab_palette** out) {
    if (out != nullptr) {
        *out = nullptr;
    }
    const auto cppMetric = ToMetric(RawValue(metric));
    if (colors == nullptr || out == nullptr || count < 1 || count > kMaxCount || !cppMetric) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    return Guarded([&] {
        std::vector<Rgb8> cppColors = ToColors(colors, count);
        paltab::MatchOptions options;
        options.metric = *cppMetric;
        options.reserved = ToEntries(reserved, cppColors.size());
        auto match = paltab::MatchPalette::Create(cppColors, options);
        if (!match) {
            return PALTAB_ERROR_INVALID_ARGUMENT;
        }
        *out = new paltab_palette{std::move(cppColors), options.metric, options.reserved, std::move(*match)};
        return PALTAB_OK;
    });
}

void paltab_palette_destroy(paltab_palette* palette) {
    delete palette;
}

int paltab_nearest(const paltab_palette* palette, paltab_rgb color) {
    return palette == nullptr ? -1 : palette->match.NearestEntry({color.r, color.g, color.b});
}

paltab_status paltab_read_palette(const void* bytes, size_t size, const char* name, paltab_rgb colors[256],
                                  int* count) {
    if (count != nullptr) {
        *count = 0;
    }
    if (colors == nullptr || count == nullptr || (bytes == nullptr && size > 0)) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    return Guarded([&] {
        const std::span<const std::uint8_t> data(static_cast<const std::uint8_t*>(bytes), size);
        return ReadBytes(data, name, colors, count);
    });
}

paltab_status paltab_read_palette_file(const char* path, paltab_rgb colors[256], int* count) {
    if (count != nullptr) {
        *count = 0;
    }
    if (path == nullptr || colors == nullptr || count == nullptr) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    return Guarded([&] {
        const auto bytes = paltab::ReadPaletteFileBytes(path);
        return bytes ? ReadBytes(*bytes, path, colors, count) : PALTAB_ERROR_IO;
    });
}

}  // extern "C"
