// paltool remap: a PNG image to palette indices, written as an 8-bit indexed
// PNG: every pixel its exact nearest entry, or what a table file's map gives.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>

#include "command.hpp"
#include "io/file_io.hpp"
#include "match_options.hpp"
#include "palette_options.hpp"
#include "paltab/remap_image.hpp"
#include "paltab/table_reader.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool remap IMAGE -o OUT.png (--palette P | --tables T) [--dither D]
                     [--serpentine] [--strength PERCENT] [--spread N] [--dither-space S] [--report]
                     [--metric M] [--reserve LIST] [--transparent INDEX] [--max-pixels N] [--quiet]
                     [--format NAME] [--palette-index N]

Reads the PNG IMAGE (any colour type and bit depth; 16-bit samples reduced
to 8, no gamma applied) and writes OUT.png, an 8-bit indexed PNG whose PLTE
is the palette in order, so that every pixel value is a palette index. OUT
ends in .png (or has no extension, as /dev/stdout); other names are refused.
                         paltool remap photo.png -o photo-game.png --palette game.gpl

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
                       PNG's one transparent entry (tRNS); with --palette no
                       other pixel gets it. Without it, alpha is ignored,
                       with a warning when some pixels are transparent.
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

Exit status: 0 written, 1 error (nothing written), 2 usage error.
)";

// A whole number 1 or more in decimal digits only: CLI11 would read "-1"
// into an unsigned value as its largest.
std::optional<std::uint64_t> ParsePixelCount(std::string_view text) {
    std::uint64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || text.front() < '0' || text.front() > '9' || ec != std::errc{} ||
        end != text.data() + text.size() || value == 0) {
        return std::nullopt;
    }
    return value;
}

// The image formats remap writes, by the extension of the output name. A
// name without an extension (/dev/stdout) is written as the first.
struct OutputFormat {
    std::string_view extension;  // lower case, with its dot
    std::string_view name;
};
constexpr OutputFormat kOutputFormats[] = {{".png", "PNG"}};

bool WritesExtension(std::string_view extension) {
    return extension.empty() || std::any_of(std::begin(kOutputFormats), std::end(kOutputFormats),
                                            [&](const OutputFormat& f) { return f.extension == extension; });
}

std::string OutputExtensionList() {
    std::string list;
    for (const OutputFormat& format : kOutputFormats) {
        list += (list.empty() ? "" : ", ") + std::string(format.extension);
    }
    return list;
}

std::variant<RemapTarget, int> LoadPalette(const std::string& path, const PaletteOptions& paletteOptions,
                                           MatchOptions options, std::optional<int> transparent, bool quiet) {
    const auto read = ReadPaletteWithOptions("remap", path, paletteOptions, quiet);
    if (const int* status = std::get_if<int>(&read)) {
        return *status;
    }
    const std::vector<Rgb8>& colors = std::get<PaletteFile>(read).palette.colors;
    if (transparent) {
        if (static_cast<std::size_t>(*transparent) >= colors.size()) {
            return UsageError("remap", "--transparent " + std::to_string(*transparent) + " is not an entry of " +
                                           QuotedPath(path) + " (" + std::to_string(colors.size()) + " colours)");
        }
        options.reserved.set(static_cast<std::size_t>(*transparent));
    }
    auto target = RemapTargetOfPalette(colors, options);
    if (!target) {
        return Failure("cannot use " + QuotedPath(path) + ": " + target.error().Message());
    }
    return std::move(*target);
}

