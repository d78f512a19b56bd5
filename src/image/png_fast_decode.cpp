// The common PNGs decoded without libpng: chunks parsed with every length
// and CRC checked (png_fast_chunks.cpp), the IDAT data inflated by
// libdeflate in one call (its size is known from the header), rows
// unfiltered and expanded to RGBA as libpng's transforms in png_decode.cpp
// would. The decoder declines (returns nothing) on anything libpng would
// treat otherwise than plainly, so that its output is always libpng's; the
// caller then runs libpng for the result or message.
#include "image/png_fast.hpp"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "image/png_fast_chunks.hpp"

namespace paltab {
namespace {

using namespace png_fast;


constexpr std::uint8_t kZlibDeflate = 8;
constexpr int kZlibLargestWindowLog = 7;  // 2^(7 + 8): 32 KiB
constexpr std::size_t kRgba = 4;
// Deflate expands at most about 1032 to 1: a header promising more than that
// from the IDAT data at hand is refused before the image is allocated.
constexpr std::size_t kMaxDeflateRatio = 1100;

std::uint8_t Paeth(std::uint8_t a, std::uint8_t b, std::uint8_t c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Undoes the row's filter in place; `previous` is the row above, unfiltered
// (zeros for the first row).
bool Unfilter(std::uint8_t filter, std::uint8_t* row, const std::uint8_t* previous, std::size_t size,
              std::size_t bpp) {
    switch (filter) {
        case 0:
            return true;
        case 1:
            for (std::size_t i = bpp; i < size; ++i) {
                row[i] = static_cast<std::uint8_t>(row[i] + row[i - bpp]);
            }
            return true;
        case 2:
            for (std::size_t i = 0; i < size; ++i) {
                row[i] = static_cast<std::uint8_t>(row[i] + previous[i]);
            }
            return true;
        case 3:
            for (std::size_t i = 0; i < bpp; ++i) {
                row[i] = static_cast<std::uint8_t>(row[i] + (previous[i] >> 1));
            }
            for (std::size_t i = bpp; i < size; ++i) {
                row[i] = static_cast<std::uint8_t>(row[i] + ((row[i - bpp] + previous[i]) >> 1));
            }
            return true;
        case 4:
            for (std::size_t i = 0; i < bpp; ++i) {
                row[i] = static_cast<std::uint8_t>(row[i] + previous[i]);
            }
            for (std::size_t i = bpp; i < size; ++i) {
                row[i] = static_cast<std::uint8_t>(row[i] + Paeth(row[i - bpp], previous[i], previous[i - bpp]));
            }
            return true;
        default:
            return false;
    }
}

#if defined(__SSE2__)
// `size` bytes at `p` (a pixel, or a pixel and a byte past it) in the low
// lanes of 16-bit lanes.
__m128i LoadPixel(const std::uint8_t* p, std::size_t size = 4) {
    std::int32_t word = 0;
    std::memcpy(&word, p, size);
    return _mm_unpacklo_epi8(_mm_cvtsi32_si128(word), _mm_setzero_si128());
}

// Undoes the filter of an RGB (kBpp 3) or RGBA (kBpp 4) row straight into
// RGBA pixels, one pixel a step with its channels side by side in 16-bit
// lanes; `above` is the RGBA row above (nothing for the first row). RGB rows
// get alpha 255. A pixel is read (four bytes, but for the last of a row)
// before it is written, so `out` may overlap `in` as DecodeCommonPng lays
// them out.
template <int kBpp>
bool UnfilterToRgba(std::uint8_t filter, const std::uint8_t* in, const std::uint8_t* above, std::uint8_t* out,
                    std::size_t width) {
    const __m128i zero = _mm_setzero_si128();
    const __m128i low = _mm_set1_epi16(0xFF);
    const std::uint32_t alpha = kBpp == 3 ? 0xFF000000u : 0;
    const auto store = [&](std::uint8_t* to, __m128i pixel) {
        const std::uint32_t word = static_cast<std::uint32_t>(_mm_cvtsi128_si32(_mm_packus_epi16(pixel, zero))) | alpha;
        std::memcpy(to, &word, sizeof word);
    };
    const auto up = [&](std::size_t x) { return above != nullptr ? LoadPixel(above + x * kRgba) : zero; };
    // `step` gives a pixel's value from its filtered bytes, the pixel to its
    // left, the one above and the one above left.
    const auto run = [&](auto step) {
        __m128i left = zero, upLeft = zero;
        for (std::size_t x = 0; x < width; ++x) {
            const __m128i b = up(x);
            const __m128i raw = x + 1 < width ? LoadPixel(in + x * kBpp) : LoadPixel(in + x * kBpp, kBpp);
            left = _mm_and_si128(step(raw, left, b, upLeft), low);
            store(out + x * kRgba, left);
            upLeft = b;
        }
    };
    switch (filter) {
        case 0:
            run([](__m128i raw, __m128i, __m128i, __m128i) { return raw; });
            return true;
        case 1:
            run([](__m128i raw, __m128i a, __m128i, __m128i) { return _mm_add_epi16(raw, a); });
            return true;
        case 2:
            run([](__m128i raw, __m128i, __m128i b, __m128i) { return _mm_add_epi16(raw, b); });
            return true;
        case 3:
            run([](__m128i raw, __m128i a, __m128i b, __m128i) {
                return _mm_add_epi16(raw, _mm_srli_epi16(_mm_add_epi16(a, b), 1));
            });
            return true;
        case 4:
            run([zero](__m128i raw, __m128i a, __m128i b, __m128i c) {
                const auto abs = [zero](__m128i v) { return _mm_max_epi16(v, _mm_sub_epi16(zero, v)); };
                const __m128i bc = _mm_sub_epi16(b, c), ac = _mm_sub_epi16(a, c);
                const __m128i pa = abs(bc), pb = abs(ac), pc = abs(_mm_add_epi16(bc, ac));
                // a where pa <= pb and pa <= pc, else b where pb <= pc, else c.
                const __m128i notA = _mm_or_si128(_mm_cmpgt_epi16(pa, pb), _mm_cmpgt_epi16(pa, pc));
                const __m128i useC = _mm_cmpgt_epi16(pb, pc);
                const __m128i bOrC = _mm_or_si128(_mm_and_si128(useC, c), _mm_andnot_si128(useC, b));
                return _mm_add_epi16(raw, _mm_or_si128(_mm_and_si128(notA, bOrC), _mm_andnot_si128(notA, a)));
            });
            return true;
        default:
            return false;
    }
}
#endif

// One unfiltered row to RGBA, as libpng's expand, tRNS-to-alpha,
// grey-to-RGB and add-alpha transforms give it. False on a palette index
// past the PLTE (libpng warns and draws black; left to it).
bool Expand(const Layout& layout, const std::array<std::array<std::uint8_t, kRgba>, kPaletteSize>& lookup,
            const std::uint8_t* row, std::uint8_t* out) {
    const std::size_t width = layout.width;
    switch (layout.colorType) {
        case kRgbAlpha:
            std::memcpy(out, row, width * kRgba);
            return true;
        case kRgb:
            for (std::size_t x = 0; x < width; ++x, row += 3, out += kRgba) {
                out[0] = row[0];
                out[1] = row[1];
                out[2] = row[2];
                out[3] = 255;
                if (layout.transparentColor && row[0] == layout.transparentColor->r &&
                    row[1] == layout.transparentColor->g && row[2] == layout.transparentColor->b) {
                    out[3] = 0;
                }
            }
            return true;
        case kGrey:
            for (std::size_t x = 0; x < width; ++x, ++row, out += kRgba) {
                out[0] = out[1] = out[2] = row[0];
                out[3] = layout.transparentColor && row[0] == layout.transparentColor->r ? 0 : 255;
            }
            return true;
        case kGreyAlpha:
            for (std::size_t x = 0; x < width; ++x, row += 2, out += kRgba) {
                out[0] = out[1] = out[2] = row[0];
                out[3] = row[1];
            }
            return true;
        case kPalette: {
            std::uint8_t largest = 0;
            for (std::size_t x = 0; x < width; ++x, out += kRgba) {
                largest = std::max(largest, row[x]);
                std::memcpy(out, lookup[row[x]].data(), kRgba);
            }
            return largest < layout.plte.size();
        }
        default:
            return false;
    }
}

// Whether the zlib stream's declared window is one libdeflate may ignore:
// zlib (under libpng) refuses a distance beyond a smaller window, libdeflate
// only one beyond 32 KiB. Small images, whose whole data fits the declared
// window (libpng's writer declares such windows), cannot tell them apart.
bool WindowHolds(std::uint8_t cmf, std::size_t rawSize) {
    const int windowLog = cmf >> 4;
    return (cmf & 0x0F) == kZlibDeflate && windowLog <= kZlibLargestWindowLog &&
           (windowLog == kZlibLargestWindowLog || rawSize <= (std::size_t{1} << (windowLog + 8)));
}

struct DecompressorDeleter {
    void operator()(libdeflate_decompressor* d) const { libdeflate_free_decompressor(d); }
};

}  // namespace

std::optional<DecodedImage> DecodeCommonPng(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    Layout layout;
    if (!ReadChunks(bytes, maxPixels, layout)) {
        return std::nullopt;
    }
    const std::size_t stride = std::size_t{layout.width} * static_cast<std::size_t>(layout.channels);
    const std::size_t rawSize = std::size_t{layout.height} * (stride + 1);
    if (layout.idatSize < 2 || layout.idat.front().empty() || !WindowHolds(layout.idat.front()[0], rawSize) ||
        rawSize / kMaxDeflateRatio > layout.idatSize) {
        return std::nullopt;
    }

    // The zlib stream is usually in one IDAT; otherwise it is gathered.
    std::vector<std::uint8_t> gathered;
    std::span<const std::uint8_t> stream = layout.idat.front();
    if (layout.idat.size() > 1) {
        gathered.reserve(layout.idatSize);
        for (const auto part : layout.idat) {
            gathered.insert(gathered.end(), part.begin(), part.end());
        }
        stream = gathered;
    }
    // The rows are inflated into the end of the image's own memory when they
    // fit there (all but RGBA), and each row is then expanded in place over
    // the rows before it: an output row ends, pixel by pixel, no later than
    // the next pixel of input starts. Saves a second buffer of the image's
    // size and its page faults.
    DecodedImage image;
    image.width = static_cast<int>(layout.width);
    image.height = static_cast<int>(layout.height);
    const std::size_t outStride = std::size_t{layout.width} * kRgba;
    image.rgba.resize(outStride * layout.height);
    if (layout.colorType == kPalette) {
        image.indices.resize(std::size_t{layout.width} * layout.height);
    }
    std::unique_ptr<std::uint8_t[]> separate;
    std::uint8_t* raw = image.rgba.data() + (image.rgba.size() - std::min(rawSize, image.rgba.size()));
    if (rawSize > image.rgba.size()) {
        separate.reset(new std::uint8_t[rawSize]);
        raw = separate.get();
    }
    // Exactly the raw size from exactly the stream: extra or missing data,
    // which libpng reports or tolerates, is left to it.
    const std::unique_ptr<libdeflate_decompressor, DecompressorDeleter> inflater(libdeflate_alloc_decompressor());
    if (!inflater) {
        return std::nullopt;
    }
    std::size_t consumed = 0;
    if (libdeflate_zlib_decompress_ex(inflater.get(), stream.data(), stream.size(), raw, rawSize, &consumed,
                                      nullptr) != LIBDEFLATE_SUCCESS ||
        consumed != stream.size()) {
        return std::nullopt;
    }
    gathered = {};

    std::array<std::array<std::uint8_t, kRgba>, kPaletteSize> lookup{};
    for (std::size_t i = 0; i < layout.plte.size(); ++i) {
        const std::uint8_t alpha = i < layout.plteAlpha.size() ? layout.plteAlpha[i] : 255;
        lookup[i] = {layout.plte[i].r, layout.plte[i].g, layout.plte[i].b, alpha};
    }
    // The unfiltered row above, kept apart: its place is written over.
    std::vector<std::uint8_t> previous(stride, 0);
    const std::size_t bpp = static_cast<std::size_t>(layout.channels);
    for (std::size_t y = 0; y < layout.height; ++y) {
        std::uint8_t* row = raw + y * (stride + 1);
        std::uint8_t* out = image.rgba.data() + y * outStride;
#if defined(__SSE2__)
        // Colour rows are unfiltered straight into the image.
        const std::uint8_t* above = y > 0 ? out - outStride : nullptr;
        if (layout.colorType == kRgb || layout.colorType == kRgbAlpha) {
            const bool done = layout.colorType == kRgb ? UnfilterToRgba<3>(row[0], row + 1, above, out, layout.width)
                                                       : UnfilterToRgba<4>(row[0], row + 1, above, out, layout.width);
            if (!done) {
                return std::nullopt;
            }
            if (layout.transparentColor) {
                const Rgb8 key = *layout.transparentColor;
                for (std::uint8_t* pixel = out; pixel != out + outStride; pixel += kRgba) {
                    pixel[3] = pixel[0] == key.r && pixel[1] == key.g && pixel[2] == key.b ? 0 : 255;
                }
            }
            continue;
        }
#endif
        if (!Unfilter(row[0], row + 1, previous.data(), stride, bpp)) {
            return std::nullopt;
        }
        std::copy(row + 1, row + 1 + stride, previous.begin());
        if (layout.colorType == kPalette) {
            std::copy(previous.begin(), previous.end(), image.indices.begin() + static_cast<std::ptrdiff_t>(y * stride));
        }
        if (!Expand(layout, lookup, previous.data(), out)) {
            return std::nullopt;
        }
    }
    if (layout.colorType == kPalette) {
        image.indexed = true;
        image.plte = std::move(layout.plte);
        image.plteAlpha = std::move(layout.plteAlpha);
    }
    image.offsets = layout.offsets;
    return image;
}

Result<DecodedImage> DecodePngFast(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    if (auto image = DecodeCommonPng(bytes, maxPixels)) {
        return std::move(*image);
    }
    return DecodePng(bytes, maxPixels);
}

}  // namespace paltab
