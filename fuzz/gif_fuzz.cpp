// Fuzz target: arbitrary bytes through the GIF reader (giflib). A read
// image must pass the writers' checks, and writing it as a GIF and reading
// it back must give the same pixels and transparent index.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>

#include "fuzz_checks.hpp"
#include "paltab/image_formats.hpp"

namespace {

constexpr std::uint64_t kMaxPixels = 1u << 16;

constexpr const char* kTarget = "gif";

[[noreturn]] void Fail(const char* what) {
    fuzz_checks::Fail(kTarget, what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paltab;
    const auto image = ReadGif(std::span(data, size), kMaxPixels);
    if (!image) {
        fuzz_checks::RequireOneLineCause(kTarget, image.error());
        return 0;
    }
    if (const Status checked = CheckIndexedImage(*image); !checked) {
        Fail(checked.error().Message().c_str());
    }
    const auto bytes = WriteGif(*image);
    if (!bytes) {
        Fail(bytes.error().Message().c_str());
    }
    const auto back = ReadGif(*bytes, kMaxPixels);
    if (!back || back->indices != image->indices || back->transparentIndex != image->transparentIndex) {
        Fail("the round trip changed the image");
    }
    return 0;
}
