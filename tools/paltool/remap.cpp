// paltool remap: an image (PNG, JPEG, GIF, BMP, PCX, TGA) to palette indices,
// written as an indexed PNG, BMP, PCX, TGA, GIF or raw file: every pixel its
// exact nearest entry, or what a table file's map gives.
#include <cstdio>

#include "command.hpp"
#include "io/file_io.hpp"
#include "match_options.hpp"
#include "remap_batch.hpp"
#include "remap_options.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool remap IMAGE -o OUT.ext (--palette P | --tables T) [--to FORMAT]
                     [--dither D] [--serpentine] [--strength PERCENT] [--spread N] [--dither-space S]
                     [--report] [--metric M] [--reserve LIST] [--transparent INDEX] [--max-pixels N]
                     [--quiet] [--format NAME] [--palette-index N]
       paltool remap IMAGE... -d DIR (--palette P | --tables T) [-j N] [--force] [--json]
                     [--to FORMAT] [OPTIONS]

Reads IMAGE and writes OUT, an indexed image whose palette is the palette in
order, so that every pixel value is a palette index.
IMAGE, recognised by its content (a TGA by its .tga name): PNG (any colour
type and bit depth; 16-bit samples reduced to 8, no gamma applied), JPEG,
GIF (the first frame), 8-bit BMP, PCX and colour-mapped TGA. An indexed
IMAGE whose palette is the palette (every entry both have the same colour,
every pixel among them) keeps its indices as they are, duplicate colours
included; one in another palette is matched by colour, and a line says so.
A PNG's grAb chunk (a sprite's offsets) is copied to a PNG OUT.
OUT's format is its extension's: .png (8-bit indexed), .bmp (8-bit), .pcx
(8-bit RLE, palette at the end), .tga (colour-mapped), .gif, .raw or .lmp
(the indices alone, width x height bytes: a Doom flat is a 64 x 64 raw); a
name without one (/dev/stdout) is PNG; any other is refused.
                         paltool remap photo.jpg -o photo-game.png --palette game.gpl
                         paltool remap floor.png -o FLOOR4_8.lmp --palette PLAYPAL.lmp

  --to FORMAT          png, bmp, pcx, tga, gif or raw, whatever OUT's name.
                         paltool remap sprite.png -o /dev/stdout --palette game.gpl --to bmp

  --palette P          every pixel gets its exact nearest entry of the palette
                       P (any format, see 'paltool formats') by the metric;
                       among entries at the same distance, the lowest index.
  --tables T           every pixel gets what an engine using the table file T
                       gets: the map entry of its 5-bit cell. PLTE is T's
                       palette (unused entries black).
                         paltool remap photo.png -o preview.png --tables game.tab
  --dither D           none (default); error diffusion: floyd-steinberg (7/16
                       3/16 5/16 1/16), false-floyd-steinberg, jarvis, stucki,
                       burkes, sierra, sierra-2row, sierra-lite, atkinson (6/8
                       of the error); ordered patterns: ordered (8 x 8 Bayer,
                       each component moved by -15..15), bayer2, bayer4,
                       bayer8, bayer16, blue-noise; yliluoma (a mix of entries
                       per colour placed by a Bayer pattern, for any palette).
                         paltool remap photo.png -o dithered.png --palette game.gpl --dither floyd-steinberg
  --serpentine         error diffusion: odd rows right to left.
                         paltool remap photo.png -o out.png --palette p.gpl --dither jarvis --serpentine
  --strength PERCENT   0..100 (default 100): the share of the error passed on,
                       or of the pattern's spread.
                         paltool remap photo.png -o out.png --palette p.gpl --dither atkinson --strength 80
  --spread N           bayer and blue-noise: the offsets span N units (8-bit
                       units; linear light or Oklab lightness x 255). Default:
                       from the palette, its colours' median distance to the
                       nearest other colour.
                         paltool remap photo.png -o out.png --palette p.gpl --dither blue-noise --spread 48
  --dither-space S     srgb (default), linear or oklab: where the error is
                       measured and spread; the lookup stays exact by --metric.
                         paltool remap photo.png -o out.png --palette p.gpl --dither sierra --dither-space linear
  --report             also print the mean squared error of the result against
                       the image and the same after a Gaussian blur of sigma 2
                       (8-bit units, per component, opaque pixels).
                         paltool remap art.png -o out.png --palette p.gpl --dither bayer8 --report
  --metric M           with --palette: rgb (default), linear or oklab.
                         paltool remap photo.png -o photo-game.png --palette game.gpl --metric oklab
  --reserve LIST       with --palette: entries never chosen, e.g. 0,240-255.
                         paltool remap photo.png -o photo-game.png --palette game.gpl --reserve 0,240-255
  --transparent INDEX  pixels with alpha below 128 get INDEX, written as the
                       one transparent entry of a PNG (tRNS) or GIF (BMP, PCX,
                       TGA and raw have none: the index alone); with
                       --palette no other pixel gets it but kept indices.
                       Without it, alpha is ignored, with a warning when some
                       pixels are transparent.
                         paltool remap sprite.png -o sprite-game.png --palette game.gpl --transparent 0
  --max-pixels N       the largest image read, width x height, a whole number
                       1 or more (default 33554432, 8192 x 4096); larger ones
                       are refused before their pixels are decoded.
                         paltool remap poster.png -o poster-game.png --palette game.gpl --max-pixels 100000000
  --quiet              no warnings and no line saying what was written.
  --format NAME        read the --palette file as NAME instead of detecting it.
                         paltool remap photo.png -o out.png --palette dark.pal --format raw
  --palette-index N    which palette of a PLAYPAL lump (default 0).
                         paltool remap photo.png -o out.png --palette PLAYPAL.lmp --palette-index 0

