// The C header writer: one array per table, 16 bytes to a line.
#include "export/c_header.hpp"

#include <algorithm>
#include <cstdio>

namespace paltab {
namespace {

bool IsIdentifierStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}

// The keywords of C (to C23) and C++ (to C++20), and GNU C's asm and typeof;
// the ones that begin with '_' and a capital are reserved names anyway.
constexpr std::string_view kKeywords[] = {
    "alignas", "alignof", "and", "and_eq", "asm", "auto", "bitand", "bitor", "bool", "break", "case", "catch",
    "char", "char8_t", "char16_t", "char32_t", "class", "co_await", "co_return", "co_yield", "compl", "concept",
    "const", "const_cast", "consteval", "constexpr", "constinit", "continue", "decltype", "default", "delete", "do",
    "double", "dynamic_cast", "else", "enum", "explicit", "export", "extern", "false", "float", "for", "friend",
    "goto", "if", "inline", "int", "long", "mutable", "namespace", "new", "noexcept", "not", "not_eq", "nullptr",
    "operator", "or", "or_eq", "private", "protected", "public", "register", "reinterpret_cast", "requires",
    "restrict", "return", "short", "signed", "sizeof", "static", "static_assert", "static_cast", "struct", "switch",
    "template", "this", "thread_local", "throw", "true", "try", "typedef", "typeid", "typename", "typeof",
    "typeof_unqual", "union", "unsigned", "using", "virtual", "void", "volatile", "wchar_t", "while", "xor",
    "xor_eq"};

// Object-like macros GCC and Clang define in their default (GNU) modes on
// Linux and x86: `static const unsigned char linux[]` reads as `... 1[]`.
constexpr std::string_view kPredefinedMacros[] = {"linux", "unix", "i386"};

bool IsOneOf(std::string_view name, std::span<const std::string_view> list) {
    return std::find(list.begin(), list.end(), name) != list.end();
}

// Text from the command line inside a /* */ comment: anything unprintable
// becomes '?', and "*/" cannot close the comment early.
std::string CommentSafe(std::string_view text) {
    std::string safe;
    for (const char c : text) {
        if (c == '/' && !safe.empty() && safe.back() == '*') {
            safe += ' ';
        }
        safe += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return safe;
}

void AppendArray(std::string& text, std::string_view name, std::string_view suffix, std::span<const std::uint8_t> bytes) {
    const std::string full = std::string(name) + (suffix.empty() ? "" : "_") + std::string(suffix);
    text += "static const unsigned char " + full + "[" +
            std::to_string(bytes.size()) + "] = {\n";
    constexpr std::size_t kPerLine = 16;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char value[8];
        std::snprintf(value, sizeof value, "%s%3u,", i % kPerLine == 0 ? "   " : " ", bytes[i]);
        text += value;
        if (i % kPerLine == kPerLine - 1 || i + 1 == bytes.size()) {
            text += "\n";
        }
    }
    text += "};\n\n";
}

}  // namespace

bool IsCIdentifier(std::string_view name) {
    if (name.empty() || !IsIdentifierStart(name.front())) {
        return false;
    }
    for (const char c : name) {
        if (!IsIdentifierStart(c) && !(c >= '0' && c <= '9')) {
            return false;
        }
    }
    return true;
}

std::string_view CArrayNameProblem(std::string_view name) {
    if (!IsCIdentifier(name)) {
        return "is not a C identifier";
    }
    if (IsOneOf(name, kKeywords)) {
        return "is a C or C++ keyword";
    }
    if (name.size() > 1 && name[0] == '_' && (name[1] == '_' || (name[1] >= 'A' && name[1] <= 'Z'))) {
        return "is reserved for the compiler";
    }
    if (IsOneOf(name, kPredefinedMacros)) {
        return "is a macro GCC and Clang predefine";
    }
    return {};
}

std::string MakeCHeader(const ColorTableView& view, std::string_view name, std::string_view command) {
    const std::string n(name);
    const std::string guard = n + "_TABLES_H";
    const auto bytes = view.Bytes();
    std::string text;
    text += "/* Colour tables for 256-colour graphics, made by `" + CommentSafe(command) +
            "`\n"
            " * from a " + std::to_string(bytes.size()) + "-byte table file. Do not edit; export again instead.\n"
            " *\n"
            " * " + n + "_palette[3 * i + c]: entry i, component c (red, green, blue) at 6 bits, 0..63;\n"
            " *     255 255 255 marks an unused entry. Expand to 8 bits as (v << 2) | (v >> 4).\n"
            " * " + n + "_map[(r >> 3) << 10 | (g >> 3) << 5 | (b >> 3)]: the entry for the 8-bit colour r, g, b.\n";
    if (view.HasExtension()) {
        text += " * " + n + "_shade[i * 256 + level]: entry i darkened (level 0..127, 0 is black), itself\n"
                " *     (128) or lightened towards white (129..255).\n"
                " * " + n + "_add[a * 256 + b], " + n + "_mul[a * 256 + b]: the entries for a + b and a * b.\n";
    }
    text += " */\n#ifndef " + guard + "\n#define " + guard + "\n\n";
    for (const TableSectionSpan& section : SectionsOfFile(bytes.size())) {
        static constexpr std::string_view kSuffixes[] = {"palette", "map", "", "shade", "add", "mul"};
        const std::string_view suffix = kSuffixes[static_cast<std::size_t>(section.section)];
        if (!suffix.empty()) {
            AppendArray(text, n, suffix, bytes.subspan(section.offset, section.size));
        }
    }
    return text + "#endif\n";
}

std::string MakeCArrayHeader(std::string_view name, std::span<const std::uint8_t> bytes,
                             std::string_view description, std::string_view command) {
    const std::string n(name);
    const std::string guard = n + "_H";
    std::string text = "/* Made by `" + CommentSafe(command) + "`. Do not edit; make it again instead.\n";
    while (!description.empty()) {
        const std::size_t end = description.find('\n');
        const std::string line = CommentSafe(description.substr(0, end));
        text += line.empty() ? " *\n" : " * " + line + "\n";
        description = end == std::string_view::npos ? std::string_view{} : description.substr(end + 1);
    }
    text += " */\n#ifndef " + guard + "\n#define " + guard + "\n\n";
    AppendArray(text, n, "", bytes);
    return text + "#endif\n";
}

}  // namespace paltab
