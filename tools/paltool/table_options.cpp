// The options and reporting shared by the light and blend table commands.
#include "table_options.hpp"

#include <charconv>
#include <cstdio>

#include "match_options.hpp"

namespace paltab::paltool {
namespace {

std::optional<Rgb8> ParseRgb(std::string_view text) {
    Rgb8 color;
    std::uint8_t* components[] = {&color.r, &color.g, &color.b};
    for (std::size_t k = 0; k < 3; ++k) {
        const std::size_t comma = k < 2 ? text.find(',') : text.size();
        if (comma == std::string_view::npos) {
            return std::nullopt;
        }
        const std::string_view item = text.substr(0, comma);
        int value = -1;
        const auto [end, ec] = std::from_chars(item.data(), item.data() + item.size(), value);
        if (item.empty() || ec != std::errc{} || end != item.data() + item.size() || value < 0 || value > 255) {
            return std::nullopt;
        }
        *components[k] = static_cast<std::uint8_t>(value);
        text = k < 2 ? text.substr(comma + 1) : std::string_view{};
    }
    return color;
}

// "66" or "66%".
std::optional<int> ParsePercent(std::string_view text) {
    if (!text.empty() && text.back() == '%') {
        text.remove_suffix(1);
    }
    int value = -1;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc{} || end != text.data() + text.size() || value < 0 || value > 100) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

void AddSearchOptions(CLI::App& cli, SearchOptions& options) {
    cli.add_option("--metric", options.metric);
    cli.add_option("--reserve", options.reserve);
    cli.add_flag("--linear", options.linear);
}

void AddTableCommandOptions(CLI::App& cli, TableCommandOptions& options) {
    cli.add_option("PALETTE", options.files);
    cli.add_option("-o", options.output);
    AddSearchOptions(cli, options.search);
    AddPaletteOptions(cli, options.palette);
    cli.add_flag("--quiet", options.quiet);
}

void RequireOnePaletteAndOutput(std::string_view command, const TableCommandOptions& options) {
    if (options.files.size() != 1 || !options.output) {
        ThrowUsageError(command, "expected one PALETTE file and -o OUT");
    }
}

void WriteTableAndReport(const TableCommandOptions& options, const TableOutput& table, std::string_view label,
                         Metric metric) {
    WriteTableOutput(*options.output, table);
    if (!options.quiet) {
        Print("wrote " + ShownPath(*options.output) + ": " + std::string(label) + table.what + ", " +
              std::to_string(table.Size()) + " bytes; " + DistanceSummary(table.stats, metric) + "\n");
    }
}

SearchSettings RequireSearchSettings(std::string_view command, const SearchOptions& options) {
    const MatchOptions match = RequireMatchOptions(command, options.metric, options.reserve);
    SearchSettings settings;
    settings.linearMix = options.linear;
    settings.metric = options.metric ? match.metric : (options.linear ? Metric::kLinear : Metric::kRgb);
    settings.reserved = match.reserved;
    return settings;
}

void ApplyLightOptions(std::string_view command, const std::optional<std::string>& fog,
                       const std::optional<std::string>& fullbright, LightSettings& settings) {
    if (fog) {
        const auto color = ParseRgb(*fog);
        if (!color) {
            ThrowUsageError(command, "--fog '" + *fog + "' is not three numbers 0..255 as R,G,B");
        }
        settings.fog = *color;
    }
    if (fullbright) {
        const auto entries = ParseReservedList(*fullbright);
        if (!entries) {
            ThrowUsageError(command, "--fullbright: " + entries.error().Message());
        }
        settings.fullbright = *entries;
    }
}

TranslucencySettings RequireTranslucencySettings(std::string_view command, const std::optional<std::string>& alpha,
                                                const std::optional<std::string>& mode) {
    TranslucencySettings settings;
    if (mode) {
        const auto parsed = ParseBlendMode(*mode);
        if (!parsed) {
            ThrowUsageError(command, "--mode '" + *mode + "' is not one of " + BlendModeList());
        }
        settings.mode = *parsed;
    }
    if (alpha) {
        const auto percent = ParsePercent(*alpha);
        if (!percent) {
            ThrowUsageError(command, "--alpha '" + *alpha + "' is not a whole percent 0..100");
        }
        if (settings.mode != BlendMode::kAlpha) {
            ThrowUsageError(command, "--alpha goes with --mode alpha, not " + *mode);
        }
        settings.alphaPercent = *percent;
    } else if (!mode || settings.mode == BlendMode::kAlpha) {
        ThrowUsageError(command, "expected --alpha PERCENT or --mode MODE");
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
