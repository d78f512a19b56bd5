// Light and blend tables by full search: the target of each cell, exact in
// integers for the rgb metric, and the search over the entries that may be
// chosen.
#include "paltab/light_tables.hpp"

#include <algorithm>
#include <cmath>

#include "nearest/batch_search.hpp"

namespace paltab {
namespace {

using Numerators = std::array<std::int64_t, 3>;

// The Rec. 709 luma weights in ten-thousandths; they add up to 10000, so
// 255 - Y lies in 0..255.
constexpr std::int64_t kLumaScale = 10000;
constexpr std::array<std::int64_t, 3> kLumaWeights{2126, 7152, 722};

constexpr int kPercent = 100;
constexpr std::int64_t kFull = 255;

struct Found {
    std::uint8_t index = 0;
    double distance = 0.0;  // Euclidean, in the metric's units
};

// Sums of the distances of the searched cells.
class StatsAccumulator {
public:
    void Add(double distance) {
        ++cells_;
        sum_ += distance;
        max_ = std::max(max_, distance);
    }
    void Add(const TableStats& other) {
        cells_ += other.cells;
        sum_ += other.meanDistance * static_cast<double>(other.cells);
        max_ = std::max(max_, other.maxDistance);
    }
    TableStats Result() const {
        return {cells_, cells_ == 0 ? 0.0 : sum_ / static_cast<double>(cells_), max_};
    }

private:
    std::size_t cells_ = 0;
    double sum_ = 0.0;
    double max_ = 0.0;
};

// A point of the metric's space from linear light 0..1.
MetricPoint MetricFromLinear(Metric metric, const MetricPoint& linear) {
    switch (metric) {
        case Metric::kRgb:
            return {SrgbFromLinear(linear[0]), SrgbFromLinear(linear[1]), SrgbFromLinear(linear[2])};
        case Metric::kLinear:
            return linear;
        case Metric::kOklab:
            return OklabFromLinear(linear);
    }
    return linear;
}

// The search over the entries that may be chosen: a candidate grid built
// once for the table's cells, which answers as a full search in index order
// does (the first of equal distances, the lowest index).
class NearestSearch {
public:
    NearestSearch(std::span<const Rgb8> colors, Metric metric, const ReservedEntries& excluded, std::size_t cells)
        : metric_(metric), grid_(colors, metric, excluded, cells) {}

    bool Empty() const { return grid_.Empty(); }
    Metric metric() const { return metric_; }

    // The entry nearest to n / q by the rgb metric, compared as
    // sum (e * q - n)^2 in integers.
    Found NearestExact(const Numerators& n, std::int64_t q) const {
        const CandidateGrid::FractionMatch match = grid_.NearestFraction(n, q);
        return {match.index, std::sqrt(static_cast<double>(match.squared)) / static_cast<double>(q)};
    }

    // The same for many targets over one denominator at once.
    void NearestExact(std::span<const Numerators> targets, std::int64_t q,
                      std::span<CandidateGrid::FractionMatch> out) const {
        grid_.NearestFractions(targets, q, out);
    }

    // The entry nearest to a point of the metric's space.
    Found Nearest(const MetricPoint& point) const {
        const CandidateGrid::PointMatch match = grid_.NearestPoint(point);
        return {match.index, std::sqrt(match.squared)};
    }

