// --metric and --reserve, shared by map and remap.
#include "match_options.hpp"

namespace paltab::paltool {

MatchOptions RequireMatchOptions(std::string_view command, const std::optional<std::string>& metric,
                                 const std::optional<std::string>& reserve) {
    MatchOptions options;
    if (metric) {
        const std::optional<Metric> parsed = ParseMetric(*metric);
        if (!parsed) {
            ThrowUsageError(command, "--metric '" + *metric + "' is not rgb, linear or oklab");
        }
        options.metric = *parsed;
    }
    if (reserve) {
        const Result<ReservedEntries> parsed = ParseReservedList(*reserve);
        if (!parsed) {
            ThrowUsageError(command, "--reserve: " + parsed.error().Message());
        }
        options.reserved = *parsed;
    }
    return options;
}

MatchPalette RequireMatchPalette(const std::string& path, std::span<const Rgb8> palette, const MatchOptions& options) {
    Result<MatchPalette> match = MatchPalette::Create(palette, options);
    if (!match) {
        ThrowFailure("cannot use " + QuotedPath(path) + ": " + match.error().Message());
    }
    return std::move(*match);
}

}  // namespace paltab::paltool
