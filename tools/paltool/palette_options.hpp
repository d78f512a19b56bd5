// The options of the commands that read palettes in any format: a format
// name (--format, --from, --to) and --palette-index for a PLAYPAL lump.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "command.hpp"
#include "paltab/palette_formats.hpp"

namespace paltab::paltool {

// The format called `name`, or nothing when `name` is unset. A name no
// format has is a usage error, reported here: the result is then its exit
// status.
std::variant<std::optional<PaletteFormat>, int> FormatOption(std::string_view command, std::string_view option,
                                                             const std::optional<std::string>& name);

// Reads the palette file at `path` (format `forced`, or detected), with
// --palette-index `paletteIndex`, which only a playpal palette takes. Prints
// the warnings unless `quiet`. On failure reports it and returns the exit
// status (1, or 2 for --palette-index on another format).
std::variant<PaletteFile, int> ReadPaletteArgument(std::string_view command, const std::string& path,
                                                   std::optional<PaletteFormat> forced,
                                                   std::optional<int> paletteIndex, bool quiet);

// --format NAME and --palette-index N of a command that reads one palette.
struct PaletteOptions {
    std::optional<std::string> format;
    std::optional<int> paletteIndex;
};
void AddPaletteOptions(CLI::App& cli, PaletteOptions& options);

// The palette at `path` read as `options` ask, with FormatOption and
// ReadPaletteArgument: the palette, or the exit status of a reported error.
std::variant<PaletteFile, int> ReadPaletteWithOptions(std::string_view command, const std::string& path,
                                                      const PaletteOptions& options, bool quiet);

// Each warning as "paltool: warning: ..." unless `quiet`.
void WarnAll(const std::vector<std::string>& warnings, bool quiet);

}  // namespace paltab::paltool
