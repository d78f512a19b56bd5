// paltool info: a summary of a table file.
#include "command.hpp"
#include "inspect/info.hpp"
#include "paltab/table_reader.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool info TABLES

Prints the size of TABLES and whether it has the extension, each section's
offset, size and CRC-32, how many palette entries are used, the used entries
that own no map cell (a duplicate colour, or one hidden by nearer entries),
and how many map cells each entry owns.

Example:
  paltool info default.tab
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    cli.add_option("TABLES", files);
    if (const auto done = ParseArguments(cli, kInfoCommand, args)) {
        return *done;
    }
    if (files.size() != 1) {
        return UsageError("info", "expected one TABLES file");
    }
    std::string error;
    const auto file = ColorTableFile::Load(files[0], error);
    if (!file) {
        return Failure(error);
    }
    Print(FormatSummary(files[0], file->View(), SummarizeColorTableFile(file->View())));
    return kSuccess;
}

}  // namespace

const Command kInfoCommand{"info", "info TABLES",
                           "size, sections and checksums, entries, map cells per entry", kHelp, Run};

}  // namespace paltab::paltool
