// 8-bit indexed PNG files written without libpng: rows filtered here (in
// parallel, each row depends only on the unfiltered image), the one zlib
// stream compressed by libdeflate in one call, chunks framed with its CRC-32.
#include "image/png_fast.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>
#include <thread>

namespace paltab {
namespace {

constexpr std::array<std::uint8_t, 8> kSignature{137, 80, 78, 71, 13, 10, 26, 10};
// The zlib stream is cut into IDAT chunks of this size.
constexpr std::size_t kIdatChunk = std::size_t{1} << 18;
constexpr std::uint8_t kBitDepth = 8;
constexpr std::uint8_t kPaletteColorType = 3;

void PutBe32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    out.push_back(static_cast<std::uint8_t>(value >> 24));
    out.push_back(static_cast<std::uint8_t>(value >> 16));
    out.push_back(static_cast<std::uint8_t>(value >> 8));
    out.push_back(static_cast<std::uint8_t>(value));
}

void PutChunk(std::vector<std::uint8_t>& out, const char (&type)[5], std::span<const std::uint8_t> data) {
    PutBe32(out, static_cast<std::uint32_t>(data.size()));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    PutBe32(out, static_cast<std::uint32_t>(libdeflate_crc32(0, out.data() + start, data.size() + 4)));
}

std::uint8_t PaethPredictor(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return static_cast<std::uint8_t>(pa <= pb && pa <= pc ? a : pb <= pc ? b : c);
}

// The usual cost of a filtered row: the sum of its bytes read as signed.
unsigned Cost(std::uint8_t value) {
    return value < 128 ? value : 256u - value;
}

// Writes `row` (one byte per pixel) filtered to `out` (filter byte first).
// `above` is the unfiltered row above, or nothing for the first row.
void FilterRow(const std::uint8_t* row, const std::uint8_t* above, std::size_t width, RowFilters filters,
               std::uint8_t* out) {
    if (filters == RowFilters::kNone) {
        out[0] = 0;
        std::copy(row, row + width, out + 1);
        return;
    }
    const auto up = [&](std::size_t x) -> int { return above != nullptr ? above[x] : 0; };
    const auto left = [&](std::size_t x) -> int { return x > 0 ? row[x - 1] : 0; };
    const auto upLeft = [&](std::size_t x) -> int { return x > 0 && above != nullptr ? above[x - 1] : 0; };
    std::array<unsigned, 5> cost{};
    for (std::size_t x = 0; x < width; ++x) {
        cost[0] += Cost(row[x]);
        cost[1] += Cost(static_cast<std::uint8_t>(row[x] - left(x)));
        cost[2] += Cost(static_cast<std::uint8_t>(row[x] - up(x)));
        cost[3] += Cost(static_cast<std::uint8_t>(row[x] - ((left(x) + up(x)) >> 1)));
        cost[4] += Cost(static_cast<std::uint8_t>(row[x] - PaethPredictor(left(x), up(x), upLeft(x))));
    }
    const auto filter = static_cast<std::uint8_t>(std::min_element(cost.begin(), cost.end()) - cost.begin());
    out[0] = filter;
    for (std::size_t x = 0; x < width; ++x) {
        int prediction = 0;
        switch (filter) {
            case 1: prediction = left(x); break;
            case 2: prediction = up(x); break;
            case 3: prediction = (left(x) + up(x)) >> 1; break;
            case 4: prediction = PaethPredictor(left(x), up(x), upLeft(x)); break;
            default: break;
        }
        out[x + 1] = static_cast<std::uint8_t>(row[x] - prediction);
    }
}

// The filtered image data, rows shared out among threads.
std::vector<std::uint8_t> FilterRows(std::size_t width, std::size_t height, std::span<const std::uint8_t> indices,
                                     RowFilters filters, unsigned threads) {
    std::vector<std::uint8_t> filtered(height * (width + 1));
    const auto band = [&](std::size_t first, std::size_t last) {
        for (std::size_t y = first; y < last; ++y) {
            const std::uint8_t* row = indices.data() + y * width;
            FilterRow(row, y > 0 ? row - width : nullptr, width, filters, filtered.data() + y * (width + 1));
        }
    };
    if (threads == 0) {
        threads = std::max(1u, std::thread::hardware_concurrency());
    }
    // Copying rows gains nothing from threads; filtering small images neither.
    if (filters == RowFilters::kNone || threads == 1 || height * width < (std::size_t{1} << 16)) {
        band(0, height);
        return filtered;
    }
    threads = static_cast<unsigned>(std::min<std::size_t>(threads, height));
    {
        std::vector<std::jthread> workers;
        for (unsigned t = 1; t < threads; ++t) {
            workers.emplace_back(band, height * t / threads, height * (t + 1) / threads);
        }
        band(0, height / threads);
    }  // the workers are joined here, before the rows are handed on
    return filtered;
}

struct CompressorDeleter {
    void operator()(libdeflate_compressor* c) const { libdeflate_free_compressor(c); }
};

}  // namespace

