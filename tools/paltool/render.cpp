// paltool render: PNG pictures of every table of a file.
#include "command.hpp"
#include "paltab/table_reader.hpp"
#include "render/render.hpp"

namespace paltab::paltool {
namespace {

constexpr std::string_view kHelp = R"(Usage: paltool render TABLES -o DIR [--quiet]

Writes PNG pictures of the tables into DIR (created when missing) and an
index.html that shows them with captions, all of them or, on a failure,
none (DIR keeps its earlier files):
  palette.png   the 256 entries as 16 x 16 swatches; unused entries checked grey
  map.png       the 32 red planes of the map, each cell in its entry's colour
  shade.png     with the extension: row = colour, column = level
  add.png       with the extension: row = a, column = b
  mul.png       with the extension: row = a, column = b

  -o DIR        the directory to write into.
                  paltool render default.tab -o preview
  --quiet       no line for each file written.
                  paltool render default.tab -o preview --quiet
)";

int Run(std::span<const char* const> args) {
    CLI::App cli;
    std::vector<std::string> files;
    std::optional<std::string> directory;
    bool quiet = false;
    cli.add_option("TABLES", files);
    cli.add_option("-o", directory);
    cli.add_flag("--quiet", quiet);
    if (const auto done = ParseArguments(cli, kRenderCommand, args)) {
        return *done;
    }
    if (files.size() != 1 || !directory) {
        return UsageError("render", "expected one TABLES file and -o DIR");
    }
    std::string error;
    const auto file = ColorTableFile::Load(files[0], error);
    if (!file) {
        return Failure(error);
    }
    std::vector<std::string> written;
    if (!WritePreviews(file->View(), files[0], *directory, written, error)) {
        return Failure(error);
    }
    for (const std::string& path : written) {
        if (!quiet) {
            Print("wrote " + ShownPath(path) + "\n");
        }
    }
    return kSuccess;
}

}  // namespace

const Command kRenderCommand{"render", "render TABLES -o DIR [--quiet]",
                             "PNG pictures of every table and an index.html to view them", kHelp, Run};

}  // namespace paltab::paltool
