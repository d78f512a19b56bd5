// One search body compiled twice: for the baseline processor and, where the
// processor has it, for AVX2, whose 256-bit multiplies take eight lanes at once.
#include "nearest/candidate_lanes.hpp"

#include <algorithm>
#include <cstring>
#include <limits>

namespace paltab {
namespace {

using Lanes = std::int32_t __attribute__((vector_size(32)));

// Inlined into each caller, so compiled for the caller's processor.
[[gnu::always_inline]] inline LaneMatch SearchBody(const CandidateLanes* groups, std::size_t count,
                                                   const std::array<std::int32_t, 3>& twice, std::int32_t q) {
    Lanes best = Lanes{} + std::numeric_limits<std::int32_t>::max();
    Lanes at = Lanes{};
    const Lanes tr = Lanes{} + twice[0];
    const Lanes tg = Lanes{} + twice[1];
    const Lanes tb = Lanes{} + twice[2];
    const Lanes scale = Lanes{} + q;
    for (std::size_t i = 0; i < count; ++i) {
        Lanes r, g, b, norm, position;
        std::memcpy(&r, groups[i].r.data(), sizeof r);
        std::memcpy(&g, groups[i].g.data(), sizeof g);
        std::memcpy(&b, groups[i].b.data(), sizeof b);
        std::memcpy(&norm, groups[i].norm.data(), sizeof norm);
        std::memcpy(&position, groups[i].position.data(), sizeof position);
        const Lanes key = scale * norm - (r * tr + g * tg + b * tb);
        // Strictly less: a lane keeps its first (lowest) position of equal keys.
        const Lanes less = key < best;
        best = less ? key : best;
        at = less ? position : at;
    }
    // The least (key, position) pair of the lanes, without branches.
    std::int64_t least = std::numeric_limits<std::int64_t>::max();
    for (std::size_t lane = 0; lane < CandidateLanes::kWidth; ++lane) {
        least = std::min(least, std::int64_t{best[lane]} * 256 + at[lane]);
    }
    return {static_cast<std::int32_t>(least >> 8), static_cast<std::int32_t>(least & 255)};
}

LaneMatch SearchBaseline(const CandidateLanes* groups, std::size_t count, const std::array<std::int32_t, 3>& twice,
                         std::int32_t q) {
    return SearchBody(groups, count, twice, q);
}

#if defined(__x86_64__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
LaneMatch SearchAvx2(const CandidateLanes* groups, std::size_t count, const std::array<std::int32_t, 3>& twice,
                     std::int32_t q) {
    return SearchBody(groups, count, twice, q);
}
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

}  // namespace

LaneSearch ChooseLaneSearch() {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) {
        return SearchAvx2;
    }
#endif
    return SearchBaseline;
}

}  // namespace paltab
