// What the walk does on one line of 32 cells, decided from the line's wins as
// bits (bit b for the cell at blue position b): the cells it claims and where
// its start cell ends. The cell-by-cell walk reaches the same from the same
// wins: from the start cell up to the first win, the run of wins from there
// up, and down from the start cell when it wins; with no win at or above it,
// down to the nearest win and the run of wins from there down.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>

namespace paltab {

struct LineWalk {
    std::uint32_t claimed = 0;
    int startCell = 0;
};

// The wins from `first` (a win) upwards, to just below the next loss: adding
// bit `first` carries through exactly that run and clears it.
constexpr std::uint32_t RunUpFrom(std::uint32_t wins, int first) {
    return wins & ~(wins + (1u << first));
}

// The wins from `top` downwards, to just above the next loss; none when `top`
// itself loses.
constexpr std::uint32_t RunDownFrom(std::uint32_t wins, int top) {
    const std::uint32_t upToTop = ~0u >> (31 - top);
    const std::uint32_t losses = ~wins & upToTop;
    return losses == 0 ? upToTop : upToTop & ~(~0u >> std::countl_zero(losses));
}

// `startCell` is 0..31; `wins` holds at least one win.
constexpr LineWalk WalkLine(std::uint32_t wins, int startCell) {
    // Wins in one block (a whole line among them) are all claimed, wherever
    // the start cell is, and the start cell ends at the block's nearest cell.
    const int low = std::countr_zero(wins);
    if ((wins & (wins + (1u << low))) == 0) {
        return {wins, std::clamp(startCell, low, 31 - std::countl_zero(wins))};
    }
    const std::uint32_t fromStart = wins & (~0u << startCell);
    if (fromStart != 0) {
        const int first = std::countr_zero(fromStart);
        if (first > startCell) {
            return {RunUpFrom(wins, first), first};
        }
        return {RunUpFrom(wins, first) | (startCell > 0 ? RunDownFrom(wins, startCell - 1) : 0u), startCell};
    }
    const int last = 31 - std::countl_zero(wins);
    return {RunDownFrom(wins, last), last};
}

}  // namespace paltab
