// Format names and palette reading shared by build, convert and verify.
#include "palette_options.hpp"

namespace paltab::paltool {

std::optional<PaletteFormat> RequireFormat(std::string_view command, std::string_view option,
                                          const std::optional<std::string>& name) {
    if (!name) {
        return std::optional<PaletteFormat>();
    }
    const std::optional<PaletteFormat> format = FindFormat(*name);
    if (!format) {
        ThrowUsageError(command, "unknown format '" + *name + "' for " + std::string(option) +
                                     " (the formats: paltool formats)");
    }
    return format;
}

PaletteFile RequirePaletteArgument(std::string_view command, const std::string& path,
                                   std::optional<PaletteFormat> forced, std::optional<int> paletteIndex, bool quiet) {
    if (paletteIndex && *paletteIndex < 0) {
        ThrowUsageError(command, "--palette-index must be 0 or more");
    }
    if (paletteIndex && forced && *forced != PaletteFormat::kPlaypal) {
        ThrowUsageError(command, "--palette-index applies to playpal palettes only");
    }
    std::vector<std::string> warnings;
    PaletteFile file =
        ValueOrFail(ReadPaletteFile(path, forced, {.paletteIndex = paletteIndex.value_or(0)}, warnings));
    if (paletteIndex && file.format != PaletteFormat::kPlaypal) {
        ThrowUsageError(command, "--palette-index applies to playpal palettes only, and " + QuotedPath(path) +
                                     " reads as " + std::string(InfoOf(file.format).name));
    }
    WarnAll(warnings, quiet);
    return file;
}

void AddPaletteOptions(CLI::App& cli, PaletteOptions& options) {
    cli.add_option("--format", options.format);
    cli.add_option("--palette-index", options.paletteIndex);
}

PaletteFile RequirePalette(std::string_view command, const std::string& path, const PaletteOptions& options,
                           bool quiet) {
    return RequirePaletteArgument(command, path, RequireFormat(command, "--format", options.format),
                                  options.paletteIndex, quiet);
}

void WarnAll(const std::vector<std::string>& warnings, bool quiet) {
    if (quiet) {
        return;
    }
    for (const std::string& warning : warnings) {
        Warn(warning);
    }
}

}  // namespace paltab::paltool
