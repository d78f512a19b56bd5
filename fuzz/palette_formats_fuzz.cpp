// Fuzz target: arbitrary bytes through the palette format dispatch. Byte 0
// picks the reader (a format, or detection under one of a few file names),
// byte 1 the writer for a round trip; the rest is the file. A read palette
// must hold 1..256 colours, and writing it and reading it back must give
// the same colours (vga: their 6-bit form).
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_checks.hpp"
#include "paltab/palette_formats.hpp"

namespace {

constexpr std::array<std::string_view, 6> kNames{"x.pal", "x.act", "x.hex", "x.txt", "PLAYPAL", "x.gpl"};

constexpr const char* kTarget = "palette formats";

[[noreturn]] void Fail(const char* what) {
    fuzz_checks::Fail(kTarget, what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace paltab;
    if (size < 2) {
        return 0;
    }
    const auto formats = PaletteFormats();
    const std::size_t pick = data[0] % (formats.size() + kNames.size());
    const FormatInfo& writer = formats[data[1] % formats.size()];
    const std::span<const std::uint8_t> bytes(data + 2, size - 2);

    const PaletteFormat format = pick < formats.size()
                                     ? formats[pick].format
                                     : DetectPaletteFormat(bytes, kNames[pick - formats.size()]).format;
    // Small enough that a PNG declaring a large image is refused quickly.
    const PaletteReadOptions options{.paletteIndex = data[1] % 16, .maxPngPixels = 1u << 16};
    std::vector<std::string> warnings;
    const auto palette = ReadPalette(bytes, format, options, warnings);
    if (!palette) {
        fuzz_checks::RequireOneLineCause(kTarget, palette.error());
        return 0;
    }
    if (palette->colors.empty() || palette->colors.size() > kPaletteSize) {
        Fail("a palette outside 1..256 colours");
    }
    if (palette->transparentIndex &&
        (*palette->transparentIndex < 0 ||
         static_cast<std::size_t>(*palette->transparentIndex) >= palette->colors.size())) {
        Fail("a transparent index outside the colours");
    }
    if (!writer.writes) {
        return 0;
    }
    const auto written = WritePalette(*palette, writer.format, warnings);
    if (!written) {
        Fail("a palette that was read cannot be written");
    }
    const auto back = ReadPalette(*written, writer.format, {}, warnings);
    if (!back) {
        Fail("a written palette cannot be read back");
    }
    std::vector<Rgb8> expected = palette->colors;
    if (writer.format == PaletteFormat::kVga) {
        for (Rgb8& c : expected) {
            c = {ExpandSixBit(SixBit(c.r)), ExpandSixBit(SixBit(c.g)), ExpandSixBit(SixBit(c.b))};
        }
    }
    if (back->colors != expected) {
        Fail("a round trip changed the colours");
    }
    return 0;
}
