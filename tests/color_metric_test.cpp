// Colour metrics: known conversions, the bounding boxes the exact searches
// prune with, and the reserved-entry list.
#include "paltab/color_metric.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace paltab {
namespace {

TEST(ColorMetric, KnownOklabValues) {
    // Published Oklab coordinates of the sRGB primaries' corners.
    const struct {
        Rgb8 color;
        MetricPoint oklab;
    } cases[] = {
        {{255, 255, 255}, {1.0, 0.0, 0.0}},
        {{0, 0, 0}, {0.0, 0.0, 0.0}},
        {{255, 0, 0}, {0.62795536, 0.22486306, 0.12584630}},
        {{0, 255, 0}, {0.86643961, -0.23388757, 0.17949847}},
        {{0, 0, 255}, {0.45201371, -0.03245698, -0.31152815}},
    };
    for (const auto& c : cases) {
        const MetricPoint p = ToMetricPoint(Metric::kOklab, c.color);
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_NEAR(p[i], c.oklab[i], 1e-6) << int{c.color.r} << "," << int{c.color.g} << "," << int{c.color.b}
                                                << " component " << i;
        }
    }
    EXPECT_NEAR(LinearFromSrgb(128), 0.2158605, 1e-7);
    EXPECT_NEAR(LinearFromSrgb(10), 10 / 255.0 / 12.92, 1e-15);
}

TEST(ColorMetric, TransferFunctionRoundTripsAndRises) {
    double previous = -1;
    for (int v = 0; v < 256; ++v) {
        const double linear = LinearFromSrgb(v);
        EXPECT_GT(linear, previous) << v;
        EXPECT_NEAR(SrgbFromLinear(linear), v, 1e-9) << v;
        previous = linear;
    }
}

// Every colour of a box has its point inside the box's MetricBox: random
// boxes, small and large, every colour of the small ones.
TEST(ColorMetric, MetricBoxHoldsEveryColourOfTheBox) {
    std::mt19937 rng(3);
    for (const Metric metric : {Metric::kRgb, Metric::kLinear, Metric::kOklab}) {
        for (int trial = 0; trial < 200; ++trial) {
            const int side = trial % 2 == 0 ? 4 : 64;
            std::uniform_int_distribution<int> corner(0, 256 - side);
            const Rgb8 lo{static_cast<std::uint8_t>(corner(rng)), static_cast<std::uint8_t>(corner(rng)),
                          static_cast<std::uint8_t>(corner(rng))};
            const Rgb8 hi{static_cast<std::uint8_t>(lo.r + side - 1), static_cast<std::uint8_t>(lo.g + side - 1),
                          static_cast<std::uint8_t>(lo.b + side - 1)};
            const MetricBox box = MetricBoxOf(metric, lo, hi);
            const int step = side == 4 ? 1 : 7;
            for (int r = lo.r; r <= hi.r; r += step) {
                for (int g = lo.g; g <= hi.g; g += step) {
                    for (int b = lo.b; b <= hi.b; b += step) {
                        const MetricPoint p = ToMetricPoint(
                            metric, Rgb8{static_cast<std::uint8_t>(r), static_cast<std::uint8_t>(g),
                                         static_cast<std::uint8_t>(b)});
                        for (std::size_t i = 0; i < 3; ++i) {
                            ASSERT_TRUE(p[i] >= box.lo[i] && p[i] <= box.hi[i])
                                << MetricName(metric) << " colour " << r << "," << g << "," << b << " component " << i;
                        }
                    }
                }
            }
        }
    }
}

TEST(ColorMetric, ParsesMetricNames) {
    for (const Metric metric : {Metric::kRgb, Metric::kLinear, Metric::kOklab}) {
        EXPECT_EQ(ParseMetric(MetricName(metric)), metric);
    }
    EXPECT_FALSE(ParseMetric("lab"));
    EXPECT_FALSE(ParseMetric(""));
}

TEST(ColorMetric, ParsesReservedLists) {
    const struct {
        const char* text;
        std::vector<int> reserved;  // {-1}: an error
    } cases[] = {
        {"", {}},
        {"0", {0}},
        {"0,240-255", {0, 240, 241, 242, 243, 244, 245, 246, 247, 248, 249, 250, 251, 252, 253, 254, 255}},
        {" 3 , 5 - 6 ", {3, 5, 6}},
        {"7,7,6-7", {6, 7}},
        {"255", {255}},
        {"256", {-1}},
        {"-1", {-1}},
        {"6-5", {-1}},
        {"1,,2", {-1}},
        {"1-", {-1}},
        {"x", {-1}},
        {"1.5", {-1}},
        {"2 3", {-1}},
    };
    for (const auto& c : cases) {
        const auto parsed = ParseReservedList(c.text);
        if (c.reserved == std::vector<int>{-1}) {
            EXPECT_FALSE(parsed) << c.text;
            EXPECT_NE(parsed.error().Message().find("is not an index"), std::string::npos)
                << c.text << ": " << parsed.error().Message();
            continue;
        }
        ASSERT_TRUE(parsed) << c.text << ": " << parsed.error().Message();
        ReservedEntries expected;
        for (const int i : c.reserved) {
            expected.set(static_cast<std::size_t>(i));
        }
        EXPECT_EQ(*parsed, expected) << c.text;
    }
    EXPECT_EQ(ParseReservedList("0-255")->count(), 256u);
}

}  // namespace
}  // namespace paltab
