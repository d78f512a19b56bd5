// The nearest-entry lookup of the dithering units: boxes of colours with the
// few entries that can be nearest in them, for the rgb metric.
#include <algorithm>

#include "dither/space.hpp"

namespace paltab::dither {
namespace {

using Candidate = Lookup::Candidate;

// Settling a box costs about a lookup per palette entry; below this many
// pixels the boxes would not repay that.
constexpr std::size_t kWorthwhile = std::size_t{1} << 14;
// A box with more candidates than this is left to the lookup given.
constexpr std::size_t kMaxCandidates = 48;

std::int32_t Squared(std::int32_t v) {
    return v * v;
}

// The candidates of `from` that can be nearest to some colour of the box
// lo..lo + span (each component), appended to `out` in the order of `from`.
// The entry nearest to a colour p of the box lies no farther from p than any
// entry e does, so within e's farthest distance from the box: an entry whose
// least distance from the box exceeds the least of those farthest distances
// is nearest nowhere in it.
void Reach(const std::array<std::int32_t, 3>& lo, std::int32_t span, std::span<const Candidate> from,
           std::vector<Candidate>& out) {
    const auto each = [](Candidate c, auto&& f) {
        return f(Lookup::Component(c, 24), 0) + f(Lookup::Component(c, 16), 1) + f(Lookup::Component(c, 8), 2);
    };
    std::int32_t bound = std::numeric_limits<std::int32_t>::max();
    for (const Candidate c : from) {
        bound = std::min(bound, each(c, [&](std::int32_t v, std::size_t k) {
                             return Squared(std::max(v - lo[k], lo[k] + span - v));
                         }));
    }
    for (const Candidate c : from) {
        const std::int32_t least = each(c, [&](std::int32_t v, std::size_t k) {
            return Squared(v < lo[k] ? lo[k] - v : v > lo[k] + span ? v - lo[k] - span : 0);
        });
        if (least <= bound) {
            out.push_back(c);
        }
    }
}

}  // namespace

Lookup::Lookup(const DitherLookup& lookup, std::span<const Rgb8> palette, std::size_t pixels, bool boxesOverMap)
    : find_(lookup.find) {
    if (!lookup.byRgbDistance || pixels < kWorthwhile || (!boxesOverMap && !find_.MapCells().empty())) {
        return;
    }
    // The entries the lookup may give are those it gives for their own
    // colour: a reserved entry's colour goes to another entry, and so does
    // that of an entry repeating a lower entry's colour.
    for (std::size_t e = 0; e < palette.size() && e < kPaletteSize; ++e) {
        candidateOf_[e] = CandidateOf(palette[e], e);
        if (find_(palette[e]) == e) {
            entries_.push_back(candidateOf_[e]);
        }
    }
    if (entries_.empty()) {
        return;
    }
    boxes_.assign(std::size_t{1} << (3 * (8 - kBoxBits)), kUnknown);
    parents_.resize(std::size_t{1} << (3 * (8 - kParentBits)));
}

std::uint32_t Lookup::Settle(Rgb8 color) {
    const auto corner = [&](int bits) {
        const std::int32_t mask = ~((1 << bits) - 1) & 0xff;
        return std::array<std::int32_t, 3>{color.r & mask, color.g & mask, color.b & mask};
    };
    const std::size_t parentIndex = static_cast<std::size_t>(color.r >> kParentBits) << (2 * (8 - kParentBits)) |
                                    static_cast<std::size_t>(color.g >> kParentBits) << (8 - kParentBits) |
                                    static_cast<std::size_t>(color.b >> kParentBits);
    Parent& parent = parents_[parentIndex];
    if (!parent.settled) {
        parent.begin = static_cast<std::uint32_t>(parentPool_.size());
        Reach(corner(kParentBits), (1 << kParentBits) - 1, entries_, parentPool_);
        parent.count = static_cast<std::uint32_t>(parentPool_.size()) - parent.begin;
        parent.settled = true;
    }
    const std::size_t begin = pool_.size();
    Reach(corner(kBoxBits), (1 << kBoxBits) - 1, std::span(parentPool_).subspan(parent.begin, parent.count), pool_);
    const std::size_t count = pool_.size() - begin;
    if (count <= kInline) {
        std::uint32_t word = static_cast<std::uint32_t>(count);
        for (std::size_t k = 0; k < count; ++k) {
            word |= (pool_[begin + k] & 0xff) << (kCountBits * (k + 1));
        }
        pool_.resize(begin);
        return word;
    }
    if (count > kMaxCandidates) {
        pool_.resize(begin);
        return 0;
    }
    return static_cast<std::uint32_t>(begin) << kCountBits | static_cast<std::uint32_t>(count);
}

}  // namespace paltab::dither
