// paltool blend: translucency and blend-mode tables of palette indices.
#include "palette_options.hpp"
#include "table_options.hpp"
#include "table_output.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool blend PALETTE -o OUT (--alpha PERCENT | --mode MODE)
                     [--metric M] [--reserve LIST] [--linear] [--layout L]
                     [--format NAME] [--palette-index N] [--quiet]

Writes a 256 x 256 blend table: the byte at behind * 256 + front is the
entry nearest to the mix of front, the colour drawn (the translucent
colour), over behind, the colour already on screen, by a full search; equal
distances go to the lowest index. Every layout has a row per behind colour
and a column per front colour: the order in which Boom's TRANMAP and Build's
translucency table are indexed, tranmap[behind * 256 + front].
PALETTE is a palette file in any format paltool reads. A cell with an entry
past the palette's count takes the other operand (behind when both are).

  -o OUT           the file to write, whole or not at all.
  --alpha PERCENT  translucency front * p + behind * (1 - p), p = PERCENT / 100,
                   a whole number 0..100: how opaque the front colour is.
                   66 is Boom's default tran_filter_pct:
                     paltool blend PLAYPAL.lmp -o TRANMAP.lmp --alpha 66
  --mode MODE      per component of 8-bit values, f front and b behind:
                     alpha     as --alpha (which then gives its percent)
                     add       min(f + b, 255)
                     subtract  max(b - f, 0): front darkens behind
                     multiply  f * b / 255
                     screen    255 - (255 - f) * (255 - b) / 255
                     min, max  the smaller or larger of f and b
                     average   alpha at 50 %
                     paltool blend pal.gpl -o add.lmp --mode add
  --metric M       the distance: rgb (default; linear with --linear),
                   linear (linear light) or oklab.
                     paltool blend pal.gpl -o glass.lmp --alpha 25 --metric oklab
  --reserve LIST   entries that are never chosen, as 0,240-255.
                     paltool blend pal.gpl -o glass.lmp --alpha 50 --reserve 0,240-255
  --linear         mix in linear light (0..1) instead of sRGB values.
                     paltool blend pal.gpl -o glass.lmp --alpha 50 --linear
  --layout L       raw       65536 bytes, a row of 256 per behind colour
                             (default; Boom's TRANMAP lump)
                   png       a picture: row behind, column front, one cell
                             per pair
                   c-header  a C array NAME[behind * 256 + front], NAME
                             from OUT's name
                     paltool blend pal.gpl -o glass.png --alpha 66 --layout png
  --format NAME    read PALETTE as NAME instead of detecting it.
                     paltool blend dark.pal -o glass.lmp --alpha 50 --format raw
  --palette-index N  which palette of a PLAYPAL lump (default 0).
                     paltool blend PLAYPAL.lmp -o glass.lmp --alpha 50 --palette-index 0
  --quiet          no warnings and no summary line.
                     paltool blend pal.gpl -o glass.lmp --alpha 50 --quiet

Prints one line (unless --quiet): the table's size and the mean and largest
distance from a cell's target colour to the colour it got.
Exit status: 0 written, 1 failure (nothing written), 2 usage error.
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    TableCommandOptions options;
    std::optional<std::string> alpha, modeName, layoutName;
    AddTableCommandOptions(cli, options);
    cli.add_option("--alpha", alpha);
    cli.add_option("--mode", modeName);
    cli.add_option("--layout", layoutName);
    if (!ParseCommandLine(cli, kBlendCommand, args)) {
        return kSuccess;
    }
    RequireOnePaletteAndOutput("blend", options);
    TranslucencySettings settings = RequireTranslucencySettings("blend", alpha, modeName);
    const auto layout = ParseBlendLayout(layoutName.value_or("raw"));
    if (!layout) {
        ThrowUsageError("blend", "--layout '" + *layoutName + "' is not raw, png or c-header");
    }
    settings.search = RequireSearchSettings("blend", options.search);

    const std::string& palettePath = options.files[0];
    const PaletteFile read = RequirePalette("blend", palettePath, options.palette, options.quiet);
    WriteTableAndReport(options,
                        TranslucencyTableOutput(read.palette.colors, settings, *layout, palettePath, *options.output,
                                                CommandLine("blend", args)),
                        "blend table, ", settings.search.metric);
    return kSuccess;
}

}  // namespace

const Command kBlendCommand{"blend", "blend PALETTE -o OUT (--alpha PERCENT | --mode MODE) ...",
                            "a translucency or blend-mode table (raw, png, C)", kHelp, Run};

}  // namespace paltab::paltool
