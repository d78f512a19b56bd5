// What `paltool remap` reads from its command line, beside the batch
// options: the dithering options, the output format, the pixel limit and the
// palette or table file it maps to.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "command.hpp"
#include "palette_options.hpp"
#include "paltab/dither.hpp"
#include "paltab/exact_map.hpp"
#include "paltab/image_formats.hpp"
#include "paltab/remap_image.hpp"

namespace paltab::paltool {

// --dither, --dither-space, --strength, --spread and --serpentine as given.
struct DitherArguments {
    std::optional<std::string> method;
    std::optional<std::string> space;
    std::optional<int> strength;
    std::optional<double> spread;
    bool serpentine = false;
};
void AddDitherOptions(CLI::App& cli, DitherArguments& arguments);

// The dithering `arguments` ask for (none, in sRGB, at full strength when
// unset). A name or number out of range is a usage error, thrown.
DitherOptions RequireDitherOptions(std::string_view command, const DitherArguments& arguments);

// The format of the one output `out`: --to `toName`, else the name's
// extension, PNG for a name without one (/dev/stdout). A format remap does
// not write is a usage error, thrown.
ImageFormat RequireOutputFormat(std::string_view command, const std::optional<std::string>& toName,
                                const std::string& out);

// --max-pixels: a whole number 1 or more in decimal digits (CLI11 would read
// "-1" into an unsigned value as its largest); the default when unset.
// Anything else is a usage error, thrown.
std::uint64_t RequireMaxPixels(std::string_view command, const std::optional<std::string>& text);

// The target of the palette file at `path`, read as `paletteOptions` say,
// with `transparent` reserved besides `options.reserved`. A --transparent
// past the palette's colours is a usage error; a palette that cannot be read
// or leaves nothing to choose, a failure: thrown.
RemapTarget RequirePaletteTarget(std::string_view command, const std::string& path,
                                 const PaletteOptions& paletteOptions, MatchOptions options,
                                 std::optional<int> transparent, bool quiet);
// The target of the table file at `path`; a failure thrown when it cannot be
// read.
RemapTarget RequireTablesTarget(const std::string& path);

}  // namespace paltab::paltool
