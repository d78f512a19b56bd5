// Parsing and reporting shared by the paltool commands.
#include "command.hpp"

#include <cstdio>
#include <vector>

namespace paltab::paltool {
namespace {

CommandError UsageErrorOf(std::string_view command, std::string_view what) {
    const std::string name(command);
    return {kUsageError, "paltool " + name + ": " + std::string(what) + "; see 'paltool " + name + " --help'"};
}

}  // namespace

void ThrowUsageError(std::string_view command, std::string_view what) {
    throw UsageErrorOf(command, what);
}

void ThrowFailure(std::string_view what) {
    throw CommandError{kFailure, "paltool: " + std::string(what)};
}

int Report(const CommandError& error) {
    std::fwrite(error.message.data(), 1, error.message.size(), stderr);
    std::fputc('\n', stderr);
    return error.status;
}

void OrFail(const Status& status) {
    if (!status) {
        ThrowFailure(status.error().Message());
    }
}

void WriteOrFail(const std::string& path, std::span<const std::uint8_t> bytes) {
    OrFail(WriteFileBytes(path, bytes));
}

void WriteOrFail(const std::string& path, std::string_view text) {
    OrFail(WriteFileText(path, text));
}

void Warn(std::string_view what) {
    std::fprintf(stderr, "paltool: warning: %.*s\n", static_cast<int>(what.size()), what.data());
}

void Print(std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stdout);
}

std::string FileExtension(std::string_view path) {
    const std::string_view name = path.substr(path.find_last_of('/') + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot == std::string_view::npos || dot == 0) {
        return {};
    }
    std::string extension(name.substr(dot));
    for (char& c : extension) {
        c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    }
    return extension;
}

bool ParseCommandLine(CLI::App& cli, const Command& command, std::span<const char* const> args) {
    // Our help texts are written by hand, one screen each with examples.
    cli.set_help_flag();
    bool help = false;
    cli.add_flag("-h,--help", help);
    // Unknown arguments are collected and reported in our words below.
    cli.allow_extras();
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        cli.parse(reversed);
    } catch (const CLI::ArgumentMismatch& e) {
        // "--palette: 1 required TEXT missing"
        const std::string_view what = e.what();
        ThrowUsageError(command.name, std::string(what.substr(0, what.find(':'))) + " needs a value");
    } catch (const CLI::ParseError& e) {
        ThrowUsageError(command.name, e.what());
    }
    if (help) {
        Print(command.help);
        return false;
    }
    const std::vector<std::string> extras = cli.remaining();
    if (!extras.empty()) {
        const std::string& first = extras.front();
        const bool option = first.size() > 1 && first.front() == '-';
        ThrowUsageError(command.name, (option ? "unknown option " : "unexpected argument ") + QuotedPath(first));
    }
    return true;
}

}  // namespace paltab::paltool
