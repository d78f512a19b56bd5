// paltool verify: a table file's structure and its bytes against its palette,
// or a lump of a game against the one rebuilt from a palette.
#include <array>

#include "command.hpp"
#include "inspect/verify.hpp"
#include "paltab/table_reader.hpp"
#include "lump_options.hpp"
#include "palette_options.hpp"
#include "table_options.hpp"

namespace paltab::paltool {
namespace {

// Mismatches listed one by one before the summary line.
constexpr std::size_t kMismatchesShown = 20;

constexpr std::string_view kHelp = R"(Usage: paltool verify TABLES [--palette PALETTE [-c] [--format NAME] [--palette-index N]] [--quiet]
       paltool verify LUMP --palette PALETTE [--as KIND] [settings] [--format NAME] [--palette-index N] [--quiet]

Checks the structure of TABLES: its size, the "CWEN" tag, and that every
palette byte is 0..63 or part of an unused entry's 255 255 255.

  --palette PALETTE  also rebuilds the tables from the palette, as paltab does
                     (with -n when TABLES has the extension), and compares them
                     byte for byte; each difference is shown with its section,
                     file offset, expected and found byte. PALETTE may be in any
                     format (paltool formats); a palette text is read as paltab
                     reads it, any other format strictly, as paltool build does.
                       paltool verify default.tab --palette examples/default.pal.txt
  -c                 rebuild with the weighted starting distance (paltab -c).
                       paltool verify weighted.tab --palette examples/default.pal.txt -c
  --format NAME      read PALETTE as NAME instead of detecting it (strictly,
                     text included).
                       paltool verify dark.tab --palette dark.pal --format raw
  --palette-index N  which palette of a PLAYPAL lump (default 0).
                       paltool verify pain.tab --palette PLAYPAL.lmp --palette-index 1
  --quiet            print nothing but errors: the exit status tells.
                       paltool verify default.tab --palette examples/default.pal.txt --quiet

A lump of a game (recognised as paltool info does: a COLORMAP, TRANMAP,
PLAYPAL, palette.dat or light table) is rebuilt from PALETTE with the
settings given, those of paltool shade, blend and playpal, and compared cell
by cell: how many cells differ, the rows with most, and the first cells with
their row and column, the index or colour expected and the one found, and the
colours of those indices in PALETTE. A PLAYPAL is rebuilt from its own
palette 0 when --palette is not given.