    // The entry nearest to the sRGB colour n / q, exactly for rgb.
    Found NearestSrgb(const Numerators& n, std::int64_t q) const {
        if (metric_ == Metric::kRgb) {
            return NearestExact(n, q);
        }
        const double scale = static_cast<double>(q);
        return Nearest(ToMetricPoint(metric_, MetricPoint{static_cast<double>(n[0]) / scale,
                                                          static_cast<double>(n[1]) / scale,
                                                          static_cast<double>(n[2]) / scale}));
    }

private:
    Metric metric_;
    CandidateGrid grid_;
};

Numerators Components(Rgb8 c) {
    return {c.r, c.g, c.b};
}

MetricPoint LinearOf(Rgb8 c) {
    return {LinearFromSrgb(c.r), LinearFromSrgb(c.g), LinearFromSrgb(c.b)};
}

bool CheckColors(std::span<const Rgb8> colors, std::string& error) {
    if (colors.empty() || colors.size() > kPaletteSize) {
        error = "a palette needs 1 to 256 colours, not " + std::to_string(colors.size());
        return false;
    }
    return true;
}

bool CheckSearch(const NearestSearch& search, std::string& error) {
    if (search.Empty()) {
        error = "no entry can be chosen: every colour of the palette is reserved or fullbright";
        return false;
    }
    return true;
}

ReservedEntries Excluded(const ReservedEntries& reserved, const ReservedEntries& fullbright) {
    return reserved | fullbright;
}

// The light rows into `bytes` (levels * 256 of them).
void FillLightRows(std::span<const Rgb8> colors, const LightSettings& settings, const NearestSearch& search,
                   std::span<std::uint8_t> bytes, StatsAccumulator& stats) {
    const std::int64_t levels = settings.levels;
    const Numerators fog = Components(settings.fog);
    const bool linearMix = settings.search.linearMix;
    const MetricPoint fogLinear = linearMix ? LinearOf(settings.fog) : MetricPoint{};
    // By rgb, an entry's levels are searched together.
    const bool together = search.metric() == Metric::kRgb && !linearMix;
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
            search.NearestExact(targets, levels, matches);
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
            Found found;
            if (settings.search.linearMix) {
                const double t = static_cast<double>(i) / static_cast<double>(levels);
                MetricPoint mixed;
                for (std::size_t k = 0; k < 3; ++k) {
                    mixed[k] = linear[k] + (fogLinear[k] - linear[k]) * t;
                }
                found = search.Nearest(MetricFromLinear(search.metric(), mixed));
            } else {
                Numerators n;
                for (std::size_t k = 0; k < 3; ++k) {
                    n[k] = color[k] * levels + (fog[k] - color[k]) * i;
                }
                found = search.NearestSrgb(n, levels);
            }
            cell = found.index;
            stats.Add(found.distance);
        }
    }
}

bool CheckLight(std::span<const Rgb8> colors, const LightSettings& settings, std::string& error) {
    if (!CheckColors(colors, error)) {
        return false;
    }
    if (settings.levels < 1 || settings.levels > kMaxLightLevels) {
        error = "the level count must be 1 to " + std::to_string(kMaxLightLevels) + ", not " +
                std::to_string(settings.levels);
        return false;
    }
    return true;
}

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

constexpr std::array<std::string_view, 8> kBlendModeNames{"alpha", "add",    "subtract", "multiply",
                                                          "screen", "min", "max",      "average"};

}  // namespace

std::optional<LightTable> BuildLightTable(std::span<const Rgb8> colors, const LightSettings& settings,
                                          std::string& error) {
    if (!CheckLight(colors, settings, error)) {
        return std::nullopt;
    }
    const NearestSearch search(colors, settings.search.metric, Excluded(settings.search.reserved, settings.fullbright),
                               static_cast<std::size_t>(settings.levels) * kPaletteSize);
    if (!CheckSearch(search, error)) {
        return std::nullopt;
    }
    LightTable table;
    table.levels = settings.levels;
    table.bytes.resize(static_cast<std::size_t>(settings.levels) * kPaletteSize);
    StatsAccumulator stats;
    FillLightRows(colors, settings, search, table.bytes, stats);
    table.stats = stats.Result();
    return table;
}

std::optional<LightTable> BuildDoomColormap(std::span<const Rgb8> colors, const LightSettings& settings,
                                            std::string& error) {
    if (!CheckLight(colors, settings, error)) {
        return std::nullopt;
    }
    if (settings.levels != kDoomLightLevels) {
        error = "a Doom colormap has " + std::to_string(kDoomLightLevels) + " levels, not " +
                std::to_string(settings.levels);
        return std::nullopt;
    }
    const NearestSearch search(colors, settings.search.metric, Excluded(settings.search.reserved, settings.fullbright),
                               kDoomColormapSize);
    if (!CheckSearch(search, error)) {
        return std::nullopt;
    }
    LightTable table;
    table.levels = kDoomColormapRows;
    table.bytes.assign(kDoomColormapSize, 0);
    StatsAccumulator stats;
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
        const Found found = search.NearestSrgb({n, n, n}, kLumaScale);
        grey[c] = found.index;
        stats.Add(found.distance);
    }
    table.stats = stats.Result();
    return table;
}

