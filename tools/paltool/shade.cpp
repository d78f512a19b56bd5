// paltool shade: light tables towards black or a fog colour, in the layouts
// engines load.
#include <charconv>

#include "palette_options.hpp"
#include "paltab/lumps.hpp"
#include "table_options.hpp"
#include "table_output.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool shade PALETTE -o OUT --levels N [--fog R,G,B] [--fullbright LIST]
                     [--metric M] [--reserve LIST] [--layout L] [--linear]
                     [--format NAME] [--palette-index N] [--quiet]

Writes a light table: row i (0..N-1) maps each palette entry c to the entry
nearest to c + (fog - c) * i / N. Row 0 is the palette itself; later rows
move towards the fog colour. Each cell is the exact nearest entry by a full
search; equal distances go to the lowest index. PALETTE is a palette file in
any format paltool reads (text, gpl, jasc, act, riff, raw, vga, playpal, hex,
paintnet, png). Entries past the palette's count map to themselves.

  -o OUT             the file to write, whole or not at all.
  --levels N         the number of rows, 1..256 (32 for doom-colormap, where
                     it may be left out).
                       paltool shade examples/default.pal.txt -o light.lmp --levels 32
  --fog R,G,B        the colour the rows fade to, three numbers 0..255
                     (default 0,0,0).
                       paltool shade pal.gpl -o fog.lmp --levels 64 --fog 96,104,120
  --fullbright LIST  entries that keep their own index in every row and are
                     never chosen for others, as 0,240-255.
                       paltool shade pal.gpl -o light.lmp --levels 32 --fullbright 224-239
  --metric M         the distance: rgb (default; linear with --linear),
                     linear (linear light) or oklab.
                       paltool shade pal.gpl -o light.lmp --levels 32 --metric oklab
  --reserve LIST     entries that are never chosen, as 0,240-255.
                       paltool shade pal.gpl -o light.lmp --levels 32 --reserve 0
  --linear           mix in linear light instead of sRGB values.
                       paltool shade pal.gpl -o light.lmp --levels 32 --linear
  --layout L         raw            N x 256 bytes, row by row (default)
                     doom-colormap  a Doom COLORMAP lump, 8704 bytes: 32 rows,
                                    the inverted grey row (each entry to the
                                    grey 255 - Y, Y = 0.2126 R + 0.7152 G +
                                    0.0722 B) and a row of zeros
                     build-palette  a Build engine palette.dat: the palette at
                                    6 bits, N as 16-bit little-endian, the
                                    N x 256 table, and the 50 % translucency
                                    table of 'paltool blend --alpha 50', at
                                    behind * 256 + front as Build indexes it
                     png            a picture: one row of swatches per level
                     c-header       a C array named after OUT
                       paltool shade examples/default.pal.txt -o COLORMAP.lmp --layout doom-colormap
  --format NAME      read PALETTE as NAME instead of detecting it.
                       paltool shade dark.pal -o light.lmp --levels 32 --format raw
  --palette-index N  which palette of a PLAYPAL lump (default 0).
                       paltool shade PLAYPAL.lmp -o COLORMAP.lmp --layout doom-colormap --palette-index 0
  --quiet            no warnings and no summary line.
                       paltool shade pal.gpl -o light.lmp --levels 32 --quiet

Prints one line (unless --quiet): the table's size and the mean and largest
distance from a cell's target colour to the colour it got.
Exit status: 0 written, 1 failure (nothing written), 2 usage error.
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    TableCommandOptions options;
    std::optional<std::string> fog, fullbright, layoutName, levelsText;
    std::optional<int> levels;
    AddTableCommandOptions(cli, options);
    cli.add_option("--levels", levelsText);
    cli.add_option("--fog", fog);
    cli.add_option("--fullbright", fullbright);
    cli.add_option("--layout", layoutName);
    if (!ParseCommandLine(cli, kShadeCommand, args)) {
        return kSuccess;
    }
    RequireOnePaletteAndOutput("shade", options);
    if (levelsText) {
        int value = 0;
        const std::string& t = *levelsText;
        const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
        if (t.empty() || ec != std::errc{} || end != t.data() + t.size() || value < 1 || value > kMaxLightLevels) {
            ThrowUsageError("shade", "--levels '" + t + "' is not a number 1..256");
        }
        levels = value;
    }
    const auto layout = ParseLightLayout(layoutName.value_or("raw"));
    if (!layout) {
        ThrowUsageError("shade", "--layout '" + *layoutName +
                                       "' is not raw, doom-colormap, build-palette, png or c-header");
    }
    if (*layout == LightLayout::kDoomColormap) {
        if (levels && *levels != kDoomLightLevels) {
            ThrowUsageError("shade", "--layout doom-colormap has 32 levels, not " + std::to_string(*levels));
        }
        levels = kDoomLightLevels;
    }
    if (!levels) {
        ThrowUsageError("shade", "expected --levels N");
    }
    LightSettings settings;
    settings.levels = *levels;
    settings.search = RequireSearchSettings("shade", options.search);
    ApplyLightOptions("shade", fog, fullbright, settings);

    const std::string& palettePath = options.files[0];
    const PaletteFile read = RequirePalette("shade", palettePath, options.palette, options.quiet);
    WriteTableAndReport(options,
                        LightTableOutput(read.palette.colors, settings, *layout, palettePath, *options.output,
                                         CommandLine("shade", args)),
                        "", settings.search.metric);
    return kSuccess;
}

}  // namespace

const Command kShadeCommand{"shade", "shade PALETTE -o OUT --levels N [--fog R,G,B] [--layout L] ...",
                            "a light table towards black or a fog colour (raw, Doom, Build, png, C)", kHelp, Run};

}  // namespace paltab::paltool
