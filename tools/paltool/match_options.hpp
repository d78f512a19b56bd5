// The options of the commands that choose nearest entries: --metric and
// --reserve.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "command.hpp"
#include "paltab/exact_map.hpp"

namespace paltab::paltool {

// The options given (rgb and nothing reserved when unset). A metric or list
// that does not parse is a usage error, thrown.
MatchOptions RequireMatchOptions(std::string_view command, const std::optional<std::string>& metric,
                                 const std::optional<std::string>& reserve);

// The entries of `palette`, read from `path`, to choose from. A palette with
// nothing left to choose is a failure, thrown: "cannot use 'fire.gpl': every
// one of the palette's 3 colours is reserved".
MatchPalette RequireMatchPalette(const std::string& path, std::span<const Rgb8> palette, const MatchOptions& options);

}  // namespace paltab::paltool