Many files at once: with -d DIR every IMAGE is written as DIR/NAME.EXT,
NAME its file name without the extension, EXT that of --to (default png);
the palette or tables are read once. Two IMAGEs that would get the same
output name, or an output that is one of the IMAGEs, are refused before
anything is read. Each file is written whole or not at all; one that fails
prints its line and the others go on. The lines of each file come together;
a summary line ends the run.
  -d DIR               the directory to write in (made if missing).
                         paltool remap sprites/*.png -d out --palette PLAYPAL.lmp --transparent 247
  -j N                 up to N files at a time, 1..256 (default: the number
                       of processors); each holds one image in memory.
                         paltool remap art/*.png -d out --palette game.gpl -j 2
  --force              convert every file; without it an output newer than
                       its IMAGE and than the palette or tables is skipped as
                       up to date (other options are not compared: after
                       changing them, --force).
                         paltool remap art/*.png -d out --palette game.gpl --force
  --json               instead of the lines on the standard output, one JSON
                       object: "converted", "skipped", "failed" (counts),
                       "seconds" (the whole run), "jobs", and "files", one
                       object per IMAGE in order: "input", "output", "status"
                       ("converted", "skipped" or "failed"), "width" and
                       "height" (converted), "error" (failed: the message),
                       "mean_squared_error" and "blurred_error" (--report).
                       Names that are not UTF-8 show U+FFFD for the bytes.
                         paltool remap art/*.png -d out --palette game.gpl --json > report.json
  A line of progress (files done of all, time so far, an estimate of the
  rest) is redrawn on the standard error stream when it is a terminal,
  unless --quiet.

Exit status: 0 written, 1 error (nothing written; with -d, any file failed),
2 usage error.
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> out, palettePath, tablesPath, metricName, reserve, maxPixelsText;
    std::optional<int> transparent;
    DitherArguments ditherArguments;
    bool quiet = false, report = false;
    cli.add_option("IMAGE", files);
    cli.add_option("-o", out);
    cli.add_option("--palette", palettePath);
    cli.add_option("--tables", tablesPath);
    AddDitherOptions(cli, ditherArguments);
    cli.add_flag("--report", report);
    cli.add_option("--metric", metricName);
    cli.add_option("--reserve", reserve);
    cli.add_option("--transparent", transparent);
    cli.add_option("--max-pixels", maxPixelsText);
    cli.add_flag("--quiet", quiet);
    PaletteOptions paletteOptions;
    AddPaletteOptions(cli, paletteOptions);
    BatchOptions batch;
    AddBatchOptions(cli, batch);
    if (!ParseCommandLine(cli, kRemapCommand, args)) {
        return kSuccess;
    }
    RequireBatchArguments(batch, files, out.has_value());
    if ((!batch.directory && (files.size() != 1 || !out)) || palettePath.has_value() == tablesPath.has_value()) {
        ThrowUsageError("remap", "expected an IMAGE, -o OUT and either --palette P or --tables T");
    }
    ImageRemapOptions settings;
    // -d DIR: --to, checked with the batch options, sets the format later.
    settings.output = batch.directory ? ImageFormat::kPng : RequireOutputFormat("remap", batch.to, *out);
    if (tablesPath && (metricName || reserve)) {
        ThrowUsageError("remap", "--metric and --reserve apply to --palette; --tables uses the file's own map");
    }
    settings.dither = RequireDitherOptions("remap", ditherArguments);
    if (transparent && (*transparent < 0 || *transparent >= static_cast<int>(kPaletteSize))) {
        ThrowUsageError("remap", "--transparent must be an index 0..255");
    }
    settings.maxPixels = RequireMaxPixels("remap", maxPixelsText);
    settings.measureQuality = report;
    if (transparent) {
        settings.transparentIndex = static_cast<std::uint8_t>(*transparent);
    }
    const MatchOptions match = RequireMatchOptions("remap", metricName, reserve);
    const RemapTarget target = palettePath
                                   ? RequirePaletteTarget("remap", *palettePath, paletteOptions, match, transparent, quiet)
                                   : RequireTablesTarget(*tablesPath);
    if (batch.directory) {
        return RunRemapBatch(files, batch, {target, settings, palettePath ? *palettePath : *tablesPath, tablesPath, quiet});
    }
    // The format and a PNG's declared size are checked from the first bytes.
    const auto image = RemapImageFile(files[0], target, settings);
    if (!image) {
        const Error& error = image.error();
        ThrowFailure(error.kind == ErrorKind::kOutput ? CannotWrite(*out, error).Message() : error.Message());
    }
    const RemapMessages messages{target, settings, tablesPath, quiet};
    std::fputs(RemapWarnings(messages, files[0], *image).c_str(), stderr);
    WriteOrFail(*out, image->file);
    Print(RemapReport(messages, files[0], *out, *image));
    return kSuccess;
}

}  // namespace

const Command kRemapCommand{"remap",
                            "remap IMAGE -o OUT.ext (--palette P | --tables T) [--to FORMAT] [--dither D] [OPTIONS]",
                            "an image to palette indices (PNG, BMP, PCX, TGA, GIF, raw): exact nearest entries, or a table file's map", kHelp,
                            Run};

}  // namespace paltab::paltool
