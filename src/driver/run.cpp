// The generator's run sequence: scan the options, read the palette, build the
// map, then write the table file (with the extension tables when asked).
#include "driver/run.hpp"

#include <unistd.h>

#include <array>
#include <memory>

#include "paltab/blend.hpp"
#include "paltab/inverse_map.hpp"
#include "paltab/palette_text.hpp"
#include "paltab/shade.hpp"
#include "paltab/table_file.hpp"

namespace paltab {
namespace {

// Everything one run holds. Zero at start: with no used palette entry the
// map stays all zero.
struct RunState {
    bool weightedDistance = false;
    bool writeExtension = false;
    Palette palette{};
    DistanceBuffer distances{};
    InverseColorMap map{};
    ExtensionTables extension{};
};

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

    const auto state = std::make_unique<RunState>();
    while (remaining > 1 && args[cursor + 1][0] == '-') {
        const char option = args[cursor + 1][1];
        if (option == 'c') {
            state->weightedDistance = true;
        } else if (option == 'n') {
            state->writeExtension = true;
        } else {
            std::fprintf(err, "Warning, unknown option %c\n", option);
        }
        ++cursor;
        --remaining;
    }
    if (state->weightedDistance) {
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
    state->palette = read.palette;
    (void)BuildInverseColorMap(static_cast<int>(kPaletteSize), state->palette, state->distances, state->map,
                               {.weightedDistance = state->weightedDistance, .bitsPerComponent = kCellBits});

    std::FILE* output = std::fopen(outputPath, "wb");
    if (output == nullptr) {
        std::fprintf(err, "Error opening %s for write\n", outputPath);
        return kGeneratorExitStatus;
    }
    const ExtensionTables* extension = nullptr;
    if (state->writeExtension) {
        ExtensionTables& tables = state->extension;
        BuildShadeTable(state->palette, state->map, tables.shade);
        BuildBlendTables(state->palette, state->map, tables.shade, tables.additive, tables.multiplicative);
        extension = &tables;
    }
    const std::vector<std::uint8_t> bytes = SerializeColorTableFile(state->palette, state->map, extension);
    std::fwrite(bytes.data(), 1, bytes.size(), output);
    std::fclose(output);
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
