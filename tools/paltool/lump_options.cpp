// Reading a file named on the command line as a lump or as a table file.
#include "lump_options.hpp"

#include "io/file_io.hpp"
#include "paltab/table_file.hpp"

namespace paltab::paltool {

std::variant<std::optional<LumpFile>, int> ReadLumpArgument(std::string_view command, const std::string& path,
                                                            const std::optional<std::string>& asName) {
    std::optional<LumpKind> as;
    if (asName) {
        as = ParseLumpKind(*asName);
        if (!as) {
            return UsageError(command, "--as '" + *asName + "' is not one of " + LumpKindList());
        }
    }
    // One byte more than a table file, the largest file read here, tells a
    // file too large for any.
    std::vector<std::uint8_t> bytes;
    std::string error;
    if (!ReadFileBytes(path, kExtendedFileSize + 1, bytes, error)) {
        return Failure(error);
    }
    // A damaged table file whose size happens to be a light table's stays a
    // table file by its name.
    if (!as && (bytes.size() == kPlainFileSize || bytes.size() == kExtendedFileSize || FileExtension(path) == ".tab")) {
        return std::optional<LumpFile>();
    }
    if (as && bytes.size() > kExtendedFileSize) {
        return Failure(CannotRead(path, "more than " + std::to_string(kExtendedFileSize) +
                                            " bytes, larger than any lump (--as " + *asName + ")"));
    }
    const auto info = RecogniseLump(bytes, as, error);
    if (!info) {
        if (!as) {
            return std::optional<LumpFile>();
        }
        return Failure(CannotRead(path, error + " (--as " + *asName + ")"));
    }
    return std::optional<LumpFile>(LumpFile{std::move(bytes), *info});
}

std::string_view LumpTitle(LumpKind kind) {
    switch (kind) {
        case LumpKind::kColormap: return "COLORMAP";
        case LumpKind::kTranmap: return "TRANMAP";
        case LumpKind::kPlaypal: return "PLAYPAL";
        case LumpKind::kBuildPalette: return "palette.dat";
        case LumpKind::kLightTable: return "light table";
    }
    return "lump";
}

}  // namespace paltab::paltool
