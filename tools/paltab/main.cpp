// paltab [-c] [-n] palette.txt tables.bin: writes the colour table file.
#include <cstdio>
#include <span>

#include "run.hpp"

int main(int argc, char** argv) {
    const std::span<const char* const> args(argv, static_cast<std::size_t>(argc));
    return paltab::RunGenerator(args, paltab::RunningProgramPath(argc > 0 ? argv[0] : nullptr), stdout, stderr);
}
