// Fuzz target: the whole generator in memory. The first byte chooses the
// options, the rest is the palette text; the table file built from it must
// keep every invariant of the format, and the vector paths must write the
// same bytes as the plain one.
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
    paltab::GenerateOptions options{.weightedDistance = (data[0] & 1) != 0, .writeExtension = (data[0] & 2) != 0};
    const paltab::PaletteReadResult read = paltab::ReadPaletteText(std::span<const std::uint8_t>(data + 1, size - 1));
    const std::vector<std::uint8_t> file = paltab::GenerateColorTableFile(read.palette, options);
    const std::string problem = paltab::CheckTableFile(read.palette, options, file);
    if (!problem.empty()) {
        std::fprintf(stderr, "table file: %s\n", problem.c_str());
        std::abort();
    }
    for (const paltab::BuildPath path : {paltab::BuildPath::kVectorBaseline, paltab::BuildPath::kPlain}) {
        options.path = path;
        if (paltab::GenerateColorTableFile(read.palette, options) != file) {
            std::fprintf(stderr, "table file: path %d differs from the widest vector path\n", static_cast<int>(path));
            std::abort();
        }
    }
    return 0;
}
