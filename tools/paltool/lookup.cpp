// paltool lookup: palette indices of colours, and extension table lookups.
#include <utility>

#include "command.hpp"
#include "inspect/lookup.hpp"
#include "paltab/table_reader.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool lookup TABLES [COLOUR...] [--shade C:L] [--add A:B] [--mul A:B]

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

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> positional;
    std::vector<std::string> shade, add, mul;
    cli.add_option("TABLES", positional);
    // One value per occurrence, so that a colour after an option stays a colour.
    cli.add_option("--shade", shade)->allow_extra_args(false);
    cli.add_option("--add", add)->allow_extra_args(false);
    cli.add_option("--mul", mul)->allow_extra_args(false);
    if (!ParseCommandLine(cli, kLookupCommand, args)) {
        return kSuccess;
    }
    if (positional.empty()) {
        ThrowUsageError("lookup", "expected a TABLES file");
    }
    std::vector<Rgb8> colors;
    for (std::size_t i = 1; i < positional.size(); ++i) {
        const auto color = ParseColor(positional[i]);
        if (!color) {
            ThrowUsageError("lookup", "bad colour '" + positional[i] + "': expected r,g,b or #rrggbb");
        }
        colors.push_back(*color);
    }
    // In the order given on the command line, across the three options.
    std::vector<std::pair<TableSection, IndexPair>> pairs;
    std::size_t next[3] = {0, 0, 0};
    for (const CLI::Option* option : cli.parse_order()) {
        const std::string& name = option->get_name();
        const int which = name == "--shade" ? 0 : name == "--add" ? 1 : name == "--mul" ? 2 : -1;
        if (which < 0) {
            continue;
        }
        const std::vector<std::string>& values = which == 0 ? shade : which == 1 ? add : mul;
        const std::string& value = values[next[which]++];
        const auto pair = ParseIndexPair(value);
        if (!pair) {
            ThrowUsageError("lookup", "bad " + name + " '" + value + "': expected two numbers 0..255 as x:y");
        }
        const TableSection table = which == 0   ? TableSection::kShade
                                   : which == 1 ? TableSection::kAdditive
                                                : TableSection::kMultiplicative;
        pairs.emplace_back(table, *pair);
    }
    if (colors.empty() && pairs.empty()) {
        ThrowUsageError("lookup", "nothing to look up");
    }
    const auto file = ValueOrFail(ColorTableFile::Load(positional[0]));
    const ColorTableView& view = file.View();
    if (!pairs.empty() && !view.HasExtension()) {
        ThrowFailure(QuotedPath(positional[0]) + " has no extension tables (it was written without -n)");
    }
    for (const Rgb8 color : colors) {
        Print(FormatColorLookup(view, color) + "\n");
    }
    for (const auto& [table, pair] : pairs) {
        Print(FormatPairLookup(view, table, pair) + "\n");
    }
    return kSuccess;
}

}  // namespace

const Command kLookupCommand{"lookup", "lookup TABLES COLOUR... [--shade C:L] [--add A:B] [--mul A:B]",
                             "the palette index of colours, and extension table lookups", kHelp, Run};

}  // namespace paltab::paltool
