// The map's vector walk on 256 bits, eight cells per step, for processors
// with AVX2. Everything after the prerequisites, the shared walk included, is
// compiled for AVX2, so that the line operations inline into the walk.
#include "map_walk_vector.hpp"

#ifdef PALTAB_X86_VECTOR
#if defined(__clang__)
#pragma clang attribute push(__attribute__((target("avx2,bmi"))), apply_to = function)
#else
#pragma GCC push_options
#pragma GCC target("avx2,bmi")
#endif
namespace paltab::map_walk::avx2 {

struct Lines {
    // Eight lines' values side by side, and the sign bits of such a group.
    using Group = std::int32_t __attribute__((vector_size(32)));

    static std::uint32_t Signs(Group v) {
        return static_cast<std::uint32_t>(_mm256_movemask_ps(_mm256_castsi256_ps(reinterpret_cast<__m256i>(v))));
    }

    // What a sweep compares with: the entry's blue shares and its index.
    struct Entry {
        const __m256i* blue;
        std::uint8_t index;
    };

    static Entry Load(const std::int32_t* blue, std::uint8_t index) {
        return {reinterpret_cast<const __m256i*>(blue), index};
    }

    [[gnu::always_inline]] static bool AnyWin(const std::int32_t* stored, const Entry& entry, std::int32_t base) {
        const __m256i above = _mm256_set1_epi32(base + 1);
        __m256i loss = _mm256_set1_epi32(-1);
        for (std::size_t k = 0; k < 4; ++k) {
            const __m256i candidate = _mm256_add_epi32(above, _mm256_load_si256(entry.blue + k));
            loss = _mm256_and_si256(
                loss,
                _mm256_cmpgt_epi32(candidate, _mm256_loadu_si256(reinterpret_cast<const __m256i*>(stored + 8 * k))));
        }
        return static_cast<std::uint32_t>(_mm256_movemask_epi8(loss)) != 0xFFFFFFFFu;
    }

    // A whole line of one entry: its candidates base + blue[b] and its index.
    static void WriteLine(std::int32_t* stored, std::uint8_t* map, const std::int32_t* blue, std::int32_t base,
                          std::uint8_t index) {
        const __m256i atBase = _mm256_set1_epi32(base);
        for (std::size_t k = 0; k < 4; ++k) {
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(stored + 8 * k),
                                _mm256_add_epi32(atBase, _mm256_load_si256(reinterpret_cast<const __m256i*>(blue + 8 * k))));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(map), _mm256_set1_epi8(static_cast<char>(index)));
    }

    // Some cells of one entry's line, bit b for cell b: a few one at a time,
    // more as masked vector stores.
    static void WriteCells(std::int32_t* stored, std::uint8_t* map, const std::int32_t* blue, std::int32_t base,
                           std::uint8_t index, std::uint32_t cells) {
        if (std::popcount(cells) <= 3) {
            WriteCellsOneByOne(stored, map, blue, base, index, cells);
            return;
        }
        const __m256i atBase = _mm256_set1_epi32(base);
        const __m256i laneBits = _mm256_setr_epi32(1, 2, 4, 8, 16, 32, 64, 128);
        for (std::size_t k = 0; k < 4; ++k) {
            const __m256i selected = _mm256_cmpeq_epi32(
                _mm256_and_si256(_mm256_set1_epi32(static_cast<int>(cells >> (8 * k))), laneBits), laneBits);
            _mm256_maskstore_epi32(
                stored + 8 * k, selected,
                _mm256_add_epi32(atBase, _mm256_load_si256(reinterpret_cast<const __m256i*>(blue + 8 * k))));
        }
        // Byte b of the map takes bit b: each byte of `cells` spread over
        // eight bytes, then each of those tested against its own bit.
        const __m256i spread = _mm256_shuffle_epi8(
            _mm256_set1_epi32(static_cast<int>(cells)),
            _mm256_setr_epi8(0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1, 2, 2, 2, 2, 2, 2, 2, 2, 3, 3, 3, 3, 3, 3, 3, 3));
        const __m256i byteBits = _mm256_set1_epi64x(static_cast<long long>(0x8040201008040201ull));
        const __m256i selectedBytes = _mm256_cmpeq_epi8(_mm256_and_si256(spread, byteBits), byteBits);
        auto* bytes = reinterpret_cast<__m256i*>(map);
        _mm256_storeu_si256(bytes, _mm256_blendv_epi8(_mm256_loadu_si256(bytes),
                                                      _mm256_set1_epi8(static_cast<char>(index)), selectedBytes));
    }

    // A line's wins; when they form one block, which is all but always,
    // they are claimed too. Written out value by value, so that the
    // compiler keeps every vector in a register.
    [[gnu::always_inline]] static std::uint32_t ClaimBlock(std::int32_t* stored, std::uint8_t* map, const Entry& entry,
                                                          std::int32_t base) {
        const __m256i atBase = _mm256_set1_epi32(base);
        auto* cells = reinterpret_cast<__m256i*>(stored);
        const __m256i old0 = _mm256_loadu_si256(cells);
        const __m256i old1 = _mm256_loadu_si256(cells + 1);
        const __m256i old2 = _mm256_loadu_si256(cells + 2);
        const __m256i old3 = _mm256_loadu_si256(cells + 3);
        const __m256i min0 = _mm256_min_epi32(_mm256_add_epi32(atBase, _mm256_load_si256(entry.blue)), old0);
        const __m256i min1 = _mm256_min_epi32(_mm256_add_epi32(atBase, _mm256_load_si256(entry.blue + 1)), old1);
        const __m256i min2 = _mm256_min_epi32(_mm256_add_epi32(atBase, _mm256_load_si256(entry.blue + 2)), old2);
        const __m256i min3 = _mm256_min_epi32(_mm256_add_epi32(atBase, _mm256_load_si256(entry.blue + 3)), old3);
        // A cell loses where the smaller value is the stored one. The packs
        // interleave the two 128-bit halves; the permutation puts the groups
        // of four cells back in blue order.
        const __m256i packed = _mm256_packs_epi16(
            _mm256_packs_epi32(_mm256_cmpeq_epi32(min0, old0), _mm256_cmpeq_epi32(min1, old1)),
            _mm256_packs_epi32(_mm256_cmpeq_epi32(min2, old2), _mm256_cmpeq_epi32(min3, old3)));
        const __m256i lossBytes = _mm256_permutevar8x32_epi32(packed, _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7));
        const std::uint32_t wins = ~static_cast<std::uint32_t>(_mm256_movemask_epi8(lossBytes));
        if (IsOneBlock(wins)) {
            _mm256_storeu_si256(cells, min0);
            _mm256_storeu_si256(cells + 1, min1);
            _mm256_storeu_si256(cells + 2, min2);
            _mm256_storeu_si256(cells + 3, min3);
            auto* bytes = reinterpret_cast<__m256i*>(map);
            _mm256_storeu_si256(bytes, _mm256_blendv_epi8(_mm256_set1_epi8(static_cast<char>(entry.index)),
                                                          _mm256_loadu_si256(bytes), lossBytes));
        }
        return wins;
    }
};

}  // namespace paltab::map_walk::avx2

#define PALTAB_MAP_WALK_UNIT avx2
#include "map_walk_vector.inc"
#if defined(__clang__)
#pragma clang attribute pop
#else
#pragma GCC pop_options
#endif
#endif
