// Rebuilding the tables of a palette file and comparing them with a table file.
#include "inspect/verify.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "inspect/describe.hpp"
#include "io/file_io.hpp"
#include "paltab/palette_text.hpp"

namespace paltab {

Result<std::vector<std::uint8_t>> TablesOfPaletteFile(const std::string& path, const GenerateOptions& options) {
    const auto failed = [&](const char* cause) { return CannotRead(path, Error{"", cause, ErrorKind::kIo}); };
    // Read through the stream, as the generator does, so that a file of any
    // size costs only the lines it uses.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return failed(std::strerror(errno));
    }
    errno = 0;
    const PaletteReadResult read = ReadPaletteText(file);
    const int readErrno = errno;
    std::fclose(file);
    if (read.readFailed) {
        return failed(readErrno != 0 ? std::strerror(readErrno) : "read error");
    }
    return GenerateColorTableFile(read.palette, options);
}

Result<std::vector<std::uint8_t>> TablesOfPaletteFile(const std::string& path, std::optional<PaletteFormat> forced,
                                                      const PaletteReadOptions& readOptions,
                                                      const GenerateOptions& options,
                                                      std::vector<std::string>& warnings) {
    if (!forced) {
        // What detection needs: a file larger than any palette but a PNG
        // can only be a palette text.
        Result<std::vector<std::uint8_t>> read = ReadFileBytes(path, kMaxPaletteFileSize + 1);
        if (!read) {
            return read;
        }
        const std::vector<std::uint8_t>& bytes = *read;
        PaletteFormat format = PaletteFormat::kText;
        if (bytes.size() <= kMaxPaletteFileSize) {
            format = DetectPaletteFormat(bytes, path).format;
        } else if (const std::span<const std::uint8_t> signature(bytes.data(), 8);
                   DetectPaletteFormat(signature, "").format == PaletteFormat::kPng) {
            format = PaletteFormat::kPng;
        }
        if (format == PaletteFormat::kText) {
            return TablesOfPaletteFile(path, options);
        }
    }
    const auto file = ReadPaletteFile(path, forced, readOptions, warnings);
    if (!file) {
        return file.error();
    }
    return GenerateColorTableFile(ToGeneratorPalette(file->palette.colors), options);
}

TableComparison CompareTableFiles(std::span<const std::uint8_t> expected, std::span<const std::uint8_t> found,
                                  std::size_t keep) {
    TableComparison comparison;
    const std::size_t length = std::max(expected.size(), found.size());
    for (std::size_t offset = 0; offset < length; ++offset) {
        const bool inExpected = offset < expected.size(), inFound = offset < found.size();
        if (inExpected && inFound && expected[offset] == found[offset]) {
            continue;
        }
        ++comparison.differing;
        ++comparison.perSection[static_cast<std::size_t>(SectionAt(offset).section)];
        if (comparison.first.size() < keep && inExpected && inFound) {
            comparison.first.push_back({offset, expected[offset], found[offset]});
        }
    }
    return comparison;
}

std::string FormatComparison(std::string_view tablesPath, std::string_view palettePath,
                             const TableComparison& comparison) {
    const std::string source = "the tables of " + QuotedPath(palettePath);
    if (comparison.differing == 0) {
        return ShownPath(tablesPath) + ": matches " + source + "\n";
    }
    std::string text;
    for (const ByteMismatch& m : comparison.first) {
        text += ShownPath(tablesPath) + ": offset " + std::to_string(m.offset) + ", " + DescribeOffset(m.offset) +
                ": expected " + std::to_string(m.expected) + ", found " + std::to_string(m.found) + "\n";
    }
    if (comparison.differing > comparison.first.size()) {
        text += "  ... " + std::to_string(comparison.differing - comparison.first.size()) + " more\n";
    }
    text += ShownPath(tablesPath) + ": " + std::to_string(comparison.differing) + " bytes differ from " + source +
            " (";
    const char* separator = "";
    for (const TableSectionSpan& section : kTableSections) {
        const std::size_t count = comparison.perSection[static_cast<std::size_t>(section.section)];
        if (count > 0) {
            text += separator + std::string(section.name) + " " + std::to_string(count);
            separator = ", ";
        }
    }
    return text + ")\n";
}

}  // namespace paltab