std::string_view BlendModeName(BlendMode mode) {
    return kBlendModeNames[static_cast<std::size_t>(mode)];
}

std::optional<BlendMode> ParseBlendMode(std::string_view name) {
    for (std::size_t i = 0; i < kBlendModeNames.size(); ++i) {
        if (name == kBlendModeNames[i]) {
            return static_cast<BlendMode>(i);
        }
    }
    return std::nullopt;
}

std::string BlendModeList() {
    std::string list;
    for (const std::string_view name : kBlendModeNames) {
        list += list.empty() ? "" : ", ";
        list += name;
    }
    return list;
}

std::optional<BlendTable> BuildBlendTable(std::span<const Rgb8> colors, const BlendSettings& settings,
                                          std::string& error) {
    if (!CheckColors(colors, error)) {
        return std::nullopt;
    }
    if (settings.alphaPercent < 0 || settings.alphaPercent > kPercent) {
        error = "alpha must be 0 to 100 percent, not " + std::to_string(settings.alphaPercent);
        return std::nullopt;
    }
    const NearestSearch search(colors, settings.search.metric, settings.search.reserved, kPairTableSize);
    if (!CheckSearch(search, error)) {
        return std::nullopt;
    }
    const BlendMode mode = settings.mode;
    const int percent = mode == BlendMode::kAverage ? kPercent / 2 : settings.alphaPercent;
    const std::int64_t q = BlendDenominator(mode);

    std::vector<MetricPoint> linear;
    for (const Rgb8 c : colors) {
        linear.push_back(settings.search.linearMix ? LinearOf(c) : MetricPoint{});
    }
    auto table = std::make_optional<BlendTable>();
    StatsAccumulator stats;
    const std::size_t count = colors.size();
    // By rgb, a row's targets are searched together.
    const bool together = search.metric() == Metric::kRgb && !settings.search.linearMix;
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
            search.NearestExact(targets, q, matches);
        }
        for (std::size_t front = 0; front < kPaletteSize; ++front) {
            std::uint8_t& cell = table->bytes[PairIndex(static_cast<int>(behind), static_cast<int>(front))];
            if (behind >= count || front >= count) {
                // An unused operand is ignored.
                cell = static_cast<std::uint8_t>(behind >= count && front < count ? front : behind);
                continue;
            }
            Found found;
            if (together) {
                found = {matches[front].index,
                         std::sqrt(static_cast<double>(matches[front].squared)) / static_cast<double>(q)};
            } else if (settings.search.linearMix) {
                MetricPoint mixed;
                for (std::size_t k = 0; k < 3; ++k) {
                    mixed[k] = BlendLinear(mode, percent, linear[front][k], linear[behind][k]);
                }
                found = search.Nearest(MetricFromLinear(search.metric(), mixed));
            } else {
                const Numerators cf = Components(colors[front]);
                const Numerators cb = Components(colors[behind]);
                Numerators n;
                for (std::size_t k = 0; k < 3; ++k) {
                    n[k] = BlendNumerator(mode, percent, cf[k], cb[k]);
                }
                found = search.NearestSrgb(n, q);
            }
            cell = found.index;
            stats.Add(found.distance);
        }
    }
    table->stats = stats.Result();
    return table;
}

std::optional<BuildEnginePalette> MakeBuildEnginePalette(std::span<const Rgb8> colors, const LightSettings& settings,
                                              std::string& error) {
    const auto light = BuildLightTable(colors, settings, error);
    if (!light) {
        return std::nullopt;
    }
    BlendSettings blend{.mode = BlendMode::kAlpha, .alphaPercent = kPercent / 2, .search = settings.search};
    blend.search.reserved |= settings.fullbright;
    const auto translucency = BuildBlendTable(colors, blend, error);
    if (!translucency) {
        return std::nullopt;
    }
    BuildEnginePalette file;
    file.bytes.reserve(BuildEnginePaletteSize(settings.levels));
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
    StatsAccumulator stats;
    stats.Add(light->stats);
    stats.Add(translucency->stats);
    file.stats = stats.Result();
    return file;
}

}  // namespace paltab
