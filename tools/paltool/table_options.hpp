// What `paltool shade` and `paltool blend` share: the search options, reading
// the palette, writing the output and the summary line.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "command.hpp"
#include "palette_options.hpp"
#include "table_output.hpp"
#include "paltab/palette_formats.hpp"
#include "paltab/light_tables.hpp"
#include "paltab/table_search.hpp"
#include "paltab/translucency_tables.hpp"

namespace paltab::paltool {

// --metric, --reserve and --linear as given.
struct SearchOptions {
    std::optional<std::string> metric;
    std::optional<std::string> reserve;
    bool linear = false;
};

void AddSearchOptions(CLI::App& cli, SearchOptions& options);

// What `shade` and `blend` both take: one PALETTE, -o OUT, the search and
// palette options and --quiet.
struct TableCommandOptions {
    std::vector<std::string> files;
    std::optional<std::string> output;
    SearchOptions search;
    PaletteOptions palette;
    bool quiet = false;
};

void AddTableCommandOptions(CLI::App& cli, TableCommandOptions& options);

// One PALETTE and -o OUT, or a usage error, thrown.
void RequireOnePaletteAndOutput(std::string_view command, const TableCommandOptions& options);

// Writes `table` to -o whole (or throws the failure) and, unless --quiet,
// prints "wrote OUT: <label><what>, N bytes; <distance summary>".
void WriteTableAndReport(const TableCommandOptions& options, const TableOutput& table, std::string_view label,
                         Metric metric);

// The settings the options ask for: the metric is `linear` with --linear
// unless --metric says otherwise. A bad value is a usage error, thrown.
SearchSettings RequireSearchSettings(std::string_view command, const SearchOptions& options);

// --fog R,G,B and --fullbright LIST, when given, into `settings`. A value
// that does not parse is a usage error, thrown.
void ApplyLightOptions(std::string_view command, const std::optional<std::string>& fog,
                       const std::optional<std::string>& fullbright, LightSettings& settings);

// --alpha PERCENT (66 or 66%) and --mode MODE: one of them, and --alpha only
// with the mode alpha. Bad or missing values are a usage error, thrown.
TranslucencySettings RequireTranslucencySettings(std::string_view command, const std::optional<std::string>& alpha,
                                                const std::optional<std::string>& mode);

// "paltool NAME ARGS...", for the comment of a C header.
std::string CommandLine(std::string_view name, std::span<const char* const> args);

// "mean 2.84, largest 11.3 (rgb distance, 8-bit units) over 8192 cells".
std::string DistanceSummary(const TableStats& stats, Metric metric);

}  // namespace paltab::paltool
