// Output written whole or not at all: a temporary file renamed over the
// target (removed should a signal end the process first, signal_guards.cpp),
// a file that may not be replaced rewritten only once its new content is
// sure to fit, or, for devices and pipes, checked writes in place.
#include "io/output_file.hpp"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cstring>
#include <optional>
#include <random>
#include <string>

#include "io/signal_guards.hpp"

namespace paltab {
namespace {

using io::HeldSignals;
using io::kCleanupSignals;
using io::kFileSizeSignal;
using io::TemporaryWatch;

// The kernel's own limit on links followed in one lookup.
constexpr int kMaxLinkHops = 40;
constexpr int kTemporaryNameAttempts = 100;
// Keeps ".<name>.XXXXXX" within the 255 bytes a file name may have.
constexpr std::size_t kMaxTemporaryStem = 200;

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

// Flushes a file's data to the disk. Files that cannot be synchronised
// (EINVAL) have nothing to flush.
bool Flush(int fd) {
    return ::fsync(fd) == 0 || errno == EINVAL;
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The kernel's rule for links in shared directories (protected_symlinks),
// applied whether or not the system enables it: in a sticky directory that
// everyone may write (/tmp), a link is followed only when it belongs to the
// directory's owner or to the caller (the effective user). Anyone else's
// link there could point anywhere the caller may write.
bool MayFollow(const std::string& link, const struct stat& linkStatus) {
    struct stat directory {};
    if (::stat(DirectoryOf(link).c_str(), &directory) != 0) {
        return false;
    }
    const bool shared = (directory.st_mode & S_ISVTX) != 0 && (directory.st_mode & S_IWOTH) != 0;
    return !shared || linkStatus.st_uid == directory.st_uid || linkStatus.st_uid == ::geteuid();
}

// Follows symbolic links from `path` to the name of the file itself, so that
// the file is replaced and the links stay. Link text is relative to the
// link's own directory. nullopt, with errno set, when a link cannot be read,
// links loop, or a link may not be followed (EACCES, see MayFollow).
std::optional<std::string> ResolveLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return path;
        }
        if (!MayFollow(path, status)) {
            errno = EACCES;
            return std::nullopt;
        }
        std::array<char, PATH_MAX> text{};
        const ssize_t length = ::readlink(path.c_str(), text.data(), text.size());
        if (length <= 0 || static_cast<std::size_t>(length) == text.size()) {
            return std::nullopt;
        }
        const std::string link(text.data(), static_cast<std::size_t>(length));
        path = link.front() == '/' ? link : DirectoryOf(path) + "/" + link;
    }
    errno = ELOOP;
    return std::nullopt;
}

// Creates a new, empty file beside `target` (mode 0666 less the umask, as a
// new output file would get), watched by `watch` from before it exists.
// Returns its descriptor, or -1.
int CreateTemporary(const std::string& target, std::string& temporaryPath, TemporaryWatch& watch) {
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    const std::string stem = DirectoryOf(target) + "/." + NameOf(target).substr(0, kMaxTemporaryStem) + ".";
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporaryPath = stem;
        for (int i = 0; i < 6; ++i) {
            temporaryPath += kLetters[pick(random)];
        }
        watch.Watch(temporaryPath);
        const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0) {
            return fd;
        }
        // Someone else's file of that name, or none at all: not ours to remove.
        watch.Forget();
        if (errno != EEXIST) {
            return -1;
        }
    }
    return -1;
}

// Opens and writes `path` where it is: a device or a pipe. Should it turn
// out a regular file that fails part way, it is emptied rather than left
// short.
OutputFileResult WriteInPlace(const char* path, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        return OutputFileResult::kCannotOpen;
    }
    struct stat status {};
    const bool regular = ::fstat(fd, &status) == 0 && S_ISREG(status.st_mode);
    bool ok = WriteAll(fd, bytes) && (!regular || Flush(fd));
    const int writeError = errno;
    if (!ok && regular) {
        (void)!::ftruncate(fd, 0);
    }
    if (::close(fd) != 0 && ok) {
        return OutputFileResult::kWriteFailed;
    }
    errno = writeError;
    return ok ? OutputFileResult::kWritten : OutputFileResult::kWriteFailed;
}

// Rewrites the regular file at `path` where it lies: a file that may be
// written but not replaced. Nothing changes until the new content is sure
// to fit: a file size limit below its size is refused, and its blocks are
// reserved first, so that a full disk fails there with the file as it was.
// SIGINT, SIGTERM and SIGHUP wait until the file is whole. Only an I/O error
// while writing into the reserved blocks can still fail; the file is then
// emptied rather than left part old, part new.
OutputFileResult RewriteInPlace(const char* path, std::span<const std::uint8_t> bytes) {
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return OutputFileResult::kCannotOpen;
    }
    struct stat before {};
    if (::fstat(fd, &before) != 0 || !S_ISREG(before.st_mode)) {
        ::close(fd);
        return WriteInPlace(path, bytes);
    }
    const auto size = static_cast<off_t>(bytes.size());
    struct rlimit limit {};
    int refused = 0;
    if (::getrlimit(RLIMIT_FSIZE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        bytes.size() > limit.rlim_cur) {
        refused = EFBIG;
    } else if (size > 0) {
        refused = ::posix_fallocate(fd, 0, size);
        if (refused != 0) {
            // Blocks added past the old end before the disk ran out go again.
            (void)!::ftruncate(fd, before.st_size);
        }
    }
    if (refused != 0) {
        ::close(fd);
        errno = refused;
        return OutputFileResult::kWriteFailed;
    }
    const HeldSignals held(kCleanupSignals, false);
    bool ok = WriteAll(fd, bytes) && ::ftruncate(fd, size) == 0 && Flush(fd);
    int writeError = errno;
    if (!ok) {
        (void)!::ftruncate(fd, 0);
    }
    if (::close(fd) != 0 && ok) {
        ok = false;
        writeError = errno;
    }
    errno = writeError;
    return ok ? OutputFileResult::kWritten : OutputFileResult::kWriteFailed;
}