  --as KIND          read the file as KIND: colormap, tranmap, playpal,
                     build-palette or light (see paltool info).
                       paltool verify fade.lmp --as light --palette doom.gpl --fog 0,0,32
  --fog R,G,B        COLORMAP, palette.dat, light table: the colour the rows
                     fade to (default 0,0,0).
                       paltool verify fog.lmp --palette pal.gpl --fog 96,104,120
  --fullbright LIST  COLORMAP, palette.dat, light table: entries that keep
                     their own index in every row, as 0,240-255.
                       paltool verify COLORMAP.lmp --palette PLAYPAL.lmp --fullbright 176-191
  --alpha PERCENT    TRANMAP: the front colour's weight, as paltool blend.
                       paltool verify TRANMAP.lmp --palette PLAYPAL.lmp --alpha 66
  --mode MODE        TRANMAP: a blend mode of paltool blend instead.
                       paltool verify add.lmp --as tranmap --palette pal.gpl --mode add
  --tint K:R,G,B:F   PLAYPAL: palette K's tint, as paltool playpal.
                       paltool verify PLAYPAL.lmp --tint 13:0,128,255:1/4
  --metric M         all but a PLAYPAL: rgb (default; linear with --linear),
                     linear or oklab.
                       paltool verify COLORMAP.lmp --palette pal.gpl --metric oklab
  --reserve LIST     all but a PLAYPAL: entries never chosen, as 0,240-255.
                       paltool verify COLORMAP.lmp --palette pal.gpl --reserve 0
  --linear           all but a PLAYPAL: mix in linear light.
                       paltool verify TRANMAP.lmp --palette pal.gpl --alpha 50 --linear

Exit status: 0 when the file is sound and matches, 1 when it does not.
)";

// The settings a lump is rebuilt with, as given.
struct LumpOptions {
    std::optional<std::string> fog, fullbright, alpha, mode;
    std::vector<std::string> tints;
    SearchOptions search;
};

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

int VerifyLump(const std::string& path, const LumpFile& lump, const std::optional<std::string>& palette,
               const LumpOptions& options, std::optional<PaletteFormat> forced, std::optional<int> paletteIndex,
               bool quiet) {
    const LumpKind kind = lump.info.kind;
    const std::string title(LumpTitle(kind));
    for (const LumpOption& option : OptionsFor(options, kind)) {
        if (option.given && !option.applies) {
            return UsageError("verify", std::string(option.name) + " does not apply to a " + title);
        }
    }
    LumpSettings settings;
    const auto search = ToSearchSettings("verify", options.search);
    if (const int* status = std::get_if<int>(&search)) {
        return *status;
    }
    settings.light.search = std::get<SearchSettings>(search);
    if (const auto status = ApplyLightOptions("verify", options.fog, options.fullbright, settings.light)) {
        return *status;
    }
    if (kind == LumpKind::kTranmap) {
        const auto blend = BlendSettingsOf("verify", options.alpha, options.mode);
        if (const int* status = std::get_if<int>(&blend)) {
            return *status;
        }
        settings.blend = std::get<BlendSettings>(blend);
        settings.blend.search = settings.light.search;
    }
    std::string error;
    for (const std::string& text : options.tints) {
        const auto tint = ParseTintOption(text, error);
        if (!tint) {
            return UsageError("verify", "--tint: " + error);
        }
        settings.tints[static_cast<std::size_t>(tint->palette)] = tint->tint;
    }
    std::vector<Rgb8> colors;
    std::string source;
    if (palette) {
        const auto read = ReadPaletteArgument("verify", *palette, forced, paletteIndex, quiet);
        if (const int* status = std::get_if<int>(&read)) {
            return *status;
        }
        colors = std::get<PaletteFile>(read).palette.colors;
        source = QuotedPath(*palette);
    } else if (kind == LumpKind::kPlaypal) {
        colors = LumpColors(lump.bytes, lump.info);
        source = "its palette 0";
    } else {
        return UsageError("verify", "a " + title + " is rebuilt from a palette: give --palette PALETTE");
    }
    const auto rebuilt = RebuildLump(lump.info, colors, settings, error);
    if (!rebuilt) {
        return Failure((palette ? QuotedPath(*palette) : QuotedPath(path)) + ": " + error);
    }
    const LumpComparison comparison = CompareLump(*rebuilt, lump.bytes, lump.info, kMismatchesShown);
    if (!quiet) {
        const std::string against = "the " + title + " rebuilt from " + source;
        Print(comparison.differing == 0
                  ? ShownPath(path) + ": matches " + against + " (" + std::to_string(comparison.cells) + " cells)\n"
                  : ShownPath(path) + ": against " + against + ": " +
                        FormatLumpComparison(comparison, lump.info, colors));
    }
    return comparison.differing == 0 ? kSuccess : kFailure;
}

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> palette;
    std::optional<std::string> formatName;
    std::optional<int> paletteIndex;
    std::optional<std::string> asName;
    LumpOptions lumpOptions;
    bool weighted = false, quiet = false;
    cli.add_option("TABLES", files);
    cli.add_option("--as", asName);
    cli.add_option("--fog", lumpOptions.fog);
    cli.add_option("--fullbright", lumpOptions.fullbright);
    cli.add_option("--alpha", lumpOptions.alpha);
    cli.add_option("--mode", lumpOptions.mode);
    cli.add_option("--tint", lumpOptions.tints);
    AddSearchOptions(cli, lumpOptions.search);
    cli.add_flag("--quiet", quiet);
    cli.add_option("--palette", palette);
    cli.add_flag("-c", weighted);
    cli.add_option("--format", formatName);
    cli.add_option("--palette-index", paletteIndex);
    if (const auto done = ParseArguments(cli, kVerifyCommand, args)) {
        return *done;
    }
    if (files.size() != 1) {
        return UsageError("verify", "expected one TABLES file");
    }
    const auto lump = ReadLumpArgument("verify", files[0], asName);
    if (const int* status = std::get_if<int>(&lump)) {
        return *status;
    }
    const std::optional<LumpFile>& lumpFile = std::get<std::optional<LumpFile>>(lump);
    if (lumpFile && weighted) {
        return UsageError("verify", "-c applies to table files, not to a " +
                                        std::string(LumpTitle(lumpFile->info.kind)));
    }
    for (const LumpOption& option : OptionsFor(lumpOptions, LumpKind::kColormap)) {
        if (!lumpFile && option.given) {
            return UsageError("verify", std::string(option.name) + " applies to lumps, not to a table file");
        }
    }
    if (!palette && (weighted || formatName || paletteIndex)) {
        return UsageError("verify", std::string(weighted ? "-c" : formatName ? "--format" : "--palette-index") +
                                        " needs --palette");
    }
    const auto format = FormatOption("verify", "--format", formatName);
    if (const int* status = std::get_if<int>(&format)) {
        return *status;
    }
    const std::optional<PaletteFormat> forced = std::get<std::optional<PaletteFormat>>(format);
    if (paletteIndex && (*paletteIndex < 0 || (forced && *forced != PaletteFormat::kPlaypal))) {
        return UsageError("verify", "--palette-index takes a number 0 or more and applies to playpal palettes only");
    }
    if (lumpFile) {
        return VerifyLump(files[0], *lumpFile, palette, lumpOptions, forced, paletteIndex, quiet);
    }
    const std::string& tablesPath = files[0];
    std::string error;
    const auto file = ColorTableFile::Load(tablesPath, error);
    if (!file) {
        return Failure(error);
    }
    const ColorTableView& view = file->View();
    if (!palette) {
        if (quiet) {
            return kSuccess;
        }
        Print(ShownPath(tablesPath) + ": sound, " + std::to_string(view.Bytes().size()) + " bytes" +
              (view.HasExtension() ? " with the extension\n" : " without the extension\n"));
        return kSuccess;
    }
    std::vector<std::string> warnings;
    const auto expected =
        TablesOfPaletteFile(*palette, forced, {.paletteIndex = paletteIndex.value_or(0)},
                            {.weightedDistance = weighted, .writeExtension = view.HasExtension()}, warnings, error);
    if (!expected) {
        return Failure(error);
    }
    WarnAll(warnings, quiet);
    const TableComparison comparison = CompareTableFiles(*expected, view.Bytes(), kMismatchesShown);
    if (!quiet) {
        Print(FormatComparison(tablesPath, *palette, comparison));
    }
    return comparison.differing == 0 ? kSuccess : kFailure;
}

}  // namespace

const Command kVerifyCommand{"verify", "verify TABLES|LUMP [--palette P [-c] [--format NAME] [--palette-index N]]",
                             "checks a table file, or a lump against one rebuilt from a palette", kHelp, Run};

}  // namespace paltab::paltool
