// paltool render: PNG pictures of every table of a file, or of a lump.
#include "command.hpp"
#include "lump_options.hpp"
#include "paltab/table_reader.hpp"
#include "palette_options.hpp"
#include "render/lump_pictures.hpp"
#include "render/render.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool render TABLES|LUMP -o DIR [--as KIND] [--palette P] [--format NAME]
                      [--palette-index N] [--quiet]

Writes PNG pictures of the tables into DIR (created when missing) and an
index.html that shows them with captions, all of them or, on a failure,
none (DIR keeps its earlier files). Each cell is a square in the colour of
the entry it holds. For a table file:
  palette.png   the 256 entries as 16 x 16 swatches; unused entries checked grey
  map.png       the 32 red planes of the map, each cell in its entry's colour
  shade.png     with the extension: row = colour, column = level
  add.png       with the extension: row = a, column = b
  mul.png       with the extension: row = a, column = b
For a lump of a game (recognised as paltool info does):
  colormap.png  a COLORMAP's 34 rows of 256 swatches (32 levels, grey, zero)
  tranmap.png   a TRANMAP: row behind, column front, 256 x 256 cells
  playpal.png   a PLAYPAL's 14 palettes of 16 x 16 swatches, 7 to a row
  palette.png, light.png, translucency.png   a Build palette.dat's palette,
                light levels and translucency table
  light.png     a light table: a row of 256 swatches per level
A COLORMAP, TRANMAP or light table holds indices only: --palette gives them
their colours. A PLAYPAL and a palette.dat carry their own.

  -o DIR             the directory to write into.
                       paltool render default.tab -o preview
  --as KIND          read the file as KIND: colormap, tranmap, playpal,
                     build-palette or light (see paltool info).
                       paltool render fade.lmp -o fade --as light --palette doom.gpl
  --palette P        the palette that colours a lump's indices, in any
                     format paltool reads; for a palette.dat, instead of its
                     own 6-bit one. Indices past its colours are checked grey.
                       paltool render COLORMAP.lmp -o colormap --palette PLAYPAL.lmp
  --format NAME      read P as NAME instead of detecting it.
                       paltool render TRANMAP.lmp -o tranmap --palette dark.pal --format raw
  --palette-index N  which palette of a PLAYPAL P (default 0).
                       paltool render COLORMAP.lmp -o pain --palette PLAYPAL.lmp --palette-index 1
  --quiet            no line for each file written.
                       paltool render default.tab -o preview --quiet
)";

// The colours of a lump's indices: --palette, or the lump's own.
std::vector<Rgb8> LumpPalette(const LumpFile& lump, const std::optional<std::string>& palette,
                              const PaletteOptions& options, bool quiet) {
    const LumpKind kind = lump.info.kind;
    if (kind == LumpKind::kPlaypal && palette) {
        ThrowUsageError("render", "a PLAYPAL is drawn in its own colours, without --palette");
    }
    if (!palette) {
        if (kind == LumpKind::kPlaypal || kind == LumpKind::kBuildPalette) {
            return {};
        }
        ThrowUsageError("render", "a " + std::string(LumpTitle(kind)) +
                                      " holds indices only: give --palette P to colour them");
    }
    return RequirePalette("render", *palette, options, quiet).palette.colors;
}

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> directory, asName, palette;
    bool quiet = false;
    PaletteOptions paletteOptions;
    cli.add_option("TABLES", files);
    cli.add_option("-o", directory);
    cli.add_option("--as", asName);
    cli.add_option("--palette", palette);
    AddPaletteOptions(cli, paletteOptions);
    cli.add_flag("--quiet", quiet);
    if (!ParseCommandLine(cli, kRenderCommand, args)) {
        return kSuccess;
    }
    if (files.size() != 1 || !directory) {
        ThrowUsageError("render", "expected one TABLES file and -o DIR");
    }
    if (!palette && (paletteOptions.format || paletteOptions.paletteIndex)) {
        ThrowUsageError("render", std::string(paletteOptions.format ? "--format" : "--palette-index") +
                                      " needs --palette");
    }
    const std::optional<LumpFile> lump = RequireLumpArgument("render", files[0], asName);
    std::vector<std::string> written;
    if (lump) {
        const std::vector<Rgb8> colors = LumpPalette(*lump, palette, paletteOptions, quiet);
        const auto pictures = RenderLump(lump->bytes, lump->info, colors);
        const std::string heading = std::string(LumpTitle(lump->info.kind)) + " " + files[0];
        OrFail(WritePictures(pictures, heading, *directory, written));
    } else {
        if (palette) {
            ThrowUsageError("render", "a table file carries its palette; --palette is for lumps");
        }
        const auto tables = ValueOrFail(ColorTableFile::Load(files[0]));
        OrFail(WritePreviews(tables.View(), files[0], *directory, written));
    }
    if (!quiet) {
        for (const std::string& path : written) {
            Print("wrote " + ShownPath(path) + "\n");
        }
    }
    return kSuccess;
}

}  // namespace

const Command kRenderCommand{"render", "render TABLES|LUMP -o DIR [--as KIND] [--palette P] [--quiet]",
                             "PNG pictures of the tables or a lump, and an index.html to view them", kHelp, Run};

}  // namespace paltab::paltool