std::variant<RemapTarget, int> LoadTables(const std::string& path) {
    std::string error;
    const auto file = ColorTableFile::Load(path, error);
    if (!file) {
        return Failure(error);
    }
    return RemapTargetOfTables(file->View());
}

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> out, palettePath, tablesPath, ditherName, metricName, reserve, maxPixelsText;
    std::optional<int> transparent;
    std::optional<std::string> spaceName;
    std::optional<int> strength;
    std::optional<double> spread;
    bool quiet = false, serpentine = false, report = false;
    cli.add_option("IMAGE", files);
    cli.add_option("-o", out);
    cli.add_option("--palette", palettePath);
    cli.add_option("--tables", tablesPath);
    cli.add_option("--dither", ditherName);
    cli.add_flag("--serpentine", serpentine);
    cli.add_option("--strength", strength);
    cli.add_option("--spread", spread);
    cli.add_option("--dither-space", spaceName);
    cli.add_flag("--report", report);
    cli.add_option("--metric", metricName);
    cli.add_option("--reserve", reserve);
    cli.add_option("--transparent", transparent);
    cli.add_option("--max-pixels", maxPixelsText);
    cli.add_flag("--quiet", quiet);
    PaletteOptions paletteOptions;
    AddPaletteOptions(cli, paletteOptions);
    if (const auto done = ParseArguments(cli, kRemapCommand, args)) {
        return *done;
    }
    if (files.size() != 1 || !out || palettePath.has_value() == tablesPath.has_value()) {
        return UsageError("remap", "expected an IMAGE, -o OUT.png and either --palette P or --tables T");
    }
    if (!WritesExtension(FileExtension(*out))) {
        return UsageError("remap", "cannot write " + QuotedPath(*out) + ": remap writes " + OutputExtensionList() +
                                       " images");
    }
    if (tablesPath && (metricName || reserve)) {
        return UsageError("remap", "--metric and --reserve apply to --palette; --tables uses the file's own map");
    }
    DitherOptions dither;
    if (const auto method = ParseDitherMethod(ditherName.value_or("none"))) {
        dither.method = *method;
    } else {
        return UsageError("remap", "--dither '" + *ditherName + "' is not a dithering method (see --help)");
    }
    if (const auto space = ParseDitherSpace(spaceName.value_or("srgb"))) {
        dither.space = *space;
    } else {
        return UsageError("remap", "--dither-space '" + *spaceName + "' is not srgb, linear or oklab");
    }
    if (strength && (*strength < 0 || *strength > kMaxStrength)) {
        return UsageError("remap", "--strength must be a percentage 0..100");
    }
    if (spread && !(*spread >= 0 && *spread <= 1e6)) {
        return UsageError("remap", "--spread must be a number 0 or more");
    }
    dither.serpentine = serpentine;
    dither.strength = strength.value_or(kMaxStrength);
    dither.spread = spread;
    if (transparent && (*transparent < 0 || *transparent >= static_cast<int>(kPaletteSize))) {
        return UsageError("remap", "--transparent must be an index 0..255");
    }
    std::optional<std::uint64_t> maxPixels;
    if (maxPixelsText) {
        maxPixels = ParsePixelCount(*maxPixelsText);
        if (!maxPixels) {
            return UsageError("remap", "--max-pixels '" + *maxPixelsText + "' is not a whole number 1 or more");
        }
    }
    const auto options = MatchOptionsOf("remap", metricName, reserve);
    if (const int* status = std::get_if<int>(&options)) {
        return *status;
    }
    auto loaded = palettePath ? LoadPalette(*palettePath, paletteOptions, std::get<MatchOptions>(options), transparent, quiet)
                              : LoadTables(*tablesPath);
    if (const int* status = std::get_if<int>(&loaded)) {
        return *status;
    }
    const RemapTarget& target = std::get<RemapTarget>(loaded);

    ImageRemapOptions settings;
    settings.maxPixels = maxPixels.value_or(kDefaultMaxPixels);
    settings.dither = dither;
    settings.measureQuality = report;
    if (transparent) {
        settings.transparentIndex = static_cast<std::uint8_t>(*transparent);
    }
    // Decoded as it is read: the signature and the declared size are
    // checked first, and the file is never held whole.
    const auto image = RemapImageFile(files[0], target, settings);
    if (!image) {
        const std::string cause = image.error().Message();
        return Failure(image.error().kind == ErrorKind::kOutput ? CannotWrite(*out, cause) : CannotRead(files[0], cause));
    }
    if (!quiet && image->clearPixels > 0) {
        Warn(std::to_string(image->clearPixels) + " pixels of " + QuotedPath(files[0]) +
             " have alpha below 128 and get opaque colours; --transparent INDEX keeps them transparent");
    }
    if (transparent && tablesPath && !quiet && image->opaqueTransparent > 0) {
        Warn(std::to_string(image->opaqueTransparent) + " opaque pixels get entry " + std::to_string(*transparent) +
             " from the map of " + QuotedPath(*tablesPath) + " and show as transparent");
    }
    std::string error;
    if (!WriteFileBytes(*out, image->file, error)) {
        return Failure(error);
    }
    if (!quiet) {
        Print("wrote " + ShownPath(*out) + ": " + std::to_string(image->width) + " x " + std::to_string(image->height) +
              " pixels, " + std::to_string(target.palette.size()) + " colours, dither " +
              std::string(DitherMethodName(dither.method)) +
              (target.search ? ", " + std::string(MetricName(target.search->GetMetric())) : ", map of " + ShownPath(*tablesPath)) +
              "\n");
    }
    if (const auto& quality = image->quality) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "mean squared error %.2f (root %.2f), blurred %.2f (root %.2f); Gaussian sigma 2, "
                      "8-bit units per component\n",
                      quality->meanSquaredError, std::sqrt(quality->meanSquaredError), quality->blurredError,
                      std::sqrt(quality->blurredError));
        Print(text);
    }
    return kSuccess;
}

}  // namespace

const Command kRemapCommand{"remap",
                            "remap IMAGE -o OUT.png (--palette P | --tables T) [--dither D] [OPTIONS]",
                            "a PNG image to palette indices: exact nearest entries, or a table file's map", kHelp,
                            Run};

}  // namespace paltab::paltool
