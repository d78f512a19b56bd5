// 8-bit indexed PNG writing through libpng's low-level API, which lets us
// choose the bit depth, the filter and the compression level.
//
// libpng reports errors by longjmp: the one call that may fail runs in a
// small function that holds only plain data, so the jump never skips a
// destructor.
#include "image/png_fast.hpp"
#include "paltab/image.hpp"

#include <png.h>
#include <zlib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "image/libpng_errors.hpp"

namespace paltab {
namespace {

struct Output : LibpngMessage {
    std::vector<std::uint8_t>* bytes;
};

void OnWrite(png_structp png, png_bytep data, png_size_t length) {
    auto* output = static_cast<Output*>(png_get_io_ptr(png));
    bool stored = true;
    try {
        output->bytes->insert(output->bytes->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        stored = false;
    }
    if (!stored) {
        png_error(png, "out of memory");
    }
}

void OnFlush(png_structp) {}

struct Image {
    png_uint_32 width;
    png_uint_32 height;
    png_color plte[256];
    int plteCount;
    png_byte trns[256];
    int trnsCount;
    png_bytepp rows;
};

bool WriteAll(png_structp png, png_infop info, const Image* image) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_set_IHDR(png, info, image->width, image->height, 8, PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_PLTE(png, info, image->plte, image->plteCount);
    if (image->trnsCount > 0) {
        png_set_tRNS(png, info, image->trns, image->trnsCount, nullptr);
    }
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_compression_level(png, Z_BEST_SPEED);
    png_write_info(png, info);
    png_write_image(png, image->rows);
    png_write_end(png, info);
    return true;
}

// Frees libpng's structures whichever way the encoder returns.
class WriteStructs {
public:
    explicit WriteStructs(Output* output)
        : png_(png_create_write_struct(PNG_LIBPNG_VER_STRING, static_cast<LibpngMessage*>(output),
                                       OnLibpngError, OnLibpngWarning)) {
        if (png_ != nullptr) {
            info_ = png_create_info_struct(png_);
        }
    }
    ~WriteStructs() {
        if (png_ != nullptr) {
            png_destroy_write_struct(&png_, info_ != nullptr ? &info_ : nullptr);
        }
    }
    WriteStructs(const WriteStructs&) = delete;
    WriteStructs& operator=(const WriteStructs&) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

}  // namespace

Status CheckIndexedPngArguments(int width, int height, std::span<const std::uint8_t> indices,
                                std::span<const Rgb8> palette, std::optional<int> transparentIndex) {
    if (width <= 0 || height <= 0 ||
        indices.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
        return Error{"",
                     "the indices do not fill a " + std::to_string(width) + " x " + std::to_string(height) + " image"};
    }
    if (palette.empty() || palette.size() > kPaletteSize) {
        return Error{"", "an indexed PNG holds 1 to 256 colours, not " + std::to_string(palette.size())};
    }
    if (transparentIndex && (*transparentIndex < 0 || static_cast<std::size_t>(*transparentIndex) >= palette.size())) {
        return Error{"", "transparent index " + std::to_string(*transparentIndex) + " is not in the palette"};
    }
    // The largest index is found fast; the message names the first outside
    // the palette.
    if (palette.size() < kPaletteSize && *std::max_element(indices.begin(), indices.end()) >= palette.size()) {
        const auto outside = std::find_if(indices.begin(), indices.end(),
                                          [&](std::uint8_t index) { return index >= palette.size(); });
        return Error{"", "index " + std::to_string(*outside) + " is not in the palette"};
    }
    return {};
}

Result<std::vector<std::uint8_t>> EncodeIndexedPng(int width, int height, std::span<const std::uint8_t> indices,
                                                   std::span<const Rgb8> palette, std::optional<int> transparentIndex) {
    if (Status checked = CheckIndexedPngArguments(width, height, indices, palette, transparentIndex); !checked) {
        return std::move(checked).error();
    }

    Image image{};
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.plteCount = static_cast<int>(palette.size());
    for (std::size_t i = 0; i < palette.size(); ++i) {
        image.plte[i] = {palette[i].r, palette[i].g, palette[i].b};
    }
    // tRNS lists the alpha of entries 0..transparent; the rest stay opaque.
    if (transparentIndex) {
        image.trnsCount = *transparentIndex + 1;
        std::fill(image.trns, image.trns + image.trnsCount, png_byte{255});
        image.trns[*transparentIndex] = 0;
    }
    // libpng takes row pointers to non-const bytes but only reads them.
    std::vector<png_bytep> rows;
    std::vector<std::uint8_t> bytes;
    try {
        rows.resize(static_cast<std::size_t>(height));
        bytes.reserve(indices.size() / 2 + 1024);
    } catch (const std::bad_alloc&) {
        return Error{"", "out of memory", ErrorKind::kOutput};
    }
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = const_cast<png_bytep>(indices.data() + y * static_cast<std::size_t>(width));
    }
    image.rows = rows.data();

    Output output{{}, &bytes};
    WriteStructs structs(&output);
    if (structs.png() == nullptr || structs.info() == nullptr) {
        return Error{"", "out of memory", ErrorKind::kOutput};
    }
    png_set_write_fn(structs.png(), &output, OnWrite, OnFlush);
    if (!WriteAll(structs.png(), structs.info(), &image)) {
        return Error{"", std::string("cannot encode the PNG: ") + output.message, ErrorKind::kOutput};
    }
    return bytes;
}

}  // namespace paltab
