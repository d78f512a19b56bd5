// Whole-file reads and writes for the tools, with errors as one line naming
// the file and the cause.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "paltab/result.hpp"

namespace paltab {

// A path as every message shows it: control characters (a newline, a tab,
// an escape) as \xNN, so that a message stays one line and a terminal takes
// no commands from a file name. QuotedPath adds the quotes: "'x'".
std::string ShownPath(std::string_view path);
std::string QuotedPath(std::string_view path);

// "cannot read 'x': cause" and "cannot write 'x': cause".
std::string CannotRead(std::string_view path, std::string_view cause);
std::string CannotWrite(std::string_view path, std::string_view cause);
// `error` as a file wrapper returns it: its `file` says "cannot read 'x'"
// (or write), so that its Message() is the line above.
Error CannotRead(std::string_view path, Error error);
Error CannotWrite(std::string_view path, Error error);

// Reads the file at `path`, at most `limit` bytes of it. Fails with kIo (the
// system's cause: "cannot read 'x': Is a directory") or, out of memory, with
// kTooLarge.
Result<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t limit);

// Writes `bytes` as the file at `path`, whole or not at all, as the generator
// writes its table file (see WriteOutputFile): a failed write leaves the old
// file (or none) and never a partly written one. Fails with kIo ("cannot
// write 'x': No space left on device").
Status WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes);
Status WriteFileText(const std::string& path, std::string_view text);

}  // namespace paltab
