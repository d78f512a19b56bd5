// The C interface (paltab.h): argument checks, then one call into the C++
// library each; every exception ends here as a status.
#include "paltab/paltab.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "paltab/color_tables.hpp"
#include "paltab/dither.hpp"
#include "paltab/exact_map.hpp"
#include "paltab/light_tables.hpp"
#include "paltab/translucency_tables.hpp"
#include "paltab/palette_formats.hpp"
#include "paltab/remap.hpp"
#include "paltab/table_file.hpp"

// The opaque palette: what it was created from, and its prepared search.
struct paltab_palette {
    std::vector<paltab::Rgb8> colors;
    paltab::Metric metric;
    paltab::ReservedEntries reserved;  // none at or past colors.size()
    paltab::MatchPalette match;
};

namespace {

using paltab::Rgb8;

constexpr int kMaxCount = static_cast<int>(paltab::kPaletteSize);
constexpr unsigned kKnownFlags = PALTAB_WEIGHTED_DISTANCE | PALTAB_WITH_EXTENSION;

// The header's version is the project's (CMake passes the project's).
static_assert(PALTAB_VERSION_MAJOR == PALTAB_PROJECT_VERSION_MAJOR && PALTAB_VERSION_MINOR == PALTAB_PROJECT_VERSION_MINOR &&
              PALTAB_VERSION_PATCH == PALTAB_PROJECT_VERSION_PATCH);
static_assert(sizeof(paltab_rgb) == 3, "paltab_rgb is three bytes, as Rgb8");
static_assert(PALTAB_DOOM_COLORMAP_SIZE == paltab::kDoomColormapSize);
static_assert(PALTAB_BLEND_TABLE_SIZE == paltab::kPairTableSize);
static_assert(PALTAB_TABLE_FILE_SIZE == paltab::kPlainFileSize);
static_assert(PALTAB_TABLE_FILE_EXTENDED_SIZE == paltab::kExtendedFileSize);

// The value a C caller passed for an enum, read as the int it is: a C
// caller may pass any int, which C++ need not hold in the enum's range.
template <typename Enum>
int RawValue(const Enum& value) {
    static_assert(sizeof(Enum) == sizeof(int));
    int raw = 0;
    std::memcpy(&raw, &value, sizeof raw);
    return raw;
}

// Runs `body`, turning whatever it throws into a status.
template <typename Body>
paltab_status Guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return PALTAB_ERROR_OUT_OF_MEMORY;
    } catch (...) {
        return PALTAB_ERROR_INTERNAL;
    }
}

std::vector<Rgb8> ToColors(const paltab_rgb* colors, int count) {
    std::vector<Rgb8> out(static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = {colors[i].r, colors[i].g, colors[i].b};
    }
    return out;
}

// 256 caller flags (NULL: none) as entries below `count`.
paltab::ReservedEntries ToEntries(const std::uint8_t* flags, std::size_t count) {
    paltab::ReservedEntries entries;
    for (std::size_t i = 0; flags != nullptr && i < count; ++i) {
        entries.set(i, flags[i] != 0);
    }
    return entries;
}

std::optional<paltab::Metric> ToMetric(int metric) {
    switch (metric) {
        case PALTAB_METRIC_RGB:
            return paltab::Metric::kRgb;
        case PALTAB_METRIC_LINEAR:
            return paltab::Metric::kLinear;
        case PALTAB_METRIC_OKLAB:
            return paltab::Metric::kOklab;
    }
    return std::nullopt;
}

std::optional<paltab::BlendMode> ToBlendMode(int mode) {
    using paltab::BlendMode;
    switch (mode) {
        case PALTAB_BLEND_ALPHA:
            return BlendMode::kAlpha;
        case PALTAB_BLEND_ADD:
            return BlendMode::kAdd;
        case PALTAB_BLEND_SUBTRACT:
            return BlendMode::kSubtract;
        case PALTAB_BLEND_MULTIPLY:
            return BlendMode::kMultiply;
        case PALTAB_BLEND_SCREEN:
            return BlendMode::kScreen;
        case PALTAB_BLEND_MIN:
            return BlendMode::kMin;
        case PALTAB_BLEND_MAX:
            return BlendMode::kMax;
        case PALTAB_BLEND_AVERAGE:
            return BlendMode::kAverage;
    }
    return std::nullopt;
}

