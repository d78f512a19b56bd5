// paltool COMMAND ...: inspect, verify, look up, preview and export colour
// table files. Arguments and printing only; the work is in the library.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "export/c_header.hpp"
#include "inspect/info.hpp"
#include "inspect/lookup.hpp"
#include "inspect/verify.hpp"
#include "io/file_io.hpp"
#include "paltab/table_reader.hpp"
#include "png/render.hpp"

namespace paltab {
namespace {

constexpr int kSuccess = 0;
constexpr int kFailure = 1;  // an error, or a file that does not match
constexpr int kUsageError = 2;

// Mismatches listed one by one before the summary line.
constexpr std::size_t kMismatchesShown = 20;

constexpr std::string_view kToolHelp = R"(paltool: inspect, verify, look up, preview and export colour table files

Usage: paltool COMMAND ARGUMENTS...
       paltool COMMAND --help     every option of COMMAND, with examples

Commands:
  info TABLES                           size, sections and checksums, entries, map cells per entry
  verify TABLES [--palette P [-c]]      checks the file; with a palette, every byte against its tables
  lookup TABLES COLOUR... [--shade C:L] [--add A:B] [--mul A:B]
                                        the palette index of colours, and extension table lookups
  render TABLES -o DIR                  PNG pictures of every table and an index.html to view them
  export TABLES --c-header OUT.h --name NAME
                                        the tables as C arrays in a header

TABLES is a file written by paltab: 33536 bytes, or 230148 with the extension (-n).
Exit status: 0 success, 1 failure or mismatch, 2 usage error.

Example:
  paltab -n examples/default.pal.txt default.tab
  paltool info default.tab
)";

constexpr std::string_view kInfoHelp = R"(Usage: paltool info TABLES

Prints the size of TABLES and whether it has the extension, each section's
offset, size and CRC-32, how many palette entries are used, the used entries
that own no map cell (a duplicate colour, or one hidden by nearer entries),
and how many map cells each entry owns.

Example:
  paltool info default.tab
)";

constexpr std::string_view kVerifyHelp = R"(Usage: paltool verify TABLES [--palette PALETTE [-c]]

Checks the structure of TABLES: its size, the "CWEN" tag, and that every
palette byte is 0..63 or part of an unused entry's 255 255 255.

  --palette PALETTE  also rebuilds the tables from the palette text file, as
                     paltab does (with -n when TABLES has the extension), and
                     compares them byte for byte; each difference is shown with
                     its section, file offset, expected and found byte.
                       paltool verify default.tab --palette examples/default.pal.txt
  -c                 rebuild with the weighted starting distance (paltab -c).
                       paltool verify weighted.tab --palette examples/default.pal.txt -c

Exit status: 0 when the file is sound and matches, 1 when it does not.
)";

constexpr std::string_view kLookupHelp = R"(Usage: paltool lookup TABLES [COLOUR...] [--shade C:L] [--add A:B] [--mul A:B]

Prints the palette index the map gives each COLOUR and that entry's colour.
A COLOUR is r,g,b with three numbers 0..255, or #rrggbb.
  paltool lookup default.tab 255,128,0 '#3366cc'

With the extension (paltab -n), the tables that combine palette indices:
  --shade C:L   entry C at level L (0..127 darker, 128 itself, 129..255 lighter)
                  paltool lookup default.tab --shade 3:200
  --add A:B     the entry for entry A plus entry B
                  paltool lookup default.tab --add 3:4
  --mul A:B     the entry for entry A times entry B
                  paltool lookup default.tab --mul 3:4
Each option may be given more than once.
)";

constexpr std::string_view kRenderHelp = R"(Usage: paltool render TABLES -o DIR

Writes PNG pictures of the tables into DIR (created when missing) and an
index.html that shows them with captions:
  palette.png   the 256 entries as 16 x 16 swatches; unused entries checked grey
  map.png       the 32 red planes of the map, each cell in its entry's colour
  shade.png     with the extension: row = colour, column = level
  add.png       with the extension: row = a, column = b
  mul.png       with the extension: row = a, column = b

  -o DIR        the directory to write into.
                  paltool render default.tab -o preview
)";

constexpr std::string_view kExportHelp = R"(Usage: paltool export TABLES --c-header OUT.h --name NAME

Writes a C/C++ header with static const unsigned char arrays NAME_palette[768]
and NAME_map[32768], and with the extension NAME_shade, NAME_add and
NAME_mul[65536], byte for byte as in TABLES.

  --c-header OUT.h  the header to write.
  --name NAME       the prefix of the array names, a C identifier.
                      paltool export default.tab --c-header default_tables.h --name default_tables
)";