Result<std::vector<std::uint8_t>> EncodeIndexedPngFast(int width, int height, std::span<const std::uint8_t> indices,
                                                       std::span<const Rgb8> palette,
                                                       std::optional<int> transparentIndex,
                                                       const IndexedPngSettings& settings,
                                                              std::optional<ImageOffsets> offsets) {
    if (Status checked = CheckIndexedPngArguments(width, height, indices, palette, transparentIndex); !checked) {
        return std::move(checked).error();
    }
    if (settings.level < 1 || settings.level > 12) {
        return Error{"", "compression level " + std::to_string(settings.level) + " is not 1 to 12",
                     ErrorKind::kBadSettings};
    }

    const std::vector<std::uint8_t> filtered =
        FilterRows(static_cast<std::size_t>(width), static_cast<std::size_t>(height), indices, settings.filters,
                   settings.threads);
    const std::unique_ptr<libdeflate_compressor, CompressorDeleter> compressor(
        libdeflate_alloc_compressor(settings.level));
    if (!compressor) {
        return Error{"", "out of memory", ErrorKind::kOutput};
    }
    std::vector<std::uint8_t> stream(libdeflate_zlib_compress_bound(compressor.get(), filtered.size()));
    stream.resize(libdeflate_zlib_compress(compressor.get(), filtered.data(), filtered.size(), stream.data(),
                                           stream.size()));
    if (stream.empty()) {
        return Error{"", "cannot encode the PNG: compression failed", ErrorKind::kOutput};
    }

    std::vector<std::uint8_t> out(kSignature.begin(), kSignature.end());
    out.reserve(stream.size() + stream.size() / kIdatChunk * 12 + 2048);
    std::vector<std::uint8_t> ihdr;
    PutBe32(ihdr, static_cast<std::uint32_t>(width));
    PutBe32(ihdr, static_cast<std::uint32_t>(height));
    ihdr.insert(ihdr.end(), {kBitDepth, kPaletteColorType, 0, 0, 0});
    PutChunk(out, "IHDR", ihdr);
    std::vector<std::uint8_t> plte;
    for (const Rgb8 c : palette) {
        plte.insert(plte.end(), {c.r, c.g, c.b});
    }
    PutChunk(out, "PLTE", plte);
    // tRNS lists the alpha of entries 0..transparent; the rest stay opaque.
    if (transparentIndex) {
        std::vector<std::uint8_t> trns(static_cast<std::size_t>(*transparentIndex) + 1, 255);
        trns.back() = 0;
        PutChunk(out, "tRNS", trns);
    }
    if (offsets) {
        std::vector<std::uint8_t> grab;
        PutBe32(grab, static_cast<std::uint32_t>(offsets->x));
        PutBe32(grab, static_cast<std::uint32_t>(offsets->y));
        PutChunk(out, "grAb", grab);
    }
    for (std::size_t at = 0; at < stream.size(); at += kIdatChunk) {
        PutChunk(out, "IDAT", std::span(stream).subspan(at, std::min(kIdatChunk, stream.size() - at)));
    }
    PutChunk(out, "IEND", {});
    return out;
}

}  // namespace paltab
