// paltool build: the table file of a palette in any format, as paltab writes
// it, with the conventional exit status.
#include "command.hpp"
#include "io/file_io.hpp"
#include "paltab/color_tables.hpp"
#include "palette_options.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool build PALETTE TABLES [-c] [-n] [--format NAME] [--palette-index N] [--quiet]

Reads PALETTE in any format paltool knows (see 'paltool formats') and writes
TABLES, byte for byte the file paltab writes for the same colours given as
its palette text: N colours fill entries 0..N-1, the rest stay unused.
Reading is strict: a bad number or line, a count that disagrees, a short
file or more than 256 colours is an error, and then nothing is written.
Unlike paltab, the exit status is 0 when TABLES was written, as scripts and
Makefiles expect.
                         paltool build fire.gpl fire.tab

  -c                   weighted starting distance, as paltab -c.
                         paltool build fire.gpl fire.tab -c
  -n                   also the shade and blend tables, as paltab -n.
                         paltool build fire.gpl fire.tab -n
  --format NAME        read PALETTE as NAME instead of detecting it.
                         paltool build dark.pal dark.tab --format raw
  --palette-index N    which palette of a PLAYPAL lump (default 0).
                         paltool build PLAYPAL.lmp pain.tab --palette-index 1
  --quiet              no warnings (a colour that repeats an earlier one and
                       is never chosen, a vga guess, colours beyond the
                       file's count, a palette text paltab would read
                       otherwise) and no line saying what was written.
                         paltool build fire.gpl fire.tab -n --quiet

Exit status: 0 written, 1 error (nothing written), 2 usage error.
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> formatName;
    std::optional<int> paletteIndex;
    bool weighted = false, extension = false, quiet = false;
    cli.add_option("PALETTE TABLES", files);
    cli.add_flag("-c", weighted);
    cli.add_flag("-n", extension);
    cli.add_option("--format", formatName);
    cli.add_option("--palette-index", paletteIndex);
    cli.add_flag("--quiet", quiet);
    if (!ParseCommandLine(cli, kBuildCommand, args)) {
        return kSuccess;
    }
    if (files.size() != 2) {
        ThrowUsageError("build", "expected a PALETTE and a TABLES file");
    }
    const PaletteFile palette = RequirePaletteArgument(
        "build", files[0], RequireFormat("build", "--format", formatName), paletteIndex, quiet);
    WarnAll(DuplicateColorWarnings(palette.palette.colors), quiet);
    // A palette text is meant for paltab too: say where paltab would take
    // other colours from the same file without anything to see in an editor.
    // (The file was read once already: failing now, it gets no warning.)
    if (palette.format == PaletteFormat::kText) {
        const auto bytes = ReadPaletteFileBytes(files[0]);
        const auto differs = bytes ? GeneratorReadsDifferently(*bytes, palette.palette.colors) : std::nullopt;
        if (differs) {
            WarnAll({"'" + files[0] + "': " + *differs}, quiet);
        }
    }

    const std::vector<std::uint8_t> tables = GenerateColorTableFile(
        ToGeneratorPalette(palette.palette.colors), {.weightedDistance = weighted, .writeExtension = extension});
    WriteOrFail(files[1], tables);
    if (!quiet) {
        Print("wrote " + ShownPath(files[1]) + ": " + std::to_string(tables.size()) + " bytes, " +
              std::to_string(palette.palette.colors.size()) + " colours read as " +
              std::string(InfoOf(palette.format).name) + "\n");
    }
    return kSuccess;
}

}  // namespace

const Command kBuildCommand{"build", "build PALETTE TABLES [-c] [-n] [--format NAME] [--palette-index N] [--quiet]",
                            "tables from a palette in any format, as paltab writes them", kHelp, Run};

}  // namespace paltab::paltool