// The C values are the C++ enum's, in the same order; checked here so that
// a change to either shows.
constexpr std::array<std::pair<int, paltab::DitherMethod>, paltab::kDitherMethodCount> kDithers{{
    {PALTAB_DITHER_NONE, paltab::DitherMethod::kNone},
    {PALTAB_DITHER_ORDERED, paltab::DitherMethod::kOrdered},
    {PALTAB_DITHER_FLOYD_STEINBERG, paltab::DitherMethod::kFloydSteinberg},
    {PALTAB_DITHER_FALSE_FLOYD_STEINBERG, paltab::DitherMethod::kFalseFloydSteinberg},
    {PALTAB_DITHER_JARVIS, paltab::DitherMethod::kJarvis},
    {PALTAB_DITHER_STUCKI, paltab::DitherMethod::kStucki},
    {PALTAB_DITHER_BURKES, paltab::DitherMethod::kBurkes},
    {PALTAB_DITHER_SIERRA, paltab::DitherMethod::kSierra},
    {PALTAB_DITHER_SIERRA_2ROW, paltab::DitherMethod::kSierra2Row},
    {PALTAB_DITHER_SIERRA_LITE, paltab::DitherMethod::kSierraLite},
    {PALTAB_DITHER_ATKINSON, paltab::DitherMethod::kAtkinson},
    {PALTAB_DITHER_BAYER2, paltab::DitherMethod::kBayer2},
    {PALTAB_DITHER_BAYER4, paltab::DitherMethod::kBayer4},
    {PALTAB_DITHER_BAYER8, paltab::DitherMethod::kBayer8},
    {PALTAB_DITHER_BAYER16, paltab::DitherMethod::kBayer16},
    {PALTAB_DITHER_BLUE_NOISE, paltab::DitherMethod::kBlueNoise},
    {PALTAB_DITHER_YLILUOMA, paltab::DitherMethod::kYliluoma},
}};

std::optional<paltab::DitherMethod> ToDitherMethod(int dither) {
    for (const auto& [value, method] : kDithers) {
        if (value == dither) {
            return method;
        }
    }
    return std::nullopt;
}

std::optional<paltab::DitherSpace> ToDitherSpace(int space) {
    switch (space) {
        case PALTAB_DITHER_SPACE_SRGB:
            return paltab::DitherSpace::kSrgb;
        case PALTAB_DITHER_SPACE_LINEAR:
            return paltab::DitherSpace::kLinear;
        case PALTAB_DITHER_SPACE_OKLAB:
            return paltab::DitherSpace::kOklab;
    }
    return std::nullopt;
}

paltab::SearchSettings SearchOf(const paltab_palette& palette) {
    paltab::SearchSettings search;
    search.metric = palette.metric;
    search.reserved = palette.reserved;
    return search;
}

paltab_status CopyOut(std::span<const std::uint8_t> table, std::uint8_t* out) {
    std::memcpy(out, table.data(), table.size());
    return PALTAB_OK;
}

bool ValidLight(int levels) {
    return levels >= 1 && levels <= paltab::kMaxLightLevels;
}

bool ValidBlend(int mode, int alpha) {
    return ToBlendMode(mode) && (mode != PALTAB_BLEND_ALPHA || (alpha >= 0 && alpha <= 100));
}

bool ValidMapBits(int bits) {
    return bits >= paltab::ExactColorMap::kMinBits && bits <= paltab::ExactColorMap::kMaxBits;
}

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
    paltab::PaletteError error;
    const auto data = paltab::ReadPalette(bytes, detected.format, {}, warnings, error);
    if (!data || data->colors.empty() || data->colors.size() > paltab::kPaletteSize) {
        return PALTAB_ERROR_BAD_DATA;
    }
    return StoreRead(*data, colors, count);
}

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
        std::string error;
        auto match = paltab::MatchPalette::Create(cppColors, options, error);
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

