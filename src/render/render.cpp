// Table pictures: cell geometry, PNG encoding through libpng's simplified
// API (no setjmp in our code), and the index page.
#include "render/render.hpp"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "io/file_io.hpp"

namespace paltab {
namespace {

constexpr int kMapPlaneSize = static_cast<int>(kCellsPerAxis) * kMapCellSize;
constexpr int kPlaneRows = static_cast<int>(kCellsPerAxis) / kPlanesAcross;
constexpr int kPaletteColumns = 16;
// Checker squares: big enough to read in a swatch, one pixel elsewhere so
// that even a small cell shows the pattern.
constexpr int kSwatchCheck = 4;
constexpr int kCellCheck = 1;

// Fills the square of `size` pixels at (x0, y0) with the colour of entry
// `index`, or the checkerboard when it is unused.
void FillCell(RgbImage& image, const ColorTableView& view, std::uint8_t index, int x0, int y0, int size, int check) {
    const std::optional<Rgb8> color = view.Color(index);
    for (int y = y0; y < y0 + size; ++y) {
        for (int x = x0; x < x0 + size; ++x) {
            image.Set(x, y, color ? *color : ((x / check + y / check) % 2 == 0 ? kCheckerLight : kCheckerDark));
        }
    }
}

std::string HtmlEscaped(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        switch (c) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        default: escaped += c;
        }
    }
    return escaped;
}

std::string IndexPage(std::string_view heading, const std::vector<NamedPicture>& pictures) {
    const std::string title = HtmlEscaped(heading);
    std::string page =
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" + title +
        "</title>\n<style>\nbody { font-family: sans-serif; margin: 1em; }\n"
        "figure { display: inline-block; vertical-align: top; margin: 0 2em 2em 0; }\n"
        "img { image-rendering: pixelated; border: 1px solid #888; }\n"
        "figcaption { max-width: 32em; margin-top: 0.5em; }\n</style>\n</head>\n<body>\n<h1>" +
        title + "</h1>\n";
    for (const NamedPicture& picture : pictures) {
        page += "<figure>\n<img src=\"" + picture.file + "\" width=\"" + std::to_string(picture.image.width) +
                "\" height=\"" + std::to_string(picture.image.height) +
                "\" alt=\"" + picture.file + "\">\n<figcaption><b>" + picture.file + "</b>: " + picture.caption +
                "</figcaption>\n</figure>\n";
    }
    return page + "</body>\n</html>\n";
}

// Makes `directory` unless it exists already (`made` says whether it was
// made); anything else at that path is an error.
Status MakeDirectory(const std::string& directory, bool& made) {
    made = ::mkdir(directory.c_str(), 0777) == 0;
    if (made) {
        return {};
    }
    int cause = errno;
    if (cause == EEXIST) {
        struct stat status {};
        if (::stat(directory.c_str(), &status) != 0) {
            cause = errno;
        } else {
            cause = S_ISDIR(status.st_mode) ? 0 : ENOTDIR;
        }
    }
    if (cause != 0) {
        return CannotWrite(directory, Error{"", std::strerror(cause), ErrorKind::kIo});
    }
    return {};
}

// Writes every file of `files` (name, bytes) into `directory`, all or none:
// each is written whole into a fresh directory inside it, and only when all
// are written are they renamed into place, so that a failure part way (a
// full disk) leaves the previous files as they were; a rename within one
// file system needs no space. The error names the file as the caller knows
// it.
Status WriteFileGroup(const std::string& directory,
                      const std::vector<std::pair<std::string, std::vector<std::uint8_t>>>& files) {
    std::string staging = directory + "/.render.XXXXXX";
    if (::mkdtemp(staging.data()) == nullptr) {
        return CannotWrite(directory, Error{"", std::strerror(errno), ErrorKind::kIo});
    }
    std::size_t staged = 0;
    Status status;
    for (; status && staged < files.size(); ++staged) {
        const std::string path = staging + "/" + files[staged].first;
        status = WriteFileBytes(path, files[staged].second);
        if (!status) {
            // Named as the caller knows the file, not by its staged name.
            status = CannotWrite(directory + "/" + files[staged].first, std::move(status).error());
            ::unlink(path.c_str());
        }
    }
    std::size_t moved = 0;
    for (; status && moved < staged; ++moved) {
        const std::string& name = files[moved].first;
        if (::rename((staging + "/" + name).c_str(), (directory + "/" + name).c_str()) != 0) {
            status = CannotWrite(directory + "/" + name, Error{"", std::strerror(errno), ErrorKind::kIo});
            break;
        }
    }
    for (std::size_t i = moved; i < staged; ++i) {
        ::unlink((staging + "/" + files[i].first).c_str());
    }
    ::rmdir(staging.c_str());
    if (status) {
        // Makes the renames durable; the files are complete either way.
        const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            (void)::fsync(fd);
            ::close(fd);
        }
    }
    return status;
}

}  // namespace

RgbImage::RgbImage(int w, int h, Rgb8 fill) : width(w), height(h), pixels(static_cast<std::size_t>(w * h) * 3) {
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            Set(x, y, fill);
        }
    }
}

Rgb8 RgbImage::At(int x, int y) const {
    const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    return {pixels[at], pixels[at + 1], pixels[at + 2]};
}

void RgbImage::Set(int x, int y, Rgb8 color) {
    const std::size_t at = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)) * 3;
    pixels[at] = color.r;
    pixels[at + 1] = color.g;
    pixels[at + 2] = color.b;
}

