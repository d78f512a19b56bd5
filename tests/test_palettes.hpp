// Palettes shared by the table tests, each stressing the tables differently,
// and the set of tables they build.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "paltab/blend.hpp"
#include "paltab/inverse_map.hpp"
#include "paltab/shade.hpp"
#include "paltab/types.hpp"

namespace paltab {

// Entries 0.. from the list, the rest unused.
inline Palette MakePalette(const std::vector<PaletteEntry>& entries) {
    Palette palette{};
    std::size_t i = 0;
    for (const PaletteEntry& e : entries) {
        palette[i++] = e;
    }
    return palette;
}

// Every table the generator builds, about 230 KB: made on the heap.
struct BuiltTables {
    DistanceBuffer distances{};
    InverseColorMap map{};
    ShadeTable shade{};
    AdditiveBlendTable additive{};
    MultiplicativeBlendTable multiplicative{};
};

inline PaletteEntry Rgb(int r, int g, int b) {
    return {static_cast<std::int16_t>(r), static_cast<std::int16_t>(g), static_cast<std::int16_t>(b)};
}

inline std::vector<std::pair<std::string, Palette>> TestPalettes() {
    std::vector<std::pair<std::string, Palette>> palettes;

    Palette cube{};
    const int levels[] = {0, 51, 102, 153, 204, 255};
    std::size_t i = 0;
    for (int r : levels)
        for (int g : levels)
            for (int b : levels) cube[i++] = Rgb(r, g, b);
    for (int k = 1; i < 256; ++k) cube[i++] = Rgb(k * 6, k * 6, k * 6);
    palettes.emplace_back("cube and greys", cube);

    std::mt19937 rng(7);
    std::uniform_int_distribution<int> component(0, 255);
    Palette random{};
    for (PaletteEntry& e : random) e = Rgb(component(rng), component(rng), component(rng));
    palettes.emplace_back("random", random);

    Palette ramp{};
    for (std::size_t k = 0; k < 256; ++k) ramp[k] = Rgb(static_cast<int>(k), static_cast<int>(k), 255 - static_cast<int>(k));
    palettes.emplace_back("ramp", ramp);

    // Sparse, with repeats, unused holes, partly -1 entries and values
    // outside 0..255.
    Palette odd{};
    odd[3] = Rgb(255, 128, 0);
    odd[4] = Rgb(255, 128, 0);
    odd[9] = Rgb(-1, 40, 200);
    odd[10] = Rgb(0, 0, 0);
    odd[20] = Rgb(300, -5, 128);
    odd[21] = Rgb(255, 255, 255);
    odd[40] = Rgb(128, 128, 128);
    odd[41] = Rgb(64, 200, 30);
    odd[255] = Rgb(7, 8, 9);
    palettes.emplace_back("sparse and odd", odd);

    palettes.emplace_back("sixteen", MakePalette({Rgb(0, 0, 0), Rgb(85, 85, 85), Rgb(170, 170, 170),
                                                  Rgb(255, 255, 255), Rgb(230, 57, 57), Rgb(178, 125, 71),
                                                  Rgb(230, 230, 57), Rgb(125, 178, 71), Rgb(57, 230, 57),
                                                  Rgb(71, 178, 125), Rgb(57, 230, 230), Rgb(71, 125, 178),
                                                  Rgb(57, 57, 230), Rgb(125, 71, 178), Rgb(230, 57, 230),
                                                  Rgb(178, 71, 125)}));
    return palettes;
}

}  // namespace paltab
