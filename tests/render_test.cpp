// Table pictures: the PNG files, decoded with libpng, hold exactly the
// colours of the table entries at sampled cells, in the documented geometry.
#include "render/render.hpp"

#include <gtest/gtest.h>
#include <png.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "paltab/color_tables.hpp"
#include "test_palettes.hpp"
#include "test_png.hpp"
#include "test_process.hpp"

namespace paltab {
namespace {

namespace fs = std::filesystem;

// The colour a picture must show for `index`: the stored 6-bit components of
// the file with their top bits repeated below them. Nothing when unused.
std::optional<Rgb8> EntryColor(const std::vector<std::uint8_t>& file, std::uint8_t index) {
    const std::uint8_t* c = &file[3 * std::size_t{index}];
    if (c[0] == 255 && c[1] == 255 && c[2] == 255) {
        return std::nullopt;
    }
    auto expand = [](std::uint8_t v) { return static_cast<std::uint8_t>(v * 4 + v / 16); };
    return Rgb8{expand(c[0]), expand(c[1]), expand(c[2])};
}

// Checks the pixel at (x, y) against entry `index`; an unused entry must show
// the two checker greys at (x, y) and (x + step, y).
void ExpectCell(const RgbPixels& image, int x, int y, int step, const std::vector<std::uint8_t>& file,
                std::uint8_t index, const std::string& where) {
    const auto color = EntryColor(file, index);
    if (color) {
        EXPECT_EQ(image.At(x, y), *color) << where << " index " << int{index};
        return;
    }
    const Rgb8 a = image.At(x, y), b = image.At(x + step, y);
    EXPECT_NE(a, b) << where;
    EXPECT_TRUE((a == kCheckerLight || a == kCheckerDark) && (b == kCheckerLight || b == kCheckerDark)) << where;
}

fs::path Render(const std::string& name, const std::vector<std::uint8_t>& file) {
    const fs::path dir = fs::path(testing::TempDir()) / "render_test" / name;
    fs::remove_all(dir);
    fs::create_directories(dir.parent_path());
    const auto view = ColorTableView::Parse(file);
    EXPECT_TRUE(view);
    std::vector<std::string> written;
    const Status status = WritePreviews(*view, "x<&>.tab", dir.string(), written);
    EXPECT_TRUE(status) << status.error().Message();
    const std::size_t expected = view->HasExtension() ? 6 : 3;
    EXPECT_EQ(written.size(), expected);
    return dir;
}

TEST(WritePreviews, PicturesShowTheTableEntries) {
    for (const auto& [name, palette] : TestPalettes()) {
        if (name != "sixteen" && name != "sparse and odd") {
            continue;
        }
        SCOPED_TRACE(name);
        const std::vector<std::uint8_t> file = GenerateColorTableFile(palette, {.writeExtension = true});
        const fs::path dir = Render(name == "sixteen" ? "sixteen" : "sparse", file);

        // 16 x 16 swatches of 16 pixels.
        const RgbPixels swatches = ReadRgbPng(dir / "palette.png");
        ASSERT_EQ(swatches.width, 256);
        ASSERT_EQ(swatches.height, 256);
        for (int i = 0; i < 256; ++i) {
            const int x = i % 16 * 16, y = i / 16 * 16;
            const auto index = static_cast<std::uint8_t>(i);
            ExpectCell(swatches, x, y, 4, file, index, "swatch");
            ExpectCell(swatches, x + 11, y + 15, 4, file, index, "swatch");
        }

        // Planes of 32 x 32 cells of 4 pixels, 8 to a row, 4 pixels apart.
        const RgbPixels map = ReadRgbPng(dir / "map.png");
        ASSERT_EQ(map.width, 8 * 128 + 7 * 4);
        ASSERT_EQ(map.height, 4 * 128 + 3 * 4);
        for (std::size_t cell = 0; cell < kCellCount; cell += (cell % 2 == 0 ? 97 : 31)) {
            const int r5 = static_cast<int>(cell >> 10), g5 = static_cast<int>(cell >> 5 & 31),
                      b5 = static_cast<int>(cell & 31);
            const int x = r5 % 8 * 132 + b5 * 4, y = r5 / 8 * 132 + g5 * 4;
            ExpectCell(map, x, y, 1, file, file[768 + cell], "map cell " + std::to_string(cell));
            ExpectCell(map, x + 2, y + 3, 1, file, file[768 + cell], "map cell " + std::to_string(cell));
        }
        EXPECT_EQ(map.At(128, 0), kBackground);
        EXPECT_EQ(map.At(0, 131), kBackground);

        // 256 x 256 cells of 2 pixels: row a (or colour), column b (or level).
        const struct {
            const char* file;
            std::size_t offset;
        } pairTables[] = {{"shade.png", 33540}, {"add.png", 99076}, {"mul.png", 164612}};
        for (const auto& table : pairTables) {
            const RgbPixels image = ReadRgbPng(dir / table.file);
            ASSERT_EQ(image.width, 512);
            ASSERT_EQ(image.height, 512);
            for (int k = 0; k < 65536; k += 251) {
                const int row = k / 256, column = k % 256;
                const std::uint8_t index = file[table.offset + static_cast<std::size_t>(k)];
                const std::string where = std::string(table.file) + " " + std::to_string(row) + "," +
                                          std::to_string(column);
                ExpectCell(image, column * 2, row * 2, 1, file, index, where);
                ExpectCell(image, column * 2, row * 2 + 1, 1, file, index, where);
            }
        }

        std::ifstream page(dir / "index.html");
        std::stringstream html;
        html << page.rdbuf();
        for (const char* picture : {"palette.png", "map.png", "shade.png", "add.png", "mul.png"}) {
            EXPECT_NE(html.str().find(std::string("<img src=\"") + picture + "\""), std::string::npos) << picture;
        }
        EXPECT_NE(html.str().find("x&lt;&amp;&gt;.tab"), std::string::npos);
    }
}

TEST(WritePreviews, PlainFileHasNoPairTablesAndErrorsNameTheFile) {
    const std::vector<std::uint8_t> file = GenerateColorTableFile(TestPalettes()[0].second, {});
    const fs::path dir = Render("plain", file);
    EXPECT_TRUE(fs::exists(dir / "map.png"));
    EXPECT_FALSE(fs::exists(dir / "shade.png"));

    const auto view = ColorTableView::Parse(file);
    ASSERT_TRUE(view);
    const std::string nowhere = (dir / "missing" / "deeper").string();
    std::vector<std::string> written;
    const Status missing = WritePreviews(*view, "t.tab", nowhere, written);
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.error().Message(), "cannot write '" + nowhere + "': No such file or directory");
    const std::string notDirectory = (dir / "map.png").string();
    const Status notMade = WritePreviews(*view, "t.tab", notDirectory, written);
    ASSERT_FALSE(notMade);
    EXPECT_EQ(notMade.error().Message(), "cannot write '" + notDirectory + "': Not a directory");
    EXPECT_TRUE(written.empty());
}

// A write that fails part way (here a file size limit that the map picture
// exceeds, after the palette picture was written) leaves the directory as it
// was: a new one is removed, an existing one keeps its earlier pictures.
TEST(WritePreviews, AllOrNone) {
    const std::vector<std::uint8_t> plain = GenerateColorTableFile(TestPalettes()[0].second, {});
    const std::vector<std::uint8_t> extended = GenerateColorTableFile(TestPalettes()[1].second, {.writeExtension = true});
    const fs::path earlier = Render("earlier", plain);
    const std::vector<std::string> earlierFiles = Listing(earlier);
    std::map<std::string, std::string> earlierBytes;
    for (const std::string& name : earlierFiles) {
        earlierBytes[name] = ReadFile((earlier / name).string());
    }
    const fs::path fresh = earlier.parent_path() / "fresh";
    fs::remove_all(fresh);
    const auto view = ColorTableView::Parse(extended);
    ASSERT_TRUE(view);
    ASSERT_GT(fs::file_size(earlier / "map.png"), 4000u);
    ASSERT_LT(fs::file_size(earlier / "palette.png"), 4000u);
    const ChildOutcome outcome = RunInChild([&]() -> ChildOutcome {
        ::signal(SIGXFSZ, SIG_IGN);
        const struct rlimit limit = {4000, 4000};
        if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
            return Skip(ErrnoText("cannot limit the file size"));
        }
        std::string problems;
        for (const fs::path& dir : {earlier, fresh}) {
            std::vector<std::string> written;
            const Status status = WritePreviews(*view, "t.tab", dir.string(), written);
            if (status || !written.empty()) {
                problems += dir.string() + " written; ";
                continue;
            }
            if (const std::string error = status.error().Message();
                error != "cannot write '" + (dir / "map.png").string() + "': File too large") {
                problems += "error: " + error + "; ";
            }
        }
        return {false, problems};
    });
    ASSERT_FALSE(outcome.skipped) << outcome.message;
    EXPECT_EQ(outcome.message, "");
    EXPECT_FALSE(fs::exists(fresh));
    EXPECT_EQ(Listing(earlier), earlierFiles);
    for (const std::string& name : earlierFiles) {
        EXPECT_TRUE(ReadFile((earlier / name).string()) == earlierBytes[name]) << name;
    }
}

TEST(EncodePng, DecodesToTheSamePixels) {
    RgbImage image(3, 2, {1, 2, 3});
    image.Set(2, 1, {250, 0, 128});
    image.Set(0, 1, {0, 255, 7});
    const auto png = EncodePng(image);
    ASSERT_TRUE(png) << png.error().Message();
    const fs::path path = fs::path(testing::TempDir()) / "render_test_small.png";
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png->data()),
                                               static_cast<std::streamsize>(png->size()));
    const RgbPixels decoded = ReadRgbPng(path);
    ASSERT_EQ(decoded.width, 3);
    ASSERT_EQ(decoded.height, 2);
    EXPECT_EQ(decoded.pixels, image.pixels);
}

}  // namespace
}  // namespace paltab
