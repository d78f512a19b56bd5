// PNG decoding through libpng's low-level API, which keeps the samples as
// stored (the simplified API would apply the file's gamma) and gives the
// PLTE as it is, and indexed encoding through the simplified API.
//
// libpng reports errors by longjmp. Each call that may fail runs in a small
// function of its own that holds only plain data, so the jump never skips a
// destructor; buffers are owned by the caller, outside the jump.
#include "paltab/image.hpp"

#include <png.h>

#include "image/png_fast.hpp"

#include <algorithm>
#include <array>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <new>

#include "image/libpng_errors.hpp"
#include "io/file_io.hpp"

namespace paltab {
namespace {

constexpr std::size_t kSignatureSize = 8;
constexpr std::size_t kRgbaChannels = 4;

// The IHDR chunk comes first: its length (13), type, width and height,
// big-endian, right after the signature.
constexpr std::size_t kIhdrTypeOffset = kSignatureSize + 4;
constexpr std::size_t kIhdrWidthOffset = kSignatureSize + 8;
constexpr std::size_t kHeaderPrefixSize = kIhdrWidthOffset + 8;

// Memory libpng may spend on the file's chunks, whatever they hold. Every
// ancillary chunk but tRNS and grAb (a sprite's offsets) is skipped as it is read, so that no text,
// profile or private chunk is decompressed or kept: a PNG costs its pixel
// buffers and a fixed amount besides. No chunk but IDAT may be longer than
// kMaxChunkBytes (libpng's own default, which keeps camera metadata and
// colour profiles readable); at most kMaxKeptChunks ancillary chunks would
// be kept should one slip past the list.
constexpr png_alloc_size_t kMaxChunkBytes = 8000000;
constexpr png_uint_32 kMaxKeptChunks = 16;
constexpr png_uint_32 kMaxDimension = 0x7fffffff;  // PNG's own limit on width and height
// Each name NUL-terminated, as png_set_keep_unknown_chunks takes them.
constexpr char kSkippedChunks[] =
    "bKGD\0cHRM\0eXIf\0gAMA\0hIST\0iCCP\0iTXt\0oFFs\0pCAL\0pHYs\0sBIT\0sCAL\0sPLT\0sRGB\0tEXt\0tIME\0zTXt";
constexpr std::size_t kChunkNameSize = 5;
static_assert(sizeof kSkippedChunks % kChunkNameSize == 0);
// Kept: at most kMaxKeptChunks of them, each within kMaxChunkBytes, so no
// more than the file itself holds.
constexpr char kGrabChunk[] = "grAb";
constexpr std::size_t kGrabSize = 8;

// Where libpng's bytes come from: memory, or a file read as libpng asks, so
// that the file itself is never held. Plain data only, as everything the
// callbacks touch.
struct Session : LibpngMessage {
    const std::uint8_t* data;  // the bytes in memory, or what was read ahead of libpng
    std::size_t size;
    std::size_t position;
    std::FILE* file;  // what follows `data`, or nullptr
};

void OnRead(png_structp png, png_bytep out, png_size_t length) {
    auto* session = static_cast<Session*>(png_get_io_ptr(png));
    const std::size_t buffered = std::min(length, session->size - session->position);
    std::memcpy(out, session->data + session->position, buffered);
    session->position += buffered;
    if (buffered == length) {
        return;
    }
    const std::size_t wanted = length - buffered;
    if (session->file == nullptr || std::fread(out + buffered, 1, wanted, session->file) != wanted) {
        png_error(png, session->file != nullptr && std::ferror(session->file) != 0 ? std::strerror(errno)
                                                                                   : "the file is truncated");
    }
}

Error OverLimit(std::uint64_t width, std::uint64_t height, std::uint64_t maxPixels) {
    return Error{"",
                 "the image is " + std::to_string(width) + " x " + std::to_string(height) +
                     " pixels, more than the limit of " + std::to_string(maxPixels),
                 ErrorKind::kTooLarge};
}

// Refuses, from the first kHeaderPrefixSize bytes alone, a file that is no
// PNG or declares more than `maxPixels` pixels. A file without a proper
// IHDR is left to libpng to report.
Status CheckHeader(std::span<const std::uint8_t> prefix, std::uint64_t maxPixels) {
    if (prefix.size() < kSignatureSize || png_sig_cmp(prefix.data(), 0, kSignatureSize) != 0) {
        return Error{"", "not a PNG file (no PNG signature)"};
    }
    if (prefix.size() < kHeaderPrefixSize || std::memcmp(prefix.data() + kIhdrTypeOffset, "IHDR", 4) != 0) {
        return {};
    }
    const auto big32 = [&](std::size_t at) {
        return std::uint32_t{prefix[at]} << 24 | std::uint32_t{prefix[at + 1]} << 16 |
               std::uint32_t{prefix[at + 2]} << 8 | prefix[at + 3];
    };
    const std::uint32_t width = big32(kIhdrWidthOffset), height = big32(kIhdrWidthOffset + 4);
    if (std::uint64_t{width} * height > maxPixels) {
        return OverLimit(width, height, maxPixels);
    }
    return {};
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

void SetUpRgba(png_structp png, const Header* header);

// Asks for 8-bit RGBA whatever the file holds, but for a palette image one
// index byte a pixel, expanded afterwards so that the indices are kept;
// `rowBytes` is what libpng will then deliver per row.
bool SetUpTransforms(png_structp png, png_infop info, const Header* header, png_size_t* rowBytes,
                     int* channels, int* bitDepth) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    if (header->colorType == PNG_COLOR_TYPE_PALETTE) {
        png_set_packing(png);
    } else {
        SetUpRgba(png, header);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    *rowBytes = png_get_rowbytes(png, info);
    *channels = png_get_channels(png, info);
    *bitDepth = png_get_bit_depth(png, info);
    return true;
}

void SetUpRgba(png_structp png, const Header* header) {
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
}

bool ReadRows(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) {
        return false;
    }
    png_read_image(png, rows);
    // Checks the chunks after the image data too: a file cut short after
    // its last IDAT is reported rather than taken as whole.
    png_read_end(png, info);
    return true;
}

// Frees libpng's structures whichever way DecodePng returns.
class ReadStructs {
public:
    ReadStructs(Session* session, std::uint64_t maxPixels)
        : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, static_cast<LibpngMessage*>(session),
                                      OnLibpngError, OnLibpngWarning)) {
        if (png_ == nullptr) {
            return;
        }
        info_ = png_create_info_struct(png_);
        // Neither side may exceed the pixel limit (libpng's default would
        // refuse sides over a million even where the limit allows them).
        const auto side = static_cast<png_uint_32>(std::min<std::uint64_t>(maxPixels, kMaxDimension));
        png_set_user_limits(png_, side, side);
        png_set_chunk_malloc_max(png_, kMaxChunkBytes);
        png_set_chunk_cache_max(png_, kMaxKeptChunks);
        png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
        png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_NEVER, reinterpret_cast<png_const_bytep>(kSkippedChunks),
                                    static_cast<int>(sizeof kSkippedChunks / kChunkNameSize));
        png_set_keep_unknown_chunks(png_, PNG_HANDLE_CHUNK_ALWAYS, reinterpret_cast<png_const_bytep>(kGrabChunk), 1);
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

Error Bad(const Session& session) {
    return Error{"", std::string("bad PNG: ") + session.message};
}

// Decodes what `session` delivers; its first bytes have passed CheckHeader.
Result<DecodedImage> Decode(Session& session, std::uint64_t maxPixels) {
    ReadStructs structs(&session, maxPixels);
    if (structs.png() == nullptr || structs.info() == nullptr) {
        return Error{"", "out of memory", ErrorKind::kTooLarge};
    }
    png_set_read_fn(structs.png(), &session, OnRead);

    Header header{};
    if (!ReadHeader(structs.png(), structs.info(), &header)) {
        return Bad(session);
    }
    const std::uint64_t pixels = std::uint64_t{header.width} * header.height;
    if (pixels > maxPixels) {
        return OverLimit(header.width, header.height, maxPixels);
    }
    png_size_t rowBytes = 0;
    int channels = 0, bitDepth = 0;
    if (!SetUpTransforms(structs.png(), structs.info(), &header, &rowBytes, &channels, &bitDepth)) {
        return Bad(session);
    }
    const bool indexed = header.colorType == PNG_COLOR_TYPE_PALETTE;
    const std::size_t pixelBytes = indexed ? 1 : kRgbaChannels;
    if (channels != static_cast<int>(pixelBytes) || bitDepth != 8 || rowBytes != std::size_t{header.width} * pixelBytes) {
        return Error{"", "bad PNG: cannot convert its pixels to 8-bit RGBA"};
    }

    DecodedImage image;
    image.width = static_cast<int>(header.width);
    image.height = static_cast<int>(header.height);
    image.indexed = indexed;
    std::vector<png_bytep> rows;
    try {
        image.rgba.resize(static_cast<std::size_t>(pixels) * kRgbaChannels);
        image.indices.resize(indexed ? static_cast<std::size_t>(pixels) : 0);
        rows.resize(header.height);
    } catch (const std::bad_alloc&) {
        return Error{"", "out of memory for " + std::to_string(header.width) + " x " + std::to_string(header.height) +
                             " pixels",
                     ErrorKind::kTooLarge};
    }
    std::uint8_t* const pixelsAt = indexed ? image.indices.data() : image.rgba.data();
    for (std::size_t y = 0; y < rows.size(); ++y) {
        rows[y] = pixelsAt + y * rowBytes;
    }
    if (!ReadRows(structs.png(), structs.info(), rows.data())) {
        return Bad(session);
    }
    if (indexed) {
        // As libpng's own expansion draws them: an entry past the PLTE
        // black, past the tRNS opaque.
        std::array<std::array<std::uint8_t, kRgbaChannels>, 256> colors{};
        for (auto& color : colors) {
            color[3] = 255;
        }
        for (int i = 0; i < header.plteCount; ++i) {
            image.plte.push_back({header.plte[i].red, header.plte[i].green, header.plte[i].blue});
            colors[static_cast<std::size_t>(i)] = {header.plte[i].red, header.plte[i].green, header.plte[i].blue,
                                                   i < header.trnsCount ? header.trns[i] : std::uint8_t{255}};
        }
        image.plteAlpha.assign(header.trns, header.trns + header.trnsCount);
        std::uint8_t* out = image.rgba.data();
        for (const std::uint8_t index : image.indices) {
            std::memcpy(out, colors[index].data(), kRgbaChannels);
            out += kRgbaChannels;
        }
    }
    png_unknown_chunkp chunks = nullptr;
    const int chunkCount = png_get_unknown_chunks(structs.png(), structs.info(), &chunks);
    for (int i = 0; i < chunkCount && !image.offsets; ++i) {
        if (std::memcmp(chunks[i].name, kGrabChunk, 4) == 0 && chunks[i].size == kGrabSize) {
            const std::uint8_t* data = chunks[i].data;
            const auto signed32 = [&](std::size_t at) {
                const std::uint32_t value = std::uint32_t{data[at]} << 24 | std::uint32_t{data[at + 1]} << 16 |
                                            std::uint32_t{data[at + 2]} << 8 | data[at + 3];
                return static_cast<std::int32_t>(value);
            };
            image.offsets = ImageOffsets{signed32(0), signed32(4)};
        }
    }
    return image;
}

}  // namespace

