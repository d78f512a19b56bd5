// paltool convert: a palette from one format to another.
#include "command.hpp"
#include "palette_options.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool convert IN OUT [--from NAME] [--to NAME] [--palette-index N] [--quiet]

Reads the palette IN and writes its colours, in order, as OUT. IN's format
is detected and OUT's follows its extension (.gpl, .act, .hex, .png, .txt
for text, .pal for jasc, with a warning that says so); the formats:
paltool formats. Reading is strict, as in
'paltool build'. Writing vga (6-bit) from 8-bit colours drops their low two
bits, with a warning.
                         paltool convert fire.gpl fire.act

  --from NAME          read IN as NAME instead of detecting it.
                         paltool convert dark.pal dark.gpl --from raw
  --to NAME            write OUT as NAME whatever its extension (a .pal may
                       be jasc, riff, raw or vga; without --to, jasc).
                         paltool convert fire.gpl fire.pal --to jasc
  --palette-index N    which palette of a PLAYPAL lump (default 0).
                         paltool convert PLAYPAL.lmp pain.gpl --palette-index 1
  --quiet              no warnings and no line saying what was written.
                         paltool convert fire.gpl fire.pal --to vga --quiet

Exit status: 0 written, 1 error (nothing written), 2 usage error.
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> fromName, toName;
    std::optional<int> paletteIndex;
    bool quiet = false;
    cli.add_option("IN OUT", files);
    cli.add_option("--from", fromName);
    cli.add_option("--to", toName);
    cli.add_option("--palette-index", paletteIndex);
    cli.add_flag("--quiet", quiet);
    if (!ParseCommandLine(cli, kConvertCommand, args)) {
        return kSuccess;
    }
    if (files.size() != 2) {
        ThrowUsageError("convert", "expected an IN and an OUT file");
    }
    const std::optional<PaletteFormat> from = RequireFormat("convert", "--from", fromName);
    std::optional<PaletteFormat> to = RequireFormat("convert", "--to", toName);
    if (!to) {
        to = FormatOfOutputName(files[1]);
    }
    // jasc, riff, raw and vga all go by .pal; jasc, the text most programs
    // that read a .pal take, unless --to says which.
    const bool palAsJasc = !to && FileExtension(files[1]) == ".pal";
    if (palAsJasc) {
        to = PaletteFormat::kJasc;
    }
    if (!to) {
        ThrowUsageError("convert", "cannot tell the format to write from the name " + QuotedPath(files[1]) + "; give --to NAME");
    }
    if (!InfoOf(*to).writes) {
        ThrowUsageError("convert", "the " + std::string(InfoOf(*to).name) + " format is read only");
    }
    const PaletteFile palette = RequirePaletteArgument("convert", files[0], from, paletteIndex, quiet);
    std::vector<std::string> warnings;
    OrFail(WritePaletteFile(files[1], palette.palette, *to, warnings));
    if (palAsJasc) {
        warnings.push_back(QuotedPath(files[1]) + " is written as jasc (JASC-PAL text), the most common .pal; "
                           "--to riff, raw or vga writes another");
    }
    WarnAll(warnings, quiet);
    if (!quiet) {
        Print("wrote " + ShownPath(files[1]) + ": " + std::to_string(palette.palette.colors.size()) + " colours, " +
              std::string(InfoOf(palette.format).name) + " to " + std::string(InfoOf(*to).name) + "\n");
    }
    return kSuccess;
}

}  // namespace

const Command kConvertCommand{"convert", "convert IN OUT [--from NAME] [--to NAME] [--palette-index N] [--quiet]",
                              "a palette from one format to another", kHelp, Run};

}  // namespace paltab::paltool
