// paltool export: the tables of a file as C arrays in a header.
#include "command.hpp"
#include "export/c_header.hpp"
#include "io/file_io.hpp"
#include "paltab/table_reader.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool export TABLES --c-header OUT.h --name NAME [--quiet]

Writes a C/C++ header with static const unsigned char arrays NAME_palette[768]
and NAME_map[32768], and with the extension NAME_shade, NAME_add and
NAME_mul[65536], byte for byte as in TABLES.

  --c-header OUT.h  the header to write.
  --name NAME       the prefix of the array names, a C identifier.
                      paltool export default.tab --c-header default_tables.h --name default_tables
  --quiet           no line saying what was written.
                      paltool export default.tab --c-header t.h --name t --quiet
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> header, name;
    bool quiet = false;
    cli.add_option("TABLES", files);
    cli.add_flag("--quiet", quiet);
    cli.add_option("--c-header", header);
    cli.add_option("--name", name);
    if (!ParseCommandLine(cli, kExportCommand, args)) {
        return kSuccess;
    }
    if (files.size() != 1 || !header || !name) {
        ThrowUsageError("export", "expected one TABLES file, --c-header OUT.h and --name NAME");
    }
    if (!IsCIdentifier(*name)) {
        ThrowUsageError("export", "--name '" + *name + "' is not a C identifier");
    }
    const auto file = ValueOrFail(ColorTableFile::Load(files[0]));
    std::string made = "paltool export";
    for (const char* arg : args) {
        made += ' ';
        made += arg;
    }
    WriteOrFail(*header, MakeCHeader(file.View(), *name, made));
    if (!quiet) {
        Print("wrote " + ShownPath(*header) + "\n");
    }
    return kSuccess;
}

}  // namespace

const Command kExportCommand{"export", "export TABLES --c-header OUT.h --name NAME",
                             "the tables as C arrays in a header", kHelp, Run};

}  // namespace paltab::paltool
