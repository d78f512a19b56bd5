// The options and reporting shared by the light and blend table commands.
#include "table_options.hpp"

#include <cstdio>

namespace paltab::paltool {

void AddSearchOptions(CLI::App& cli, SearchOptions& options) {
    cli.add_option("--metric", options.metric);
    cli.add_option("--reserve", options.reserve);
    cli.add_flag("--linear", options.linear);
}

std::optional<SearchSettings> ToSearchSettings(const SearchOptions& options, std::string& error) {
    SearchSettings settings;
    settings.linearMix = options.linear;
    settings.metric = options.linear ? Metric::kLinear : Metric::kRgb;
    if (options.metric) {
        const auto metric = ParseMetric(*options.metric);
        if (!metric) {
            error = "--metric '" + *options.metric + "' is not rgb, linear or oklab";
            return std::nullopt;
        }
        settings.metric = *metric;
    }
    if (options.reserve) {
        std::string cause;
        const auto reserved = ParseReservedList(*options.reserve, cause);
        if (!reserved) {
            error = "--reserve: " + cause;
            return std::nullopt;
        }
        settings.reserved = *reserved;
    }
    return settings;
}

std::string CommandLine(std::string_view name, std::span<const char* const> args) {
    std::string line = "paltool " + std::string(name);
    for (const char* arg : args) {
        line += ' ';
        line += arg;
    }
    return line;
}

std::string DistanceSummary(const TableStats& stats, Metric metric) {
    // Enough digits to compare two settings: 8-bit units need two decimals,
    // linear light and Oklab (0..1) four.
    const int digits = metric == Metric::kRgb ? 2 : 4;
    const char* units = metric == Metric::kRgb      ? "8-bit units"
                        : metric == Metric::kLinear ? "linear light 0..1"
                                                    : "Oklab units";
    char text[160];
    std::snprintf(text, sizeof text, "mean %.*f, largest %.*f (%s distance to the target, %s) over %zu cells", digits,
                  stats.meanDistance, digits, stats.maxDistance, std::string(MetricName(metric)).c_str(), units,
                  stats.cells);
    return text;
}

}  // namespace paltab::paltool
