// paltool verify: a table file's structure and its bytes against its palette,
// or a lump of a game against the one rebuilt from a palette.
#include "command.hpp"
#include "inspect/verify.hpp"
#include "lump_options.hpp"
#include "paltab/table_reader.hpp"
#include "palette_options.hpp"

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
    AddLumpOptions(cli, lumpOptions);
    cli.add_flag("--quiet", quiet);
    cli.add_option("--palette", palette);
    cli.add_flag("-c", weighted);
    cli.add_option("--format", formatName);
    cli.add_option("--palette-index", paletteIndex);
    if (!ParseCommandLine(cli, kVerifyCommand, args)) {
        return kSuccess;
    }
    if (files.size() != 1) {
        ThrowUsageError("verify", "expected one TABLES file");
    }
    const std::optional<LumpFile> lumpFile = RequireLumpArgument("verify", files[0], asName);
    if (lumpFile && weighted) {
        ThrowUsageError("verify", "-c applies to table files, not to a " + std::string(LumpTitle(lumpFile->info.kind)));
    }
    if (const std::string_view given = lumpOptions.FirstGiven(); !lumpFile && !given.empty()) {
        ThrowUsageError("verify", std::string(given) + " applies to lumps, not to a table file");
    }
    if (!palette && (weighted || formatName || paletteIndex)) {
        ThrowUsageError("verify", std::string(weighted ? "-c" : formatName ? "--format" : "--palette-index") +
                                      " needs --palette");
    }
    const std::optional<PaletteFormat> forced = RequireFormat("verify", "--format", formatName);
    if (paletteIndex && (*paletteIndex < 0 || (forced && *forced != PaletteFormat::kPlaypal))) {
        ThrowUsageError("verify", "--palette-index takes a number 0 or more and applies to playpal palettes only");
    }
    if (lumpFile) {
        return VerifyLump(files[0], *lumpFile, palette, lumpOptions, forced, paletteIndex, kMismatchesShown, quiet);
    }
    const std::string& tablesPath = files[0];
    const auto file = ValueOrFail(ColorTableFile::Load(tablesPath));
    const ColorTableView& view = file.View();
    if (!palette) {
        if (quiet) {
            return kSuccess;
        }
        Print(ShownPath(tablesPath) + ": sound, " + std::to_string(view.Bytes().size()) + " bytes" +
              (view.HasExtension() ? " with the extension\n" : " without the extension\n"));
        return kSuccess;
    }
    std::vector<std::string> warnings;
    const auto expected = ValueOrFail(
        TablesOfPaletteFile(*palette, forced, {.paletteIndex = paletteIndex.value_or(0)},
                            {.weightedDistance = weighted, .writeExtension = view.HasExtension()}, warnings));
    WarnAll(warnings, quiet);
    const TableComparison comparison = CompareTableFiles(expected, view.Bytes(), kMismatchesShown);
    if (!quiet) {
        Print(FormatComparison(tablesPath, *palette, comparison));
    }
    return comparison.differing == 0 ? kSuccess : kFailure;
}

}  // namespace

const Command kVerifyCommand{"verify", "verify TABLES|LUMP [--palette P [-c] [--format NAME] [--palette-index N]]",
                             "checks a table file, or a lump against one rebuilt from a palette", kHelp, Run};

}  // namespace paltab::paltool
