// The engine lumps: a Doom COLORMAP and a Build engine palette.dat, built
// from the light and translucency tables.
#include "paltab/lumps.hpp"

#include <cstdint>

#include "light/light_rows.hpp"
#include "light/table_targets.hpp"

namespace paltab {
namespace {

using namespace table_targets;

// The Rec. 709 luma weights in ten-thousandths; they add up to 10000, so
// 255 - Y lies in 0..255.
constexpr std::int64_t kLumaScale = 10000;
constexpr std::array<std::int64_t, 3> kLumaWeights{2126, 7152, 722};

}  // namespace

using light_rows::CheckLight;
using light_rows::FillLightRows;

Result<LightTable> MakeDoomColormap(std::span<const Rgb8> colors, const LightSettings& settings) {
    if (Status checked = CheckLight(colors, settings); !checked) {
        return std::move(checked).error();
    }
    if (settings.levels != kDoomLightLevels) {
        return Error{"",
                     "a Doom colormap has " + std::to_string(kDoomLightLevels) + " levels, not " +
                         std::to_string(settings.levels),
                     ErrorKind::kBadSettings};
    }
    const Result<TableSearch> made = SearchOf(colors, settings.search, settings.fullbright, kDoomColormapSize);
    if (!made) {
        return made.error();
    }
    const TableSearch& search = *made;
    LightTable table;
    table.levels = kDoomColormapRows;
    table.bytes.assign(kDoomColormapSize, 0);
    FitAccumulator stats;
    const std::span<std::uint8_t> bytes(table.bytes);
    FillLightRows(colors, settings, search, bytes.first(kDoomLightLevels * kPaletteSize), stats);

    const std::span<std::uint8_t> grey = bytes.subspan(kDoomLightLevels * kPaletteSize, kPaletteSize);
    for (std::size_t c = 0; c < kPaletteSize; ++c) {
        if (c >= colors.size() || settings.fullbright.test(c)) {
            grey[c] = static_cast<std::uint8_t>(c);
            continue;
        }
        const Numerators color = Components(colors[c]);
        const std::int64_t y = kLumaWeights[0] * color[0] + kLumaWeights[1] * color[1] + kLumaWeights[2] * color[2];
        const std::int64_t n = kFull * kLumaScale - y;
        const MatchPalette::Found found = search.NearestToFraction({n, n, n}, kLumaScale);
        grey[c] = found.index;
        stats.Add(found.distance);
    }
    table.stats = stats.Stats();
    return table;
}

Result<PaletteDat> MakePaletteDat(std::span<const Rgb8> colors, const LightSettings& settings) {
    const auto light = MakeLightTable(colors, settings);
    if (!light) {
        return light.error();
    }
    TranslucencySettings blend{.mode = BlendMode::kAlpha, .alphaPercent = kPercent / 2, .search = settings.search};
    blend.search.reserved |= settings.fullbright;
    const auto translucency = MakeTranslucencyTable(colors, blend);
    if (!translucency) {
        return translucency.error();
    }
    PaletteDat file;
    file.bytes.reserve(PaletteDatSize(settings.levels));
    for (std::size_t i = 0; i < kPaletteSize; ++i) {
        const Rgb8 c = i < colors.size() ? colors[i] : Rgb8{};
        for (const std::uint8_t v : {c.r, c.g, c.b}) {
            file.bytes.push_back(static_cast<std::uint8_t>(v >> 2));
        }
    }
    const auto levels = static_cast<std::uint16_t>(settings.levels);
    file.bytes.push_back(static_cast<std::uint8_t>(levels & 0xFF));
    file.bytes.push_back(static_cast<std::uint8_t>(levels >> 8));
    file.bytes.insert(file.bytes.end(), light->bytes.begin(), light->bytes.end());
    file.bytes.insert(file.bytes.end(), translucency->bytes.begin(), translucency->bytes.end());
    FitAccumulator stats;
    stats.Add(light->stats);
    stats.Add(translucency->stats);
    file.stats = stats.Stats();
    return file;
}

}  // namespace paltab
