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
// the target keeps its previous content, or stays absent. SIGINT, SIGTERM or
// SIGHUP arriving meanwhile remove the temporary file before the process ends
// as they would have ended it (signals the program ignores or handles itself
// are left alone). An existing target keeps its permission bits, and its
// owner and group as far as the caller may set them; when `path` is a
// symbolic link, the link stays and the file it points to is replaced. A
// link in a sticky directory that everyone may write (/tmp) is followed only
// when it belongs to the directory's owner or to the caller, as the kernel's
// protected_symlinks rule has it; any other is refused (kCannotOpen, EACCES).
// Where the target may be written but not replaced (the directory takes no
// new file, a sticky directory, a file mounted over it), it is rewritten in
// place once its new size is known to fit: within the file size limit and
// with its blocks reserved; otherwise it is left as it was.
//
// A file size limit (RLIMIT_FSIZE) never ends the process with SIGXFSZ: the
// write fails with EFBIG.
//
// Anything else (a terminal, a pipe, /dev/null, /dev/full) is written in place,
// every write and the close checked.
//
// On failure errno holds the cause. kCannotOpen is decided before any
// temporary file exists: a missing directory, a directory, a file or
// directory the caller may not write, a link that may not be followed.
OutputFileResult WriteOutputFile(const char* path, std::span<const std::uint8_t> bytes);

}  // namespace paltab
