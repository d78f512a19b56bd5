// What every paltool command shares: exit codes, how it reports, and how its
// arguments are parsed (CLI11) into the options it declares.
#pragma once

#include <CLI/CLI.hpp>

#include <span>
#include <string>
#include <string_view>

#include "io/file_io.hpp"
#include "paltab/result.hpp"

namespace paltab::paltool {

inline constexpr int kSuccess = 0;
inline constexpr int kFailure = 1;  // an error, or a file that does not match
inline constexpr int kUsageError = 2;

// One command: its name, its line in `paltool --help`, its own --help text
// (which lists every option with an example) and what runs it with the
// arguments that follow its name.
struct Command {
    std::string_view name;
    std::string_view synopsis;  // "info TABLES"
    std::string_view summary;   // one line
    std::string_view help;
    int (*run)(std::span<const char* const> args);
};

// How a command ends when it cannot do its work: thrown by the helpers
// below and by the option helpers, caught once in main, which prints
// `message` as one line on the standard error stream and returns `status`.
struct CommandError {
    int status = kFailure;
    std::string message;  // the whole line, without its end
};

// Throws "paltool CMD: what; see 'paltool CMD --help'" with kUsageError.
[[noreturn]] void ThrowUsageError(std::string_view command, std::string_view what);
// Throws "paltool: what" with kFailure.
[[noreturn]] void ThrowFailure(std::string_view what);
// Prints `error` as main does; returns its status.
int Report(const CommandError& error);

// The value of `result`; its error's Message() thrown as a failure.
template <class T>
T ValueOrFail(Result<T> result) {
    if (!result) {
        ThrowFailure(result.error().Message());
    }
    return std::move(result).value();
}
void OrFail(const Status& status);

// WriteFileBytes and WriteFileText, their error thrown as a failure.
void WriteOrFail(const std::string& path, std::span<const std::uint8_t> bytes);
void WriteOrFail(const std::string& path, std::string_view text);

// "paltool: warning: what" on the standard error stream.
void Warn(std::string_view what);
void Print(std::string_view text);

// The extension of the file name at the end of `path`, lower case with its
// dot (".pal"); empty when there is none (a leading dot begins a hidden name).
std::string FileExtension(std::string_view path);

// Parses `args` into what `cli` declares. -h and --help print `command`'s
// help: then it returns false, and the command is done. A usage error is
// thrown.
bool ParseCommandLine(CLI::App& cli, const Command& command, std::span<const char* const> args);

// The commands, each defined in its own unit.
extern const Command kInfoCommand;
extern const Command kVerifyCommand;
extern const Command kLookupCommand;
extern const Command kRenderCommand;
extern const Command kExportCommand;
extern const Command kBuildCommand;
extern const Command kConvertCommand;
extern const Command kFormatsCommand;
extern const Command kShadeCommand;
extern const Command kBlendCommand;
extern const Command kMapCommand;
extern const Command kRemapCommand;
extern const Command kPlaypalCommand;

}  // namespace paltab::paltool
