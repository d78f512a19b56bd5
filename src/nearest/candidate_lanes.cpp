// One search body compiled twice: for the baseline processor and, where the
// processor has it, for AVX2, whose 256-bit multiplies take eight lanes at once.
#include "nearest/candidate_lanes.hpp"

#include <cstring>
#include <limits>
#include <type_traits>

namespace paltab {
namespace {

using Lanes = std::int32_t __attribute__((vector_size(32)));
// Keys and positions of the wide search: exact whole numbers below 2^53.
using Doubles = double __attribute__((vector_size(64)));
using Longs = std::int64_t __attribute__((vector_size(64)));

// The least lane of v in every lane, by halving. Vectors go by reference:
// by value their passing would depend on AVX.
template <class V>
[[gnu::always_inline]] inline void LeastLane(const V& v, V& least) {
    least = v;
    V other = __builtin_shufflevector(least, least, 4, 5, 6, 7, 0, 1, 2, 3);
    least = other < least ? other : least;
    other = __builtin_shufflevector(least, least, 2, 3, 0, 1, 6, 7, 4, 5);
    least = other < least ? other : least;
    other = __builtin_shufflevector(least, least, 1, 0, 3, 2, 5, 4, 7, 6);
    least = other < least ? other : least;
}

// Key: the lanes' key type (Lanes or Doubles); Index: positions of the same
// width (Lanes or Longs). Inlined into each caller, so compiled for the
// caller's processor.
template <class Key, class Index>
[[gnu::always_inline]] inline void SearchBody(const LaneQuery* queries, std::size_t count, std::int64_t q,
                                              LaneMatch* out) {
    using Scalar = std::remove_cvref_t<decltype(Key{}[0])>;
    using IndexScalar = std::remove_cvref_t<decltype(Index{}[0])>;
    const Key scale = Key{} + static_cast<Scalar>(q);
    for (std::size_t t = 0; t < count; ++t) {
        const LaneQuery& query = queries[t];
        Key best = Key{} + std::numeric_limits<Scalar>::max();
        Index at = Index{};
        const Key tr = Key{} + static_cast<Scalar>(query.twice[0]);
        const Key tg = Key{} + static_cast<Scalar>(query.twice[1]);
        const Key tb = Key{} + static_cast<Scalar>(query.twice[2]);
        for (std::size_t i = 0; i < query.count; ++i) {
            const CandidateLanes& group = query.groups[i];
            Lanes r, g, b, norm, position;
            std::memcpy(&r, group.r.data(), sizeof r);
            std::memcpy(&g, group.g.data(), sizeof g);
            std::memcpy(&b, group.b.data(), sizeof b);
            std::memcpy(&norm, group.norm.data(), sizeof norm);
            std::memcpy(&position, group.position.data(), sizeof position);
            const Key key = scale * __builtin_convertvector(norm, Key) -
                            (__builtin_convertvector(r, Key) * tr + __builtin_convertvector(g, Key) * tg +
                             __builtin_convertvector(b, Key) * tb);
            // Strictly less: a lane keeps its first (lowest) position of equal keys.
            const auto less = key < best;
            best = less ? key : best;
            at = less ? __builtin_convertvector(position, Index) : at;
        }
        // The least key, then the least position among the lanes holding it.
        Key least;
        LeastLane(best, least);
        Index first;
        LeastLane(best == least ? at : Index{} + std::numeric_limits<IndexScalar>::max(), first);
        out[t] = {static_cast<std::int64_t>(least[0]), static_cast<std::int32_t>(first[0])};
    }
}

void SearchBaseline(const LaneQuery* queries, std::size_t count, std::int64_t q, LaneMatch* out) {
    SearchBody<Lanes, Lanes>(queries, count, q, out);
}

void WideSearchBaseline(const LaneQuery* queries, std::size_t count, std::int64_t q, LaneMatch* out) {
    SearchBody<Doubles, Longs>(queries, count, q, out);
}

#if defined(__x86_64__)
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2")
#endif
void SearchAvx2(const LaneQuery* queries, std::size_t count, std::int64_t q, LaneMatch* out) {
    SearchBody<Lanes, Lanes>(queries, count, q, out);
}

void WideSearchAvx2(const LaneQuery* queries, std::size_t count, std::int64_t q, LaneMatch* out) {
    SearchBody<Doubles, Longs>(queries, count, q, out);
}
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif

}  // namespace

LaneSearch ChooseLaneSearch(bool wide) {
#if defined(__x86_64__)
    if (__builtin_cpu_supports("avx2")) {
        return wide ? WideSearchAvx2 : SearchAvx2;
    }
#endif
    return wide ? WideSearchBaseline : SearchBaseline;
}

}  // namespace paltab
