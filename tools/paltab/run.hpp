// The generator's run: options, messages, palette in, table file out.
#pragma once

#include <cstdio>
#include <span>
#include <string>
#include <string_view>

namespace paltab {

// Every run ends with this status, a successful one included: scripts that
// call the generator rely on it.
inline constexpr int kGeneratorExitStatus = 1;

// Runs `paltab [-c] [-n] palette.txt tables.bin` with `args` as the argument
// vector (program name first). `programPath` is what the usage message shows.
// Messages go to `out` and `err`. Returns the exit status.
int RunGenerator(std::span<const char* const> args, std::string_view programPath, std::FILE* out,
                 std::FILE* err);

// The full path of the running program file, or `argv0` when the system
// cannot tell.
std::string RunningProgramPath(const char* argv0);

}  // namespace paltab
