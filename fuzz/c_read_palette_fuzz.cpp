// Fuzz target: arbitrary bytes through the C interface's palette reader.
// Byte 0 picks the file name given with them (none, or one of a few that
// steer detection); the rest is the file. A read must give 1..256 colours and
// a usable palette, a failure PALTAB_ERROR_BAD_DATA with a count of 0.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "fuzz_checks.hpp"
#include "paltab/paltab.h"

namespace {

constexpr std::array<const char*, 7> kNames{nullptr, "x.pal", "x.act", "x.hex", "x.txt", "PLAYPAL", "x.gpl"};

constexpr const char* kTarget = "c read_palette";

[[noreturn]] void Fail(const char* what) {
    fuzz_checks::Fail(kTarget, what);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    std::array<paltab_rgb, 256> colors{};
    int count = -1;
    const paltab_status status = paltab_read_palette(data + 1, size - 1, kNames[data[0] % kNames.size()],
                                                     colors.data(), &count);
    if (status != PALTAB_OK) {
        if (status != PALTAB_ERROR_BAD_DATA || count != 0) {
            Fail("a failure other than bad data, or a count left set");
        }
        return 0;
    }
    if (count < 1 || count > 256) {
        Fail("a palette outside 1..256 colours");
    }
    paltab_palette* palette = nullptr;
    if (paltab_palette_create(colors.data(), count, PALTAB_METRIC_RGB, nullptr, &palette) != PALTAB_OK) {
        Fail("a palette that was read cannot be used");
    }
    const int last = paltab_nearest(palette, colors[static_cast<std::size_t>(count - 1)]);
    if (last < 0 || last >= count || std::memcmp(&colors[static_cast<std::size_t>(last)],
                                                 &colors[static_cast<std::size_t>(count - 1)], 3) != 0) {
        Fail("a colour of the palette is not its own nearest");
    }
    paltab_palette_destroy(palette);
    return 0;
}
