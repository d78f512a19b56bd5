// paltool COMMAND ...: the companion of paltab. This main only dispatches;
// each command is a unit of its own (its options, help and library calls).
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <new>
#include <span>
#include <string>
#include <string_view>

#include "command.hpp"

namespace paltab::paltool {
namespace {

constexpr std::array kCommands = {&kBuildCommand,  &kConvertCommand, &kFormatsCommand, &kInfoCommand,
                                  &kVerifyCommand, &kLookupCommand,  &kRenderCommand,  &kExportCommand,
                                  &kShadeCommand,  &kBlendCommand,   &kMapCommand,     &kRemapCommand,
                                  &kPlaypalCommand};

constexpr std::string_view kSynopsisWidth = "                                      ";

std::string ToolHelp() {
    std::string help = R"(paltool: build colour table files from palettes in any format, convert palettes,
inspect, verify, look up, preview and export table files

Usage: paltool COMMAND ARGUMENTS...
       paltool COMMAND --help     every option of COMMAND, with examples
       paltool help COMMAND       the same
       paltool --version          the version of paltool

Commands:
)";
    for (const Command* command : kCommands) {
        help += "  ";
        help += command->synopsis;
        // The summary beside a short synopsis, under a long one.
        if (command->synopsis.size() < kSynopsisWidth.size()) {
            help.append(kSynopsisWidth.size() - command->synopsis.size(), ' ');
        } else {
            help += '\n';
            help.append(kSynopsisWidth.size() + 2, ' ');
        }
        help += command->summary;
        help += '\n';
    }
    help += R"(
TABLES is a file written by paltab or paltool build: 33536 bytes, or 230148
with the extension (-n). LUMP is a game's COLORMAP, TRANMAP, PLAYPAL, Build
palette.dat or light table (paltool info --help). PALETTE, IN and OUT are
palettes in any format that 'paltool formats' lists.
Exit status: 0 success, 1 failure or mismatch, 2 usage error.

Example:
  paltab -n examples/default.pal.txt default.tab
  paltool info default.tab
  paltool build fire.gpl fire.tab -n
)";
    return help;
}

int Run(std::span<const char* const> args) {
    if (args.empty()) {
        std::fprintf(stderr, "paltool: expected a command; see 'paltool --help'\n");
        return kUsageError;
    }
    const std::string_view name = args[0];
    if (name == "--version") {
        Print("paltool " PALTAB_VERSION "\n");
        return kSuccess;
    }
    if (name == "help" && args.size() == 2) {
        for (const Command* command : kCommands) {
            if (command->name == std::string_view(args[1])) {
                Print(command->help);
                return kSuccess;
            }
        }
        std::fprintf(stderr, "paltool: unknown command %s; see 'paltool --help'\n", QuotedPath(args[1]).c_str());
        return kUsageError;
    }
    if (name == "help" && args.size() > 2) {
        std::fprintf(stderr, "paltool: 'help' takes one COMMAND; see 'paltool --help'\n");
        return kUsageError;
    }
    if (name == "--help" || name == "-h" || name == "help") {
        Print(ToolHelp());
        return kSuccess;
    }
    for (const Command* command : kCommands) {
        if (command->name == name) {
            return command->run(args.subspan(1));
        }
    }
    std::fprintf(stderr, "paltool: unknown command %s; see 'paltool --help'\n", QuotedPath(name).c_str());
    return kUsageError;
}

}  // namespace
}  // namespace paltab::paltool

int main(int argc, char** argv) {
    const std::span<const char* const> args(argv, static_cast<std::size_t>(argc));
    int status = paltab::paltool::kFailure;
    // An input too large for the memory there is, or anything else thrown,
    // is one line and a failure; nothing was written then, as every output
    // is written whole from memory.
    try {
        status = paltab::paltool::Run(args.empty() ? args : args.subspan(1));
    } catch (const paltab::paltool::CommandError& error) {
        status = paltab::paltool::Report(error);
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "paltool: out of memory\n");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "paltool: %s\n", e.what());
    }
    // Output lost on a full disk or a closed pipe is a failure, not a success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "paltool: cannot write the standard output: %s\n", std::strerror(errno));
        return status == 0 ? paltab::paltool::kFailure : status;
    }
    return status;
}
