// paltool info: a summary of a table file, or a description of a lump.
#include "command.hpp"
#include "inspect/info.hpp"
#include "lump_options.hpp"
#include "paltab/table_reader.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool info TABLES|LUMP [--as KIND]

For a table file: its size and whether it has the extension, each section's
offset, size and CRC-32, how many palette entries are used, the used entries
that own no map cell (a duplicate colour, or one hidden by nearer entries),
and how many map cells each entry owns.

For a lump of a game, recognised by its size: a Doom COLORMAP (8704 bytes),
a TRANMAP (65536), a PLAYPAL (10752), a Build palette.dat (768 + 2 +
levels x 256 + 65536) or a light table (levels x 256): what it is and the
facts to check first (rows that map every entry to itself, entries that keep
their own index in every light row, a palette's repeated colours, how each
PLAYPAL palette relates to the default tints).

  --as KIND   read the file as KIND: colormap, tranmap, playpal,
              build-palette or light, where the size is ambiguous (a
              TRANMAP is also a light table of 256 levels); a file whose
              size does not fit KIND is an error.
                paltool info fade.lmp --as light

Examples:
  paltool info default.tab
  paltool info COLORMAP.lmp
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> asName;
    cli.add_option("TABLES", files);
    cli.add_option("--as", asName);
    if (!ParseCommandLine(cli, kInfoCommand, args)) {
        return kSuccess;
    }
    if (files.size() != 1) {
        ThrowUsageError("info", "expected one TABLES file");
    }
    if (const auto lump = RequireLumpArgument("info", files[0], asName)) {
        Print(ShownPath(files[0]) + ": " + DescribeLump(lump->bytes, lump->info));
        return kSuccess;
    }
    const auto file = ValueOrFail(ColorTableFile::Load(files[0]));
    Print(FormatSummary(files[0], file.View(), SummarizeColorTableFile(file.View())));
    return kSuccess;
}

}  // namespace

const Command kInfoCommand{"info", "info TABLES|LUMP [--as KIND]",
                           "a table file's sections and entries, or what a game's lump is", kHelp, Run};

}  // namespace paltab::paltool
