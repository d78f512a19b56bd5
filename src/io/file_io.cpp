// Whole-file reads and all-or-nothing writes over POSIX calls, so that every
// failure has its errno.
#include "io/file_io.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace paltab {
namespace {

std::string Quoted(std::string_view verb, std::string_view path, std::string_view cause) {
    std::string text(verb);
    text += " '";
    text += path;
    text += "': ";
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
    // Closes now and reports the result: close can report a failed write.
    bool Close() {
        const int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

bool WriteAll(int fd, std::span<const std::uint8_t> bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        bytes = bytes.subspan(static_cast<std::size_t>(written));
    }
    return true;
}

}  // namespace

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
    bytes.assign(limit, 0);
    std::size_t filled = 0;
    while (filled < limit) {
        const ssize_t got = ::read(file.get(), bytes.data() + filled, limit - filled);
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
    // Beside the target, so that the rename stays on one file system. O_EXCL
    // refuses to follow or reuse anything already at that name.
    const std::string temporary = path + ".tmp" + std::to_string(::getpid());
    Descriptor file(::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666));
    if (file.get() < 0) {
        error = CannotWrite(path, std::strerror(errno));
        return false;
    }
    if (!WriteAll(file.get(), bytes) || !file.Close() || std::rename(temporary.c_str(), path.c_str()) != 0) {
        error = CannotWrite(path, std::strerror(errno));
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

bool WriteFileText(const std::string& path, std::string_view text, std::string& error) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(text.data());
    return WriteFileBytes(path, std::span<const std::uint8_t>(data, text.size()), error);
}

}  // namespace paltab