paltab_status paltab_exact_map(const paltab_palette* palette, int bits, uint8_t* out, size_t size) {
    if (palette == nullptr || out == nullptr || !ValidMapBits(bits)) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    if (size < paltab::ExactColorMap::CellCount(bits)) {
        return PALTAB_ERROR_BUFFER_TOO_SMALL;
    }
    return Guarded([&] { return CopyOut(paltab::ExactColorMap::Build(palette->match, bits).Cells(), out); });
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
        std::string error;
        const auto table = paltab::MakeLightTable(palette->colors, settings, error);
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
        std::string error;
        const auto table = paltab::MakeDoomColormap(palette->colors, settings, error);
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
        std::string error;
        const auto table = paltab::MakeTranslucencyTable(palette->colors, settings, error);
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

namespace {

// paltab_remap_ex with its options read: checks the image's arguments, then
// dithers with the transparent index reserved.
paltab_status Remap(const paltab_palette* palette, const uint8_t* rgba, int width, int height, size_t stride,
                    const paltab::DitherOptions& dither, int transparent_index, uint8_t* indices,
                    paltab_dither_quality* quality) {
    if (palette == nullptr || rgba == nullptr || indices == nullptr || width < 1 || height < 1 ||
        transparent_index < -1 || transparent_index > kMaxCount - 1) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    constexpr std::size_t kMaxSize = std::numeric_limits<std::size_t>::max();
    const std::size_t w = static_cast<std::size_t>(width);
    const std::size_t h = static_cast<std::size_t>(height);
    if (w > kMaxSize / 4 / h) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    const std::size_t rowBytes = w * 4;
    if (stride == 0) {
        stride = rowBytes;
    }
    if (stride < rowBytes || (h - 1) > (kMaxSize - rowBytes) / stride) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    return Guarded([&] {
        // A transparent index is reserved too, so that no opaque pixel takes
        // it and turns into a hole.
        std::optional<paltab::MatchPalette> withTransparent;
        const paltab::MatchPalette* match = &palette->match;
        const bool reserveTransparent = transparent_index >= 0 &&
                                        static_cast<std::size_t>(transparent_index) < palette->colors.size() &&
                                        !palette->reserved.test(static_cast<std::size_t>(transparent_index));
        if (reserveTransparent) {
            paltab::MatchOptions options{palette->metric, palette->reserved};
            options.reserved.set(static_cast<std::size_t>(transparent_index));
            std::string error;
            withTransparent = paltab::MatchPalette::Create(palette->colors, options, error);
            if (!withTransparent) {
                return PALTAB_ERROR_INVALID_ARGUMENT;
            }
            match = &*withTransparent;
        }
        std::vector<std::uint8_t> packed;
        std::span<const std::uint8_t> pixels(rgba, w * h * 4);
        if (stride != rowBytes) {
            packed.resize(w * h * 4);
            for (std::size_t y = 0; y < h; ++y) {
                std::memcpy(packed.data() + y * rowBytes, rgba + y * stride, rowBytes);
            }
            pixels = packed;
        }
        std::optional<paltab::ExactColorMap> map;
        paltab::EntryFinder find = paltab::EntryFinder::FromSearch(*match);
        if (paltab::ExactMapPays(w * h, *match)) {
            map = paltab::ExactColorMap::Build(*match, paltab::ExactColorMap::kMaxBits);
            find = paltab::EntryFinder::FromMap(map->Cells(), paltab::ExactColorMap::kMaxBits);
        }
        std::optional<std::uint8_t> transparent;
        if (transparent_index >= 0) {
            transparent = static_cast<std::uint8_t>(transparent_index);
        }
        const std::vector<std::uint8_t> result =
            paltab::DitherPixels(width, height, pixels, palette->colors,
                                 {find, palette->metric == paltab::Metric::kRgb}, transparent, dither);
        if (result.size() != w * h) {
            return PALTAB_ERROR_INTERNAL;
        }
        if (quality != nullptr) {
            const auto figures =
                paltab::MeasureDitherQuality(width, height, pixels, palette->colors, result, transparent);
            if (!figures) {
                return PALTAB_ERROR_INTERNAL;
            }
            *quality = {figures->meanSquaredError, figures->blurredError};
        }
        return CopyOut(result, indices);
    });
}

}  // namespace

paltab_status paltab_remap(const paltab_palette* palette, const uint8_t* rgba, int width, int height,
                           size_t stride, paltab_dither dither, int transparent_index, uint8_t* indices) {
    paltab_remap_options options;
    paltab_remap_options_init(&options);
    options.dither = dither;
    options.transparent_index = transparent_index;
    return paltab_remap_ex(palette, rgba, width, height, stride, &options, indices, nullptr);
}

void paltab_remap_options_init(paltab_remap_options* options) {
    if (options == nullptr) {
        return;
    }
    *options = {};
    options->size = sizeof *options;
    options->dither = PALTAB_DITHER_NONE;
    options->transparent_index = -1;
    options->serpentine = 0;
    options->strength = paltab::kMaxStrength;
    options->spread = -1;
    options->space = PALTAB_DITHER_SPACE_SRGB;
}

paltab_status paltab_remap_ex(const paltab_palette* palette, const uint8_t* rgba, int width, int height,
                              size_t stride, const paltab_remap_options* options, uint8_t* indices,
                              paltab_dither_quality* quality) {
    // No version's settings take a kibibyte: a size past that is not one.
    constexpr std::size_t kMaxOptionsSize = 1024;
    if (options == nullptr || options->size < sizeof *options || options->size > kMaxOptionsSize) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    // A later caller's fields past ours must hold their defaults, zero.
    const auto* bytes = reinterpret_cast<const unsigned char*>(options);
    if (std::any_of(bytes + sizeof *options, bytes + options->size, [](unsigned char b) { return b != 0; })) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    const auto method = ToDitherMethod(RawValue(options->dither));
    const auto space = ToDitherSpace(RawValue(options->space));
    if (!method || !space || options->strength < 0 || options->strength > paltab::kMaxStrength ||
        !std::isfinite(options->spread)) {
        return PALTAB_ERROR_INVALID_ARGUMENT;
    }
    paltab::DitherOptions dither;
    dither.method = *method;
    dither.space = *space;
    dither.serpentine = options->serpentine != 0;
    dither.strength = options->strength;
    if (options->spread >= 0) {
        dither.spread = options->spread;
    }
    return Remap(palette, rgba, width, height, stride, dither, options->transparent_index, indices, quality);
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
        std::vector<std::uint8_t> bytes;
        std::string error;
        if (!paltab::ReadPaletteFileBytes(path, bytes, error)) {
            return PALTAB_ERROR_IO;
        }
        return ReadBytes(bytes, path, colors, count);
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