Rgb8 DecodedImage::ColorAt(int x, int y) const {
    const std::size_t at =
        (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * kRgbaChannels;
    return {rgba[at], rgba[at + 1], rgba[at + 2]};
}

Result<DecodedImage> DecodePng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    if (Status header = CheckPngHeader(bytes, maxPixels); !header) {
        return std::move(header).error();
    }
    Session session{{}, bytes.data(), bytes.size(), 0, nullptr};
    return Decode(session, maxPixels);
}

Status CheckPngHeader(std::span<const std::uint8_t> prefix, std::uint64_t maxPixels) {
    return CheckHeader(prefix.first(std::min(prefix.size(), kHeaderPrefixSize)), maxPixels);
}

Result<DecodedImage> DecodePngStream(std::span<const std::uint8_t> prefix, std::FILE* file, std::uint64_t maxPixels) {
    if (Status header = CheckPngHeader(prefix, maxPixels); !header) {
        return std::move(header).error();
    }
    Session session{{}, prefix.data(), prefix.size(), 0, file};
    return Decode(session, maxPixels);
}

Result<DecodedImage> DecodePngFile(const std::string& path, std::uint64_t maxPixels) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return CannotRead(path, Error{"", std::strerror(errno), ErrorKind::kIo});
    }
    std::array<std::uint8_t, kHeaderPrefixSize> prefix{};
    const std::size_t got = std::fread(prefix.data(), 1, prefix.size(), file);
    Result<DecodedImage> image = std::ferror(file) != 0
                                     ? Result<DecodedImage>(Error{"", std::strerror(errno), ErrorKind::kIo})
                                     : DecodePngStream(std::span(prefix).first(got), file, maxPixels);
    std::fclose(file);
    if (!image) {
        return CannotRead(path, std::move(image).error());
    }
    return image;
}

}  // namespace paltab
