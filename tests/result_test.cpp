// The library's one error shape: a failure of each family carries the kind
// and the place (line, offset) a caller can act on, and Message() joins the
// file, the place and the cause into the one line a person reads.
#include "paltab/result.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "paltab/dither.hpp"
#include "paltab/exact_map.hpp"
#include "paltab/image_formats.hpp"
#include "paltab/light_tables.hpp"
#include "paltab/lumps.hpp"
#include "paltab/palette_formats.hpp"
#include "paltab/table_reader.hpp"

namespace paltab {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes TextBytes(std::string_view text) {
    return Bytes(text.begin(), text.end());
}

// The error of `result`, or a stand-in that no case expects.
template <class T>
Error ErrorOf(const Result<T>& result) {
    return result ? Error{"", "succeeded", ErrorKind::kIo, "no failure"} : result.error();
}

IndexedImage Image(int width, int height) {
    return {width, height, Bytes(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0),
            {{1, 2, 3}}, std::nullopt, std::nullopt};
}

TEST(Error, MessageJoinsTheFileThePlaceAndTheCause) {
    EXPECT_EQ((Error{"line 7", "expected three numbers", ErrorKind::kBadInput, "cannot read 'x.gpl'"}).Message(),
              "cannot read 'x.gpl': line 7: expected three numbers");
    EXPECT_EQ((Error{"", "No such file or directory", ErrorKind::kIo, "cannot read 'x'"}).Message(),
              "cannot read 'x': No such file or directory");
    EXPECT_EQ((Error{"offset 3", "bad"}).Message(), "offset 3: bad");
    EXPECT_EQ((Error{"", "bad"}).Message(), "bad");
    EXPECT_TRUE(Status{});
    EXPECT_EQ(Status(Error{"", "bad"}).error().cause, "bad");
}

TEST(Error, EveryFamilyNamesTheKindAndThePlace) {
    std::vector<std::string> warnings;
    const Bytes bmp = *WriteBmp(Image(3, 2));
    const Bytes png = *EncodeIndexedPng(3, 2, Bytes(6, 0), std::vector<Rgb8>{{1, 2, 3}}, std::nullopt);
    const std::string missing = "/nonexistent-paltab-dir/x.tab";
    const struct {
        const char* what;
        std::function<Error()> fail;
        ErrorKind kind;
        std::string where;
        std::string file;
    } cases[] = {
        {"a text palette's short line",
         [&] { return ErrorOf(ReadPalette(TextBytes("1 2 3\n4 5\n"), PaletteFormat::kText, {}, warnings)); },
         ErrorKind::kBadInput, "line 2", ""},
        {"an act of the wrong size",
         [&] { return ErrorOf(ReadPalette(Bytes(700, 0), PaletteFormat::kAct, {}, warnings)); },
         ErrorKind::kBadInput, "offset 700", ""},
        {"a PLAYPAL index past its palettes",
         [&] { return ErrorOf(ReadPalette(Bytes(768, 0), PaletteFormat::kPlaypal, {.paletteIndex = 3}, warnings)); },
         ErrorKind::kBadSettings, "", ""},
        {"a palette format never written",
         [&] { return ErrorOf(WritePalette({{{1, 2, 3}}, "", {}}, PaletteFormat::kPlaypal, warnings)); },
         ErrorKind::kBadSettings, "", ""},
        {"a BMP over the pixel limit", [&] { return ErrorOf(ReadBmp(bmp, 5)); }, ErrorKind::kTooLarge, "offset 18",
         ""},
        {"no BMP at all", [&] { return ErrorOf(ReadBmp(TextBytes("GIF89a"), kDefaultMaxImagePixels)); },
         ErrorKind::kBadInput, "", ""},
        {"a PNG over the pixel limit", [&] { return ErrorOf(DecodePng(png, 5)); }, ErrorKind::kTooLarge, "", ""},
        {"a TGA side longer than the format holds", [&] { return ErrorOf(WriteTga(Image(65536, 1))); },
         ErrorKind::kOutput, "", ""},
        {"JPEG as an indexed output", [&] { return ErrorOf(WriteIndexedImage(Image(1, 1), ImageFormat::kJpeg)); },
         ErrorKind::kBadSettings, "", ""},
        {"a short table file", [&] { return ErrorOf(ColorTableView::Parse(Bytes(1000, 0))); }, ErrorKind::kBadInput,
         "offset 1000", ""},
        {"a missing table file", [&] { return ErrorOf(ColorTableFile::Load(missing)); }, ErrorKind::kIo, "",
         "cannot read '" + missing + "'"},
        {"a reserved list past 255", [&] { return ErrorOf(ParseReservedList("0,300")); }, ErrorKind::kBadSettings, "",
         ""},
        {"a map of 4 bits", [&] { return ErrorOf(ExactColorMap::Build(std::vector<Rgb8>{{0, 0, 0}}, 4, {})); },
         ErrorKind::kBadSettings, "", ""},
        {"a light table of no colours", [&] { return ErrorOf(MakeLightTable({}, {})); }, ErrorKind::kBadInput, "",
         ""},
        {"a tint past palette 13", [&] { return ErrorOf(ParseTintOption("14:1,2,3:1/2")); },
         ErrorKind::kBadSettings, "", ""},
        {"a lump of no known size", [&] { return ErrorOf(RecogniseLump(Bytes(5, 0), std::nullopt)); },
         ErrorKind::kBadInput, "", ""},
        {"a PLAYPAL palette past its rows",
         [&] { return ErrorOf(LumpColors(Bytes(2 * 768, 0), {LumpKind::kPlaypal, 2}, 2)); }, ErrorKind::kBadSettings,
         "", ""},
        {"lumps shorter than their kind",
         [&] { return ErrorOf(CompareLump(Bytes(8704, 0), Bytes(100, 0), {LumpKind::kColormap, 34})); },
         ErrorKind::kBadInput, "", ""},
        {"indices that do not fill the image",
         [&] { return ErrorOf(MeasureDitherQuality(2, 1, Bytes(8, 255), {{{0, 0, 0}}}, Bytes(1, 0), {})); },
         ErrorKind::kBadInput, "", ""},
    };
    for (const auto& c : cases) {
        const Error error = c.fail();
        EXPECT_EQ(error.kind, c.kind) << c.what << ": " << error.Message();
        EXPECT_EQ(error.where, c.where) << c.what << ": " << error.Message();
        EXPECT_EQ(error.file, c.file) << c.what << ": " << error.Message();
        EXPECT_FALSE(error.cause.empty()) << c.what;
        EXPECT_EQ(error.Message().find('\n'), std::string::npos) << c.what;
    }
}

}  // namespace
}  // namespace paltab
