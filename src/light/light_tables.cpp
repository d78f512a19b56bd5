// Light and fog tables: each entry's colour moved towards the fog colour
// level by level, every cell the exact nearest entry to its target.
#include "paltab/light_tables.hpp"

#include "light/light_rows.hpp"
#include "light/table_targets.hpp"

namespace paltab {

namespace light_rows {

using namespace table_targets;

void FillLightRows(std::span<const Rgb8> colors, const LightSettings& settings, const TableSearch& search,
                   std::span<std::uint8_t> bytes, FitAccumulator& stats) {
    const std::int64_t levels = settings.levels;
    const Numerators fog = Components(settings.fog);
    const bool linearMix = settings.search.linearMix;
    const MetricPoint fogLinear = linearMix ? LinearOf(settings.fog) : MetricPoint{};
    // By rgb, an entry's levels are searched together.
    const bool together = search.GetMetric() == Metric::kRgb && !linearMix;
    std::vector<Numerators> targets(together ? static_cast<std::size_t>(levels) : 0);
    std::vector<CandidateGrid::FractionMatch> matches(targets.size());
    for (std::size_t c = 0; c < kPaletteSize; ++c) {
        const bool keep = c >= colors.size() || settings.fullbright.test(c);
        const Numerators color = keep ? Numerators{} : Components(colors[c]);
        const MetricPoint linear = keep || !linearMix ? MetricPoint{} : LinearOf(colors[c]);
        if (together && !keep) {
            for (std::size_t i = 0; i < targets.size(); ++i) {
                for (std::size_t k = 0; k < 3; ++k) {
                    targets[i][k] = color[k] * levels + (fog[k] - color[k]) * static_cast<std::int64_t>(i);
                }
            }
            search.NearestFractions(targets, levels, matches);
            for (std::size_t i = 0; i < matches.size(); ++i) {
                bytes[i * kPaletteSize + c] = matches[i].index;
                stats.Add(std::sqrt(static_cast<double>(matches[i].squared)) / static_cast<double>(levels));
            }
            continue;
        }
        for (std::int64_t i = 0; i < levels; ++i) {
            std::uint8_t& cell = bytes[static_cast<std::size_t>(i) * kPaletteSize + c];
            if (keep) {
                cell = static_cast<std::uint8_t>(c);
                continue;
            }
            MatchPalette::Found found;
            if (settings.search.linearMix) {
                const double t = static_cast<double>(i) / static_cast<double>(levels);
                MetricPoint mixed;
                for (std::size_t k = 0; k < 3; ++k) {
                    mixed[k] = linear[k] + (fogLinear[k] - linear[k]) * t;
                }
                found = search.NearestTo(MetricFromLinear(search.GetMetric(), mixed));
            } else {
                Numerators n;
                for (std::size_t k = 0; k < 3; ++k) {
                    n[k] = color[k] * levels + (fog[k] - color[k]) * i;
                }
                found = search.NearestToFraction(n, levels);
            }
            cell = found.index;
            stats.Add(found.distance);
        }
    }
}

Status CheckLight(std::span<const Rgb8> colors, const LightSettings& settings) {
    if (Status checked = CheckColors(colors); !checked) {
        return checked;
    }
    if (settings.levels < 1 || settings.levels > kMaxLightLevels) {
        return Error{"",
                     "the level count must be 1 to " + std::to_string(kMaxLightLevels) + ", not " +
                         std::to_string(settings.levels),
                     ErrorKind::kBadSettings};
    }
    return {};
}

}  // namespace light_rows

using light_rows::CheckLight;
using light_rows::FillLightRows;
using table_targets::SearchOf;
using table_targets::TableSearch;

Result<LightTable> MakeLightTable(std::span<const Rgb8> colors, const LightSettings& settings) {
    if (Status checked = CheckLight(colors, settings); !checked) {
        return std::move(checked).error();
    }
    const std::size_t cells = static_cast<std::size_t>(settings.levels) * kPaletteSize;
    const Result<TableSearch> made = SearchOf(colors, settings.search, settings.fullbright, cells);
    if (!made) {
        return made.error();
    }
    const TableSearch& search = *made;
    LightTable table;
    table.levels = settings.levels;
    table.bytes.resize(static_cast<std::size_t>(settings.levels) * kPaletteSize);
    FitAccumulator stats;
    FillLightRows(colors, settings, search, table.bytes, stats);
    table.stats = stats.Stats();
    return table;
}

}  // namespace paltab
