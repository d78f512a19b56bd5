// JPEG to RGBA through libjpeg-turbo, its errors caught (never exit) and the
// size checked from the header before any pixel is decoded.
#include <cstdio>
// jpeglib.h needs size_t and FILE declared first.
#include <jpeglib.h>
#include <jerror.h>

#include <csetjmp>

#include "image/byte_order.hpp"

namespace paltab {
namespace {

using namespace image_codec;

// A progressive file may declare any number of scans, each a pass over the
// whole image; real encoders write at most a few dozen.
constexpr int kMostScans = 1000;

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

[[noreturn]] void OnError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings that mean pixels are missing are errors: a truncated file is not
// a picture with a grey bottom. Others (extra bytes before a marker) are
// common in cameras' files and harmless.
void OnMessage(j_common_ptr info, int level) {
    if (level < 0 && (info->err->msg_code == JWRN_JPEG_EOF || info->err->msg_code == JWRN_HIT_MARKER)) {
        OnError(info);
    }
}

void OnProgress(j_common_ptr info) {
    auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number > kMostScans) {
        auto* manager = reinterpret_cast<ErrorManager*>(info->err);
        std::snprintf(manager->message, sizeof manager->message, "more than %d scans", kMostScans);
        std::longjmp(manager->jump, 1);
    }
}

std::uint8_t Product255(unsigned a, unsigned b) {
    return static_cast<std::uint8_t>((a * b + 127) / 255);
}

// The steps that call into libjpeg, each under its own setjmp: false when
// libjpeg gave up, with its message in the manager. Their frames hold no C++
// object, so a longjmp leaves nothing stale or undestroyed; what they change
// lives in `info` and the caller's buffers.
bool ReadHeader(jpeg_decompress_struct& info, ErrorManager& manager, jpeg_progress_mgr& progress, Bytes bytes) {
    if (setjmp(manager.jump) != 0) {
        return false;
    }
    jpeg_create_decompress(&info);
    // Set after creating, which clears everything but the error manager.
    info.progress = &progress;
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    return true;
}

bool StartDecompress(jpeg_decompress_struct& info, ErrorManager& manager, J_COLOR_SPACE space) {
    if (setjmp(manager.jump) != 0) {
        return false;
    }
    info.out_color_space = space;
    jpeg_start_decompress(&info);
    return true;
}

bool ReadRows(jpeg_decompress_struct& info, ErrorManager& manager, std::uint8_t* pixels) {
    if (setjmp(manager.jump) != 0) {
        return false;
    }
    const std::size_t rowBytes = std::size_t{info.output_width} * 4;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + std::size_t{info.output_scanline} * rowBytes;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

// Adobe's CMYK files hold inverted ink (255: none); others plain ink.
void InkToRgb(std::vector<std::uint8_t>& rgba, bool inverted) {
    for (std::size_t k = 0; k < rgba.size(); k += 4) {
        std::uint8_t* p = rgba.data() + k;
        const unsigned black = inverted ? p[3] : 255u - p[3];
        for (int c = 0; c < 3; ++c) {
            p[c] = Product255(inverted ? p[c] : 255u - p[c], black);
        }
        p[3] = 255;
    }
}

Result<RgbaImage> Decode(jpeg_decompress_struct& info, ErrorManager& manager, jpeg_progress_mgr& progress,
                         Bytes bytes, std::uint64_t maxPixels) {
    const auto failed = [&] { return Error{"", std::string("bad JPEG: ") + manager.message}; };
    if (!ReadHeader(info, manager, progress, bytes)) {
        return failed();
    }
    if (Status size = CheckSize(info.image_width, info.image_height, maxPixels); !size) {
        return std::move(size).error();
    }
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (!StartDecompress(info, manager, cmyk ? JCS_CMYK : JCS_EXT_RGBA)) {
        return failed();
    }
    RgbaImage image;
    image.width = static_cast<int>(info.output_width);
    image.height = static_cast<int>(info.output_height);
    image.rgba.resize(std::size_t{info.output_width} * info.output_height * 4);
    if (!ReadRows(info, manager, image.rgba.data())) {
        return failed();
    }
    if (cmyk) {
        InkToRgb(image.rgba, info.saw_Adobe_marker != 0);
    }
    return image;
}

}  // namespace

Result<RgbaImage> ReadJpeg(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    if (DetectImageFormat(bytes) != ImageFormat::kJpeg) {
        return Error{"", "not a JPEG file (no start-of-image marker)"};
    }
    jpeg_decompress_struct info{};
    ErrorManager manager{};
    info.err = jpeg_std_error(&manager.base);
    manager.base.error_exit = OnError;
    manager.base.emit_message = OnMessage;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = OnProgress;
    Result<RgbaImage> image = Decode(info, manager, progress, bytes, maxPixels);
    jpeg_destroy_decompress(&info);
    return image;
}

}  // namespace paltab
