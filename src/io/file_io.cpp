// Whole-file reads over POSIX calls, so that every failure has its errno,
// and all-or-nothing writes through the output file writer.
#include "io/file_io.hpp"

#include "io/output_file.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace paltab {
namespace {

std::string Quoted(std::string_view verb, std::string_view path, std::string_view cause) {
    std::string text(verb);
    text += ' ';
    text += QuotedPath(path);
    text += ": ";
    text += cause;
    return text;
}

// Closes a descriptor when the scope ends, whatever path leaves it.
class Descriptor {
public:
    explicit Descriptor(int fd) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;

    int get() const { return fd_; }
private:
    int fd_;
};

}  // namespace

std::string ShownPath(std::string_view path) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown;
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            shown += "\\x";
            shown += kHex[byte >> 4];
            shown += kHex[byte & 15];
        } else {
            shown += c;
        }
    }
    return shown;
}

std::string QuotedPath(std::string_view path) {
    std::string quoted = "'";
    quoted += ShownPath(path);
    quoted += '\'';
    return quoted;
}

std::string CannotRead(std::string_view path, std::string_view cause) {
    return Quoted("cannot read", path, cause);
}

std::string CannotWrite(std::string_view path, std::string_view cause) {
    return Quoted("cannot write", path, cause);
}

Error CannotRead(std::string_view path, Error error) {
    error.file = "cannot read " + QuotedPath(path);
    return error;
}

Error CannotWrite(std::string_view path, Error error) {
    error.file = "cannot write " + QuotedPath(path);
    return error;
}

Result<std::vector<std::uint8_t>> ReadFileBytes(const std::string& path, std::size_t limit) {
    const auto failed = [&](std::string cause, ErrorKind kind) {
        return CannotRead(path, Error{"", std::move(cause), kind});
    };
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        return failed(std::strerror(errno), ErrorKind::kIo);
    }
    // The buffer grows as the file turns out larger, so that a generous
    // limit costs nothing for a small file.
    constexpr std::size_t kFirstChunk = 64 * 1024;
    std::vector<std::uint8_t> bytes;
    std::size_t filled = 0;
    const auto grow = [&](std::size_t size) {
        try {
            bytes.resize(size);
            return true;
        } catch (const std::bad_alloc&) {
            return false;
        }
    };
    if (!grow(std::min(limit, kFirstChunk))) {
        return failed("out of memory", ErrorKind::kTooLarge);
    }
    while (filled < limit) {
        if (filled == bytes.size() && !grow(std::min(limit, 2 * bytes.size()))) {
            return failed("out of memory", ErrorKind::kTooLarge);
        }
        const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            return failed(std::strerror(errno), ErrorKind::kIo);
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return bytes;
}

Status WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes) {
    errno = 0;
    if (WriteOutputFile(path.c_str(), bytes) == OutputFileResult::kWritten) {
        return {};
    }
    return CannotWrite(path, Error{"", errno != 0 ? std::strerror(errno) : "cannot be written", ErrorKind::kIo});
}

Status WriteFileText(const std::string& path, std::string_view text) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    return WriteFileBytes(path, std::span<const std::uint8_t>(data, text.size()));
}

}  // namespace paltab
