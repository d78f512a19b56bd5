// The options of the commands that choose nearest entries: --metric and
// --reserve.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "command.hpp"
#include "paltab/exact_map.hpp"

namespace paltab::paltool {

// The options given (rgb and nothing reserved when unset). A metric or list
// that does not parse is a usage error, reported here: the result is then
// its exit status.
MatchOptions RequireMatchOptions(std::string_view command, const std::optional<std::string>& metric,
                                 const std::optional<std::string>& reserve);
// RequireMatchOptions, returning the exit status of a reported error.
std::variant<MatchOptions, int> MatchOptionsOf(std::string_view command, const std::optional<std::string>& metric,
                                               const std::optional<std::string>& reserve);

// "cannot use 'fire.gpl': every one of the palette's 3 colours is reserved",
// or nothing: `palette` read from `path` has something left to choose.
std::optional<MatchPalette> MatchPaletteOf(const std::string& path, std::span<const Rgb8> palette,
                                           const MatchOptions& options, std::string& error);
// MatchPaletteOf, its error thrown as a failure.
MatchPalette RequireMatchPalette(const std::string& path, std::span<const Rgb8> palette, const MatchOptions& options);

}  // namespace paltab::paltool
