// The options of the commands that read palettes in any format: a format
// name (--format, --from, --to) and --palette-index for a PLAYPAL lump.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command.hpp"
#include "paltab/palette_formats.hpp"

namespace paltab::paltool {

// The format called `name`, or nothing when `name` is unset. A name no
// format has is a usage error, thrown.
std::optional<PaletteFormat> RequireFormat(std::string_view command, std::string_view option,
                                          const std::optional<std::string>& name);

// Reads the palette file at `path` (format `forced`, or detected), with
// --palette-index `paletteIndex`, which only a playpal palette takes. Prints
// the warnings unless `quiet`. Throws a failure, or a usage error for
// --palette-index on another format.
PaletteFile RequirePaletteArgument(std::string_view command, const std::string& path,
                                   std::optional<PaletteFormat> forced, std::optional<int> paletteIndex, bool quiet);

// --format NAME and --palette-index N of a command that reads one palette.
struct PaletteOptions {
    std::optional<std::string> format;
    std::optional<int> paletteIndex;
};
void AddPaletteOptions(CLI::App& cli, PaletteOptions& options);

// The palette at `path` read as `options` ask, with RequireFormat and
// RequirePaletteArgument.
PaletteFile RequirePalette(std::string_view command, const std::string& path, const PaletteOptions& options,
                           bool quiet);

// Each warning as "paltool: warning: ..." unless `quiet`.
void WarnAll(const std::vector<std::string>& warnings, bool quiet);

}  // namespace paltab::paltool
