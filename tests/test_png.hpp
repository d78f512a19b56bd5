// PNG files made and read back with libpng's simplified interface, for the
// tests of what the library writes and reads.
#pragma once

#include <gtest/gtest.h>
#include <png.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "paltab/types.hpp"

namespace paltab {

// Opaque RGBA pixels as a PNG file, libpng's default way.
inline std::vector<std::uint8_t> EncodeRgbaPng(int width, int height, std::span<const std::uint8_t> rgba) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(width);
    png.height = static_cast<png_uint_32>(height);
    png.format = PNG_FORMAT_RGBA;
    png_alloc_size_t size = 0;
    EXPECT_NE(png_image_write_to_memory(&png, nullptr, &size, 0, rgba.data(), 0, nullptr), 0);
    std::vector<std::uint8_t> bytes(size);
    EXPECT_NE(png_image_write_to_memory(&png, bytes.data(), &size, 0, rgba.data(), 0, nullptr), 0);
    bytes.resize(size);
    return bytes;
}

// A picture read back as 8-bit RGB.
struct RgbPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> pixels;

    Rgb8 At(int x, int y) const {
        const std::size_t at =
            (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
        return {pixels[at], pixels[at + 1], pixels[at + 2]};
    }
};

// Finishes reading an image whose header `begun` tells whether libpng read;
// a failure is added to the test, prefixed with `what`, and leaves the
// picture empty or partly read.
inline RgbPixels FinishRgbRead(png_image& image, int begun, const std::string& what) {
    RgbPixels decoded;
    if (begun == 0) {
        ADD_FAILURE() << what << image.message;
        return decoded;
    }
    image.format = PNG_FORMAT_RGB;
    decoded.width = static_cast<int>(image.width);
    decoded.height = static_cast<int>(image.height);
    decoded.pixels.resize(PNG_IMAGE_SIZE(image));
    if (png_image_finish_read(&image, nullptr, decoded.pixels.data(), 0, nullptr) == 0) {
        ADD_FAILURE() << what << image.message;
    }
    return decoded;
}

inline RgbPixels DecodeRgbPng(std::span<const std::uint8_t> png) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    const int begun = png_image_begin_read_from_memory(&image, png.data(), png.size());
    return FinishRgbRead(image, begun, "");
}

inline RgbPixels ReadRgbPng(const std::filesystem::path& path) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    const int begun = png_image_begin_read_from_file(&image, path.c_str());
    return FinishRgbRead(image, begun, path.string() + ": ");
}

}  // namespace paltab
