// The candidate grid against a plain full search written here: every query
// of the light, fog, grey and blend tables' kinds, one by one and in batches, on palettes with ramps,
// repeats and reserved entries, by every metric; targets on cell borders and
// outside the grid.
#include "nearest/batch_search.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "random_inputs.hpp"

namespace paltab {
namespace {

using Numerators = CandidateGrid::Numerators;

std::uint8_t Byte(int v) {
    return static_cast<std::uint8_t>(v);
}

struct PaletteCase {
    std::string name;
    std::vector<Rgb8> colors;
    ReservedEntries excluded;
};

std::vector<PaletteCase> Palettes() {
    std::vector<PaletteCase> cases;
    const std::vector<Rgb8> random = RandomColors(256, 5);
    cases.push_back({"random", random, {}});

    // Ramps towards black, as game palettes have them: dense dark colours.
    std::vector<Rgb8> ramps;
    const Rgb8 tops[] = {{255, 255, 255}, {255, 0, 0}, {0, 255, 0}, {0, 0, 255},
                         {255, 200, 120}, {120, 80, 40}, {255, 255, 0}, {160, 0, 160}};
    for (const Rgb8 top : tops) {
        for (int i = 0; i < 32; ++i) {
            ramps.push_back({Byte(top.r * (32 - i) / 32), Byte(top.g * (32 - i) / 32), Byte(top.b * (32 - i) / 32)});
        }
    }
    ReservedEntries some;
    some.set(0);
    some.set(37);
    for (std::size_t i = 240; i < 256; ++i) some.set(i);
    cases.push_back({"ramps, reserved", ramps, some});

    // Greys 6 apart and a cube: many exact ties; repeats of earlier colours.
    std::vector<Rgb8> ties;
    for (int k = 0; k < 38; ++k) ties.push_back({Byte(k * 6), Byte(k * 6), Byte(k * 6)});
    for (int r = 0; r < 6; ++r)
        for (int g = 0; g < 6; ++g)
            for (int b = 0; b < 6; ++b) ties.push_back({Byte(r * 51), Byte(g * 51), Byte(b * 51)});
    ties.push_back({0, 0, 0});
    ties.push_back({102, 102, 102});
    cases.push_back({"greys and cube, repeats", ties, {}});

    ReservedEntries allButTwo;
    allButTwo.set();
    allButTwo.reset(1);
    allButTwo.reset(2);
    cases.push_back({"three, one reserved", {{200, 10, 10}, {10, 200, 10}, {10, 10, 200}}, allButTwo});
    return cases;
}

// The lowest selectable index of least sum (e * q - n)^2.
std::uint8_t PlainFraction(const PaletteCase& p, const Numerators& n, std::int64_t q) {
    std::int64_t best = std::numeric_limits<std::int64_t>::max();
    std::size_t at = 0;
    for (std::size_t e = 0; e < p.colors.size(); ++e) {
        const std::int64_t c[3] = {p.colors[e].r, p.colors[e].g, p.colors[e].b};
        std::int64_t d = 0;
        for (std::size_t k = 0; k < 3; ++k) d += (c[k] * q - n[k]) * (c[k] * q - n[k]);
        if (!p.excluded.test(e) && d < best) {
            best = d;
            at = e;
        }
    }
    return Byte(static_cast<int>(at));
}

std::uint8_t PlainPoint(const PaletteCase& p, const std::vector<MetricPoint>& entries, const MetricPoint& x) {
    double best = std::numeric_limits<double>::infinity();
    std::size_t at = 0;
    bool found = false;
    for (std::size_t e = 0; e < p.colors.size(); ++e) {
        const double d = SquaredDistance(entries[e], x);
        if (!p.excluded.test(e) && (!found || d < best)) {
            best = d;
            at = e;
            found = true;
        }
    }
    return Byte(static_cast<int>(at));
}

// The targets the tables ask for, as fractions: blends at several alphas
// (every front colour, every ninth colour behind), light rows towards black
// and towards fogs, the inverted grey row, and targets on cell borders.
std::vector<std::pair<Numerators, std::int64_t>> FractionTargets(const std::vector<Rgb8>& colors) {
    std::vector<std::pair<Numerators, std::int64_t>> targets;
    const auto n = [](Rgb8 c) { return Numerators{c.r, c.g, c.b}; };
    for (const std::int64_t alpha : {0, 1, 50, 66, 99, 100}) {
        for (std::size_t a = 0; a < colors.size(); ++a) {
            for (std::size_t b = a % 9; b < colors.size(); b += 9) {
                const Numerators ca = n(colors[a]), cb = n(colors[b]);
                targets.push_back({{ca[0] * alpha + cb[0] * (100 - alpha), ca[1] * alpha + cb[1] * (100 - alpha),
                                    ca[2] * alpha + cb[2] * (100 - alpha)},
                                   100});
            }
        }
    }
    for (const auto& [levels, fog] : {std::pair<std::int64_t, Rgb8>{32, {0, 0, 0}}, {7, {255, 255, 255}},
                                      {64, {128, 140, 160}}}) {
        for (const Rgb8 c : colors) {
            const Numerators v = n(c), f = n(fog);
            for (std::int64_t i = 0; i < levels; ++i) {
                targets.push_back({{v[0] * levels + (f[0] - v[0]) * i, v[1] * levels + (f[1] - v[1]) * i,
                                    v[2] * levels + (f[2] - v[2]) * i},
                                   levels});
            }
        }
    }
    for (const Rgb8 c : colors) {
        const std::int64_t grey = 255 * 10000 - (2126 * c.r + 7152 * c.g + 722 * c.b);
        targets.push_back({{grey, grey, grey}, 10000});
        // Odd numerators over large denominators: the 64-bit search.
        targets.push_back({{grey - 1, grey, grey - 3}, 10000});
        targets.push_back({{grey, grey / 2, grey / 3}, 10001});
    }
    // Borders of cells of every width the grid uses, and the ends.
    for (std::int64_t v = 0; v <= 256; v += 4) {
        const std::int64_t e = std::min<std::int64_t>(v, 255);
        for (const std::int64_t q : {1, 3, 100}) {
            targets.push_back({{e * q, (255 - e) * q, e * q / 2}, q});
            targets.push_back({{e * q, e * q, e * q}, q});
        }
    }
    return targets;
}

TEST(CandidateGrid, FractionsAsThePlainSearch) {
    for (const PaletteCase& p : Palettes()) {
        const auto targets = FractionTargets(p.colors);
        // A coarse grid and the finest the tables use.
        for (const std::size_t queries : {std::size_t{0}, std::size_t{1} << 20}) {
            SCOPED_TRACE(p.name + ", grid for " + std::to_string(queries) + " queries");
            const CandidateGrid grid(p.colors, Metric::kRgb, p.excluded, queries);
            for (const auto& [n, q] : targets) {
                const CandidateGrid::FractionMatch match = grid.NearestFraction(n, q);
                const std::uint8_t expected = PlainFraction(p, n, q);
                ASSERT_EQ(match.index, expected) << n[0] << " " << n[1] << " " << n[2] << " / " << q;
                const std::int64_t c[3] = {p.colors[expected].r, p.colors[expected].g, p.colors[expected].b};
                std::int64_t squared = 0;
                for (std::size_t k = 0; k < 3; ++k) squared += (c[k] * q - n[k]) * (c[k] * q - n[k]);
                ASSERT_EQ(match.squared, squared);
            }
            // The same targets in batches of one denominator, with a target
            // outside the grid among them.
            std::map<std::int64_t, std::vector<Numerators>> byDenominator;
            for (const auto& [n, q] : targets) byDenominator[q].push_back(n);
            for (auto& [q, batch] : byDenominator) {
                batch.push_back({-1, 255 * q + 1, 0});
                std::vector<CandidateGrid::FractionMatch> matches(batch.size());
                grid.NearestFractions(batch, q, matches);
                for (std::size_t t = 0; t < batch.size(); ++t) {
                    const CandidateGrid::FractionMatch single = grid.NearestFraction(batch[t], q);
                    ASSERT_EQ(matches[t].index, single.index) << q;
                    ASSERT_EQ(matches[t].squared, single.squared) << q;
                }
            }
        }
    }
}

// Points of every metric: blends mixed in linear light, fractional sRGB
// colours, the ends of the space, points just outside it and NaN.
TEST(CandidateGrid, PointsAsThePlainSearch) {
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (const PaletteCase& p : Palettes()) {
        for (const Metric metric : {Metric::kRgb, Metric::kLinear, Metric::kOklab}) {
            SCOPED_TRACE(p.name + ", " + std::string(MetricName(metric)));
            const CandidateGrid grid(p.colors, metric, p.excluded, 1 << 16);
            std::vector<MetricPoint> entries;
            for (const Rgb8 c : p.colors) entries.push_back(ToMetricPoint(metric, c));
            std::vector<MetricPoint> points;
            for (int i = 0; i < 3000; ++i) {
                const MetricPoint linear{unit(rng), unit(rng), unit(rng)};
                points.push_back(metric == Metric::kRgb     ? MetricPoint{SrgbFromLinear(linear[0]),
                                                                          SrgbFromLinear(linear[1]),
                                                                          SrgbFromLinear(linear[2])}
                                 : metric == Metric::kOklab ? OklabFromLinear(linear)
                                                            : linear);
            }
            for (std::size_t a = 0; a < p.colors.size(); a += 3) {
                for (std::size_t b = 0; b < p.colors.size(); b += 7) {
                    MetricPoint mix;
                    for (std::size_t k = 0; k < 3; ++k) {
                        const double ca = LinearFromSrgb(a % 2 ? p.colors[a].r : p.colors[a].g);
                        const double cb = LinearFromSrgb(p.colors[b].b);
                        mix[k] = ca * 0.66 + cb * 0.34 * static_cast<double>(k + 1) / 3;
                    }
                    points.push_back(metric == Metric::kLinear  ? mix
                                     : metric == Metric::kOklab ? OklabFromLinear(mix)
                                                                : MetricPoint{SrgbFromLinear(mix[0]),
                                                                              SrgbFromLinear(mix[1]),
                                                                              SrgbFromLinear(mix[2])});
                }
            }
            for (const Rgb8 c : {Rgb8{0, 0, 0}, Rgb8{255, 255, 255}, Rgb8{255, 0, 0}, Rgb8{0, 0, 255}}) {
                const MetricPoint x = ToMetricPoint(metric, c);
                points.push_back(x);
                points.push_back({x[0] - 1e-6, x[1] + 1e-6, x[2]});
                points.push_back({x[0] + 2, x[1], x[2] - 2});
            }
            for (const MetricPoint& x : points) {
                const CandidateGrid::PointMatch match = grid.NearestPoint(x);
                ASSERT_EQ(match.index, PlainPoint(p, entries, x)) << x[0] << " " << x[1] << " " << x[2];
                ASSERT_EQ(match.squared, SquaredDistance(entries[match.index], x));
            }
            const double nan = std::numeric_limits<double>::quiet_NaN();
            EXPECT_FALSE(p.excluded.test(grid.NearestPoint({nan, 0, 0}).index));
        }
    }
}

// Targets no table asks for take the full search: no cell is read out of
// the grid, and the answer is still a selectable entry.
TEST(CandidateGrid, TargetsOutsideTheGrid) {
    const PaletteCase p = Palettes()[1];
    const CandidateGrid grid(p.colors, Metric::kRgb, p.excluded, 1 << 16);
    const struct {
        Numerators n;
        std::int64_t q;
    } cases[] = {{{-1, 0, 0}, 1},      {{256, 0, 0}, 1},  {{0, 0, 25501}, 100},
                 {{10, 10, 10}, 0},    {{5, 5, 5}, -3},   {{1, 2, 3}, CandidateGrid::kMaxDenominator + 1}};
    for (const auto& test : cases) {
        if (test.q >= 1) {
            EXPECT_EQ(grid.NearestFraction(test.n, test.q).index, PlainFraction(p, test.n, test.q));
        }
        EXPECT_FALSE(p.excluded.test(grid.NearestFraction(test.n, test.q).index));
    }
    const CandidateGrid oklab(p.colors, Metric::kOklab, p.excluded, 1 << 16);
    EXPECT_EQ(oklab.NearestFraction({100, 50, 25}, 1).index, PlainFraction(p, {100, 50, 25}, 1));
}

// The finest grid keeps few candidates a cell on a random palette: the
// point of it. (Exactness does not depend on this.)
TEST(CandidateGrid, CellsKeepFewCandidates) {
    const PaletteCase p = Palettes()[0];
    const CandidateGrid grid(p.colors, Metric::kRgb, p.excluded, 1 << 20);
    EXPECT_GE(grid.Side(), 16);
    EXPECT_LE(grid.LongestList(), 32u);
    EXPECT_TRUE(CandidateGrid(p.colors, Metric::kRgb, ReservedEntries{}.set(), 100).Empty());
}

}  // namespace
}  // namespace paltab
