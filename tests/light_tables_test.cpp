// Light and blend tables: every cell against a plain full search over the
// target written from its definition in exact fractions; the Doom and Build
// layouts; the pictures decoded with libpng.
#include "paltab/light_tables.hpp"
#include "paltab/lumps.hpp"
#include "paltab/translucency_tables.hpp"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <numeric>
#include <random>

#include "export/layouts.hpp"
#include "random_inputs.hpp"
#include "test_png.hpp"

namespace paltab {
namespace {

// An exact fraction n / d, d > 0, for the reference targets.
struct Fraction {
    std::int64_t n = 0;
    std::int64_t d = 1;

    Fraction(std::int64_t value) : n(value) {}  // NOLINT: integers are fractions
    Fraction(std::int64_t num, std::int64_t den) : n(num), d(den) {
        const std::int64_t g = std::gcd(n, d);
        n /= g;
        d /= g;
    }
    friend Fraction operator+(Fraction a, Fraction b) { return {a.n * b.d + b.n * a.d, a.d * b.d}; }
    friend Fraction operator-(Fraction a, Fraction b) { return {a.n * b.d - b.n * a.d, a.d * b.d}; }
    friend Fraction operator*(Fraction a, Fraction b) { return {a.n * b.n, a.d * b.d}; }
    friend Fraction operator/(Fraction a, Fraction b) { return {a.n * b.d, a.d * b.n}; }
    friend bool operator<(Fraction a, Fraction b) { return a.n * b.d < b.n * a.d; }
    double Value() const { return static_cast<double>(n) / static_cast<double>(d); }
};
using Target = std::array<Fraction, 3>;

Fraction Min(Fraction a, Fraction b) { return b < a ? b : a; }
Fraction Max(Fraction a, Fraction b) { return a < b ? b : a; }

// A plain search: the lowest index among the nearest used entries that are
// not excluded. rgb compares sum (e - t)^2 scaled by the square of a common
// denominator of the three components, so exactly; the other metrics compare
// the metric's points of the entries and of the target.
class PlainSearch {
public:
    PlainSearch(const std::vector<Rgb8>& colors, Metric metric, const ReservedEntries& excluded)
        : colors_(colors), metric_(metric), excluded_(excluded) {
        for (const Rgb8 c : colors) points_.push_back(ToMetricPoint(metric, c));
    }

    std::uint8_t Nearest(const Target& target) const {
        if (metric_ != Metric::kRgb) {
            const MetricPoint srgb{target[0].Value(), target[1].Value(), target[2].Value()};
            return NearestPoint(ToMetricPoint(metric_, srgb));
        }
        const std::int64_t common = std::lcm(std::lcm(target[0].d, target[1].d), target[2].d);
        int best = -1;
        std::int64_t bestDistance = 0;
        for (std::size_t e = 0; e < colors_.size(); ++e) {
            const std::array<std::int64_t, 3> c{colors_[e].r, colors_[e].g, colors_[e].b};
            std::int64_t d = 0;
            for (std::size_t k = 0; k < 3; ++k) {
                const std::int64_t diff = c[k] * common - target[k].n * (common / target[k].d);
                d += diff * diff;
            }
            if (!excluded_.test(e) && (best < 0 || d < bestDistance)) {
                best = static_cast<int>(e);
                bestDistance = d;
            }
        }
        return static_cast<std::uint8_t>(best);
    }

    // A target mixed in linear light.
    std::uint8_t NearestLinear(const MetricPoint& linear) const {
        if (metric_ == Metric::kRgb) {
            return NearestPoint({SrgbFromLinear(linear[0]), SrgbFromLinear(linear[1]), SrgbFromLinear(linear[2])});
        }
        return NearestPoint(metric_ == Metric::kOklab ? OklabFromLinear(linear) : linear);
    }

private:
    std::uint8_t NearestPoint(const MetricPoint& point) const {
        int best = -1;
        double bestDistance = 0;
        for (std::size_t e = 0; e < colors_.size(); ++e) {
            const double d = SquaredDistance(points_[e], point);
            if (!excluded_.test(e) && (best < 0 || d < bestDistance)) {
                best = static_cast<int>(e);
                bestDistance = d;
            }
        }
        return static_cast<std::uint8_t>(best);
    }