// A command's arguments: positionals in order, options with their values.
struct Arguments {
    std::vector<std::string> positional;
    std::vector<std::pair<std::string, std::string>> options;
    bool help = false;
    std::span<const char* const> commandLine;  // the command and its arguments

    std::vector<std::string> All(std::string_view option) const {
        std::vector<std::string> values;
        for (const auto& [name, value] : options) {
            if (name == option) {
                values.push_back(value);
            }
        }
        return values;
    }
    std::optional<std::string> Last(std::string_view option) const {
        const auto values = All(option);
        return values.empty() ? std::nullopt : std::optional<std::string>(values.back());
    }
};

struct Command {
    std::string_view name;
    std::string_view help;
    std::vector<std::string_view> valued;  // options that take the next argument
    std::vector<std::string_view> flags;
    int (*run)(const Arguments&);
};

int UsageError(std::string_view command, const std::string& what) {
    std::fprintf(stderr, "paltool %.*s: %s; see 'paltool %.*s --help'\n", static_cast<int>(command.size()),
                 command.data(), what.c_str(), static_cast<int>(command.size()), command.data());
    return kUsageError;
}

int Failure(const std::string& what) {
    std::fprintf(stderr, "paltool: %s\n", what.c_str());
    return kFailure;
}

void Print(const std::string& text) {
    std::fputs(text.c_str(), stdout);
}

bool Contains(const std::vector<std::string_view>& list, std::string_view item) {
    return std::ranges::find(list, item) != list.end();
}

std::optional<Arguments> Parse(const Command& command, std::span<const char* const> commandLine, int& status) {
    Arguments parsed;
    parsed.commandLine = commandLine;
    const auto args = commandLine.subspan(1);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string_view arg = args[i];
        if (arg == "--help" || arg == "-h") {
            parsed.help = true;
        } else if (Contains(command.valued, arg)) {
            if (i + 1 == args.size()) {
                status = UsageError(command.name, std::string(arg) + " needs a value");
                return std::nullopt;
            }
            parsed.options.emplace_back(arg, args[++i]);
        } else if (Contains(command.flags, arg)) {
            parsed.options.emplace_back(arg, "");
        } else if (arg.size() > 1 && arg.front() == '-') {
            status = UsageError(command.name, "unknown option '" + std::string(arg) + "'");
            return std::nullopt;
        } else {
            parsed.positional.emplace_back(arg);
        }
    }
    return parsed;
}

int Info(const Arguments& args) {
    if (args.positional.size() != 1) {
        return UsageError("info", "expected one TABLES file");
    }
    std::string error;
    const auto file = ColorTableFile::Load(args.positional[0], error);
    if (!file) {
        return Failure(error);
    }
    Print(FormatSummary(args.positional[0], file->View(), SummarizeColorTableFile(file->View())));
    return kSuccess;
}

int Verify(const Arguments& args) {
    if (args.positional.size() != 1) {
        return UsageError("verify", "expected one TABLES file");
    }
    const auto palette = args.Last("--palette");
    const bool weighted = !args.All("-c").empty();
    if (weighted && !palette) {
        return UsageError("verify", "-c needs --palette");
    }
    const std::string& tablesPath = args.positional[0];
    std::string error;
    const auto file = ColorTableFile::Load(tablesPath, error);
    if (!file) {
        return Failure(error);
    }
    const ColorTableView& view = file->View();
    if (!palette) {
        Print(tablesPath + ": sound, " + std::to_string(view.Bytes().size()) + " bytes" +
              (view.HasExtension() ? " with the extension\n" : " without the extension\n"));
        return kSuccess;
    }
    const auto expected =
        TablesOfPaletteFile(*palette, {.weightedDistance = weighted, .writeExtension = view.HasExtension()}, error);
    if (!expected) {
        return Failure(error);
    }
    const TableComparison comparison = CompareTableFiles(*expected, view.Bytes(), kMismatchesShown);
    Print(FormatComparison(tablesPath, *palette, comparison));
    return comparison.differing == 0 ? kSuccess : kFailure;
}

