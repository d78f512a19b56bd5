// Output written whole or not at all: a temporary file renamed over the
// target, or, for devices and pipes, checked writes in place.
#include "io/output_file.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <climits>
#include <optional>
#include <random>
#include <string>

namespace paltab {
namespace {

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

// Follows symbolic links from `path` to the name of the file itself, so that
// the file is replaced and the links stay. Link text is relative to the
// link's own directory. nullopt when a link cannot be read.
std::optional<std::string> ResolveLinks(std::string path) {
    for (int hop = 0; hop < kMaxLinkHops; ++hop) {
        struct stat status {};
        if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) {
            return path;
        }
        std::array<char, PATH_MAX> text{};
        const ssize_t length = ::readlink(path.c_str(), text.data(), text.size());
        if (length <= 0 || static_cast<std::size_t>(length) == text.size()) {
            return std::nullopt;
        }
        const std::string link(text.data(), static_cast<std::size_t>(length));
        path = link.front() == '/' ? link : DirectoryOf(path) + "/" + link;
    }
    return std::nullopt;
}

// Creates a new, empty file beside `target` (mode 0666 less the umask, as a
// new output file would get). Returns its descriptor, or -1.
int CreateTemporary(const std::string& target, std::string& temporaryPath) {
    static constexpr std::string_view kLetters = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::minstd_rand random(std::random_device{}());
    std::uniform_int_distribution<std::size_t> pick(0, kLetters.size() - 1);
    const std::string stem = DirectoryOf(target) + "/." + NameOf(target).substr(0, kMaxTemporaryStem) + ".";
    for (int attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        temporaryPath = stem;
        for (int i = 0; i < 6; ++i) {
            temporaryPath += kLetters[pick(random)];
        }
        const int fd = ::open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) {
            return fd;
        }
    }
    return -1;
}

// Opens and writes `path` where it is, as for a device or a pipe. A regular
// file that fails part way is emptied rather than left short.
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
    const int fd = CreateTemporary(target, temporaryPath);
    if (fd < 0) {
        // The directory takes no new file: a missing target cannot be
        // created at all, an existing one may still be writable in place.
        return previous != nullptr ? WriteInPlace(target.c_str(), bytes) : OutputFileResult::kCannotOpen;
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
        errno = writeError;
        return OutputFileResult::kWriteFailed;
    }
    if (::rename(temporaryPath.c_str(), target.c_str()) != 0) {
        const int renameError = errno;
        ::unlink(temporaryPath.c_str());
        errno = renameError;
        // Some files may be written but not replaced: another user's file in
        // a sticky directory (/tmp), a file mounted over the target.
        const bool replaceRefused = renameError == EPERM || renameError == EACCES || renameError == EBUSY;
        return previous != nullptr && replaceRefused ? WriteInPlace(target.c_str(), bytes)
                                                     : OutputFileResult::kWriteFailed;
    }
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
    struct stat status {};
    const bool exists = ::stat(path, &status) == 0;
    if (exists && !S_ISREG(status.st_mode)) {
        return WriteInPlace(path, bytes);
    }
    const std::optional<std::string> target = ResolveLinks(given);
    if (!target) {
        return OutputFileResult::kCannotOpen;
    }
    if (exists) {
        struct stat resolved {};
        if (::stat(target->c_str(), &resolved) != 0 || resolved.st_dev != status.st_dev ||
            resolved.st_ino != status.st_ino) {
            // A name the system resolves by itself (/proc/self/fd/1 of a
            // deleted file): there is no directory entry to replace.
            return WriteInPlace(path, bytes);
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