    const std::vector<Rgb8>& colors_;
    Metric metric_;
    ReservedEntries excluded_;
    std::vector<MetricPoint> points_;
};

LightSettings Levels(int levels, Rgb8 fog = {}) {
    return {levels, fog, {}, {}};
}

TranslucencySettings Alpha(int percent) {
    return {BlendMode::kAlpha, percent, {}};
}

Target Components(Rgb8 c) {
    return {Fraction(c.r), Fraction(c.g), Fraction(c.b)};
}

MetricPoint Linear(Rgb8 c) {
    return {LinearFromSrgb(c.r), LinearFromSrgb(c.g), LinearFromSrgb(c.b)};
}

ReservedEntries Entries(std::initializer_list<std::size_t> list) {
    ReservedEntries set;
    for (const std::size_t i : list) set.set(i);
    return set;
}

std::vector<std::pair<std::string, std::vector<Rgb8>>> Palettes() {
    std::vector<std::pair<std::string, std::vector<Rgb8>>> palettes;
    std::vector<Rgb8> cube;
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b)
                cube.push_back({static_cast<std::uint8_t>(r * 51), static_cast<std::uint8_t>(g * 51),
                                static_cast<std::uint8_t>(b * 51)});
    // Greys at every 6: many exact ties between two greys.
    for (int k = 1; cube.size() < 256; ++k) {
        const auto v = static_cast<std::uint8_t>(k * 6);
        cube.push_back({v, v, v});
    }
    palettes.emplace_back("cube and greys", cube);

    const std::vector<Rgb8> random = RandomColors(256, 11);
    palettes.emplace_back("random", random);

