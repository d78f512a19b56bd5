// paltool verify: a table file's structure, and its bytes against its palette.
#include "command.hpp"
#include "inspect/verify.hpp"
#include "paltab/table_reader.hpp"

namespace paltab::paltool {
namespace {

// Mismatches listed one by one before the summary line.
constexpr std::size_t kMismatchesShown = 20;

constexpr std::string_view kHelp = R"(Usage: paltool verify TABLES [--palette PALETTE [-c]]

Checks the structure of TABLES: its size, the "CWEN" tag, and that every
palette byte is 0..63 or part of an unused entry's 255 255 255.

  --palette PALETTE  also rebuilds the tables from the palette text file, as
                     paltab does (with -n when TABLES has the extension), and
                     compares them byte for byte; each difference is shown with
                     its section, file offset, expected and found byte.
                       paltool verify default.tab --palette examples/default.pal.txt
  -c                 rebuild with the weighted starting distance (paltab -c).
                       paltool verify weighted.tab --palette examples/default.pal.txt -c

Exit status: 0 when the file is sound and matches, 1 when it does not.
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> palette;
    bool weighted = false;
    cli.add_option("TABLES", files);
    cli.add_option("--palette", palette);
    cli.add_flag("-c", weighted);
    if (const auto done = ParseArguments(cli, kVerifyCommand, args)) {
        return *done;
    }
    if (files.size() != 1) {
        return UsageError("verify", "expected one TABLES file");
    }
    if (weighted && !palette) {
        return UsageError("verify", "-c needs --palette");
    }
    const std::string& tablesPath = files[0];
    std::string error;
    const auto file = ColorTableFile::Load(tablesPath, error);
    if (!file) {
        return Failure(error);
    }
    const ColorTableView& view = file->View();
    if (!palette) {
        Print(tablesPath + ": sound, " + std::to_string(view.Bytes().size()) + " bytes" +
              (view.HasExtension() ? " with the extension\n" : " without the extension\n"));
        return kSuccess;
    }
    const auto expected =
        TablesOfPaletteFile(*palette, {.weightedDistance = weighted, .writeExtension = view.HasExtension()}, error);
    if (!expected) {
        return Failure(error);
    }
    const TableComparison comparison = CompareTableFiles(*expected, view.Bytes(), kMismatchesShown);
    Print(FormatComparison(tablesPath, *palette, comparison));
    return comparison.differing == 0 ? kSuccess : kFailure;
}

}  // namespace

const Command kVerifyCommand{"verify", "verify TABLES [--palette P [-c]]",
                             "checks the file; with a palette, every byte against its tables", kHelp, Run};

}  // namespace paltab::paltool
