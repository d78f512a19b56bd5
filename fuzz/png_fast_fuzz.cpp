// Fuzz target: the fast PNG decoder beside libpng's on arbitrary bytes.
// Whenever the fast one accepts a file, libpng must decode it to the same
// pixels and palette. A file libpng decodes is then remapped crudely (red
// modulo a palette size) and written by the fast encoder, with a level, row
// filters and a transparent entry taken from the input's size; the file must
// read back through both decoders with the same indices.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

#include "image/png_fast.hpp"
#include "png/decode.hpp"

namespace {

using namespace paltab;

// Small images only: a PNG declaring more is refused before decoding.
constexpr std::uint64_t kMaxPixels = 1u << 14;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "png_fast: %s\n", what);
    std::abort();
}

bool Same(const DecodedImage& a, const DecodedImage& b) {
    return a.width == b.width && a.height == b.height && a.rgba == b.rgba && a.indexed == b.indexed &&
           a.plte == b.plte && a.plteAlpha == b.plteAlpha;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    std::string error;
    const auto fast = DecodeCommonPng(bytes, kMaxPixels);
    const auto slow = DecodePng(bytes, kMaxPixels, error);
    if (fast && !slow) {
        Fail("the fast decoder accepted a file libpng refuses");
    }
    if (fast && !Same(*fast, *slow)) {
        Fail("the fast decoder and libpng disagree");
    }
    if (!slow) {
        return 0;
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
    const auto encoded = EncodeIndexedPngFast(slow->width, slow->height, indices, palette, transparent, error, settings);
    if (!encoded) {
        Fail("the fast encoder refused valid indices");
    }
    const auto back = DecodeCommonPng(*encoded, kMaxPixels);
    const auto backSlow = DecodePng(*encoded, kMaxPixels, error);
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
    return 0;
}
