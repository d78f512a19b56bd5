// Fuzz target: arbitrary bytes through the BMP, PCX, TGA and GIF readers.
// Byte 0 picks the reader (0 bmp, 1 pcx, 2 tga, 3 gif) and the writer of a
// round trip; the rest is the file. A read image must pass the writers'
// checks, and writing it and reading it back must give the same pixels.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "fuzz_checks.hpp"
#include "paltab/image_formats.hpp"

namespace {

constexpr paltab::ImageFormat kFormats[] = {paltab::ImageFormat::kBmp, paltab::ImageFormat::kPcx,
                                            paltab::ImageFormat::kTga, paltab::ImageFormat::kGif};
// Small enough that a header declaring a large image is refused quickly.
constexpr std::uint64_t kMaxPixels = 1u << 16;

constexpr const char* kTarget = "indexed image";

[[noreturn]] void Fail(const char* what) {
    fuzz_checks::Fail(kTarget, what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paltab;
    if (size < 1) {
        return 0;
    }
    const ImageFormat reader = kFormats[data[0] % 4];
    const ImageFormat writer = kFormats[data[0] / 4 % 4];
    const auto image = ReadIndexedImage(std::span(data + 1, size - 1), reader, kMaxPixels);
    if (!image) {
        fuzz_checks::RequireOneLineCause(kTarget, image.error());
        return 0;
    }
    if (const Status checked = CheckIndexedImage(*image); !checked) {
        Fail(checked.error().Message().c_str());
    }
    const auto bytes = WriteIndexedImage(*image, writer);
    // Only a side the writer's format cannot say is refused.
    if (!bytes) {
        if (image->width <= 65534 && image->height <= 65534) {
            Fail(bytes.error().Message().c_str());
        }
        return 0;
    }
    const auto back = ReadIndexedImage(*bytes, writer, kMaxPixels);
    if (!back || back->indices != image->indices || back->width != image->width) {
        Fail("the round trip changed the image");
    }
    return 0;
}