    palettes.emplace_back("sixteen with repeats",
                          std::vector<Rgb8>{{0, 0, 0}, {85, 85, 85}, {170, 170, 170}, {255, 255, 255}, {230, 57, 57},
                                            {178, 125, 71}, {230, 230, 57}, {125, 178, 71}, {57, 230, 57},
                                            {85, 85, 85}, {57, 230, 230}, {71, 125, 178}, {57, 57, 230},
                                            {0, 0, 0}, {230, 57, 230}, {178, 71, 125}});
    palettes.emplace_back("three", std::vector<Rgb8>{{200, 10, 10}, {10, 200, 10}, {10, 10, 200}});
    return palettes;
}

struct LightCase {
    const char* name;
    int levels;
    Rgb8 fog;
    Metric metric;
    bool linear;
    ReservedEntries reserved;
    ReservedEntries fullbright;
};

const LightCase kLightCases[] = {
    {"32 to black", 32, {0, 0, 0}, Metric::kRgb, false, {}, {}},
    {"64 to fog, reserved, fullbright", 64, {128, 140, 160}, Metric::kRgb, false, Entries({0}), Entries({2, 5, 200})},
    {"7 to white, oklab", 7, {255, 255, 255}, Metric::kOklab, false, Entries({3}), Entries({0})},
    {"16 to fog, linear mix", 16, {90, 60, 30}, Metric::kLinear, true, {}, Entries({5})},
    {"24, linear mix, rgb metric", 24, {0, 0, 0}, Metric::kRgb, true, Entries({1, 2}), {}},
};

TEST(LightTable, EveryCellIsThePlainNearest) {
    for (const auto& [paletteName, colors] : Palettes()) {
        for (const LightCase& test : kLightCases) {
            SCOPED_TRACE(paletteName + ", " + test.name);
            const LightSettings settings{.levels = test.levels, .fog = test.fog, .fullbright = test.fullbright,
                                         .search = {test.metric, test.linear, test.reserved}};
            const auto table = MakeLightTable(colors, settings);
            ASSERT_TRUE(table) << table.error().Message();
            ASSERT_EQ(table->bytes.size(), static_cast<std::size_t>(test.levels) * 256);
            const PlainSearch plain(colors, test.metric, test.reserved | test.fullbright);
            std::size_t searched = 0;
            for (int i = 0; i < test.levels; ++i) {
                for (std::size_t c = 0; c < 256; ++c) {
                    std::uint8_t expected = static_cast<std::uint8_t>(c);
                    if (c < colors.size() && !test.fullbright.test(c)) {
                        ++searched;
                        if (test.linear) {
                            const MetricPoint a = Linear(colors[c]), f = Linear(test.fog);
                            const double t = static_cast<double>(i) / test.levels;
                            expected = plain.NearestLinear(
                                {a[0] + (f[0] - a[0]) * t, a[1] + (f[1] - a[1]) * t, a[2] + (f[2] - a[2]) * t});
                        } else {
                            const Target a = Components(colors[c]), f = Components(test.fog);
                            const Fraction t(i, test.levels);
                            expected = plain.Nearest(
                                {a[0] + (f[0] - a[0]) * t, a[1] + (f[1] - a[1]) * t, a[2] + (f[2] - a[2]) * t});
                        }
                    }
                    ASSERT_EQ(table->bytes[static_cast<std::size_t>(i) * 256 + c], expected)
                        << "level " << i << " entry " << c;
                }
            }
            EXPECT_EQ(table->stats.cells, searched);
            EXPECT_LE(table->stats.meanDistance, table->stats.maxDistance);
        }
    }
}

// Row 0 of distinct colours is the palette itself, except where an entry may
// not be chosen; the distances then are all zero.
TEST(LightTable, RowZeroIsThePaletteAndStatsMeasureTheMiss) {
    const std::vector<Rgb8> colors{{0, 0, 0}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    const auto table = MakeLightTable(colors, Levels(2));
    ASSERT_TRUE(table) << table.error().Message();
    EXPECT_EQ(std::vector<std::uint8_t>(table->bytes.begin(), table->bytes.begin() + 5),
              (std::vector<std::uint8_t>{0, 1, 2, 3, 4}));
    // Row 1: each colour at half, (127.5, 0, 0) etc.; black is 127.5 away.
    EXPECT_EQ(table->stats.cells, 8u);
    EXPECT_DOUBLE_EQ(table->stats.maxDistance, 127.5);
    EXPECT_DOUBLE_EQ(table->stats.meanDistance, 3 * 127.5 / 8);
}

TEST(LightTable, BadSettingsAreRefused) {
    const std::vector<Rgb8> two{{1, 2, 3}, {4, 5, 6}};
    const struct {
        std::vector<Rgb8> colors;
        LightSettings settings;
        const char* error;
    } cases[] = {
        {{}, {}, "a palette needs 1 to 256 colours, not 0"},
        {std::vector<Rgb8>(257), {}, "a palette needs 1 to 256 colours, not 257"},
        {two, Levels(0), "the level count must be 1 to 256, not 0"},
        {two, Levels(257), "the level count must be 1 to 256, not 257"},
        {two, {32, {}, Entries({0}), {Metric::kRgb, false, Entries({1})}},
         "no entry can be chosen: every colour of the palette is reserved or fullbright"},
    };
    for (const auto& test : cases) {
        const auto table = MakeLightTable(test.colors, test.settings);
        ASSERT_FALSE(table) << test.error;
        EXPECT_EQ(table.error().Message(), test.error);
    }
    const auto colormap = MakeDoomColormap(two, Levels(64));
    ASSERT_FALSE(colormap);
    EXPECT_EQ(colormap.error().Message(), "a Doom colormap has 32 levels, not 64");
    const auto blend = MakeTranslucencyTable(two, Alpha(101));
    ASSERT_FALSE(blend);
    EXPECT_EQ(blend.error().Message(), "alpha must be 0 to 100 percent, not 101");
}

// The target of blend mode `mode` from its definition, in exact fractions.
Fraction BlendTarget(BlendMode mode, int percent, Fraction a, Fraction b) {
    const Fraction full(255);
    const Fraction alpha(mode == BlendMode::kAverage ? 50 : percent, 100);
    switch (mode) {
        case BlendMode::kAlpha:
        case BlendMode::kAverage: return a * alpha + b * (Fraction(1) - alpha);
        case BlendMode::kAdd: return Min(a + b, full);
        case BlendMode::kSubtract: return Max(b - a, Fraction(0));
        case BlendMode::kMultiply: return a * b / full;
        case BlendMode::kScreen: return full - (full - a) * (full - b) / full;
        case BlendMode::kMin: return Min(a, b);
        case BlendMode::kMax: return Max(a, b);
    }
    return 0;
}

struct BlendCase {
    BlendMode mode;
    int percent;
    Metric metric;
    bool linear;
    ReservedEntries reserved;
};

std::vector<BlendCase> BlendCases() {
    std::vector<BlendCase> cases;
    for (const BlendMode mode : {BlendMode::kAlpha, BlendMode::kAdd, BlendMode::kSubtract, BlendMode::kMultiply,
                                 BlendMode::kScreen, BlendMode::kMin, BlendMode::kMax, BlendMode::kAverage}) {
        cases.push_back({mode, 66, Metric::kRgb, false, {}});
    }
    for (const int percent : {0, 1, 99, 100}) {
        cases.push_back({BlendMode::kAlpha, percent, Metric::kRgb, false, {}});
    }
    cases.push_back({BlendMode::kAlpha, 25, Metric::kRgb, false, Entries({0, 7, 255})});
    cases.push_back({BlendMode::kAlpha, 75, Metric::kOklab, false, {}});
    cases.push_back({BlendMode::kAlpha, 50, Metric::kLinear, true, Entries({1})});
    cases.push_back({BlendMode::kMultiply, 0, Metric::kRgb, true, {}});
    return cases;
}

TEST(TranslucencyTable, EveryCellIsThePlainNearest) {
    const auto palettes = Palettes();
    for (const BlendCase& test : BlendCases()) {
        for (std::size_t p = 0; p < palettes.size(); ++p) {
            const auto& [paletteName, colors] = palettes[p];
            // The exact modes on every palette, the rest on the small ones.
            if (p == 0 && (test.metric != Metric::kRgb || test.linear)) {
                continue;
            }
            SCOPED_TRACE(paletteName + ", " + std::string(BlendModeName(test.mode)) + " " +
                         std::to_string(test.percent) + " " + std::string(MetricName(test.metric)) +
                         (test.linear ? " linear" : ""));
            const TranslucencySettings settings{test.mode, test.percent, {test.metric, test.linear, test.reserved}};
            const auto table = MakeTranslucencyTable(colors, settings);
            ASSERT_TRUE(table) << table.error().Message();
            const PlainSearch plain(colors, test.metric, test.reserved);
            // a the front colour, b the one behind it, at b * 256 + a.
            for (std::size_t b = 0; b < 256; ++b) {
                for (std::size_t a = 0; a < 256; ++a) {
                    std::uint8_t expected;
                    if (a >= colors.size() || b >= colors.size()) {
                        expected = static_cast<std::uint8_t>(b >= colors.size() && a < colors.size() ? a : b);
                    } else if (test.linear) {
                        const MetricPoint la = Linear(colors[a]), lb = Linear(colors[b]);
                        MetricPoint mix;
                        for (std::size_t k = 0; k < 3; ++k) {
                            mix[k] = test.mode == BlendMode::kMultiply ? la[k] * lb[k]
                                                                       : la[k] * (test.percent / 100.0) +
                                                                             lb[k] * (1.0 - test.percent / 100.0);
                        }
                        expected = plain.NearestLinear(mix);
                    } else {
                        const Target ta = Components(colors[a]), tb = Components(colors[b]);
                        expected = plain.Nearest({BlendTarget(test.mode, test.percent, ta[0], tb[0]),
                                                  BlendTarget(test.mode, test.percent, ta[1], tb[1]),
                                                  BlendTarget(test.mode, test.percent, ta[2], tb[2])});
                    }
                    ASSERT_EQ(table->bytes[b * 256 + a], expected) << "front " << a << " behind " << b;
                }
            }
            const std::size_t used = std::min<std::size_t>(colors.size(), 256);
            EXPECT_EQ(table->stats.cells, used * used);
        }
    }
}

TEST(DoomColormap, LightRowsGreyRowAndZeroRow) {
    const auto palettes = Palettes();
    for (const std::size_t p : {std::size_t{0}, std::size_t{2}}) {
        const std::vector<Rgb8>& colors = palettes[p].second;
        SCOPED_TRACE(palettes[p].first);
        const LightSettings settings{32, {}, Entries({4}), {Metric::kRgb, false, Entries({0})}};
        const auto colormap = MakeDoomColormap(colors, settings);
        const auto light = MakeLightTable(colors, settings);
        ASSERT_TRUE(colormap) << colormap.error().Message();
        ASSERT_TRUE(light) << light.error().Message();
        ASSERT_EQ(colormap->bytes.size(), 8704u);
        EXPECT_TRUE(std::equal(light->bytes.begin(), light->bytes.end(), colormap->bytes.begin()));
        const PlainSearch plain(colors, Metric::kRgb, Entries({0, 4}));
        for (std::size_t c = 0; c < 256; ++c) {
            std::uint8_t expected = static_cast<std::uint8_t>(c);
            if (c < colors.size() && c != 4) {
                const Fraction y = Fraction(2126, 10000) * colors[c].r + Fraction(7152, 10000) * colors[c].g +
                                   Fraction(722, 10000) * colors[c].b;
                const Fraction grey = Fraction(255) - y;
                expected = plain.Nearest({grey, grey, grey});
            }
            EXPECT_EQ(colormap->bytes[32 * 256 + c], expected) << "grey row, entry " << c;
            EXPECT_EQ(colormap->bytes[33 * 256 + c], 0) << "last row, entry " << c;
        }
    }
}

TEST(BuildPaletteFile, SectionsInOrder) {
    const std::vector<Rgb8> colors = Palettes()[2].second;
    const LightSettings settings{40, {10, 20, 30}, Entries({3}), {}};
    const auto file = MakePaletteDat(colors, settings);
    const auto light = MakeLightTable(colors, settings);
    const auto blend = MakeTranslucencyTable(colors, {BlendMode::kAlpha, 50, {Metric::kRgb, false, Entries({3})}});
    ASSERT_TRUE(file) << file.error().Message();
    ASSERT_TRUE(light) << light.error().Message();
    ASSERT_TRUE(blend) << blend.error().Message();
    ASSERT_EQ(file->bytes.size(), 768u + 2 + 40 * 256 + 65536);
    ASSERT_EQ(file->bytes.size(), PaletteDatSize(40));
    for (std::size_t i = 0; i < 256; ++i) {
        const Rgb8 c = i < colors.size() ? colors[i] : Rgb8{};
        EXPECT_EQ(file->bytes[3 * i], c.r >> 2);
        EXPECT_EQ(file->bytes[3 * i + 1], c.g >> 2);
        EXPECT_EQ(file->bytes[3 * i + 2], c.b >> 2);
    }
    EXPECT_EQ(file->bytes[768], 40);
    EXPECT_EQ(file->bytes[769], 0);
    EXPECT_TRUE(std::equal(light->bytes.begin(), light->bytes.end(), file->bytes.begin() + 770));
    EXPECT_TRUE(std::equal(blend->bytes.begin(), blend->bytes.end(), file->bytes.begin() + 770 + 40 * 256));
    EXPECT_EQ(file->stats.cells, light->stats.cells + blend->stats.cells);
}

// Both pictures, encoded and decoded again: every swatch or cell, at two of
// its corners, is the colour of the entry its table cell holds.
TEST(LightAndBlendPictures, DecodeToTheTableColours) {
    for (const auto& [name, colors] : Palettes()) {
        SCOPED_TRACE(name);
        const auto light = MakeLightTable(colors, Levels(12, {40, 40, 90}));
        const auto blend = MakeTranslucencyTable(colors, {BlendMode::kScreen, 0, {}});
        ASSERT_TRUE(light) << light.error().Message();
        ASSERT_TRUE(blend) << blend.error().Message();
        const int count = static_cast<int>(colors.size());

        const auto lightPng = EncodePng(RenderLightTable(colors, *light));
        ASSERT_TRUE(lightPng) << lightPng.error().Message();
        const RgbPixels lightImage = DecodeRgbPng(*lightPng);
        const int s = LightSwatchSize(colors.size());
        EXPECT_EQ(s, count <= 64 ? 16 : 4);
        ASSERT_EQ(lightImage.width, count * s);
        ASSERT_EQ(lightImage.height, 12 * s);
        for (int level = 0; level < 12; ++level) {
            for (int c = 0; c < count; ++c) {
                const Rgb8 expected = colors[light->bytes[static_cast<std::size_t>(level * 256 + c)]];
                EXPECT_EQ(lightImage.At(c * s, level * s), expected);
                EXPECT_EQ(lightImage.At(c * s + s - 1, level * s + s - 1), expected);
            }
        }

        const auto blendPng = EncodePng(RenderTranslucencyTable(colors, *blend));
        ASSERT_TRUE(blendPng) << blendPng.error().Message();
        const RgbPixels blendImage = DecodeRgbPng(*blendPng);
        ASSERT_EQ(blendImage.width, count * kPairCellSize);
        ASSERT_EQ(blendImage.height, count * kPairCellSize);
        for (int a = 0; a < count; ++a) {
            for (int b = 0; b < count; ++b) {
                const Rgb8 expected = colors[blend->bytes[static_cast<std::size_t>(a * 256 + b)]];
                EXPECT_EQ(blendImage.At(b * kPairCellSize, a * kPairCellSize), expected);
                EXPECT_EQ(blendImage.At(b * kPairCellSize + 1, a * kPairCellSize + 1), expected);
            }
        }
    }
}

// The header's array holds the table's bytes in order.
TEST(LightAndBlendHeaders, ArrayHoldsTheTable) {
    const auto light = MakeLightTable(Palettes()[3].second, Levels(3));
    ASSERT_TRUE(light) << light.error().Message();
    const std::string header = LightTableCHeader(*light, "fog_3", "light table", "paltool shade */ x");
    EXPECT_NE(header.find("static const unsigned char fog_3[768] = {"), std::string::npos) << header;
    EXPECT_EQ(header.find("*/ x"), std::string::npos);
    std::vector<std::uint8_t> bytes;
    std::size_t at = header.find("= {") + 3;
    while (at < header.size()) {
        const std::size_t digit = header.find_first_of("0123456789}", at);
        if (header[digit] == '}') break;
        std::size_t end = 0;
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(header.substr(digit), &end)));
        at = digit + end;
    }
    EXPECT_EQ(bytes, light->bytes);
    EXPECT_EQ(CNameFromPath("out/fog-32.h"), "fog_32");
    EXPECT_EQ(CNameFromPath("9lives.h"), "_9lives");
}

}  // namespace
}  // namespace paltab
