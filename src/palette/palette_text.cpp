// Palette text reader. Text-mode translation, line pieces and number parsing
// are done here by hand so that they behave the same on every platform and
// never depend on the C library's undefined cases (scanf overflow).
#include "paltab/palette_text.hpp"

#include <array>
#include <string_view>

namespace paltab {
namespace {

constexpr int kEndOfInput = -1;
constexpr int kCtrlZ = 0x1A;
// A line is read into 80 characters: 79 of text and the terminating NUL.
constexpr std::size_t kLineBufferSize = 80;
constexpr std::size_t kChunkSize = 4096;

// Bytes from memory or from a stream, after the text-mode rules: a carriage
// return is dropped and the byte after it taken as it is; Ctrl-Z ends input.
class TextInput {
public:
    explicit TextInput(std::span<const std::uint8_t> bytes) : pending_(bytes) {}
    explicit TextInput(std::FILE* file) : file_(file) {}

    int Get() {
        if (ended_) {
            return kEndOfInput;
        }
        int c = Raw();
        if (c == '\r') {
            c = Raw();
        }
        if (c == kEndOfInput || c == kCtrlZ) {
            ended_ = true;
            return kEndOfInput;
        }
        return c;
    }

    bool failed() const { return failed_; }

private:
    int Raw() {
        if (pending_.empty() && !Refill()) {
            return kEndOfInput;
        }
        const int c = pending_.front();
        pending_ = pending_.subspan(1);
        return c;
    }

    bool Refill() {
        if (file_ == nullptr) {
            return false;
        }
        const std::size_t got = std::fread(chunk_.data(), 1, chunk_.size(), file_);
        if (got == 0) {
            failed_ = std::ferror(file_) != 0;
            return false;
        }
        pending_ = std::span<const std::uint8_t>(chunk_.data(), got);
        return true;
    }

    std::FILE* file_ = nullptr;
    std::array<std::uint8_t, kChunkSize> chunk_{};
    std::span<const std::uint8_t> pending_;
    bool ended_ = false;
    bool failed_ = false;
};

using LineBuffer = std::array<char, kLineBufferSize>;

// Reads one piece of a line: up to 79 characters, ending after a '\n' when
// one comes first. Returns false, leaving `line` as it was, when the input
// has nothing left.
bool ReadLine(TextInput& input, LineBuffer& line) {
    std::size_t length = 0;
    while (length + 1 < line.size()) {
        const int c = input.Get();
        if (c == kEndOfInput) {
            break;
        }
        line[length++] = static_cast<char>(c);
        if (c == '\n') {
            break;
        }
    }
    if (length == 0) {
        return false;
    }
    line[length] = '\0';
    return true;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// One "%d": white space, one optional sign, decimal digits accumulated in 32
// bits with wrap-around. On a missing number leaves `value` and `p` alone.
bool ParseNumber(const char*& p, std::int32_t& value) {
    const char* q = p;
    while (IsSpace(*q)) {
        ++q;
    }
    const bool negative = *q == '-';
    if (*q == '+' || *q == '-') {
        ++q;
    }
    if (!IsDigit(*q)) {
        return false;
    }
    std::uint32_t magnitude = 0;
    for (; IsDigit(*q); ++q) {
        magnitude = magnitude * 10u + static_cast<std::uint32_t>(*q - '0');
    }
    value = static_cast<std::int32_t>(negative ? 0u - magnitude : magnitude);
    p = q;
    return true;
}

// Parses up to three numbers; stops at the first missing one, so the
// components after it keep their previous values.
void ParseColorLine(const LineBuffer& line, std::array<std::int32_t, 3>& rgb) {
    const char* p = line.data();
    for (std::int32_t& component : rgb) {
        if (!ParseNumber(p, component)) {
            return;
        }
    }
}

std::int16_t Low16(std::int32_t value) {
    return static_cast<std::int16_t>(static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu));
}

PaletteReadResult Read(TextInput& input) {
    PaletteReadResult result;
    LineBuffer line{};
    bool haveLine = ReadLine(input, line);
    if (haveLine && std::string_view(line.data()).starts_with("PAL")) {
        // The header is this line and the next; colours start on the third.
        ReadLine(input, line);
        haveLine = ReadLine(input, line);
    }

    std::array<std::int32_t, 3> rgb{0, 0, 0};
    while (haveLine && result.colorLines < static_cast<int>(kPaletteSize)) {
        ParseColorLine(line, rgb);
        result.palette[static_cast<std::size_t>(result.colorLines++)] = {Low16(rgb[0]), Low16(rgb[1]),
                                                                         Low16(rgb[2])};
        if (result.colorLines < static_cast<int>(kPaletteSize)) {
            haveLine = ReadLine(input, line);
        }
    }
    result.readFailed = input.failed();
    return result;
}

}  // namespace

PaletteReadResult ReadPaletteText(std::span<const std::uint8_t> bytes) {
    TextInput input(bytes);
    return Read(input);
}

PaletteReadResult ReadPaletteText(std::FILE* file) {
    TextInput input(file);
    return Read(input);
}

}  // namespace paltab
