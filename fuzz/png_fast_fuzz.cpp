// Fuzz target: the fast PNG decoder beside libpng's on arbitrary bytes, as
// given and with every chunk's CRC made right (so that mutations reach the
// chunk contents and the image data rather than fail the checksum).
// Whenever the fast one accepts a file, libpng must decode it to the same
// pixels and palette. A file libpng decodes is then remapped crudely (red
// modulo a palette size) and written by the fast encoder, with a level, row
// filters and a transparent entry taken from the input's size; the file must
// read back through both decoders with the same indices.
#include <cstdint>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include <zlib.h>

#include "image/png_fast.hpp"
#include "fuzz_checks.hpp"
#include "paltab/image.hpp"

namespace {

using namespace paltab;

// Small images only: a PNG declaring more is refused before decoding.
constexpr std::uint64_t kMaxPixels = 1u << 14;

constexpr const char* kTarget = "png_fast";

[[noreturn]] void Fail(const char* what) {
    fuzz_checks::Fail(kTarget, what);
}

bool Same(const DecodedImage& a, const DecodedImage& b) {
    return a.width == b.width && a.height == b.height && a.rgba == b.rgba && a.indexed == b.indexed &&
           a.plte == b.plte && a.plteAlpha == b.plteAlpha && a.indices == b.indices && a.offsets == b.offsets;
}

// The file with the CRC of each whole chunk after the signature recomputed.
std::vector<std::uint8_t> WithRightCrcs(std::span<const std::uint8_t> bytes) {
    std::vector<std::uint8_t> fixed(bytes.begin(), bytes.end());
    for (std::size_t at = 8; at + 12 <= fixed.size();) {
        const std::size_t length = std::size_t{fixed[at]} << 24 | std::size_t{fixed[at + 1]} << 16 |
                                   std::size_t{fixed[at + 2]} << 8 | fixed[at + 3];
        if (length > fixed.size() - at - 12) {
            break;
        }
        const auto crc = static_cast<std::uint32_t>(crc32(0, fixed.data() + at + 4, static_cast<uInt>(length + 4)));
        for (std::size_t i = 0; i < 4; ++i) {
            fixed[at + 8 + length + i] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        }
        at += 12 + length;
    }
    return fixed;
}

void Check(std::span<const std::uint8_t> bytes) {
    const std::size_t size = bytes.size();
    const auto fast = DecodeCommonPng(bytes, kMaxPixels);
    const auto slow = DecodePng(bytes, kMaxPixels);
    if (fast && !slow) {
        Fail("the fast decoder accepted a file libpng refuses");
    }
    if (fast && !Same(*fast, *slow)) {
        Fail("the fast decoder and libpng disagree");
    }
    if (!slow) {
        return;
    }

    const std::size_t colors = 1 + size % kPaletteSize;
    std::vector<Rgb8> palette(colors);
    for (std::size_t i = 0; i < colors; ++i) {
        palette[i] = {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 7), static_cast<std::uint8_t>(size)};
    }
    std::vector<std::uint8_t> indices(slow->rgba.size() / 4);
    for (std::size_t i = 0; i < indices.size(); ++i) {
        indices[i] = static_cast<std::uint8_t>(slow->rgba[i * 4] % colors);
    }
    IndexedPngSettings settings;
    settings.level = static_cast<int>(1 + size % 12);
    settings.filters = (size & 16) != 0 ? RowFilters::kAdaptive : RowFilters::kNone;
    settings.threads = static_cast<unsigned>(1 + size % 3);
    const std::optional<int> transparent =
        (size & 32) != 0 ? std::optional<int>(static_cast<int>(size % colors)) : std::nullopt;
    const auto encoded = EncodeIndexedPngFast(slow->width, slow->height, indices, palette, transparent, settings);
    if (!encoded) {
        Fail("the fast encoder refused valid indices");
    }
    const auto back = DecodeCommonPng(*encoded, kMaxPixels);
    const auto backSlow = DecodePng(*encoded, kMaxPixels);
    if (!back || !backSlow || !Same(*back, *backSlow)) {
        Fail("the encoded file does not read back the same through both decoders");
    }
    if (!back->indexed || back->plte != palette) {
        Fail("the encoded file lost its palette");
    }
    for (std::size_t i = 0; i < indices.size(); ++i) {
        const Rgb8 c = palette[indices[i]];
        const std::uint8_t alpha = transparent == indices[i] ? 0 : 255;
        if (back->rgba[i * 4] != c.r || back->rgba[i * 4 + 1] != c.g || back->rgba[i * 4 + 2] != c.b ||
            back->rgba[i * 4 + 3] != alpha) {
            Fail("the encoded file reads back with other pixels");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    Check(bytes);
    const std::vector<std::uint8_t> fixed = WithRightCrcs(bytes);
    if (!std::equal(fixed.begin(), fixed.end(), bytes.begin())) {
        Check(fixed);
    }
    return 0;
}
