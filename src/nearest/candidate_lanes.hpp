// The candidates of a grid cell eight side by side, and the search over them
// for an rgb target n / q in 32-bit integer lanes, with AVX2 where the
// processor has it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace paltab {

struct alignas(32) CandidateLanes {
    static constexpr std::size_t kWidth = 8;
    // The 8-bit colour, |colour|^2 and the position in the grid's entries.
    std::array<std::int32_t, kWidth> r, g, b, norm, position;
};

// Denominators up to this keep every key of the search within 32 bits:
// |q * norm| <= 4096 * 3 * 255^2 and |2 e.n| <= 2 * 3 * 255 * 255 * 4096.
inline constexpr std::int64_t kLaneMaxDenominator = 4096;

struct LaneMatch {
    std::int32_t key = 0;  // q |e|^2 - 2 e.n of the entry found
    std::int32_t position = 0;
};

// The candidate of least key q |e|^2 - 2 e.n, the lowest position among
// equals (the groups hold positions in increasing order, lane by lane).
// `twice` is 2n; `groups` holds at least one group.
using LaneSearch = LaneMatch (*)(const CandidateLanes* groups, std::size_t count,
                                 const std::array<std::int32_t, 3>& twice, std::int32_t q);

LaneSearch ChooseLaneSearch();

}  // namespace paltab
