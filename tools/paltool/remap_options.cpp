// The options of paltool remap that are read into the pipeline's settings.
#include "remap_options.hpp"

#include <algorithm>
#include <charconv>
#include <iterator>

#include "io/file_io.hpp"
#include "paltab/table_reader.hpp"

namespace paltab::paltool {
namespace {

// The image formats remap writes, by the extension of the output name or
// --to. A name without an extension (/dev/stdout) is written as the first.
constexpr ImageFormat kOutputFormats[] = {ImageFormat::kPng, ImageFormat::kBmp, ImageFormat::kPcx,
                                          ImageFormat::kTga, ImageFormat::kGif, ImageFormat::kRaw};

bool Writes(std::optional<ImageFormat> format) {
    return format && std::find(std::begin(kOutputFormats), std::end(kOutputFormats), *format) != std::end(kOutputFormats);
}

std::string OutputFormatList(bool extensions) {
    std::string list;
    for (const ImageFormat format : kOutputFormats) {
        list += (list.empty() ? "" : ", ") +
                std::string(extensions ? ImageFormatExtension(format) : ImageFormatName(format));
    }
    return list + (extensions ? ", .lmp" : "");
}

}  // namespace

void AddDitherOptions(CLI::App& cli, DitherArguments& arguments) {
    cli.add_option("--dither", arguments.method);
    cli.add_flag("--serpentine", arguments.serpentine);
    cli.add_option("--strength", arguments.strength);
    cli.add_option("--spread", arguments.spread);
    cli.add_option("--dither-space", arguments.space);
}

DitherOptions RequireDitherOptions(std::string_view command, const DitherArguments& arguments) {
    DitherOptions dither;
    if (const auto method = ParseDitherMethod(arguments.method.value_or("none"))) {
        dither.method = *method;
    } else {
        ThrowUsageError(command, "--dither '" + *arguments.method + "' is not a dithering method (see --help)");
    }
    if (const auto space = ParseDitherSpace(arguments.space.value_or("srgb"))) {
        dither.space = *space;
    } else {
        ThrowUsageError(command, "--dither-space '" + *arguments.space + "' is not srgb, linear or oklab");
    }
    const std::optional<int>& strength = arguments.strength;
    if (strength && (*strength < 0 || *strength > kMaxStrength)) {
        ThrowUsageError(command, "--strength must be a percentage 0..100");
    }
    const std::optional<double>& spread = arguments.spread;
    if (spread && !(*spread >= 0 && *spread <= 1e6)) {
        ThrowUsageError(command, "--spread must be a number 0 or more");
    }
    dither.serpentine = arguments.serpentine;
    dither.strength = strength.value_or(kMaxStrength);
    dither.spread = spread;
    return dither;
}

ImageFormat RequireOutputFormat(std::string_view command, const std::optional<std::string>& toName,
                                const std::string& out) {
    if (toName) {
        const std::optional<ImageFormat> format = ParseImageFormat(*toName);
        if (!Writes(format)) {
            ThrowUsageError(command, "--to '" + *toName + "' is not a format " + std::string(command) + " writes (" +
                                         OutputFormatList(false) + ")");
        }
        return *format;
    }
    const std::optional<ImageFormat> format =
        FileExtension(out).empty() ? std::optional(ImageFormat::kPng) : ImageFormatOfName(out);
    if (!Writes(format)) {
        ThrowUsageError(command, "cannot write " + QuotedPath(out) + ": " + std::string(command) + " writes " +
                                     OutputFormatList(true) + " images (or --to FORMAT)");
    }
    return *format;
}

std::uint64_t RequireMaxPixels(std::string_view command, const std::optional<std::string>& text) {
    if (!text) {
        return kDefaultMaxPixels;
    }
    std::uint64_t value = 0;
    const std::string_view digits = *text;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (digits.empty() || digits.front() < '0' || digits.front() > '9' || ec != std::errc{} ||
        end != digits.data() + digits.size() || value == 0) {
        ThrowUsageError(command, "--max-pixels '" + *text + "' is not a whole number 1 or more");
    }
    return value;
}

RemapTarget RequirePaletteTarget(std::string_view command, const std::string& path,
                                 const PaletteOptions& paletteOptions, MatchOptions options,
                                 std::optional<int> transparent, bool quiet) {
    const PaletteFile read = RequirePalette(command, path, paletteOptions, quiet);
    const std::vector<Rgb8>& colors = read.palette.colors;
    if (transparent) {
        if (static_cast<std::size_t>(*transparent) >= colors.size()) {
            ThrowUsageError(command, "--transparent " + std::to_string(*transparent) + " is not an entry of " +
                                         QuotedPath(path) + " (" + std::to_string(colors.size()) + " colours)");
        }
        options.reserved.set(static_cast<std::size_t>(*transparent));
    }
    auto target = RemapTargetOfPalette(colors, options);
    if (!target) {
        ThrowFailure("cannot use " + QuotedPath(path) + ": " + target.error().Message());
    }
    return std::move(*target);
}

RemapTarget RequireTablesTarget(const std::string& path) {
    const auto file = ValueOrFail(ColorTableFile::Load(path));
    return RemapTargetOfTables(file.View());
}

}  // namespace paltab::paltool
