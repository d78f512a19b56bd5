// The options and reporting shared by the light and blend table commands.
#include "table_options.hpp"

#include <cstdio>

#include "match_options.hpp"

namespace paltab::paltool {

void AddSearchOptions(CLI::App& cli, SearchOptions& options) {
    cli.add_option("--metric", options.metric);
    cli.add_option("--reserve", options.reserve);
    cli.add_flag("--linear", options.linear);
}

SearchSettings RequireSearchSettings(std::string_view command, const SearchOptions& options) {
    const MatchOptions match = RequireMatchOptions(command, options.metric, options.reserve);
    SearchSettings settings;
    settings.linearMix = options.linear;
    settings.metric = options.metric ? match.metric : (options.linear ? Metric::kLinear : Metric::kRgb);
    settings.reserved = match.reserved;
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
