// Translucency tables: for every pair of entries the exact nearest entry to
// their blend, by mode, exact in integers for the rgb metric.
#include "paltab/translucency_tables.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

#include "common/name_table.hpp"
#include "light/table_targets.hpp"

namespace paltab {
namespace {

using namespace table_targets;

// One component of a blend of `a` (front) over `b` (behind) with exact sRGB
// targets: the numerator over `denominator` (BlendDenominator).
std::int64_t BlendNumerator(BlendMode mode, int percent, std::int64_t a, std::int64_t b) {
    switch (mode) {
        case BlendMode::kAlpha:
        case BlendMode::kAverage:
            return a * percent + b * (kPercent - percent);
        case BlendMode::kAdd:
            return std::min(a + b, kFull);
        case BlendMode::kSubtract:
            return std::max(b - a, std::int64_t{0});
        case BlendMode::kMultiply:
            return a * b;
        case BlendMode::kScreen:
            return kFull * kFull - (kFull - a) * (kFull - b);
        case BlendMode::kMin:
            return std::min(a, b);
        case BlendMode::kMax:
            return std::max(a, b);
    }
    return 0;
}

std::int64_t BlendDenominator(BlendMode mode) {
    switch (mode) {
        case BlendMode::kAlpha:
        case BlendMode::kAverage:
            return kPercent;
        case BlendMode::kMultiply:
        case BlendMode::kScreen:
            return kFull;
        default:
            return 1;
    }
}

// The same on linear light 0..1.
double BlendLinear(BlendMode mode, int percent, double a, double b) {
    switch (mode) {
        case BlendMode::kAlpha:
        case BlendMode::kAverage: {
            const double alpha = static_cast<double>(percent) / kPercent;
            return a * alpha + b * (1.0 - alpha);
        }
        case BlendMode::kAdd:
            return std::min(a + b, 1.0);
        case BlendMode::kSubtract:
            return std::max(b - a, 0.0);
        case BlendMode::kMultiply:
            return a * b;
        case BlendMode::kScreen:
            return 1.0 - (1.0 - a) * (1.0 - b);
        case BlendMode::kMin:
            return std::min(a, b);
        case BlendMode::kMax:
            return std::max(a, b);
    }
    return 0.0;
}

constexpr std::array kBlendModeNames{
    NamedValue<BlendMode>{BlendMode::kAlpha, "alpha"},       NamedValue<BlendMode>{BlendMode::kAdd, "add"},
    NamedValue<BlendMode>{BlendMode::kSubtract, "subtract"}, NamedValue<BlendMode>{BlendMode::kMultiply, "multiply"},
    NamedValue<BlendMode>{BlendMode::kScreen, "screen"},     NamedValue<BlendMode>{BlendMode::kMin, "min"},
    NamedValue<BlendMode>{BlendMode::kMax, "max"},           NamedValue<BlendMode>{BlendMode::kAverage, "average"}};

}  // namespace

std::string_view BlendModeName(BlendMode mode) {
    return NameIn(kBlendModeNames, mode, "?");
}

std::optional<BlendMode> ParseBlendMode(std::string_view name) {
    return ValueIn(kBlendModeNames, name);
}

std::string BlendModeList() {
    return NameList(kBlendModeNames);
}

Result<TranslucencyTable> MakeTranslucencyTable(std::span<const Rgb8> colors, const TranslucencySettings& settings) {
    if (Status checked = CheckColors(colors); !checked) {
        return std::move(checked).error();
    }
    if (settings.alphaPercent < 0 || settings.alphaPercent > kPercent) {
        return Error{"", "alpha must be 0 to 100 percent, not " + std::to_string(settings.alphaPercent),
                     ErrorKind::kBadSettings};
    }
    const Result<TableSearch> made = SearchOf(colors, settings.search, {}, kPairTableSize);
    if (!made) {
        return made.error();
    }
    const TableSearch& search = *made;
    const BlendMode mode = settings.mode;
    const int percent = mode == BlendMode::kAverage ? kPercent / 2 : settings.alphaPercent;
    const std::int64_t q = BlendDenominator(mode);

    std::vector<MetricPoint> linear;
    for (const Rgb8 c : colors) {
        linear.push_back(settings.search.linearMix ? LinearOf(c) : MetricPoint{});
    }
    Result<TranslucencyTable> table = TranslucencyTable{};
    FitAccumulator stats;
    const std::size_t count = colors.size();
    // By rgb, a row's targets are searched together.
    const bool together = search.GetMetric() == Metric::kRgb && !settings.search.linearMix;
    std::vector<Numerators> targets(together ? count : 0);
    std::vector<CandidateGrid::FractionMatch> matches(targets.size());
    for (std::size_t behind = 0; behind < kPaletteSize; ++behind) {
        if (together && behind < count) {
            const Numerators cb = Components(colors[behind]);
            for (std::size_t front = 0; front < count; ++front) {
                const Numerators cf = Components(colors[front]);
                for (std::size_t k = 0; k < 3; ++k) {
                    targets[front][k] = BlendNumerator(mode, percent, cf[k], cb[k]);
                }
            }
            search.NearestFractions(targets, q, matches);
        }
        for (std::size_t front = 0; front < kPaletteSize; ++front) {
            std::uint8_t& cell = table->bytes[PairIndex(static_cast<int>(behind), static_cast<int>(front))];
            if (behind >= count || front >= count) {
                // An unused operand is ignored.
                cell = static_cast<std::uint8_t>(behind >= count && front < count ? front : behind);
                continue;
            }
            MatchPalette::Found found;
            if (together) {
                found = {matches[front].index,
                         std::sqrt(static_cast<double>(matches[front].squared)) / static_cast<double>(q)};
            } else if (settings.search.linearMix) {
                MetricPoint mixed;
                for (std::size_t k = 0; k < 3; ++k) {
                    mixed[k] = BlendLinear(mode, percent, linear[front][k], linear[behind][k]);
                }
                found = search.NearestTo(MetricFromLinear(search.GetMetric(), mixed));
            } else {
                const Numerators cf = Components(colors[front]);
                const Numerators cb = Components(colors[behind]);
                Numerators n;
                for (std::size_t k = 0; k < 3; ++k) {
                    n[k] = BlendNumerator(mode, percent, cf[k], cb[k]);
                }
                found = search.NearestToFraction(n, q);
            }
            cell = found.index;
            stats.Add(found.distance);
        }
    }
    table->stats = stats.Stats();
    return table;
}

}  // namespace paltab
