// paltool verify: a table file's structure, and its bytes against its palette.
#include "command.hpp"
#include "inspect/verify.hpp"
#include "paltab/table_reader.hpp"
#include "palette_options.hpp"

namespace paltab::paltool {
namespace {

// Mismatches listed one by one before the summary line.
constexpr std::size_t kMismatchesShown = 20;

constexpr std::string_view kHelp = R"(Usage: paltool verify TABLES [--palette PALETTE [-c] [--format NAME] [--palette-index N]] [--quiet]

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

Exit status: 0 when the file is sound and matches, 1 when it does not.
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> palette;
    std::optional<std::string> formatName;
    std::optional<int> paletteIndex;
    bool weighted = false, quiet = false;
    cli.add_option("TABLES", files);
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

const Command kVerifyCommand{"verify", "verify TABLES [--palette P [-c] [--format NAME] [--palette-index N]]",
                             "checks the file; with a palette, every byte against its tables", kHelp, Run};

}  // namespace paltab::paltool
