// The generator's run sequence: scan the options, read the palette, build the
// map, then write the table file (with the extension tables when asked).
#include "run.hpp"

#include <unistd.h>

#include <array>
#include <memory>
#include <vector>

#include "io/output_file.hpp"
#include "paltab/color_tables.hpp"
#include "paltab/palette_text.hpp"

namespace paltab {
namespace {

int Usage(std::string_view programPath, std::FILE* err) {
    std::fprintf(err, "Usage: %.*s incmap outfile\n", static_cast<int>(programPath.size()), programPath.data());
    return kGeneratorExitStatus;
}

}  // namespace

int RunGenerator(std::span<const char* const> args, std::string_view programPath, std::FILE* out,
                 std::FILE* err) {
    // `remaining` counts the program name too, like the argument count.
    std::size_t remaining = args.size();
    std::size_t cursor = 0;
    if (remaining < 3) {
        return Usage(programPath, err);
    }

    bool weightedDistance = false;
    bool writeExtension = false;
    while (remaining > 1 && args[cursor + 1][0] == '-') {
        const char option = args[cursor + 1][1];
        if (option == 'c') {
            weightedDistance = true;
        } else if (option == 'n') {
            writeExtension = true;
        } else {
            std::fprintf(err, "Warning, unknown option %c\n", option);
        }
        ++cursor;
        --remaining;
    }
    if (weightedDistance) {
        std::fprintf(out, "Correcting color\n");
    }
    if (remaining < 3) {
        return Usage(programPath, err);
    }
    const char* palettePath = args[cursor + 1];
    const char* outputPath = args[cursor + 2];

    std::FILE* paletteFile = std::fopen(palettePath, "rb");
    if (paletteFile == nullptr) {
        std::fprintf(err, "Error opening %s for read\n", palettePath);
        return kGeneratorExitStatus;
    }
    const PaletteReadResult read = ReadPaletteText(paletteFile);
    std::fclose(paletteFile);
    // A path that opens but cannot be read (a directory) is no palette.
    if (read.readFailed) {
        std::fprintf(err, "Error opening %s for read\n", palettePath);
        return kGeneratorExitStatus;
    }
    // The palette file is closed before the output is opened: the two may
    // name the same file.
    // The tables are built in the file's image and written from there.
    const auto image = std::make_unique_for_overwrite<ColorTableImage>();
    BuildColorTableImage(read.palette, {.weightedDistance = weightedDistance, .writeExtension = writeExtension},
                         *image);

    switch (WriteOutputFile(outputPath, ImageBytes(*image, writeExtension))) {
        case OutputFileResult::kWritten:
            break;
        case OutputFileResult::kCannotOpen:
            std::fprintf(err, "Error opening %s for write\n", outputPath);
            break;
        case OutputFileResult::kWriteFailed:
            std::fprintf(err, "Error writing %s\n", outputPath);
            break;
    }
    return kGeneratorExitStatus;
}

std::string RunningProgramPath(const char* argv0) {
    std::array<char, 4096> path{};
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
    if (length > 0) {
        return std::string(path.data(), static_cast<std::size_t>(length));
    }
    return argv0 != nullptr ? std::string(argv0) : std::string();
}

}  // namespace paltab
