// PNG decoding through libpng's low-level API, which keeps the samples as
// stored (the simplified API would apply the file's gamma) and gives the
// PLTE as it is, and indexed encoding through the simplified API.
//
// libpng reports errors by longjmp. Each call that may fail runs in a small
// function of its own that holds only plain data, so the jump never skips a
// destructor; buffers are owned by the caller, outside the jump.
#include "paltab/image.hpp"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>

namespace paltab {
namespace {

constexpr std::size_t kSignatureSize = 8;
constexpr std::size_t kRgbaChannels = 4;

// What libpng's callbacks read and write: plain data only.
struct Session {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t position;
    char message[200];
};

void OnError(png_structp png, png_const_charp message) {
    auto* session = static_cast<Session*>(png_get_error_ptr(png));
    std::snprintf(session->message, sizeof session->message, "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void OnRead(png_structp png, png_bytep out, png_size_t length) {
    auto* session = static_cast<Session*>(png_get_io_ptr(png));
    if (length > session->size - session->position) {
        png_error(png, "the file is truncated");
    }
    std::memcpy(out, session->data + session->position, length);
    session->position += length;
}

struct Header {
    png_uint_32 width;
    png_uint_32 height;
    int bitDepth;
    int colorType;
    bool hasTrns;
    int plteCount;
    png_color plte[256];
    int trnsCount;
    png_byte trns[256];
};

bool ReadHeader(png_structp png, png_infop info, Header* header) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_info(png, info);
    int interlace = 0;
    png_get_IHDR(png, info, &header->width, &header->height, &header->bitDepth, &header->colorType, &interlace,
                 nullptr, nullptr);
    header->hasTrns = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_colorp plte = nullptr;
    int plteCount = 0;
    if (png_get_PLTE(png, info, &plte, &plteCount) != 0 && plteCount > 0) {
        header->plteCount = std::min(plteCount, 256);
        std::memcpy(header->plte, plte, sizeof(png_color) * static_cast<std::size_t>(header->plteCount));
    }
    png_bytep trns = nullptr;
    int trnsCount = 0;
    if (header->colorType == PNG_COLOR_TYPE_PALETTE && png_get_tRNS(png, info, &trns, &trnsCount, nullptr) != 0 &&
        trnsCount > 0) {
        header->trnsCount = std::min(trnsCount, 256);
        std::memcpy(header->trns, trns, static_cast<std::size_t>(header->trnsCount));
    }
    return true;
}

// Asks for 8-bit RGBA whatever the file holds; `rowBytes` is what libpng
// will then deliver per row.
bool SetUpTransforms(png_structp png, png_infop info, const Header* header, png_size_t* rowBytes,
                     int* channels, int* bitDepth) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    if (header->colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_palette_to_rgb(png);
    }
    if (header->colorType == PNG_COLOR_TYPE_GRAY && header->bitDepth < 8) {
        png_set_expand_gray_1_2_4_to_8(png);
    }
    if (header->hasTrns) {
        png_set_tRNS_to_alpha(png);
    }
    if (header->bitDepth == 16) {
        png_set_scale_16(png);
    }
    if ((header->colorType & PNG_COLOR_MASK_COLOR) == 0) {
        png_set_gray_to_rgb(png);
    }
    if ((header->colorType & PNG_COLOR_MASK_ALPHA) == 0 && !header->hasTrns) {
        png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *rowBytes = png_get_rowbytes(png, info);
    *channels = png_get_channels(png, info);
    *bitDepth = png_get_bit_depth(png, info);
    return true;
}

bool ReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_image(png, rows);
    // Checks the chunks after the image data too: a file cut short after
    // its last IDAT is reported rather than taken as whole.
    png_read_end(png, nullptr);
    return true;
}

// Frees libpng's structures whichever way DecodePng returns.
class ReadStructs {
public:
    explicit ReadStructs(Session* session)
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, session, OnError, OnWarning)) {
        if (png_ != nullptr) {
            info_ = png_create_info_struct(png_);
        }
    }
    ~ReadStructs() {
        if (png_ != nullptr) {
            png_destroy_read_struct(&png_, info_ != nullptr ? &info_ : nullptr, nullptr);
        }
    }
    ReadStructs(const ReadStructs&) = delete;
    ReadStructs& operator=(const ReadStructs&) = delete;

    png_structp png() const { return png_; }
    png_infop info() const { return info_; }

private:
    png_structp png_ = nullptr;
    png_infop info_ = nullptr;
};

std::string Bad(const Session& session) {
    return std::string("bad PNG: ") + session.message;
}

}  // namespace

Rgb8 DecodedImage::ColorAt(int x, int y) const {
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * kRgbaChannels;
    return {rgba[at], rgba[at + 1], rgba[at + 2]};
}

std::optional<DecodedImage> DecodePng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels,
                                      std::string& error) {
    if (bytes.size() < kSignatureSize || png_sig_cmp(bytes.data(), 0, kSignatureSize) != 0) {
        error = "not a PNG file (no PNG signature)";
        return std::nullopt;
    }
    Session session{bytes.data(), bytes.size(), 0, {}};
    ReadStructs structs(&session);
    if (structs.png() == nullptr || structs.info() == nullptr) {
        error = "out of memory";
        return std::nullopt;
    }
    png_set_read_fn(structs.png(), &session, OnRead);

    Header header{};
    if (!ReadHeader(structs.png(), structs.info(), &header)) {
        error = Bad(session);
        return std::nullopt;
    }
    const std::uint64_t pixels = std::uint64_t{header.width} * header.height;
    if (pixels > maxPixels) {
        error = "the image is " + std::to_string(header.width) + " x " + std::to_string(header.height) +
                " pixels, more than the limit of " + std::to_string(maxPixels);
        return std::nullopt;
    }
    png_size_t rowBytes = 0;
    int channels = 0, bitDepth = 0;
    if (!SetUpTransforms(structs.png(), structs.info(), &header, &rowBytes, &channels, &bitDepth)) {
        error = Bad(session);
        return std::nullopt;
    }
    if (channels != static_cast<int>(kRgbaChannels) || bitDepth != 8 ||
        rowBytes != std::size_t{header.width} * kRgbaChannels) {
        error = "bad PNG: cannot convert its pixels to 8-bit RGBA";
        return std::nullopt;
    }

    DecodedImage image;
    image.width = static_cast<int>(header.width);
    image.height = static_cast<int>(header.height);
    image.rgba.resize(static_cast<std::size_t>(pixels) * kRgbaChannels);
    std::vector<png_bytep> rows(header.height);
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = image.rgba.data() + y * rowBytes;
    }
    if (!ReadRows(structs.png(), rows.data())) {
        error = Bad(session);
        return std::nullopt;
    }
    image.indexed = header.colorType == PNG_COLOR_TYPE_PALETTE;
    if (image.indexed) {
        for (int i = 0; i < header.plteCount; ++i) {
            image.plte.push_back({header.plte[i].red, header.plte[i].green, header.plte[i].blue});
        }
        image.plteAlpha.assign(header.trns, header.trns + header.trnsCount);
    }
    return image;
}

}  // namespace paltab
