// What info, render and verify share for the lumps of games: --as KIND,
// telling a lump from the generator's table file, and verifying a lump
// against the one rebuilt with the settings of shade, blend and playpal.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "command.hpp"
#include "paltab/lumps.hpp"
#include "paltab/palette_formats.hpp"
#include "table_options.hpp"

namespace paltab::paltool {

struct LumpFile {
    std::vector<std::uint8_t> bytes;
    LumpInfo info;
};

// The file at `path` as a lump: of the kind `asName` names, or, without
// --as, recognised by its size. Nothing when it is to be read as a table
// file: no --as, and a table file's size (33536 or 230148 bytes), a name
// ending in .tab or a size no lump has, so that a damaged table file is
// reported as one. A kind name no lump has is a usage error; a file that
// cannot be read, or that does not fit the kind named, a failure: both
// thrown.
std::optional<LumpFile> RequireLumpArgument(std::string_view command, const std::string& path,
                                            const std::optional<std::string>& asName);

// The settings a lump is rebuilt with, as given: --fog, --fullbright,
// --alpha, --mode, --tint and the search options.
struct LumpOptions {
    std::optional<std::string> fog, fullbright, alpha, mode;
    std::vector<std::string> tints;
    SearchOptions search;

    // The first option given, in the order of the help text; empty for none.
    std::string_view FirstGiven() const;
};
void AddLumpOptions(CLI::App& cli, LumpOptions& options);

// Rebuilds `lump` (read from `path`) from the palette file `palette` (read
// as `forced` and `paletteIndex` say; a PLAYPAL without one from its own
// palette 0) with `options`, and prints how it compares (nothing when
// `quiet`), the first `shown` differing cells listed. An option the lump's
// kind is not built with, a missing --palette, --alpha or --mode, is a usage
// error, thrown, as is a failure. Returns the exit status: 0 when every cell
// matches, 1 when not.
int VerifyLump(const std::string& path, const LumpFile& lump, const std::optional<std::string>& palette,
               const LumpOptions& options, std::optional<PaletteFormat> forced, std::optional<int> paletteIndex,
               std::size_t shown, bool quiet);

// "COLORMAP", "TRANMAP", "PLAYPAL", "palette.dat", "light table": what
// messages call a lump of `kind`.
std::string_view LumpTitle(LumpKind kind);

}  // namespace paltab::paltool
