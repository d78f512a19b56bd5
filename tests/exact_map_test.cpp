// Exact maps against a plain full search: whole maps at 5 and 6 bits, random
// cells at 7 and 8 bits, on palettes that stress the pruning, every metric.
#include "paltab/exact_map.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "random_inputs.hpp"
#include "test_process.hpp"

namespace paltab {
namespace {

// Sanitizer builds run several times slower: fewer cells checked there.
#ifdef PALTAB_SANITIZED
constexpr int kWholeMapBits = 5;
constexpr int kSampledCells = 3000;
#else
constexpr int kWholeMapBits = 6;
constexpr int kSampledCells = 30000;
#endif

constexpr Metric kMetrics[] = {Metric::kRgb, Metric::kLinear, Metric::kOklab};

// Plain full search by the metric's definition: lowest index among the
// nearest entries that are not reserved.
struct Reference {
    Reference(const std::vector<Rgb8>& palette, const MatchOptions& o) : options(o) {
        for (const Rgb8 c : palette) {
            points.push_back(ToMetricPoint(o.metric, c));
        }
    }
    int Nearest(Rgb8 color) const {
        const MetricPoint p = ToMetricPoint(options.metric, color);
        int best = -1;
        double bestDistance = 0;
        for (std::size_t i = 0; i < points.size(); ++i) {
            const double d = SquaredDistance(p, points[i]);
            if (!options.reserved.test(i) && (best < 0 || d < bestDistance)) {
                best = static_cast<int>(i);
                bestDistance = d;
            }
        }
        return best;
    }
    MatchOptions options;
    std::vector<MetricPoint> points;
};

struct TestPalette {
    std::string name;
    std::vector<Rgb8> colors;
    std::string reserved;
    // 8-bit maps by linear and oklab take a good part of a second each: only
    // some palettes have them built.
    bool floatMetricsAt8Bits = false;
};

std::vector<TestPalette> StressPalettes() {
    std::mt19937 rng(11);
    std::vector<TestPalette> palettes;

    // Descending even greys: every odd grey is a tie, won by the higher grey.
    TestPalette ramp{"descending even greys", {}, ""};
    for (int v = 254; v >= 0; v -= 2) {
        const auto g = static_cast<std::uint8_t>(v);
        ramp.colors.push_back({g, g, g});
    }
    palettes.push_back(ramp);

    TestPalette repeats{"sixteen colours, each four times", {}, ""};
    std::vector<Rgb8> sixteen;
    for (int i = 0; i < 16; ++i) {
        sixteen.push_back(RandomColor(rng));
    }
    for (int i = 0; i < 64; ++i) {
        repeats.colors.push_back(sixteen[static_cast<std::size_t>(i * 7 % 16)]);
    }
    palettes.push_back(repeats);

    palettes.push_back({"one colour", {{200, 10, 90}}, ""});
    palettes.push_back({"sixteen colours", sixteen, ""});

    TestPalette clusters{"eight tight clusters", {}, ""};
    std::uniform_int_distribution<int> offset(-3, 3);
    for (int c = 0; c < 8; ++c) {
        const Rgb8 centre = RandomColor(rng);
        for (int i = 0; i < 32; ++i) {
            const auto near = [&](std::uint8_t v) { return static_cast<std::uint8_t>(std::clamp(v + offset(rng), 0, 255)); };
            clusters.colors.push_back({near(centre.r), near(centre.g), near(centre.b)});
        }
    }
    clusters.floatMetricsAt8Bits = true;
    palettes.push_back(clusters);

    TestPalette random{"256 random colours", {}, ""};
    for (int i = 0; i < 256; ++i) {
        random.colors.push_back(RandomColor(rng));
    }
    palettes.push_back(random);
    palettes.push_back({"256 random, some reserved", random.colors, "0,5,17,100-199,240-255", true});
    palettes.push_back({"256 random, all but one reserved", random.colors, "0-76,78-255"});
    return palettes;
}

TEST(ExactColorMap, MatchesFullSearch) {
    std::mt19937 rng(5);
    for (const TestPalette& palette : StressPalettes()) {
        for (const Metric metric : kMetrics) {
            const MatchOptions options{metric, *ParseReservedList(palette.reserved)};
            const Reference reference(palette.colors, options);
            const auto match = MatchPalette::Create(palette.colors, options);
            ASSERT_TRUE(match) << match.error().Message();
            for (int bits = ExactColorMap::kMinBits; bits <= ExactColorMap::kMaxBits; ++bits) {
                if (bits == 8 && metric != Metric::kRgb && !palette.floatMetricsAt8Bits) {
                    continue;
                }
                const ExactColorMap map = *ExactColorMap::Build(*match, bits);
                ASSERT_EQ(map.Cells().size(), ExactColorMap::CellCount(bits));
                const bool whole = bits <= kWholeMapBits;
                const std::size_t checks = whole ? map.Cells().size() : kSampledCells;
                for (std::size_t i = 0; i < checks; ++i) {
                    const std::size_t cell = whole ? i : ExactColorMap::CellOf(bits, RandomColor(rng));
                    const Rgb8 color = ExactColorMap::CellColor(bits, cell);
                    ASSERT_EQ(ExactColorMap::CellOf(bits, color), cell);
                    const int expected = reference.Nearest(color);
                    ASSERT_EQ(map.Cells()[cell], expected)
                        << palette.name << ", " << MetricName(metric) << ", " << bits << " bits, cell " << cell
                        << " (" << int{color.r} << "," << int{color.g} << "," << int{color.b} << ")";
                    if (i % 16 == 0) {
                        ASSERT_EQ(match->NearestEntry(color), expected) << palette.name << " " << MetricName(metric);
                    }
                }
            }
        }
    }
}

TEST(ExactColorMap, RejectsWhatHasNothingToChoose) {
    const std::vector<Rgb8> two{{1, 2, 3}, {4, 5, 6}};
    ReservedEntries both;
    both.set(0).set(1);
    const struct {
        std::vector<Rgb8> palette;
        int bits;
        ReservedEntries reserved;
        const char* error;
    } cases[] = {
        {{}, 8, {}, "the palette has no colours"},
        {std::vector<Rgb8>(257), 8, {}, "the palette has 257 colours, more than 256"},
        {two, 8, both, "every one of the palette's 2 colours is reserved"},
        {two, 4, {}, "the map has 4 bits per component; it takes 5 to 8"},
        {two, 9, {}, "the map has 9 bits per component; it takes 5 to 8"},
    };
    for (const auto& c : cases) {
        const auto map = ExactColorMap::Build(c.palette, c.bits, {Metric::kRgb, c.reserved});
        ASSERT_FALSE(map) << c.error;
        EXPECT_EQ(map.error().Message(), c.error);
    }
    // Reserving entries past the palette's end reserves nothing.
    ReservedEntries high;
    high.set(2).set(255);
    const auto map = ExactColorMap::Build(two, 5, {Metric::kRgb, high});
    EXPECT_TRUE(map) << map.error().Message();
}

// Too little memory for a map is an error, as any other, not an exception.
TEST(ExactColorMapDeathTest, TooLittleMemoryIsAnError) {
    if (const std::string why = AddressSpaceLimitUnusable(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    // Run anew, so that no memory an earlier test freed is room.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            LimitAddressSpace(std::size_t{4} << 20);
            const auto map = ExactColorMap::Build(std::vector<Rgb8>{{0, 0, 0}, {255, 255, 255}}, 8, {});
            std::fprintf(stderr, "%s\n", map ? "built under the limit" : map.error().Message().c_str());
            std::exit(0);
        },
        testing::ExitedWithCode(0), "^out of memory for a map of 16777216 cells\n$");
}

}  // namespace
}  // namespace paltab