// Writes a temporary file beside `target` and renames it over the target.
// `previous` is the target's status when it exists.
OutputFileResult ReplaceThroughTemporary(const std::string& target, const struct stat* previous,
                                         std::span<const std::uint8_t> bytes) {
    if (previous == nullptr) {
        // A name too long for the directory would only fail at the rename.
        const long maxName = ::pathconf(DirectoryOf(target).c_str(), _PC_NAME_MAX);
        if (maxName > 0 && NameOf(target).size() > static_cast<std::size_t>(maxName)) {
            return OutputFileResult::kCannotOpen;
        }
    }
    std::string temporaryPath;
    TemporaryWatch watch;
    const int fd = CreateTemporary(target, temporaryPath, watch);
    if (fd < 0) {
        // The directory takes no new file: a missing target cannot be
        // created at all, an existing one may still be writable in place.
        return previous != nullptr ? RewriteInPlace(target.c_str(), bytes) : OutputFileResult::kCannotOpen;
    }
    if (previous != nullptr) {
        // Owner first: changing it clears set-id bits. Only root may give a
        // file away; others may still keep its group if they belong to it.
        // What cannot be kept stays as for a file the caller creates.
        if (previous->st_uid != ::geteuid() || previous->st_gid != ::getegid()) {
            if (::fchown(fd, previous->st_uid, previous->st_gid) != 0) {
                (void)!::fchown(fd, static_cast<uid_t>(-1), previous->st_gid);
            }
        }
        (void)!::fchmod(fd, previous->st_mode & 07777);
    }
    bool ok = WriteAll(fd, bytes) && Flush(fd);
    ok = ::close(fd) == 0 && ok;
    if (!ok) {
        const int writeError = errno;
        ::unlink(temporaryPath.c_str());
        watch.Forget();
        errno = writeError;
        return OutputFileResult::kWriteFailed;
    }
    const bool renamed = ::rename(temporaryPath.c_str(), target.c_str()) == 0;
    if (!renamed) {
        const int renameError = errno;
        ::unlink(temporaryPath.c_str());
        watch.Forget();
        errno = renameError;
        // Some files may be written but not replaced: another user's file in
        // a sticky directory (/tmp), a file mounted over the target.
        const bool replaceRefused = renameError == EPERM || renameError == EACCES || renameError == EBUSY;
        return previous != nullptr && replaceRefused ? RewriteInPlace(target.c_str(), bytes)
                                                     : OutputFileResult::kWriteFailed;
    }
    watch.Forget();
    // Makes the rename itself durable; the file is complete either way.
    const int directory = ::open(DirectoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        (void)::fsync(directory);
        ::close(directory);
    }
    return OutputFileResult::kWritten;
}

}  // namespace

OutputFileResult WriteOutputFile(const char* path, std::span<const std::uint8_t> bytes) {
    const std::string given(path);
    // A name ending in '/' can only be a directory, which is no output file.
    if (given.empty() || given.back() == '/') {
        return OutputFileResult::kCannotOpen;
    }
    const HeldSignals fileSizeSignal(kFileSizeSignal, true);
    // Links first, so that a link that may not be followed leads nowhere,
    // not even to a device.
    const std::optional<std::string> target = ResolveLinks(given);
    if (!target) {
        return OutputFileResult::kCannotOpen;
    }
    struct stat status {};
    const bool exists = ::stat(path, &status) == 0;
    if (exists && !S_ISREG(status.st_mode)) {
        return WriteInPlace(path, bytes);
    }
    if (exists) {
        struct stat resolved {};
        if (::stat(target->c_str(), &resolved) != 0 || resolved.st_dev != status.st_dev ||
            resolved.st_ino != status.st_ino) {
            // A name the system resolves by itself (/proc/self/fd/1 of a
            // deleted file): there is no directory entry to replace.
            return RewriteInPlace(path, bytes);
        }
        // May the caller write this file at all? Asked without changing it,
        // so that a file it may not write is not replaced by a rename.
        const int probe = ::open(target->c_str(), O_WRONLY | O_CLOEXEC);
        if (probe < 0) {
            return OutputFileResult::kCannotOpen;
        }
        ::close(probe);
    }
    return ReplaceThroughTemporary(*target, exists ? &status : nullptr, bytes);
}

}  // namespace paltab
