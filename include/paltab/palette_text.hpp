// The palette text file: an optional two-line header whose first line begins
// with "PAL", then up to 256 lines of three decimal integers, red green blue.
//
// Reading rules, kept from the files this tool has always read:
// - Text mode: a carriage return is dropped and the byte after it is taken as
//   it is; a 0x1A (Ctrl-Z) byte ends the input.
// - Lines are read in pieces of at most 79 characters; each piece counts as a
//   line. A NUL byte ends what the parser sees of its line.
// - Each number: optional white space, one optional sign, decimal digits,
//   accumulated in 32 bits with wrap-around; the low 16 bits are stored.
// - Parsing a line stops at the first missing number; the missing components
//   keep the previous line's values (0 before the first line). A line with no
//   number still takes an entry, so later colours keep their indices.
// - A final line without a terminator is read like any other.
// - At most 256 colour lines are used; entries not reached stay unused.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>

#include "paltab/types.hpp"

namespace paltab {

struct PaletteReadResult {
    Palette palette{};        // entries not reached are unused (-1, -1, -1)
    int colorLines = 0;       // entries filled from the file, 0..256
    bool readFailed = false;  // the stream reported an error (a directory, an I/O error)
};

// Parses a whole file held in memory.
PaletteReadResult ReadPaletteText(std::span<const std::uint8_t> bytes);

// Reads from an open stream through a fixed-size buffer, so the size of the
// file does not matter; it stops reading within one buffer of the last line
// it uses.
PaletteReadResult ReadPaletteText(std::FILE* file);

}  // namespace paltab
