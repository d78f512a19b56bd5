// Table file validation and the read-only view over checked bytes.
#include "paltab/table_reader.hpp"

#include <algorithm>
#include <cstdio>

#include "io/file_io.hpp"

namespace paltab {
namespace {

std::string ExpectedSizes() {
    return "a table file is " + std::to_string(kPlainFileSize) + " or " + std::to_string(kExtendedFileSize) + " bytes";
}

TableFileCheck Fault(TableFileFault fault, std::size_t offset, std::string what) {
    return {fault, offset, std::move(what)};
}

// The tag bytes as text, with anything unprintable as \xNN.
std::string Printable(std::span<const std::uint8_t> bytes) {
    std::string text;
    for (const std::uint8_t byte : bytes) {
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            text += static_cast<char>(byte);
        } else {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        }
    }
    return text;
}

bool IsUnusedTriple(std::span<const std::uint8_t> triple) {
    return std::all_of(triple.begin(), triple.end(), [](std::uint8_t v) { return v == kUnusedPaletteByte; });
}

}  // namespace

std::span<const TableSectionSpan> SectionsOfFile(std::size_t fileSize) {
    return std::span<const TableSectionSpan>(kTableSections).first(fileSize == kExtendedFileSize ? 6 : 2);
}

const TableSectionSpan& SectionAt(std::size_t offset) {
    for (const TableSectionSpan& section : kTableSections) {
        if (offset < section.offset + section.size) {
            return section;
        }
    }
    return kTableSections.back();
}

TableFileCheck CheckColorTableFile(std::span<const std::uint8_t> bytes) {
    const std::size_t size = bytes.size();
    if (size > kExtendedFileSize) {
        return Fault(TableFileFault::kTrailingBytes, kExtendedFileSize,
                     "data after the end of the tables; " + ExpectedSizes());
    }
    if (size != kPlainFileSize && size != kExtendedFileSize) {
        return Fault(TableFileFault::kTruncated, size, "file ends early; " + ExpectedSizes());
    }
    if (size == kExtendedFileSize) {
        const auto tag = bytes.subspan(kTagOffset, kTagSize);
        const auto differs = std::mismatch(tag.begin(), tag.end(), kExtensionTag.begin()).first;
        if (differs != tag.end()) {
            return Fault(TableFileFault::kBadTag, kTagOffset + static_cast<std::size_t>(differs - tag.begin()),
                         "expected tag \"CWEN\", found \"" + Printable(tag) + "\"");
        }
    }
    const auto section = bytes.subspan(kPaletteSectionOffset, kPaletteSectionSize);
    for (std::size_t entry = 0; entry < kPaletteSize; ++entry) {
        const auto triple = section.subspan(3 * entry, 3);
        if (IsUnusedTriple(triple)) {
            continue;
        }
        for (std::size_t c = 0; c < 3; ++c) {
            if (triple[c] > 63) {
                return Fault(TableFileFault::kBadPaletteByte, kPaletteSectionOffset + 3 * entry + c,
                             "palette entry " + std::to_string(entry) + " " + std::string(kComponentNames[c]) +
                                 " is " + std::to_string(triple[c]) +
                                 "; a used entry's components are 0..63, an unused entry is 255 255 255");
            }
        }
    }
    return {};
}

Error TableFileCheck::AsError() const {
    return {"offset " + std::to_string(offset), cause};
}

std::string TableFileCheck::Message() const {
    return ok() ? std::string() : AsError().Message();
}

Result<ColorTableView> ColorTableView::Parse(std::span<const std::uint8_t> bytes) {
    const TableFileCheck check = CheckColorTableFile(bytes);
    if (!check.ok()) {
        return check.AsError();
    }
    return ColorTableView(bytes);
}

bool ColorTableView::IsUsed(std::uint8_t index) const {
    return !IsUnusedTriple(bytes_.subspan(kPaletteSectionOffset + 3 * std::size_t{index}, 3));
}

std::optional<Rgb8> ColorTableView::SixBitColor(std::uint8_t index) const {
    if (!IsUsed(index)) {
        return std::nullopt;
    }
    const std::size_t at = kPaletteSectionOffset + 3 * std::size_t{index};
    return Rgb8{bytes_[at], bytes_[at + 1], bytes_[at + 2]};
}

std::optional<Rgb8> ColorTableView::Color(std::uint8_t index) const {
    const auto six = SixBitColor(index);
    if (!six) {
        return std::nullopt;
    }
    return Rgb8{ExpandSixBit(six->r), ExpandSixBit(six->g), ExpandSixBit(six->b)};
}

std::uint8_t ColorTableView::MapCell(std::size_t cell) const {
    return bytes_[kMapOffset + cell % kCellCount];
}

std::uint8_t ColorTableView::Lookup(Rgb8 color) const {
    return MapCell(CellOfColor(color.r, color.g, color.b));
}

std::optional<std::uint8_t> ColorTableView::PairTable(TableSection table, std::uint8_t row,
                                                      std::uint8_t column) const {
    const bool pairTable = table == TableSection::kShade || table == TableSection::kAdditive ||
                           table == TableSection::kMultiplicative;
    if (!pairTable || !HasExtension()) {
        return std::nullopt;
    }
    return bytes_[kTableSections[static_cast<std::size_t>(table)].offset + PairIndex(row, column)];
}

std::optional<std::uint8_t> ColorTableView::Shade(std::uint8_t color, std::uint8_t level) const {
    return PairTable(TableSection::kShade, color, level);
}

std::optional<std::uint8_t> ColorTableView::Additive(std::uint8_t a, std::uint8_t b) const {
    return PairTable(TableSection::kAdditive, a, b);
}

std::optional<std::uint8_t> ColorTableView::Multiplicative(std::uint8_t a, std::uint8_t b) const {
    return PairTable(TableSection::kMultiplicative, a, b);
}

Result<ColorTableFile> ColorTableFile::Load(const std::string& path) {
    // One byte more than the largest file is enough to tell that it is too long.
    Result<std::vector<std::uint8_t>> bytes = ReadFileBytes(path, kExtendedFileSize + 1);
    if (!bytes) {
        return std::move(bytes).error();
    }
    const Result<ColorTableView> view = ColorTableView::Parse(*bytes);
    if (!view) {
        return CannotRead(path, view.error());
    }
    return ColorTableFile(std::move(bytes).value(), *view);
}

}  // namespace paltab
