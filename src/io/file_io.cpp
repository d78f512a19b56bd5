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

bool ReadFileBytes(const std::string& path, std::size_t limit, std::vector<std::uint8_t>& bytes, std::string& error) {
    Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (file.get() < 0) {
        error = CannotRead(path, std::strerror(errno));
        return false;
    }
    // The buffer grows as the file turns out larger, so that a generous
    // limit costs nothing for a small file.
    constexpr std::size_t kFirstChunk = 64 * 1024;
    std::size_t filled = 0;
    const auto grow = [&](std::size_t size) {
        try {
            bytes.resize(size);
            return true;
        } catch (const std::bad_alloc&) {
            error = CannotRead(path, "out of memory");
            bytes = {};
            return false;
        }
    };
    bytes.clear();
    if (!grow(std::min(limit, kFirstChunk))) {
        return false;
    }
    while (filled < limit) {
        if (filled == bytes.size() && !grow(std::min(limit, 2 * bytes.size()))) {
            return false;
        }
        const ssize_t got = ::read(file.get(), bytes.data() + filled, bytes.size() - filled);
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = CannotRead(path, std::strerror(errno));
            bytes.clear();
            return false;
        }
        if (got == 0) {
            break;
        }
        filled += static_cast<std::size_t>(got);
    }
    bytes.resize(filled);
    return true;
}

bool WriteFileBytes(const std::string& path, std::span<const std::uint8_t> bytes, std::string& error) {
    errno = 0;
    if (WriteOutputFile(path.c_str(), bytes) == OutputFileResult::kWritten) {
        return true;
    }
    error = CannotWrite(path, errno != 0 ? std::strerror(errno) : "cannot be written");
    return false;
}

bool WriteFileText(const std::string& path, std::string_view text, std::string& error) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    return WriteFileBytes(path, std::span<const std::uint8_t>(data, text.size()), error);
}

}  // namespace paltab
