// Fuzz target: arbitrary bytes through the JPEG reader. A decoded image must
// have four bytes a pixel, all opaque, within the pixel limit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "paltab/image_formats.hpp"

namespace {

constexpr std::uint64_t kMaxPixels = 1u << 16;

[[noreturn]] void Fail(const char* what) {
    std::fprintf(stderr, "jpeg: %s\n", what);
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paltab;
    const auto image = ReadJpeg(std::span(data, size), kMaxPixels);
    if (!image) {
        if (image.error().cause.empty() || image.error().Message().find('\n') != std::string::npos) {
            Fail("an error without a one-line cause");
        }
        return 0;
    }
    const std::uint64_t pixels = std::uint64_t(image->width) * std::uint64_t(image->height);
    if (pixels == 0 || pixels > kMaxPixels || image->rgba.size() != pixels * 4) {
        Fail("an image of the wrong size");
    }
    for (std::size_t k = 3; k < image->rgba.size(); k += 4) {
        if (image->rgba[k] != 255) {
            Fail("a pixel that is not opaque");
        }
    }
    return 0;
}
