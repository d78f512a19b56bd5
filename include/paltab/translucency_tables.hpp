// Translucency tables: for each pair of a colour already drawn and a
// colour drawn over it, the palette entry nearest to their blend (the
// cells' rules in table_search.hpp).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "paltab/result.hpp"
#include "paltab/table_search.hpp"
#include "paltab/types.hpp"

namespace paltab {

// front is the colour drawn (the translucent colour), behind the colour
// already there; per component, on 8-bit values:
//   alpha     front * p / 100 + behind * (100 - p) / 100
//   add       min(front + behind, 255)
//   subtract  max(behind - front, 0)
//   multiply  front * behind / 255
//   screen    255 - (255 - front)(255 - behind) / 255
//   min, max  of front and behind
//   average   alpha at 50 %
// With linear mixing the same formulas act on linear light 0..1 (1 for 255).
enum class BlendMode { kAlpha, kAdd, kSubtract, kMultiply, kScreen, kMin, kMax, kAverage };

std::string_view BlendModeName(BlendMode mode);
std::optional<BlendMode> ParseBlendMode(std::string_view name);
// "alpha, add, subtract, ...": every mode, for help texts and errors.
std::string BlendModeList();

struct TranslucencySettings {
    BlendMode mode = BlendMode::kAlpha;
    int alphaPercent = 50;  // 0..100, kAlpha only
    SearchSettings search;
};

// The byte at behind * 256 + front: a row per colour already drawn, a
// column per colour drawn over it, as Boom's TRANMAP and Build's translucency
// table are indexed (tranmap[behind * 256 + front]).
struct TranslucencyTable {
    std::array<std::uint8_t, kPairTableSize> bytes{};
    TableStats stats;
};

// Fails with kBadInput for other than 1..256 colours, kBadSettings for an
// alpha out of range or every entry reserved.
Result<TranslucencyTable> MakeTranslucencyTable(std::span<const Rgb8> colors, const TranslucencySettings& settings);

}  // namespace paltab
