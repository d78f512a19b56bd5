// Whole-file reads and writes for the tools, with errors as one line naming
// the file and the cause.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace paltab {

// A path as every message shows it: control characters (a newline, a tab,
// an escape) as \xNN, so that a message stays one line and a terminal takes
// no commands from a file name. QuotedPath adds the quotes: "'x'".
std::string ShownPath(std::string_view path);
std::string QuotedPath(std::string_view path);

// "cannot read 'x': cause" and "cannot write 'x': cause".
std::string CannotRead(std::string_view path, std::string_view cause);
std::string CannotWrite(std::string_view path, std::string_view cause);

// Reads the file at `path`, at most `limit` bytes of it, into `bytes`. On
// failure (out of memory included) returns false and sets `error` ("cannot
// read 'x': Is a directory").
bool ReadFileBytes(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes, std::string& error);

// Writes `bytes` as the file at `path`, whole or not at all, as the generator
// writes its table file (see WriteOutputFile): a failed write leaves the old
// file (or none) and never a partly written one. On failure returns false and sets
// `error` ("cannot write 'x': No space left on device").
bool WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error);
bool WriteFileText(const std::string& path, std::string_view text, std::string& error);

}  // namespace paltab
