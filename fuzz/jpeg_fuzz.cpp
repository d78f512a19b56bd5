// Fuzz target: arbitrary bytes through the JPEG reader. A decoded image must
// have four bytes a pixel, all opaque, within the pixel limit.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "fuzz_checks.hpp"
#include "paltab/image_formats.hpp"

namespace {

constexpr std::uint64_t kMaxPixels = 1u << 16;

constexpr const char* kTarget = "jpeg";

[[noreturn]] void Fail(const char* what) {
    fuzz_checks::Fail(kTarget, what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paltab;
    const auto image = ReadJpeg(std::span(data, size), kMaxPixels);
    if (!image) {
        fuzz_checks::RequireOneLineCause(kTarget, image.error());
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
