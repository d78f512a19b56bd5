// Writing the table file so that it is whole or absent: a failed run never
// leaves a short or damaged file where the previous one was.
#pragma once

#include <cstdint>
#include <span>

namespace paltab {

enum class OutputFileResult {
    kWritten,
    kCannotOpen,   // the path cannot be written; nothing was created or changed
    kWriteFailed,  // a write, flush, close or the final rename failed
};

// Writes `bytes` to `path`, all of them or none.
//
// A regular file, or a path where nothing exists yet, is written through a
// temporary file in the same directory, flushed to disk and renamed over the
// target only when complete. On any failure the temporary file is removed and
// the target keeps its previous content, or stays absent. An existing target
// keeps its permission bits, and its owner and group as far as the caller may
// set them; when `path` is a symbolic link, the link stays and the file it
// points to is replaced. Where the target may be written but not replaced
// (the directory takes no new file, a sticky directory, a file mounted over
// it), it is written in place and, should that fail, left empty.
//
// Anything else (a terminal, a pipe, /dev/null, /dev/full) is written in place,
// every write and the close checked.
//
// On failure errno holds the cause. kCannotOpen is decided before any
// temporary file exists: a missing
// directory, a directory, a file or directory the caller may not write.
OutputFileResult WriteOutputFile(const char* path, std::span<const std::uint8_t> bytes);

}  // namespace paltab
