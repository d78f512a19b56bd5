// `png_pipeline IN.png PALETTE OUT.png [--libpng] [--level N] [--filters none|adaptive]`:
// remaps IN exactly to PALETTE (any palette format) as `paltool remap
// --palette` does, through the fast PNG paths or, with --libpng, through
// libpng's, and prints the milliseconds of each stage. For
// scripts/compare-with-pillow.py, which times it beside Pillow.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "image/png_fast.hpp"
#include "io/file_io.hpp"
#include "paltab/palette_formats.hpp"
#include "paltab/remap.hpp"
#include "paltab/image.hpp"

namespace {

using namespace paltab;
using Clock = std::chrono::steady_clock;

double Milliseconds(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "png_pipeline: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return Fail("usage: png_pipeline IN.png PALETTE OUT.png [--libpng] [--level N] [--filters none|adaptive]");
    }
    bool libpng = false;
    IndexedPngSettings settings;
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "--libpng") == 0) {
            libpng = true;
        } else if (std::strcmp(argv[i], "--level") == 0 && i + 1 < argc) {
            settings.level = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--filters") == 0 && i + 1 < argc) {
            settings.filters = std::strcmp(argv[++i], "adaptive") == 0 ? RowFilters::kAdaptive : RowFilters::kNone;
        } else {
            return Fail(std::string("unknown option ") + argv[i]);
        }
    }
    std::vector<std::string> warnings;
    const auto palette = ReadPaletteFile(argv[2], std::nullopt, {}, warnings);
    if (!palette) {
        return Fail(palette.error().Message());
    }
    const auto match = MatchPalette::Create(palette->palette.colors, {});
    if (!match) {
        return Fail(match.error().Message());
    }

    const Clock::time_point start = Clock::now();
    const auto bytes = ReadFileBytes(argv[1], std::size_t{1} << 31);
    if (!bytes) {
        return Fail(bytes.error().Message());
    }
    const auto image = libpng ? DecodePng(*bytes, kDefaultMaxPixels) : DecodePngFast(*bytes, kDefaultMaxPixels);
    if (!image) {
        return Fail(CannotRead(argv[1], image.error()).Message());
    }
    const Clock::time_point decoded = Clock::now();
    const std::span<const Rgb8> colors = palette->palette.colors;
    std::optional<ExactColorMap> map;
    EntryFinder find = EntryFinder::FromSearch(*match);
    if (ExactMapPays(image->rgba.size() / 4, *match)) {
        map = *ExactColorMap::Build(*match, ExactColorMap::kMaxBits);
        find = EntryFinder::FromMap(map->Cells(), ExactColorMap::kMaxBits);
    }
    const std::vector<std::uint8_t> indices = *RemapPixels(image->width, image->height, image->rgba, colors, find, {});
    const Clock::time_point remapped = Clock::now();
    const auto png = libpng ? EncodeIndexedPng(image->width, image->height, indices, colors, std::nullopt)
                            : EncodeIndexedPngFast(image->width, image->height, indices, colors, std::nullopt,
                                                   settings);
    if (!png) {
        return Fail(CannotWrite(argv[3], png.error()).Message());
    }
    if (const Status written = WriteFileBytes(argv[3], *png); !written) {
        return Fail(written.error().Message());
    }
    const Clock::time_point encoded = Clock::now();
    std::printf("decode %.1f ms, remap %.1f ms, encode %.1f ms, total %.1f ms, %zu bytes\n",
                Milliseconds(start, decoded), Milliseconds(decoded, remapped), Milliseconds(remapped, encoded),
                Milliseconds(start, encoded), png->size());
    return 0;
}
