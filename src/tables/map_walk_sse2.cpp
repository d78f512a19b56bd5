// The map's vector walk on 128 bits, four cells per step: what every x86-64
// processor has.
#include "map_walk_vector.hpp"

#ifdef PALTAB_X86_VECTOR
namespace paltab::map_walk::sse2 {

struct Lines {
    // Four lines' values side by side, and the sign bits of such a group.
    using Group = std::int32_t __attribute__((vector_size(16)));

    static std::uint32_t Signs(Group v) {
        return static_cast<std::uint32_t>(_mm_movemask_ps(_mm_castsi128_ps(reinterpret_cast<__m128i>(v))));
    }

    // What a sweep compares with: the entry's blue shares and its index.
    struct Entry {
        __m128i blue[8];
        __m128i index;
    };

    static Entry Load(const std::int32_t* blue, std::uint8_t index) {
        Entry entry;
        for (std::size_t k = 0; k < 8; ++k) {
            entry.blue[k] = _mm_load_si128(reinterpret_cast<const __m128i*>(blue + 4 * k));
        }
        entry.index = _mm_set1_epi8(static_cast<char>(index));
        return entry;
    }

    // One compared line: the candidates, the loss masks (per cell and per
    // byte of the map) and the wins as bits.
    struct Line {
        __m128i candidate[8];
        __m128i loss[8];
        __m128i lossBytes[2];
        std::uint32_t wins;
    };

    [[gnu::always_inline]] static Line Compare(const std::int32_t* stored, const Entry& entry, std::int32_t base) {
        Line line;
        const __m128i atBase = _mm_set1_epi32(base);
        const __m128i one = _mm_set1_epi32(1);
        for (std::size_t k = 0; k < 8; ++k) {
            line.candidate[k] = _mm_add_epi32(atBase, entry.blue[k]);
            line.loss[k] = _mm_cmpgt_epi32(_mm_add_epi32(line.candidate[k], one),
                                           _mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + 4 * k)));
        }
        line.lossBytes[0] = _mm_packs_epi16(_mm_packs_epi32(line.loss[0], line.loss[1]),
                                            _mm_packs_epi32(line.loss[2], line.loss[3]));
        line.lossBytes[1] = _mm_packs_epi16(_mm_packs_epi32(line.loss[4], line.loss[5]),
                                            _mm_packs_epi32(line.loss[6], line.loss[7]));
        line.wins = ~(static_cast<std::uint32_t>(_mm_movemask_epi8(line.lossBytes[0])) |
                      (static_cast<std::uint32_t>(_mm_movemask_epi8(line.lossBytes[1])) << 16));
        return line;
    }

    [[gnu::always_inline]] static bool AnyWin(const std::int32_t* stored, const Entry& entry, std::int32_t base) {
        const __m128i above = _mm_set1_epi32(base + 1);
        __m128i loss = _mm_set1_epi32(-1);
        for (std::size_t k = 0; k < 8; ++k) {
            const __m128i candidate = _mm_add_epi32(above, entry.blue[k]);
            loss = _mm_and_si128(
                loss, _mm_cmpgt_epi32(candidate, _mm_loadu_si128(reinterpret_cast<const __m128i*>(stored + 4 * k))));
        }
        return _mm_movemask_epi8(loss) != 0xFFFF;
    }

    // A whole line of one entry: its candidates base + blue[b] and its index.
    static void WriteLine(std::int32_t* stored, std::uint8_t* map, const std::int32_t* blue, std::int32_t base,
                          std::uint8_t index) {
        const __m128i atBase = _mm_set1_epi32(base);
        for (std::size_t k = 0; k < 8; ++k) {
            _mm_storeu_si128(reinterpret_cast<__m128i*>(stored + 4 * k),
                             _mm_add_epi32(atBase, _mm_load_si128(reinterpret_cast<const __m128i*>(blue + 4 * k))));
        }
        std::memset(map, index, kCellsPerAxis);
    }

    // Some cells of one entry's line, bit b for cell b.
    static void WriteCells(std::int32_t* stored, std::uint8_t* map, const std::int32_t* blue, std::int32_t base,
                           std::uint8_t index, std::uint32_t cells) {
        WriteCellsOneByOne(stored, map, blue, base, index, cells);
    }

    static __m128i Select(__m128i keep, __m128i old, __m128i replacement) {
        return _mm_or_si128(_mm_and_si128(keep, old), _mm_andnot_si128(keep, replacement));
    }

    // Every win of the line goes to `index`: the loss masks select.
    [[gnu::always_inline]] static void ClaimWins(const Line& line, std::int32_t* stored, std::uint8_t* map,
                                                 const Entry& entry) {
        const __m128i indices = entry.index;
        for (std::size_t k = 0; k < 8; ++k) {
            auto* group = reinterpret_cast<__m128i*>(stored + 4 * k);
            _mm_storeu_si128(group, Select(line.loss[k], _mm_loadu_si128(group), line.candidate[k]));
        }
        for (std::size_t half = 0; half < 2; ++half) {
            auto* bytes = reinterpret_cast<__m128i*>(map + 16 * half);
            _mm_storeu_si128(bytes, Select(line.lossBytes[half], _mm_loadu_si128(bytes), indices));
        }
    }

    // A line's wins; when they form one block, which is all but always,
    // they are claimed too.
    [[gnu::always_inline]] static std::uint32_t ClaimBlock(std::int32_t* stored, std::uint8_t* map, const Entry& entry,
                                                          std::int32_t base) {
        const Line line = Compare(stored, entry, base);
        const std::uint32_t wins = line.wins;
        if (IsOneBlock(wins)) {
            ClaimWins(line, stored, map, entry);
        }
        return wins;
    }
};

}  // namespace paltab::map_walk::sse2

#define PALTAB_MAP_WALK_UNIT sse2
#include "map_walk_vector.inc"
#endif
