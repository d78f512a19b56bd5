// Fuzz target: arbitrary bytes as a palette text file. The reader must never
// fault, and reading from memory and from a stream must agree.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>

#include "invariant_checks.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string problem = paltab::CheckPaletteReaders(std::span<const std::uint8_t>(data, size));
    if (!problem.empty()) {
        std::fprintf(stderr, "palette reader: %s\n", problem.c_str());
        std::abort();
    }
    return 0;
}
