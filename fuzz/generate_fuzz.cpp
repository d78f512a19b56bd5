// Fuzz target: the whole generator in memory. The first byte chooses the
// options, the rest is the palette text; the table file built from it must
// keep every invariant of the format.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "invariant_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const paltab::GenerateOptions options{.weightedDistance = (data[0] & 1) != 0,
                                          .writeExtension = (data[0] & 2) != 0};
    const paltab::PaletteReadResult read = paltab::ReadPaletteText(std::span<const std::uint8_t>(data + 1, size - 1));
    const std::vector<std::uint8_t> file = paltab::GenerateColorTableFile(read.palette, options);
    const std::string problem = paltab::CheckTableFile(read.palette, options, file);
    if (!problem.empty()) {
        std::fprintf(stderr, "table file: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
