// paltool playpal: a PLAYPAL lump of 14 palettes from a base palette and the
// tints of Doom-engine games (or others).
#include "io/file_io.hpp"
#include "paltab/lumps.hpp"
#include "palette_options.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool playpal BASE -o PLAYPAL.lmp [--tint K:R,G,B:F]... [--quiet]
                       [--format NAME] [--palette-index N]

Writes a PLAYPAL lump: 14 palettes of 256 colours, 10752 bytes. Palette 0 is
BASE; every other palette moves each entry towards a tint colour t by a
fraction f, each component c becoming c + floor((t - c) * f), computed
exactly. A BASE of fewer than 256 colours is padded with black. BASE is a
palette file in any format paltool reads.

The default tints, the scheme of Doom-engine games:
  1..8    pain and berserk     towards 255,0,0 by 9/80, 18/80, ... 72/80 (0.9)
  9..12   item pick-up         towards 215,186,69 by 1/8, 2/8, 3/8, 4/8
  13      radiation suit       towards 0,255,0 by 1/5

  -o OUT               the file to write, whole or not at all.
                         paltool playpal doom.gpl -o PLAYPAL.lmp
  --tint K:R,G,B:F     palette K (1..13) towards R,G,B by F (0..1, as 0.125
                       or 1/8); may be given for several palettes.
                         paltool playpal base.pal -o PLAYPAL.lmp --tint 13:0,128,255:1/4
                         paltool playpal base.pal -o PLAYPAL.lmp --tint 9:255,255,255:0.1 --tint 10:255,255,255:0.2
  --quiet              no warnings and no line saying what was written.
                         paltool playpal sixteen.gpl -o PLAYPAL.lmp --quiet
  --format NAME        read BASE as NAME instead of detecting it.
                         paltool playpal dark.pal -o PLAYPAL.lmp --format raw
  --palette-index N    which palette of a PLAYPAL BASE (default 0).
                         paltool playpal OLDPAL.lmp -o PLAYPAL.lmp --palette-index 0

Exit status: 0 written, 1 failure (nothing written), 2 usage error.
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> output;
    std::vector<std::string> tintTexts;
    bool quiet = false;
    cli.add_option("BASE", files);
    cli.add_option("-o", output);
    cli.add_option("--tint", tintTexts);
    cli.add_flag("--quiet", quiet);
    PaletteOptions paletteOptions;
    AddPaletteOptions(cli, paletteOptions);
    if (!ParseCommandLine(cli, kPlaypalCommand, args)) {
        return kSuccess;
    }
    if (files.size() != 1 || !output) {
        ThrowUsageError("playpal", "expected one BASE palette file and -o OUT");
    }
    PlaypalTints tints = DefaultPlaypalTints();
    for (const std::string& text : tintTexts) {
        const auto option = ParseTintOption(text);
        if (!option) {
            ThrowUsageError("playpal", "--tint: " + option.error().Message());
        }
        tints[static_cast<std::size_t>(option->palette)] = option->tint;
    }
    const PaletteFile read = RequirePalette("playpal", files[0], paletteOptions, quiet);
    const std::vector<Rgb8>& colors = read.palette.colors;
    const auto bytes = MakePlaypal(colors, tints);
    if (!bytes) {
        ThrowFailure("'" + files[0] + "': " + bytes.error().Message());
    }
    WriteOrFail(*output, *bytes);
    if (!quiet) {
        if (colors.size() < kPaletteSize) {
            Warn("'" + files[0] + "' has " + std::to_string(colors.size()) + " colours; entries " +
                 std::to_string(colors.size()) + "..255 of every palette are black");
        }
        Print("wrote " + *output + ": PLAYPAL of 14 palettes, " + std::to_string(bytes->size()) + " bytes, from " +
              std::to_string(colors.size()) + " colours\n");
    }
    return kSuccess;
}

}  // namespace

const Command kPlaypalCommand{"playpal", "playpal BASE -o PLAYPAL.lmp [--tint K:R,G,B:F]...",
                              "a Doom PLAYPAL lump of 14 tinted palettes from a base palette", kHelp, Run};

}  // namespace paltab::paltool
