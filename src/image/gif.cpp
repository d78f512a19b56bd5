// GIF through giflib: the first frame of a file in memory, and one frame
// with a 256-colour map and, where there is one, the transparent index in a
// graphic control extension.
#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "image/byte_order.hpp"

namespace paltab {
namespace {

using namespace image_codec;

constexpr int kLargestSide = 0xFFFF;
constexpr int kColourResolution = 8;
constexpr int kGraphicControlSize = 4;

struct MemoryReader {
    Bytes bytes;
    std::size_t at = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int wanted) {
    auto* reader = static_cast<MemoryReader*>(gif->UserData);
    const std::size_t count = std::min(static_cast<std::size_t>(wanted), reader->bytes.size() - reader->at);
    std::memcpy(buffer, reader->bytes.data() + reader->at, count);
    reader->at += count;
    return static_cast<int>(count);
}

int WriteToMemory(GifFileType* gif, const GifByteType* buffer, int count) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(gif->UserData);
    out->insert(out->end(), buffer, buffer + count);
    return count;
}

std::string GiflibCause(int code) {
    const char* text = GifErrorString(code);
    return text != nullptr ? std::string("giflib: ") + text : "giflib error " + std::to_string(code);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};

// The rows of an interlaced frame come in four passes.
std::vector<int> RowOrder(int height, bool interlaced) {
    std::vector<int> order;
    order.reserve(static_cast<std::size_t>(height));
    if (!interlaced) {
        for (int y = 0; y < height; ++y) {
            order.push_back(y);
        }
        return order;
    }
    constexpr int kStart[] = {0, 4, 2, 1};
    constexpr int kStep[] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = kStart[pass]; y < height; y += kStep[pass]) {
            order.push_back(y);
        }
    }
    return order;
}

}  // namespace

Result<IndexedImage> ReadGif(std::span<const std::uint8_t> bytes, std::uint64_t maxPixels) {
    if (DetectImageFormat(bytes) != ImageFormat::kGif) {
        return Error{"", "not a GIF file (no GIF87a or GIF89a signature)"};
    }
    MemoryReader reader{bytes, 0};
    int code = 0;
    const std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&reader, ReadFromMemory, &code));
    const auto fail = [&](std::string cause) {
        return At(reader.at, std::move(cause));
    };
    if (!gif) {
        return fail("bad GIF header (" + GiflibCause(code) + ")");
    }
    std::optional<int> transparent;
    for (;;) {
        GifRecordType record = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &record) == GIF_ERROR) {
            return fail("truncated or corrupt GIF (" + GiflibCause(gif->Error) + ")");
        }
        if (record == TERMINATE_RECORD_TYPE) {
            return fail("the GIF holds no image");
        }
        if (record == EXTENSION_RECORD_TYPE) {
            int function = 0;
            GifByteType* block = nullptr;
            if (DGifGetExtension(gif.get(), &function, &block) == GIF_ERROR) {
                return fail("truncated or corrupt GIF extension (" + GiflibCause(gif->Error) + ")");
            }
            if (function == GRAPHICS_EXT_FUNC_CODE && block != nullptr && block[0] >= kGraphicControlSize) {
                GraphicsControlBlock control{};
                DGifExtensionToGCB(block[0], block + 1, &control);
                transparent.reset();
                if (control.TransparentColor != NO_TRANSPARENT_COLOR) {
                    transparent = control.TransparentColor;
                }
            }
            while (block != nullptr) {
                if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
                    return fail("truncated or corrupt GIF extension (" + GiflibCause(gif->Error) + ")");
                }
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) {
            return fail("corrupt GIF: unknown record");
        }
        break;
    }
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
        return fail("truncated or corrupt GIF image descriptor (" + GiflibCause(gif->Error) + ")");
    }
    const GifImageDesc& frame = gif->Image;
    // The logical screen, the frame clipped to it, as viewers show it. A
    // screen with no area (written by careless encoders) is the frame's own.
    const bool noScreen = gif->SWidth < 1 || gif->SHeight < 1;
    const std::int64_t width = noScreen ? frame.Width : gif->SWidth;
    const std::int64_t height = noScreen ? frame.Height : gif->SHeight;
    const std::size_t left = noScreen ? 0 : static_cast<std::size_t>(frame.Left);
    const std::size_t top = noScreen ? 0 : static_cast<std::size_t>(frame.Top);
    Status size = CheckSize(width, height, maxPixels);
    if (size) {
        size = CheckSize(frame.Width, frame.Height, maxPixels);
    }
    if (!size) {
        return At(6, std::move(size).error());
    }
    const ColorMapObject* map = frame.ColorMap != nullptr ? frame.ColorMap : gif->SColorMap;
    if (map == nullptr || map->ColorCount < 1) {
        return fail("the GIF's first frame has no colour map");
    }
    IndexedImage image;
    image.width = static_cast<int>(width);
    image.height = static_cast<int>(height);
    for (int k = 0; k < std::min<int>(map->ColorCount, kPaletteSize); ++k) {
        image.palette.push_back({map->Colors[k].Red, map->Colors[k].Green, map->Colors[k].Blue});
    }
    const std::size_t colours = image.palette.size();
    if (transparent && static_cast<std::size_t>(*transparent) < colours) {
        image.transparentIndex = transparent;
    }
    const int background = image.transparentIndex ? *image.transparentIndex
                           : static_cast<std::size_t>(gif->SBackGroundColor) < colours ? gif->SBackGroundColor
                                                                                       : 0;
    const std::size_t w = static_cast<std::size_t>(image.width);
    image.indices.assign(w * static_cast<std::size_t>(height), static_cast<std::uint8_t>(background));
    std::vector<GifPixelType> line(static_cast<std::size_t>(frame.Width));
    for (const int y : RowOrder(frame.Height, frame.Interlace)) {
        if (DGifGetLine(gif.get(), line.data(), frame.Width) == GIF_ERROR) {
            return fail("truncated or corrupt GIF image data (" + GiflibCause(gif->Error) + ")");
        }
        const std::size_t row = top + static_cast<std::size_t>(y);
        for (std::size_t x = 0; x < line.size(); ++x) {
            if (line[x] >= colours) {
                return fail("pixel " + std::to_string(x) + "," + std::to_string(y) + " of the first frame has index " +
                            std::to_string(line[x]) + ", outside its " + std::to_string(colours) + "-colour map");
            }
            if (row < static_cast<std::size_t>(height) && left + x < w) {
                image.indices[row * w + left + x] = line[x];
            }
        }
    }
    return image;
}

