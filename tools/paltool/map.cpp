// paltool map: the exact nearest-entry map of a palette, at 5 to 8 bits per
// component, as raw bytes or a C header.
#include "command.hpp"
#include "export/c_header.hpp"
#include "map_summary.hpp"
#include "match_options.hpp"
#include "palette_options.hpp"
#include "table_options.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool map PALETTE -o OUT --bits N [--metric M] [--reserve LIST] [--c-header NAME] [--quiet]
                   [--format NAME] [--palette-index N]

Writes the exact map of PALETTE (any format, see 'paltool formats'): for
every cell of a cube of N bits per component, the index of the palette entry
nearest to the cell's centre; among entries at the same distance, the lowest
index. (2^N)^3 bytes, cell number r << 2N | g << N | b (red highest), the
cell of an 8-bit colour c being c >> (8 - N) per component; at N = 5 the
layout of paltab's map. Prints the largest distance from a cell to its
entry, and at N = 5 by rgb with nothing reserved, how many cells paltab's
own map (a faster scan that may stop early) gives another entry.
                         paltool map fire.gpl -o fire.map --bits 6

  -o OUT               the file to write, whole or not at all.
  --bits N             5, 6, 7 or 8 bits per component: 32 KiB to 16 MiB.
                         paltool map game.pal -o game8.map --bits 8
  --metric M           rgb (squared difference of 8-bit components, the
                       default), linear (linear light) or oklab.
                         paltool map game.pal -o game.map --bits 6 --metric oklab
  --reserve LIST       entries never chosen: indices and ranges.
                         paltool map game.pal -o game.map --bits 6 --reserve 0,240-255
  --c-header NAME      write OUT as a C header with the array NAME, a C
                       identifier that is no keyword of C or C++.
                         paltool map game.pal -o game_map.h --bits 5 --c-header game_map
  --quiet              no warnings and no summary.
  --format NAME        read PALETTE as NAME instead of detecting it.
                         paltool map dark.pal -o dark.map --bits 6 --format raw
  --palette-index N    which palette of a PLAYPAL lump (default 0).
                         paltool map PLAYPAL.lmp -o doom.map --bits 6 --palette-index 0

Exit status: 0 written, 1 error (nothing written), 2 usage error.
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> out, metricName, reserve, headerName;
    std::optional<int> bits;
    bool quiet = false;
    cli.add_option("PALETTE", files);
    cli.add_option("-o", out);
    cli.add_option("--bits", bits);
    cli.add_option("--metric", metricName);
    cli.add_option("--reserve", reserve);
    cli.add_option("--c-header", headerName);
    PaletteOptions paletteOptions;
    AddPaletteOptions(cli, paletteOptions);
    cli.add_flag("--quiet", quiet);
    if (!ParseCommandLine(cli, kMapCommand, args)) {
        return kSuccess;
    }
    if (files.size() != 1 || !out || !bits) {
        ThrowUsageError("map", "expected a PALETTE, -o OUT and --bits N");
    }
    if (*bits < ExactColorMap::kMinBits || *bits > ExactColorMap::kMaxBits) {
        ThrowUsageError("map", "--bits must be 5, 6, 7 or 8");
    }
    if (headerName && !CArrayNameProblem(*headerName).empty()) {
        ThrowUsageError("map", "--c-header '" + *headerName + "' " + std::string(CArrayNameProblem(*headerName)));
    }
    const MatchOptions match = RequireMatchOptions("map", metricName, reserve);
    const PaletteFile read = RequirePalette("map", files[0], paletteOptions, quiet);
    const std::vector<Rgb8>& colors = read.palette.colors;
    const MatchPalette palette = RequireMatchPalette(files[0], colors, match);
    const ExactColorMap map = ValueOrFail(ExactColorMap::Build(palette, *bits));

    if (headerName) {
        const std::string description = MapHeaderDescription(map, colors.size(), match.metric, *headerName);
        WriteOrFail(*out, MakeCArrayHeader(*headerName, map.Cells(), description, CommandLine("map", args)));
    } else {
        WriteOrFail(*out, map.Cells());
    }
    if (!quiet) {
        Print("wrote " + ShownPath(*out) + ": " + MapSummary(map, colors, palette.Entries().size(), match));
    }
    return kSuccess;
}

}  // namespace

const Command kMapCommand{"map", "map PALETTE -o OUT --bits N [--metric M] [--reserve LIST] [--c-header NAME]",
                          "the exact nearest-entry map of a palette, 5 to 8 bits per component", kHelp, Run};

}  // namespace paltab::paltool
