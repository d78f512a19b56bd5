// Reading a file named on the command line as a lump or as a table file, and
// verifying a lump.
#include "lump_options.hpp"

#include <array>

#include "io/file_io.hpp"
#include "palette_options.hpp"
#include "paltab/table_file.hpp"

namespace paltab::paltool {
namespace {

struct LumpOption {
    std::string_view name;
    bool given;
    bool applies;  // to the lump's kind
};

// Every option of `options` in the order of the help text, and whether a
// lump of `kind` is rebuilt with it.
std::array<LumpOption, 8> OptionsFor(const LumpOptions& options, LumpKind kind) {
    const bool light = kind == LumpKind::kColormap || kind == LumpKind::kBuildPalette || kind == LumpKind::kLightTable;
    const bool tranmap = kind == LumpKind::kTranmap, playpal = kind == LumpKind::kPlaypal;
    return {{{"--fog", options.fog.has_value(), light},
             {"--fullbright", options.fullbright.has_value(), light},
             {"--alpha", options.alpha.has_value(), tranmap},
             {"--mode", options.mode.has_value(), tranmap},
             {"--tint", !options.tints.empty(), playpal},
             {"--metric", options.search.metric.has_value(), !playpal},
             {"--reserve", options.search.reserve.has_value(), !playpal},
             {"--linear", options.search.linear, !playpal}}};
}

}  // namespace

std::optional<LumpFile> RequireLumpArgument(std::string_view command, const std::string& path,
                                            const std::optional<std::string>& asName) {
    std::optional<LumpKind> as;
    if (asName) {
        as = ParseLumpKind(*asName);
        if (!as) {
            ThrowUsageError(command, "--as '" + *asName + "' is not one of " + LumpKindList());
        }
    }
    // One byte more than a table file, the largest file read here, tells a
    // file too large for any.
    std::vector<std::uint8_t> bytes = ValueOrFail(ReadFileBytes(path, kExtendedFileSize + 1));
    // A damaged table file whose size happens to be a light table's stays a
    // table file by its name.
    if (!as && (bytes.size() == kPlainFileSize || bytes.size() == kExtendedFileSize || FileExtension(path) == ".tab")) {
        return std::nullopt;
    }
    if (as && bytes.size() > kExtendedFileSize) {
        ThrowFailure(CannotRead(path, "more than " + std::to_string(kExtendedFileSize) +
                                            " bytes, larger than any lump (--as " + *asName + ")"));
    }
    const auto info = RecogniseLump(bytes, as);
    if (!info) {
        if (!as) {
            return std::nullopt;
        }
        ThrowFailure(CannotRead(path, info.error().Message() + " (--as " + *asName + ")"));
    }
    return LumpFile{std::move(bytes), *info};
}

std::string_view LumpOptions::FirstGiven() const {
    for (const LumpOption& option : OptionsFor(*this, LumpKind::kColormap)) {
        if (option.given) {
            return option.name;
        }
    }
    return {};
}

void AddLumpOptions(CLI::App& cli, LumpOptions& options) {
    cli.add_option("--fog", options.fog);
    cli.add_option("--fullbright", options.fullbright);
    cli.add_option("--alpha", options.alpha);
    cli.add_option("--mode", options.mode);
    cli.add_option("--tint", options.tints);
    AddSearchOptions(cli, options.search);
}

int VerifyLump(const std::string& path, const LumpFile& lump, const std::optional<std::string>& palette,
               const LumpOptions& options, std::optional<PaletteFormat> forced, std::optional<int> paletteIndex,
               std::size_t shown, bool quiet) {
    const LumpKind kind = lump.info.kind;
    const std::string title(LumpTitle(kind));
    for (const LumpOption& option : OptionsFor(options, kind)) {
        if (option.given && !option.applies) {
            ThrowUsageError("verify", std::string(option.name) + " does not apply to a " + title);
        }
    }
    LumpSettings settings;
    settings.light.search = RequireSearchSettings("verify", options.search);
    ApplyLightOptions("verify", options.fog, options.fullbright, settings.light);
    if (kind == LumpKind::kTranmap) {
        settings.blend = RequireTranslucencySettings("verify", options.alpha, options.mode);
        settings.blend.search = settings.light.search;
    }
    for (const std::string& text : options.tints) {
        const auto tint = ParseTintOption(text);
        if (!tint) {
            ThrowUsageError("verify", "--tint: " + tint.error().Message());
        }
        settings.tints[static_cast<std::size_t>(tint->palette)] = tint->tint;
    }
    std::vector<Rgb8> colors;
    std::string source;
    if (palette) {
        colors = RequirePaletteArgument("verify", *palette, forced, paletteIndex, quiet).palette.colors;
        source = QuotedPath(*palette);
    } else if (kind == LumpKind::kPlaypal) {
        colors = ValueOrFail(LumpColors(lump.bytes, lump.info));
        source = "its palette 0";
    } else {
        ThrowUsageError("verify", "a " + title + " is rebuilt from a palette: give --palette PALETTE");
    }
    const auto rebuilt = RebuildLump(lump.info, colors, settings);
    if (!rebuilt) {
        ThrowFailure((palette ? QuotedPath(*palette) : QuotedPath(path)) + ": " + rebuilt.error().Message());
    }
    const LumpComparison comparison = ValueOrFail(CompareLump(*rebuilt, lump.bytes, lump.info, shown));
    if (!quiet) {
        const std::string against = "the " + title + " rebuilt from " + source;
        Print(comparison.differing == 0
                  ? ShownPath(path) + ": matches " + against + " (" + std::to_string(comparison.cells) + " cells)\n"
                  : ShownPath(path) + ": against " + against + ": " +
                        FormatLumpComparison(comparison, lump.info, colors));
    }
    return comparison.differing == 0 ? kSuccess : kFailure;
}

std::string_view LumpTitle(LumpKind kind) {
    switch (kind) {
        case LumpKind::kColormap: return "COLORMAP";
        case LumpKind::kTranmap: return "TRANMAP";
        case LumpKind::kPlaypal: return "PLAYPAL";
        case LumpKind::kBuildPalette: return "palette.dat";
        case LumpKind::kLightTable: return "light table";
    }
    return "lump";
}

}  // namespace paltab::paltool
