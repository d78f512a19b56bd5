// What info, render and verify share for the lumps of games: --as KIND, and
// telling a lump from the generator's table file.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "command.hpp"
#include "paltab/lumps.hpp"

namespace paltab::paltool {

struct LumpFile {
    std::vector<std::uint8_t> bytes;
    LumpInfo info;
};

// The file at `path` as a lump: of the kind `asName` names, or, without
// --as, recognised by its size. Nothing when it is to be read as a table
// file: no --as, and a table file's size (33536 or 230148 bytes), a name
// ending in .tab or a size no lump has, so that a damaged table file is
// reported as one. A kind
// name no lump has is a usage error; a file that cannot be read, or that
// does not fit the kind named, a failure: both reported here, the result is
// then the exit status.
std::variant<std::optional<LumpFile>, int> ReadLumpArgument(std::string_view command, const std::string& path,
                                                            const std::optional<std::string>& asName);

// "COLORMAP", "TRANMAP", "PLAYPAL", "palette.dat", "light table": what
// messages call a lump of `kind`.
std::string_view LumpTitle(LumpKind kind);

}  // namespace paltab::paltool
