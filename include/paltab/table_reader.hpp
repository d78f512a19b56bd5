// Reading a colour table file: validation in one place, then a read-only view
// of its palette, map and extension tables. The layout is in table_file.hpp.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "paltab/result.hpp"
#include "paltab/table_file.hpp"
#include "paltab/types.hpp"

namespace paltab {

// The sections of a table file, in file order. The last four exist only in a
// file with the extension.
enum class TableSection { kPalette, kMap, kTag, kShade, kAdditive, kMultiplicative };

struct TableSectionSpan {
    TableSection section;
    std::string_view name;
    std::size_t offset;
    std::size_t size;
};

inline constexpr std::array<TableSectionSpan, 6> kTableSections{{
    {TableSection::kPalette, "palette", kPaletteSectionOffset, kPaletteSectionSize},
    {TableSection::kMap, "map", kMapOffset, kMapSize},
    {TableSection::kTag, "tag", kTagOffset, kTagSize},
    {TableSection::kShade, "shade", kShadeOffset, kShadeTableSize},
    {TableSection::kAdditive, "additive", kAdditiveOffset, kPairTableSize},
    {TableSection::kMultiplicative, "multiplicative", kMultiplicativeOffset, kPairTableSize},
}};

// The components of a palette entry, in file order.
inline constexpr std::array<std::string_view, 3> kComponentNames{"red", "green", "blue"};

// The sections present in a file of `fileSize` bytes (two or all six).
std::span<const TableSectionSpan> SectionsOfFile(std::size_t fileSize);

// The section that holds byte `offset`; the last section for an offset past
// the end.
const TableSectionSpan& SectionAt(std::size_t offset);

// What can be wrong with the bytes of a table file.
enum class TableFileFault {
    kNone,
    kTruncated,       // shorter than a plain file, or ends inside the extension
    kTrailingBytes,   // longer than an extended file
    kBadTag,          // the four bytes after the map are not "CWEN"
    kBadPaletteByte,  // a component above 63 in an entry that is not 255 255 255
};

// The verdict of CheckColorTableFile: good, or which fault and where.
struct TableFileCheck {
    TableFileFault fault = TableFileFault::kNone;
    std::size_t offset = 0;  // the first byte that is wrong, or where the file ends
    std::string cause;       // "expected tag ...", empty when the bytes are good

    bool ok() const { return fault == TableFileFault::kNone; }
    // A fault as the library's Error: kBadInput at "offset N".
    Error AsError() const;
    // "offset 33536: ...", empty when the bytes are good.
    std::string Message() const;
};

// Every structural check of a table file, first fault first: the size, the
// tag when the file is long enough for one, then each palette byte, which is
// 0..63 or part of the unused triple 255 255 255.
TableFileCheck CheckColorTableFile(std::span<const std::uint8_t> bytes);

// A read-only view of valid table file bytes. It does not own them: the bytes
// must outlive the view. Index, component and level arguments are bytes, so
// every lookup stays inside its table.
class ColorTableView {
public:
    // The view of `bytes`; fails with the first fault CheckColorTableFile
    // finds (kBadInput, at "offset N").
    static Result<ColorTableView> Parse(std::span<const std::uint8_t> bytes);

    std::span<const std::uint8_t> Bytes() const { return bytes_; }
    bool HasExtension() const { return bytes_.size() == kExtendedFileSize; }

    // False for an entry stored as 255 255 255.
    bool IsUsed(std::uint8_t index) const;
    // The stored components, 0..63; nothing for an unused entry.
    std::optional<Rgb8> SixBitColor(std::uint8_t index) const;
    // The stored components expanded to 0..255; nothing for an unused entry.
    std::optional<Rgb8> Color(std::uint8_t index) const;

    // The map byte of cell 0 rrrrr ggggg bbbbb; a larger cell number is
    // reduced to its low 15 bits.
    std::uint8_t MapCell(std::size_t cell) const;
    // The palette index the map gives an 8-bit colour, through its 5-bit cell.
    std::uint8_t Lookup(Rgb8 color) const;

    // The extension tables; nothing when the file has no extension.
    std::optional<std::uint8_t> Shade(std::uint8_t color, std::uint8_t level) const;
    std::optional<std::uint8_t> Additive(std::uint8_t a, std::uint8_t b) const;
    std::optional<std::uint8_t> Multiplicative(std::uint8_t a, std::uint8_t b) const;
    // Any of the three by its section; nothing for the other sections too.
    std::optional<std::uint8_t> PairTable(TableSection table, std::uint8_t row, std::uint8_t column) const;

private:
    explicit ColorTableView(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::span<const std::uint8_t> bytes_;
};

// A table file read from disk: owns its bytes and the view of them.
class ColorTableFile {
public:
    // Reads and checks the file at `path`. Fails as Parse does or with kIo,
    // the Error naming the file; its Message() is one line:
    //   cannot read 'x.tab': No such file or directory
    //   cannot read 'x.tab': offset 33536: expected tag "CWEN", found "CWEX"
    static Result<ColorTableFile> Load(const std::string& path);

    const ColorTableView& View() const { return view_; }

    // Moving keeps the view valid (the vector's buffer moves with it);
    // copying would not, so it is not allowed.
    ColorTableFile(ColorTableFile&&) noexcept = default;
    ColorTableFile& operator=(ColorTableFile&&) noexcept = default;
    ColorTableFile(const ColorTableFile&) = delete;
    ColorTableFile& operator=(const ColorTableFile&) = delete;

private:
    ColorTableFile(std::vector<std::uint8_t> bytes, ColorTableView view)
        : bytes_(std::move(bytes)), view_(view) {}

    std::vector<std::uint8_t> bytes_;
    ColorTableView view_;
};

}  // namespace paltab