RgbImage RenderPalette(const ColorTableView& view) {
    constexpr int side = kPaletteColumns * kSwatchSize;
    RgbImage image(side, side, kBackground);
    for (int i = 0; i < static_cast<int>(kPaletteSize); ++i) {
        FillCell(image, view, static_cast<std::uint8_t>(i), i % kPaletteColumns * kSwatchSize,
                 i / kPaletteColumns * kSwatchSize, kSwatchSize, kSwatchCheck);
    }
    return image;
}

RgbImage RenderMap(const ColorTableView& view) {
    constexpr int width = kPlanesAcross * kMapPlaneSize + (kPlanesAcross - 1) * kPlaneGap;
    constexpr int height = kPlaneRows * kMapPlaneSize + (kPlaneRows - 1) * kPlaneGap;
    RgbImage image(width, height, kBackground);
    for (std::size_t cell = 0; cell < kCellCount; ++cell) {
        const CellPosition at = CellComponents(cell);
        const int planeX = at.r5 % kPlanesAcross * (kMapPlaneSize + kPlaneGap);
        const int planeY = at.r5 / kPlanesAcross * (kMapPlaneSize + kPlaneGap);
        FillCell(image, view, view.MapCell(cell), planeX + at.b5 * kMapCellSize, planeY + at.g5 * kMapCellSize,
                 kMapCellSize, kCellCheck);
    }
    return image;
}

std::optional<RgbImage> RenderPairTable(const ColorTableView& view, TableSection table) {
    constexpr int side = static_cast<int>(kPaletteSize) * kPairCellSize;
    RgbImage image(side, side, kBackground);
    for (int row = 0; row < 256; ++row) {
        for (int column = 0; column < 256; ++column) {
            const auto index = view.PairTable(table, static_cast<std::uint8_t>(row), static_cast<std::uint8_t>(column));
            if (!index) {
                return std::nullopt;
            }
            FillCell(image, view, *index, column * kPairCellSize, row * kPairCellSize, kPairCellSize, kCellCheck);
        }
    }
    return image;
}

Result<std::vector<std::uint8_t>> EncodePng(const RgbImage& image) {
    png_image png;
    std::memset(&png, 0, sizeof png);
    png.version = PNG_IMAGE_VERSION;
    png.width = static_cast<png_uint_32>(image.width);
    png.height = static_cast<png_uint_32>(image.height);
    png.format = PNG_FORMAT_RGB;
    // The first call measures, the second writes.
    png_alloc_size_t size = 0;
    const auto failed = [&] {
        Error error{"", png.message, ErrorKind::kOutput};
        png_image_free(&png);
        return error;
    };
    if (png_image_write_to_memory(&png, nullptr, &size, 0, image.pixels.data(), 0, nullptr) == 0) {
        return failed();
    }
    std::vector<std::uint8_t> bytes(size);
    if (png_image_write_to_memory(&png, bytes.data(), &size, 0, image.pixels.data(), 0, nullptr) == 0) {
        return failed();
    }
    bytes.resize(size);
    return bytes;
}

Status WritePreviews(const ColorTableView& view, std::string_view tablesName, const std::string& directory,
                     std::vector<std::string>& written) {
    std::vector<NamedPicture> pictures;
    pictures.push_back({"palette.png",
                        "the 256 palette entries, index 0 at the top left, 16 to a row; unused entries are "
                        "checked grey.",
                        RenderPalette(view)});
    pictures.push_back({"map.png",
                        "the inverse colour map: its 32 red planes (red 0 at the top left, 8 to a row), green down "
                        "and blue across in each plane, every cell in the colour of the entry it gives.",
                        RenderMap(view)});
    if (view.HasExtension()) {
        pictures.push_back({"shade.png",
                            "the shade table: one row per colour, one column per level (0 black at the left, "
                            "128 the colour, 255 nearly white at the right).",
                            *RenderPairTable(view, TableSection::kShade)});
        pictures.push_back({"add.png", "the additive blend table: row a, column b, the entry for a + b.",
                            *RenderPairTable(view, TableSection::kAdditive)});
        pictures.push_back({"mul.png", "the multiplicative blend table: row a, column b, the entry for a × b.",
                            *RenderPairTable(view, TableSection::kMultiplicative)});
    }
    return WritePictures(pictures, "Tables of " + std::string(tablesName), directory, written);
}

Status WritePictures(const std::vector<NamedPicture>& pictures, std::string_view heading, const std::string& directory,
                     std::vector<std::string>& written) {
    std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
    for (const NamedPicture& picture : pictures) {
        auto png = EncodePng(picture.image);
        if (!png) {
            return CannotWrite(directory + "/" + picture.file, std::move(png).error());
        }
        files.emplace_back(picture.file, std::move(*png));
    }
    const std::string page = IndexPage(heading, pictures);
    files.emplace_back("index.html", std::vector<std::uint8_t>(page.begin(), page.end()));
    bool made = false;
    if (Status status = MakeDirectory(directory, made); !status) {
        return status;
    }
    if (Status status = WriteFileGroup(directory, files); !status) {
        if (made) {
            ::rmdir(directory.c_str());
        }
        return status;
    }
    for (const auto& file : files) {
        written.push_back(directory + "/" + file.first);
    }
    return {};
}

}  // namespace paltab
