// `paltool export --c-header`: the tables of a file as C arrays.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "paltab/table_reader.hpp"

namespace paltab {

// A C identifier: a letter or '_', then letters, digits and '_'.
bool IsCIdentifier(std::string_view name);

// Why `name` cannot name an array of a header that C and C++ compilers take,
// as "is not a C identifier", "is a C or C++ keyword", "is reserved for the
// compiler" (it begins with "__" or '_' and a capital: __FILE__, _Bool) or
// "is a macro GCC and Clang predefine" (linux, unix, i386); empty when it can.
std::string_view CArrayNameProblem(std::string_view name);

// A header that defines `static const unsigned char` arrays NAME_palette[768]
// and NAME_map[32768], and with the extension NAME_shade, NAME_add and
// NAME_mul[65536], each byte for byte as in the file. It opens with a comment
// that says how it was made (`command`) and how to index the arrays.
// `name` must be a C identifier.
std::string MakeCHeader(const ColorTableView& view, std::string_view name, std::string_view command);

// A header that defines one array `static const unsigned char NAME[size]`
// holding `bytes`. It opens with a comment that says how it was made
// (`command`), followed by `description` (lines without the comment's " * ").
// `name` must be a C identifier.
std::string MakeCArrayHeader(std::string_view name, std::span<const std::uint8_t> bytes,
                             std::string_view description, std::string_view command);

}  // namespace paltab
