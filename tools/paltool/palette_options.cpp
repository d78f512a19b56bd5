// Format names and palette reading shared by build, convert and verify.
#include "palette_options.hpp"

namespace paltab::paltool {

std::variant<std::optional<PaletteFormat>, int> FormatOption(std::string_view command, std::string_view option,
                                                             const std::optional<std::string>& name) {
    if (!name) {
        return std::optional<PaletteFormat>();
    }
    const std::optional<PaletteFormat> format = FindFormat(*name);
    if (!format) {
        return UsageError(command, "unknown format '" + *name + "' for " + std::string(option) +
                                       " (the formats: paltool formats)");
    }
    return format;
}

std::variant<PaletteFile, int> ReadPaletteArgument(std::string_view command, const std::string& path,
                                                   std::optional<PaletteFormat> forced,
                                                   std::optional<int> paletteIndex, bool quiet) {
    if (paletteIndex && *paletteIndex < 0) {
        return UsageError(command, "--palette-index must be 0 or more");
    }
    if (paletteIndex && forced && *forced != PaletteFormat::kPlaypal) {
        return UsageError(command, "--palette-index applies to playpal palettes only");
    }
    std::vector<std::string> warnings;
    std::string error;
    std::optional<PaletteFile> file =
        ReadPaletteFile(path, forced, {.paletteIndex = paletteIndex.value_or(0)}, warnings, error);
    if (!file) {
        return Failure(error);
    }
    if (paletteIndex && file->format != PaletteFormat::kPlaypal) {
        return UsageError(command, "--palette-index applies to playpal palettes only, and " + QuotedPath(path) + " reads as " +
                                       std::string(InfoOf(file->format).name));
    }
    WarnAll(warnings, quiet);
    return std::move(*file);
}

void AddPaletteOptions(CLI::App& cli, PaletteOptions& options) {
    cli.add_option("--format", options.format);
    cli.add_option("--palette-index", options.paletteIndex);
}

std::variant<PaletteFile, int> ReadPaletteWithOptions(std::string_view command, const std::string& path,
                                                      const PaletteOptions& options, bool quiet) {
    const auto format = FormatOption(command, "--format", options.format);
    if (const int* status = std::get_if<int>(&format)) {
        return *status;
    }
    return ReadPaletteArgument(command, path, std::get<std::optional<PaletteFormat>>(format), options.paletteIndex,
                               quiet);
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