int Lookup(const Arguments& args) {
    if (args.positional.empty()) {
        return UsageError("lookup", "expected a TABLES file");
    }
    std::vector<Rgb8> colors;
    for (std::size_t i = 1; i < args.positional.size(); ++i) {
        const auto color = ParseColor(args.positional[i]);
        if (!color) {
            return UsageError("lookup", "bad colour '" + args.positional[i] + "': expected r,g,b or #rrggbb");
        }
        colors.push_back(*color);
    }
    std::vector<std::pair<TableSection, IndexPair>> pairs;
    for (const auto& [option, value] : args.options) {
        const auto pair = ParseIndexPair(value);
        if (!pair) {
            return UsageError("lookup", "bad " + option + " '" + value + "': expected two numbers 0..255 as x:y");
        }
        const TableSection table = option == "--shade" ? TableSection::kShade
                                   : option == "--add" ? TableSection::kAdditive
                                                       : TableSection::kMultiplicative;
        pairs.emplace_back(table, *pair);
    }
    if (colors.empty() && pairs.empty()) {
        return UsageError("lookup", "nothing to look up");
    }
    std::string error;
    const auto file = ColorTableFile::Load(args.positional[0], error);
    if (!file) {
        return Failure(error);
    }
    const ColorTableView& view = file->View();
    if (!pairs.empty() && !view.HasExtension()) {
        return Failure("'" + args.positional[0] + "' has no extension tables (it was written without -n)");
    }
    for (const Rgb8 color : colors) {
        Print(FormatColorLookup(view, color) + "\n");
    }
    for (const auto& [table, pair] : pairs) {
        Print(FormatPairLookup(view, table, pair) + "\n");
    }
    return kSuccess;
}

int Render(const Arguments& args) {
    const auto directory = args.Last("-o");
    if (args.positional.size() != 1 || !directory) {
        return UsageError("render", "expected one TABLES file and -o DIR");
    }
    std::string error;
    const auto file = ColorTableFile::Load(args.positional[0], error);
    if (!file) {
        return Failure(error);
    }
    std::vector<std::string> written;
    if (!WritePreviews(file->View(), args.positional[0], *directory, written, error)) {
        return Failure(error);
    }
    for (const std::string& path : written) {
        Print("wrote " + path + "\n");
    }
    return kSuccess;
}

int Export(const Arguments& args) {
    const auto header = args.Last("--c-header");
    const auto name = args.Last("--name");
    if (args.positional.size() != 1 || !header || !name) {
        return UsageError("export", "expected one TABLES file, --c-header OUT.h and --name NAME");
    }
    if (!IsCIdentifier(*name)) {
        return UsageError("export", "--name '" + *name + "' is not a C identifier");
    }
    std::string error;
    const auto file = ColorTableFile::Load(args.positional[0], error);
    if (!file) {
        return Failure(error);
    }
    std::string made = "paltool";
    for (const char* arg : args.commandLine) {
        made += ' ';
        made += arg;
    }
    if (!WriteFileText(*header, MakeCHeader(file->View(), *name, made), error)) {
        return Failure(error);
    }
    Print("wrote " + *header + "\n");
    return kSuccess;
}

int Run(std::span<const char* const> args) {
    const Command commands[] = {
        {"info", kInfoHelp, {}, {}, Info},
        {"verify", kVerifyHelp, {"--palette"}, {"-c"}, Verify},
        {"lookup", kLookupHelp, {"--shade", "--add", "--mul"}, {}, Lookup},
        {"render", kRenderHelp, {"-o"}, {}, Render},
        {"export", kExportHelp, {"--c-header", "--name"}, {}, Export},
    };
    if (args.empty()) {
        std::fprintf(stderr, "paltool: expected a command; see 'paltool --help'\n");
        return kUsageError;
    }
    const std::string_view name = args[0];
    if (name == "--help" || name == "-h" || name == "help") {
        Print(std::string(kToolHelp));
        return kSuccess;
    }
    for (const Command& command : commands) {
        if (command.name != name) {
            continue;
        }
        int status = kUsageError;
        const auto parsed = Parse(command, args, status);
        if (!parsed) {
            return status;
        }
        if (parsed->help) {
            Print(std::string(command.help));
            return kSuccess;
        }
        return command.run(*parsed);
    }
    std::fprintf(stderr, "paltool: unknown command '%s'; see 'paltool --help'\n", args[0]);
    return kUsageError;
}

}  // namespace
}  // namespace paltab

int main(int argc, char** argv) {
    const std::span<const char* const> args(argv, static_cast<std::size_t>(argc));
    const int status = paltab::Run(args.empty() ? args : args.subspan(1));
    // Output lost on a full disk or a closed pipe is a failure, not a success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout) != 0) {
        std::fprintf(stderr, "paltool: cannot write the standard output: %s\n", std::strerror(errno));
        return status == 0 ? paltab::kFailure : status;
    }
    return status;
}
