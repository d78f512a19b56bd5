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
// 0 <= q |e|^2 <= 3 * 255^2 q and 0 <= 2 e.n <= 6 * 255^2 q. The wide search
// computes in double precision, exact for q up to 2^22.
inline constexpr std::int64_t kLaneMaxDenominator = ((std::int64_t{1} << 31) - 1) / (6 * 255 * 255);

struct LaneMatch {
    std::int64_t key = 0;  // q |e|^2 - 2 e.n of the entry found
    std::int32_t position = 0;
};

// One target: its cell's groups (at least one) and 2n.
struct LaneQuery {
    const CandidateLanes* groups = nullptr;
    std::size_t count = 0;
    std::array<std::int64_t, 3> twice{};
};

// For each query the candidate of least key q |e|^2 - 2 e.n, the lowest
// position among equals (the groups hold positions in increasing order,
// lane by lane).
using LaneSearch = void (*)(const LaneQuery* queries, std::size_t count, std::int64_t q, LaneMatch* out);

// The 32-bit search for q up to kLaneMaxDenominator, or the wide one.
LaneSearch ChooseLaneSearch(bool wide);

}  // namespace paltab
