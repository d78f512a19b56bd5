// Text as the text palette formats see it: numbered lines, UTF-16 turned
// into UTF-8, trimming, bad text quoted for a message on one line, and what
// their readers and writers share.
#include <string>

#include "palette/readers.hpp"

namespace paltab::palette_io {
namespace {

// How much of a bad line an error message shows.
constexpr std::size_t kShownLength = 40;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr char kCtrlZ = '\x1A';

}  // namespace

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

TextLines::TextLines(Bytes bytes) : rest_(reinterpret_cast<const char*>(bytes.data()), bytes.size()) {
    if (rest_.starts_with(kByteOrderMark)) {
        rest_.remove_prefix(kByteOrderMark.size());
    }
    rest_ = rest_.substr(0, rest_.find(kCtrlZ));
}

bool TextLines::Next(TextLine& line) {
    if (rest_.empty()) {
        return false;
    }
    const std::size_t end = rest_.find_first_of("\r\n");
    line = {++number_, rest_.substr(0, end)};
    if (end == std::string_view::npos) {
        rest_ = {};
    } else {
        rest_.remove_prefix(end + (rest_.substr(end).starts_with("\r\n") ? 2 : 1));
    }
    return true;
}

bool HasUtf16Mark(Bytes bytes) {
    return bytes.size() >= 2 && ((bytes[0] == 0xFF && bytes[1] == 0xFE) || (bytes[0] == 0xFE && bytes[1] == 0xFF));
}

Result<std::vector<std::uint8_t>> Utf16ToUtf8(Bytes bytes) {
    const bool little = bytes[0] == 0xFF;
    const auto unit = [&](std::size_t at) {
        return little ? static_cast<std::uint32_t>(bytes[at] | bytes[at + 1] << 8)
                      : static_cast<std::uint32_t>(bytes[at] << 8 | bytes[at + 1]);
    };
    const auto fail = [&](std::size_t at, std::string_view what) {
        return Error{OffsetWhere(at), "not UTF-16 text: " + std::string(what)};
    };
    if (bytes.size() % 2 != 0) {
        return fail(bytes.size() - 1, "an odd number of bytes");
    }
    std::vector<std::uint8_t> utf8;
    utf8.reserve(bytes.size() / 2);
    for (std::size_t at = 2; at < bytes.size(); at += 2) {
        std::uint32_t code = unit(at);
        if (code >= 0xDC00 && code <= 0xDFFF) {
            return fail(at, "a lone low surrogate");
        }
        if (code >= 0xD800 && code <= 0xDBFF) {
            const std::uint32_t low = at + 2 < bytes.size() ? unit(at + 2) : 0;
            if (low < 0xDC00 || low > 0xDFFF) {
                return fail(at, "a lone high surrogate");
            }
            code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
            at += 2;
        }
        if ((code < 0x20 && !IsBlank(static_cast<char>(code)) && code != '\n' && code != kCtrlZ) || code == 0x7F) {
            return fail(at, "control character " + std::to_string(code));
        }
        if (code < 0x80) {
            utf8.push_back(static_cast<std::uint8_t>(code));
        } else if (code < 0x800) {
            utf8.insert(utf8.end(), {static_cast<std::uint8_t>(0xC0 | code >> 6),
                                     static_cast<std::uint8_t>(0x80 | (code & 0x3F))});
        } else if (code < 0x10000) {
            utf8.insert(utf8.end(), {static_cast<std::uint8_t>(0xE0 | code >> 12),
                                     static_cast<std::uint8_t>(0x80 | (code >> 6 & 0x3F)),
                                     static_cast<std::uint8_t>(0x80 | (code & 0x3F))});
        } else {
            utf8.insert(utf8.end(), {static_cast<std::uint8_t>(0xF0 | code >> 18),
                                     static_cast<std::uint8_t>(0x80 | (code >> 12 & 0x3F)),
                                     static_cast<std::uint8_t>(0x80 | (code >> 6 & 0x3F)),
                                     static_cast<std::uint8_t>(0x80 | (code & 0x3F))});
        }
    }
    return utf8;
}

std::string_view Trimmed(std::string_view text) {
    while (!text.empty() && (IsBlank(text.front()) || text.front() == '\n')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string Shown(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string shown = "\"";
    for (std::size_t i = 0; i < text.size() && i < kShownLength; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x20 || c >= 0x7F || c == '"' || c == '\\') {
            shown += "\\x";
            shown += kHex[c >> 4];
            shown += kHex[c & 15];
        } else {
            shown += static_cast<char>(c);
        }
    }
    if (text.size() > kShownLength) {
        shown += "...";
    }
    return shown + "\"";
}

Error AtLine(int line, std::string cause) {
    return {LineWhere(line), std::move(cause)};
}

Status AddColor(PaletteData& palette, Rgb8 color, int line) {
    if (palette.colors.size() == kPaletteSize) {
        return AtLine(line, "more than " + std::to_string(kPaletteSize) + " colours");
    }
    palette.colors.push_back(color);
    return {};
}

Result<PaletteData> Finished(PaletteData palette) {
    if (palette.colors.empty()) {
        return Error{"", "no colours"};
    }
    return palette;
}

void Append(std::vector<std::uint8_t>& bytes, std::string_view text) {
    bytes.insert(bytes.end(), text.begin(), text.end());
}

std::uint32_t Packed(Rgb8 c) {
    return std::uint32_t{c.r} << 16 | std::uint32_t{c.g} << 8 | c.b;
}

std::string HexDigits(std::uint32_t value, int digits, bool upper) {
    const char* table = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::string text(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) {
        text[static_cast<std::size_t>(i)] = table[value & 15];
    }
    return text;
}

}  // namespace paltab::palette_io