Result<std::vector<std::uint8_t>> WriteGif(const IndexedImage& image) {
    if (Status writable = CheckWritable(image, kLargestSide, "gif"); !writable) {
        return std::move(writable).error();
    }
    std::vector<std::uint8_t> out;
    int code = 0;
    GifFileType* gif = EGifOpen(&out, WriteToMemory, &code);
    if (gif == nullptr) {
        return Error{"", GiflibCause(code), ErrorKind::kOutput};
    }
    const auto fail = [&](std::string cause) {
        int ignored = 0;
        EGifCloseFile(gif, &ignored);
        return Error{"", std::move(cause), ErrorKind::kOutput};
    };
    const auto failed = [&](const char* what) {
        return fail(std::string("cannot write the GIF's ") + what + " (" + GiflibCause(gif->Error) + ")");
    };
    const std::vector<Rgb8> palette = FullPalette(image.palette);
    ColorMapObject* map = GifMakeMapObject(kPaletteSize, nullptr);
    if (map == nullptr) {
        return fail("out of memory");
    }
    for (std::size_t k = 0; k < kPaletteSize; ++k) {
        map->Colors[k] = {palette[k].r, palette[k].g, palette[k].b};
    }
    EGifSetGifVersion(gif, true);
    const int described = EGifPutScreenDesc(gif, image.width, image.height, kColourResolution, 0, map);
    GifFreeMapObject(map);
    if (described == GIF_ERROR) {
        return failed("screen descriptor");
    }
    if (image.transparentIndex) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.TransparentColor = *image.transparentIndex;
        GifByteType block[kGraphicControlSize];
        EGifGCBToExtension(&control, block);
        if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, kGraphicControlSize, block) == GIF_ERROR) {
            return failed("graphic control extension");
        }
    }
    if (EGifPutImageDesc(gif, 0, 0, image.width, image.height, false, nullptr) == GIF_ERROR) {
        return failed("image descriptor");
    }
    const std::size_t w = static_cast<std::size_t>(image.width);
    std::vector<GifPixelType> line(w);
    for (std::size_t y = 0; y < static_cast<std::size_t>(image.height); ++y) {
        std::copy_n(image.indices.begin() + static_cast<std::ptrdiff_t>(y * w), w, line.begin());
        if (EGifPutLine(gif, line.data(), image.width) == GIF_ERROR) {
            return failed("image data");
        }
    }
    if (EGifCloseFile(gif, &code) == GIF_ERROR) {
        return Error{"", "cannot finish the GIF (" + GiflibCause(code) + ")", ErrorKind::kOutput};
    }
    return out;
}

}  // namespace paltab
