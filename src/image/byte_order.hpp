// What the image codecs share: little-endian fields read within bounds and
// appended, the size check every reader makes before it allocates, and
// errors at a byte offset.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "paltab/image_formats.hpp"

namespace paltab::image_codec {

using Bytes = std::span<const std::uint8_t>;

// Callers check `at + 2 <= bytes.size()` (or + 4) first.
inline std::uint16_t Le16(Bytes bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | bytes[at + 1] << 8);
}
inline std::uint32_t Le32(Bytes bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 | static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

inline void PutLe16(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
}
inline void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    PutLe16(out, value & 0xFFFF);
    PutLe16(out, value >> 16);
}

// A reader's failure at byte `offset` of the file: bad input.
inline Error At(std::size_t offset, std::string cause) {
    return {"offset " + std::to_string(offset), std::move(cause)};
}
// `error` placed at byte `offset`.
inline Error At(std::size_t offset, Error error) {
    error.where = "offset " + std::to_string(offset);
    return error;
}

// Fails unless 1 <= width, height (kBadInput) and width * height <=
// maxPixels (kTooLarge). Both come straight from a header, so they may be
// anything a field holds.
Status CheckSize(std::int64_t width, std::int64_t height, std::uint64_t maxPixels);

// A writer's checks: CheckIndexedImage, and each side at most `maxSide`
// (kOutput: the format cannot say more).
Status CheckWritable(const IndexedImage& image, int maxSide, std::string_view format);

// The palette as 256 colours, black past its end.
std::vector<Rgb8> FullPalette(const std::vector<Rgb8>& palette);

}  // namespace paltab::image_codec
