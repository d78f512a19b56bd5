// The paltool binary: exit status 0, 1 or 2, help for the tool and each
// command, and errors as one line naming the file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>

#include "paltab/color_tables.hpp"
#include "paltab/light_tables.hpp"
#include "paltab/lumps.hpp"
#include "paltab/translucency_tables.hpp"
#include "paltab/palette_formats.hpp"
#include "paltab/palette_text.hpp"
#include "paltab/table_file.hpp"
#include "paltab/image.hpp"
#include "paltab/image_formats.hpp"
#include "paltab/remap_image.hpp"
#include "render/render.hpp"
#include "test_palettes.hpp"
#include "test_process.hpp"

namespace paltab {
namespace {

namespace fs = std::filesystem;

const fs::path& Dir() {
    static const fs::path dir = [] {
        // One directory per process: CTest may run the tests of this file at once.
        const fs::path d = fs::path(testing::TempDir()) / ("paltool_cli_test." + std::to_string(::getpid()));
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

std::string Path(const std::string& name) {
    return (Dir() / name).string();
}

void WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> FileBytes(const std::string& path) {
    const std::string text = ReadFile(path);
    return {text.begin(), text.end()};
}

ProcessResult RunPaltool(const std::vector<std::string>& args) {
    std::vector<std::string> argv{PALTOOL_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(PALTOOL_EXE, std::move(argv), Dir());
}

class PaltoolCli : public testing::Test {
protected:
    static void SetUpTestSuite() {
        const Palette sixteen = TestPalettes().back().second;
        std::vector<std::uint8_t> extended = GenerateColorTableFile(sixteen, {.writeExtension = true});
        WriteBytes(Path("sixteen-n.tab"), extended);
        WriteBytes(Path("sixteen.tab"), GenerateColorTableFile(sixteen, {}));
        extended[kMapOffset + 100] ^= 1;
        WriteBytes(Path("damaged.tab"), extended);
        extended.resize(kExtendedFileSize - 1);
        WriteBytes(Path("truncated.tab"), extended);
        WriteBytes(Path("fire.gpl"), Text("GIMP Palette\nName: fire\n0 0 0\n255 0 0\n255 0 0\n"));
        WriteBytes(Path("bad.gpl"), Text("GIMP Palette\n#\n1 2 3\n12 300 4\n"));
        WriteBytes(Path("bom.txt"), Text("\xEF\xBB\xBF" "12 34 56\n0 0 0\n"));
        std::string lines;
        for (int i = 0; i < 257; ++i) {
            lines += std::to_string(i % 256) + " 0 0\n";
        }
        WriteBytes(Path("many.txt"), Text(lines));
        // Larger than any other palette file: paltab reads its first 256
        // lines, and verify with it.
        lines += std::string(std::size_t{2} << 20, '#');
        WriteBytes(Path("large.txt"), Text(lines));
        WriteBytes(Path("large.tab"), GenerateColorTableFile(ReadPaletteText(Text(lines)).palette, {}));
    }

    static std::vector<std::uint8_t> Text(std::string_view text) { return {text.begin(), text.end()}; }
};

TEST_F(PaltoolCli, ExitStatusAndMessages) {
    const std::string palette = PALTAB_EXAMPLES_DIR "/sixteen.pal.txt";
    const std::string good = Path("sixteen-n.tab"), plain = Path("sixteen.tab");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;  // a part of the standard output
        std::string err;  // the whole standard error
    } cases[] = {
        {{}, 2, "", "paltool: expected a command; see 'paltool --help'\n"},
        {{"frobnicate"}, 2, "", "paltool: unknown command 'frobnicate'; see 'paltool --help'\n"},
        {{"info", good}, 0, "230148 bytes, with the extension", ""},
        {{"info", plain}, 0, "  map                 768  32768  ", ""},
        {{"info"}, 2, "", "paltool info: expected one TABLES file; see 'paltool info --help'\n"},
        {{"info", good, "--bogus"}, 2, "", "paltool info: unknown option '--bogus'; see 'paltool info --help'\n"},
        {{"info", Path("missing.tab")}, 1, "",
         "paltool: cannot read '" + Path("missing.tab") + "': No such file or directory\n"},
        {{"verify", good}, 0, ": sound, 230148 bytes with the extension", ""},
        {{"verify", good, "--palette", palette}, 0, "matches the tables of '" + palette + "'", ""},
        {{"verify", plain, "--palette", palette}, 0, "matches", ""},
        {{"verify", Path("damaged.tab"), "--palette", palette}, 1, "offset 868, map cell r5 0 g5 3 b5 4: expected",
         ""},
        {{"verify", Path("damaged.tab")}, 0, "sound", ""},
        {{"verify", Path("truncated.tab"), "--palette", palette}, 1, "",
         "paltool: cannot read '" + Path("truncated.tab") +
             "': offset 230147: file ends early; a table file is 33536 or 230148 bytes\n"},
        {{"verify", Path("large.tab"), "--palette", Path("large.txt")}, 0, "matches", ""},
        {{"verify", good, "--palette", Path("missing.txt")}, 1, "",
         "paltool: cannot read '" + Path("missing.txt") + "': No such file or directory\n"},
        {{"verify", good, "-c"}, 2, "", "paltool verify: -c needs --palette; see 'paltool verify --help'\n"},
        {{"verify", good, "--palette"}, 2, "", "paltool verify: --palette needs a value; see 'paltool verify --help'\n"},
        {{"lookup", good, "0,0,0", "--shade", "3:128", "--add", "0:1", "--mul", "3:3"}, 0,
         "0,0,0 #000000 cell r5 0 g5 0 b5 0 -> index 0 #000000 (6-bit 0 0 0)\nshade 3:128 -> index 3 #ffffff", ""},
        {{"lookup", plain, "#FFFFFF"}, 0, "-> index 3 #ffffff", ""},
        {{"lookup", plain, "--shade", "3:4"}, 1, "",
         "paltool: '" + plain + "' has no extension tables (it was written without -n)\n"},
        {{"lookup", good, "1,2"}, 2, "",
         "paltool lookup: bad colour '1,2': expected r,g,b or #rrggbb; see 'paltool lookup --help'\n"},
        {{"lookup", good, "--add", "1:256"}, 2, "",
         "paltool lookup: bad --add '1:256': expected two numbers 0..255 as x:y; see 'paltool lookup --help'\n"},
        {{"lookup", good}, 2, "", "paltool lookup: nothing to look up; see 'paltool lookup --help'\n"},
        {{"render", good, "-o", Path("preview")}, 0, "wrote " + Path("preview") + "/index.html\n", ""},
        {{"render", good}, 2, "", "paltool render: expected one TABLES file and -o DIR; see 'paltool render --help'\n"},
        {{"export", good, "--c-header", Path("t.h"), "--name", "t"}, 0, "wrote " + Path("t.h"), ""},
        {{"export", good, "--c-header", Path("bad.h"), "--name", "my-tables"}, 2, "",
         "paltool export: --name 'my-tables' is not a C identifier; see 'paltool export --help'\n"},
        {{"map", palette, "-o", Path("bad.h"), "--bits", "5", "--c-header", "int"}, 2, "",
         "paltool map: --c-header 'int' is a C or C++ keyword; see 'paltool map --help'\n"},
        {{"map", palette, "-o", Path("bad.h"), "--bits", "5", "--c-header", "linux"}, 2, "",
         "paltool map: --c-header 'linux' is a macro GCC and Clang predefine; see 'paltool map --help'\n"},
        {{"map", palette, "-o", Path("bad.h"), "--bits", "5", "--c-header", "__FILE__"}, 2, "",
         "paltool map: --c-header '__FILE__' is reserved for the compiler; see 'paltool map --help'\n"},
        {{"export", good, "--c-header", Path("nodir/t.h"), "--name", "t"}, 1, "",
         "paltool: cannot write '" + Path("nodir/t.h") + "': No such file or directory\n"},
        {{"build", Path("fire.gpl"), Path("fire.tab"), "-n"}, 0,
         "wrote " + Path("fire.tab") + ": 230148 bytes, 3 colours read as gpl\n",
         "paltool: warning: entry 2 repeats entry 1 (255 0 0) and is never chosen\n"},
        {{"build", Path("fire.gpl"), Path("quiet.tab"), "--quiet"}, 0, "", ""},
        {{"build", Path("bom.txt"), Path("bom.tab")}, 0, "2 colours read as text",
         "paltool: warning: '" + Path("bom.txt") +
             "': paltab would read this file differently, entry 0 as 0 0 0: the file begins with a UTF-8 byte order "
             "mark, which paltab reads as part of the first line\n"},
        {{"build", Path("bad.gpl"), Path("bad.tab")}, 1, "",
         "paltool: cannot read '" + Path("bad.gpl") + "': line 4: expected three numbers 0..255, found \"12 300 4\"\n"},
        {{"build", Path("many.txt"), Path("bad.tab")}, 1, "",
         "paltool: cannot read '" + Path("many.txt") + "': line 257: more than 256 colours\n"},
        {{"build", Path("fire.gpl"), Path("nodir/t.tab")}, 1, "",
         "paltool: warning: entry 2 repeats entry 1 (255 0 0) and is never chosen\n"
         "paltool: cannot write '" + Path("nodir/t.tab") + "': No such file or directory\n"},
        {{"build", Path("fire.gpl"), Path("bad.tab"), "--format", "gif"}, 2, "",
         "paltool build: unknown format 'gif' for --format (the formats: paltool formats); "
         "see 'paltool build --help'\n"},
        {{"build", Path("fire.gpl")}, 2, "",
         "paltool build: expected a PALETTE and a TABLES file; see 'paltool build --help'\n"},
        {{"convert", Path("fire.gpl"), Path("fire.act")}, 0, "wrote " + Path("fire.act") + ": 3 colours, gpl to act\n",
         ""},
        {{"convert", Path("fire.gpl"), Path("fire.pal")}, 0, "wrote " + Path("fire.pal") + ": 3 colours, gpl to jasc\n",
         "paltool: warning: '" + Path("fire.pal") +
             "' is written as jasc (JASC-PAL text), the most common .pal; --to riff, raw or vga writes another\n"},
        {{"convert", Path("fire.gpl"), Path("fire.PAL"), "--quiet"}, 0, "", ""},
        {{"convert", Path("fire.gpl"), Path("fire.pal"), "--to", "raw"}, 0, "gpl to raw\n", ""},
        {{"convert", Path("fire.gpl"), Path("fire.bin")}, 2, "",
         "paltool convert: cannot tell the format to write from the name '" + Path("fire.bin") +
             "'; give --to NAME; see 'paltool convert --help'\n"},
        {{"convert", Path("fire.gpl"), Path("bad.lmp"), "--to", "playpal"}, 2, "",
         "paltool convert: the playpal format is read only; see 'paltool convert --help'\n"},
        {{"formats"}, 0, "\npaintnet  read, write content that reads as one: ; comments, 8-digit lines", ""},
        {{"verify", Path("fire.tab"), "--palette", Path("fire.act")}, 0, "matches", ""},
        {{"verify", Path("fire.tab"), "--palette", Path("fire.act"), "--format", "raw"}, 1, "",
         "paltool: cannot read '" + Path("fire.act") + "': offset 768: more than 256 colours (772 bytes)\n"},
    };
    for (const auto& c : cases) {
        std::string line = "paltool";
        for (const std::string& arg : c.args) {
            line += " " + arg;
        }
        const ProcessResult result = RunPaltool(c.args);
        EXPECT_EQ(result.exitStatus, c.status) << line;
        EXPECT_NE(result.out.find(c.out), std::string::npos) << line << "\n" << result.out;
        EXPECT_EQ(result.err, c.err) << line;
    }
    EXPECT_FALSE(fs::exists(Path("bad.h")));
    EXPECT_FALSE(fs::exists(Path("bad.tab")));
    EXPECT_FALSE(fs::exists(Path("bad.lmp")));
    EXPECT_TRUE(fs::exists(Path("quiet.tab")));
    EXPECT_TRUE(ReadFile(Path("t.h")).starts_with("/* Colour tables for 256-colour graphics, made by `paltool export "));
    EXPECT_TRUE(fs::exists(Path("preview/mul.png")));
    EXPECT_TRUE(RunPaltool({"formats"}).out.ends_with("image\n"));
    EXPECT_TRUE(ReadFile(Path("fire.PAL")).starts_with("JASC-PAL\r\n0100\r\n3\r\n")) << ReadFile(Path("fire.PAL"));
}

// Every command that reports what it did or warns takes --quiet: the same
// run that prints without it prints nothing with it (here a palette whose
// format is a guess, which warns).
TEST_F(PaltoolCli, QuietSilencesEveryCommandThatPrints) {
    std::vector<std::uint8_t> dark;
    for (std::uint8_t i = 0; i < 48; ++i) {
        dark.push_back(static_cast<std::uint8_t>(i + i % 3));
    }
    WriteBytes(Path("dark.pal"), dark);
    const std::string pal = Path("dark.pal"), tab = Path("sixteen-n.tab");
    const struct {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"build", pal, Path("q.tab")}, 0},
        {{"convert", pal, Path("q.gpl")}, 0},
        {{"shade", pal, "-o", Path("q.lmp"), "--levels", "4"}, 0},
        {{"blend", pal, "-o", Path("q.lmp"), "--alpha", "50"}, 0},
        {{"verify", Path("q.lmp"), "--palette", pal, "--alpha", "50"}, 0},
        {{"render", Path("q.lmp"), "-o", Path("q-lump"), "--palette", pal}, 0},
        {{"map", pal, "-o", Path("q.map"), "--bits", "5"}, 0},
        {{"remap", PALTAB_EXAMPLES_DIR "/../docs/remap-source.png", "-o", Path("q.png"), "--palette", pal}, 0},
        {{"render", tab, "-o", Path("q")}, 0},
        {{"export", tab, "--c-header", Path("q.h"), "--name", "q"}, 0},
        {{"verify", tab}, 0},
        {{"verify", tab, "--palette", pal}, 1},
    };
    for (const auto& c : cases) {
        const ProcessResult loud = RunPaltool(c.args);
        EXPECT_EQ(loud.exitStatus, c.status) << c.args[0] << ": " << loud.err;
        EXPECT_FALSE(loud.out.empty() && loud.err.empty()) << c.args[0];
        std::vector<std::string> args = c.args;
        args.push_back("--quiet");
        const ProcessResult quiet = RunPaltool(args);
        EXPECT_EQ(quiet.exitStatus, c.status) << c.args[0] << ": " << quiet.err;
        EXPECT_EQ(quiet.out + quiet.err, "") << c.args[0];
    }
}

// A file name with control characters in it (a newline, a tab, an escape
// sequence) shows them escaped wherever a message names the file, so that
// every message stays one line and the terminal takes no commands from it.
TEST_F(PaltoolCli, ControlCharactersInFileNamesAreEscaped) {
    const std::string palette = PALTAB_EXAMPLES_DIR "/sixteen.pal.txt";
    const std::string odd = Path("a\nb\tc\x1b[31m");
    const std::string shown = Path("a\\x0ab\\x09c\\x1b[31m");
    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;  // a part of the one line on the standard error stream
        std::string out;  // a part of the standard output
    } cases[] = {
        {{odd}, 2, "unknown command '" + shown + "'", ""},
        {{"info", odd + ".tab"}, 1, "cannot read '" + shown + ".tab': No such file", ""},
        {{"formats", odd}, 2, "unexpected argument '" + shown + "'", ""},
        {{"build", odd + ".gpl", Path("x.tab")}, 1, "cannot read '" + shown + ".gpl'", ""},
        {{"build", palette, odd + "/x.tab"}, 1, "cannot write '" + shown + "/x.tab'", ""},
        {{"convert", palette, odd}, 2, "from the name '" + shown + "'", ""},
        {{"shade", odd + ".txt", "-o", Path("x.lmp"), "--levels", "4", "--reserve", "0-15"}, 1,
         "'" + shown + ".txt': no entry can be chosen", ""},
        {{"build", palette, odd + ".tab"}, 0, "", "wrote " + shown + ".tab: "},
        {{"blend", palette, "-o", odd + ".lmp", "--mode", "max"}, 0, "", "wrote " + shown + ".lmp: "},
    };
    WriteBytes(odd + ".txt", FileBytes(palette));
    for (const auto& c : cases) {
        const ProcessResult result = RunPaltool(c.args);
        EXPECT_EQ(result.exitStatus, c.status) << c.err << c.out;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), c.err.empty() ? 0 : 1) << result.err;
        EXPECT_NE(result.out.find(c.out), std::string::npos) << result.out;
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), c.out.empty() ? 0 : 1) << result.out;
    }
    for (const char* extension : {".tab", ".lmp", ".txt"}) {
        fs::remove(odd + extension);
    }
}

// shade and blend write what the library builds for the options given, in
// the layout asked for, and nothing on a usage error or failure.
TEST_F(PaltoolCli, ShadeAndBlendWriteTheLibrarysTables) {
    const std::string palette = PALTAB_EXAMPLES_DIR "/sixteen.pal.txt";
    const std::vector<std::uint8_t> text = FileBytes(palette);
    const PaletteReadResult read = ReadPaletteText(text);
    std::vector<Rgb8> colors;
    for (int i = 0; i < read.colorLines; ++i) {
        const PaletteEntry e = read.palette[static_cast<std::size_t>(i)];
        colors.push_back({static_cast<std::uint8_t>(e.r), static_cast<std::uint8_t>(e.g),
                          static_cast<std::uint8_t>(e.b)});
    }
    LightSettings light;
    light.levels = 12;
    light.fog = {20, 40, 60};
    light.fullbright.set(4);
    light.search.metric = Metric::kOklab;
    light.search.reserved.set(0);
    const auto shade = MakeLightTable(colors, light);
    TranslucencySettings blend;
    blend.alphaPercent = 66;
    blend.search = {Metric::kLinear, true, {}};
    const auto translucency = MakeTranslucencyTable(colors, blend);
    ASSERT_TRUE(shade) << shade.error().Message();
    ASSERT_TRUE(translucency) << translucency.error().Message();

    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;  // the whole standard error stream
        std::size_t size;  // of the output file, 0 for none
    } cases[] = {
        {{"shade", palette, "-o", Path("light.raw"), "--levels", "12", "--fog", "20,40,60", "--fullbright", "4",
          "--metric", "oklab", "--reserve", "0"}, 0, "", 12 * 256},
        {{"blend", palette, "-o", Path("glass.raw"), "--alpha", "66", "--linear"}, 0, "", 65536},
        {{"shade", palette, "-o", Path("COLORMAP.lmp"), "--layout", "doom-colormap"}, 0, "", kDoomColormapSize},
        {{"shade", palette, "-o", Path("palette.dat"), "--levels", "64", "--layout", "build-palette"}, 0, "",
         PaletteDatSize(64)},
        {{"shade", palette, "-o", Path("nolevels"), "--fog", "1,2,3"}, 2,
         "paltool shade: expected --levels N; see 'paltool shade --help'\n", 0},
        {{"shade", palette, "-o", Path("badfog"), "--levels", "4", "--fog", "1,2,300"}, 2,
         "paltool shade: --fog '1,2,300' is not three numbers 0..255 as R,G,B; see 'paltool shade --help'\n", 0},
        {{"shade", palette, "-o", Path("allreserved"), "--levels", "4", "--reserve", "0-15"}, 1,
         "paltool: '" + palette +
             "': no entry can be chosen: every colour of the palette is reserved or fullbright\n",
         0},
        {{"blend", palette, "-o", Path("nomode")}, 2,
         "paltool blend: expected --alpha PERCENT or --mode MODE; see 'paltool blend --help'\n", 0},
        {{"blend", palette, "-o", Path("badalpha"), "--alpha", "101"}, 2,
         "paltool blend: --alpha '101' is not a whole percent 0..100; see 'paltool blend --help'\n", 0},
        {{"blend", palette, "-o", Path("badmetric"), "--mode", "add", "--metric", "cmyk"}, 2,
         "paltool blend: --metric 'cmyk' is not rgb, linear or oklab; see 'paltool blend --help'\n", 0},
    };
    for (const auto& c : cases) {
        const ProcessResult result = RunPaltool(c.args);
        EXPECT_EQ(result.exitStatus, c.status) << c.args[0] << " " << c.args[3];
        EXPECT_EQ(result.err, c.err);
        if (c.size == 0) {
            EXPECT_FALSE(fs::exists(c.args[3]));
            continue;
        }
        // One summary line: what was written and the distances.
        EXPECT_TRUE(result.out.starts_with("wrote " + c.args[3] + ": ")) << result.out;
        EXPECT_NE(result.out.find(" distance to the target"), std::string::npos) << result.out;
        EXPECT_EQ(std::count(result.out.begin(), result.out.end(), '\n'), 1) << result.out;
        EXPECT_EQ(FileBytes(c.args[3]).size(), c.size) << c.args[3];
    }
    EXPECT_EQ(FileBytes(Path("light.raw")), shade->bytes);
    EXPECT_EQ(FileBytes(Path("glass.raw")),
              std::vector<std::uint8_t>(translucency->bytes.begin(), translucency->bytes.end()));
}

std::vector<Rgb8> ExampleColors(const std::string& path) {
    const std::string text = ReadFile(path);
    const PaletteReadResult read = ReadPaletteText(std::vector<std::uint8_t>(text.begin(), text.end()));
    std::vector<Rgb8> colors;
    for (int i = 0; i < read.colorLines; ++i) {
        const PaletteEntry e = read.palette[static_cast<std::size_t>(i)];
        colors.push_back({static_cast<std::uint8_t>(e.r), static_cast<std::uint8_t>(e.g),
                          static_cast<std::uint8_t>(e.b)});
    }
    return colors;
}

// Boom draws a translucent column as tranmap[behind * 256 + front], the
// front colour weighted by tran_filter_pct; Build its translucency table the
// same way round. Each table is checked against a plain full search in exact
// integers written here from that convention: the target n / q, the lowest
// index among the nearest.
TEST_F(PaltoolCli, TranslucencyTablesAreIndexedBehindTimes256PlusFront) {
    const struct {
        std::string palette;
        std::vector<std::string> options;
        int percent;  // the front colour's weight; -1 for subtract
        std::size_t offset;  // of the table in the file
    } cases[] = {
        {"sixteen.pal.txt", {"--alpha", "66"}, 66, 0},
        {"default.pal.txt", {"--alpha", "66"}, 66, 0},
        {"default.pal.txt", {"--alpha", "25"}, 25, 0},
        {"sixteen.pal.txt", {"--mode", "subtract"}, -1, 0},
        {"sixteen.pal.txt", {"--levels", "2", "--layout", "build-palette"}, 50, PaletteDatSize(2) - 65536},
    };
    for (const auto& c : cases) {
        const std::string palette = PALTAB_EXAMPLES_DIR "/" + c.palette;
        std::vector<std::string> args{c.offset == 0 ? "blend" : "shade", palette, "-o", Path("tranmap.lmp")};
        args.insert(args.end(), c.options.begin(), c.options.end());
        const ProcessResult result = RunPaltool(args);
        ASSERT_EQ(result.exitStatus, 0) << result.err;
        const std::vector<std::uint8_t> file = FileBytes(Path("tranmap.lmp"));
        ASSERT_EQ(file.size(), c.offset + 65536);
        const std::vector<Rgb8> colors = ExampleColors(palette);
        const std::size_t count = colors.size();
        std::size_t differ = 0;
        for (std::size_t behind = 0; behind < 256; ++behind) {
            for (std::size_t front = 0; front < 256; ++front) {
                std::size_t expected = behind >= count && front < count ? front : behind;
                if (behind < count && front < count) {
                    const Rgb8 f = colors[front], b = colors[behind];
                    const std::int64_t q = c.percent < 0 ? 1 : 100;
                    const auto target = [&](int fv, int bv) -> std::int64_t {
                        return c.percent < 0 ? std::max(bv - fv, 0) : fv * c.percent + bv * (100 - c.percent);
                    };
                    const std::array<std::int64_t, 3> n{target(f.r, b.r), target(f.g, b.g), target(f.b, b.b)};
                    std::int64_t best = INT64_MAX;
                    for (std::size_t e = 0; e < count; ++e) {
                        const std::int64_t dr = colors[e].r * q - n[0], dg = colors[e].g * q - n[1],
                                           db = colors[e].b * q - n[2];
                        if (dr * dr + dg * dg + db * db < best) {
                            best = dr * dr + dg * dg + db * db;
                            expected = e;
                        }
                    }
                }
                if (file[c.offset + behind * 256 + front] != expected && differ++ < 3) {
                    ADD_FAILURE() << c.palette << " " << c.options[1] << ": behind " << behind << " front " << front
                                  << " holds " << int{file[c.offset + behind * 256 + front]} << ", expected "
                                  << expected;
                }
            }
        }
        EXPECT_EQ(differ, 0u) << c.palette << " " << c.options[1];
    }
}

// The lumps of games in info, render and verify: recognised by size or by
// --as; a lump made by shade, blend or playpal verifies against the same
// settings, and a copy with three cells changed shows exactly those;
// render's pictures decode.
TEST_F(PaltoolCli, LumpsInInfoRenderAndVerify) {
    const std::string palette = PALTAB_EXAMPLES_DIR "/sixteen.pal.txt";
    const std::string colormap = Path("COLORMAP.lmp"), tranmap = Path("TRANMAP.lmp"), playpal = Path("PLAYPAL.lmp"),
                      dat = Path("palette.dat"), light = Path("fog.lmp"), altered = Path("altered.lmp");
    for (const std::vector<std::string>& made : std::vector<std::vector<std::string>>{
             {"shade", palette, "-o", colormap, "--layout", "doom-colormap", "--fullbright", "15"},
             {"blend", palette, "-o", tranmap, "--alpha", "66"},
             {"playpal", palette, "-o", playpal, "--tint", "13:0,128,255:1/4"},
             {"shade", palette, "-o", dat, "--levels", "8", "--layout", "build-palette"},
             {"shade", palette, "-o", light, "--levels", "4", "--fog", "20,40,60"}}) {
        std::vector<std::string> args = made;
        args.push_back("--quiet");
        ASSERT_EQ(RunPaltool(args).exitStatus, 0) << made[0] << " " << made[3];
    }
    std::vector<std::uint8_t> bytes = FileBytes(colormap);
    const std::size_t changed[] = {2 * 256 + 7, 31 * 256 + 3, 32 * 256 + 12};
    for (const std::size_t at : changed) {
        bytes[at] = static_cast<std::uint8_t>((bytes[at] + 1) % 16);
    }
    WriteBytes(altered, bytes);
    WriteBytes(Path("odd.lmp"), std::vector<std::uint8_t>(1000));
    const std::vector<Rgb8> colors = ExampleColors(palette);
    const auto cell = [&](std::size_t at) {
        const std::uint8_t expected = FileBytes(colormap)[at], found = bytes[at];
        char text[64];
        std::snprintf(text, sizeof text, ": expected %d #%02x%02x%02x, found %d #%02x%02x%02x\n", expected,
                      colors[expected].r, colors[expected].g, colors[expected].b, found, colors[found].r,
                      colors[found].g, colors[found].b);
        return std::string(text);
    };

    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;  // a part of the standard output
        std::string err;  // the whole standard error
    } cases[] = {
        {{"info", colormap}, 0, colormap + ": Doom COLORMAP, 8704 bytes", ""},
        {{"info", colormap}, 0, "(fullbright-looking): 0, 15, 16, 17,", ""},
        {{"info", colormap, "--as", "light"}, 0, "light table, 8704 bytes: 34 levels", ""},
        {{"info", tranmap}, 0, "TRANMAP, 65536 bytes", ""},
        {{"info", tranmap, "--as", "light"}, 0, "light table, 65536 bytes: 256 levels", ""},
        {{"info", playpal}, 0, "palette 13: 256 of 256 entries differ from palette 0 towards 0 255 0 by 1/5", ""},
        {{"info", playpal, "--as", "light"}, 0, "42 levels", ""},
        {{"info", dat}, 0, "Build palette.dat, 68354 bytes: the palette at 6 bits, 8 light levels", ""},
        {{"info", light}, 0, "light table, 1024 bytes: 4 levels", ""},
        {{"info", light, "--as", "colormap"}, 1, "",
         "paltool: cannot read '" + light + "': 1024 bytes, not the 8704 of a COLORMAP (--as colormap)\n"},
        {{"info", light, "--as", "flat"}, 2, "",
         "paltool info: --as 'flat' is not one of colormap, tranmap, playpal, build-palette, light; see 'paltool "
         "info --help'\n"},
        {{"info", Path("odd.lmp")}, 1, "",
         "paltool: cannot read '" + Path("odd.lmp") +
             "': offset 1000: file ends early; a table file is 33536 or 230148 bytes\n"},
        {{"verify", colormap, "--palette", palette, "--fullbright", "15"}, 0,
         colormap + ": matches the COLORMAP rebuilt from '" + palette + "' (8704 cells)\n", ""},
        {{"verify", colormap, "--palette", palette}, 1, "cells differ", ""},
        {{"verify", altered, "--palette", palette, "--fullbright", "15"}, 1,
         "3 of 8704 cells differ; worst rows: light row 2 (1), light row 31 (1), grey row 32 (1)\n"
         "  light row 2, entry 7" + cell(changed[0]) + "  light row 31, entry 3" + cell(changed[1]) +
             "  grey row 32, entry 12" + cell(changed[2]),
         ""},
        {{"verify", tranmap, "--palette", palette, "--alpha", "66"}, 0, "matches the TRANMAP", ""},
        {{"verify", tranmap, "--palette", palette, "--mode", "add"}, 1, "cells differ", ""},
        {{"verify", playpal, "--tint", "13:0,128,255:1/4"}, 0, "matches the PLAYPAL rebuilt from its palette 0", ""},
        {{"verify", playpal}, 1, "256 of 3584 cells differ; worst rows: playpal palette 13 (256)", ""},
        {{"verify", dat, "--palette", palette}, 0, "matches the palette.dat", ""},
        {{"verify", light, "--palette", palette, "--fog", "20,40,60"}, 0, "matches the light table", ""},
        {{"verify", light, "--palette", palette, "--fog", "20,40,60", "--metric", "oklab"}, 1, "cells differ", ""},
        {{"verify", tranmap, "--palette", palette}, 2, "",
         "paltool verify: expected --alpha PERCENT or --mode MODE; see 'paltool verify --help'\n"},
        {{"verify", colormap, "--palette", palette, "--alpha", "50"}, 2, "",
         "paltool verify: --alpha does not apply to a COLORMAP; see 'paltool verify --help'\n"},
        {{"verify", colormap}, 2, "",
         "paltool verify: a COLORMAP is rebuilt from a palette: give --palette PALETTE; see 'paltool verify "
         "--help'\n"},
        {{"verify", colormap, "--palette", palette, "-c"}, 2, "",
         "paltool verify: -c applies to table files, not to a COLORMAP; see 'paltool verify --help'\n"},
        {{"verify", Path("sixteen.tab"), "--fog", "1,2,3"}, 2, "",
         "paltool verify: --fog applies to lumps, not to a table file; see 'paltool verify --help'\n"},
        {{"render", colormap, "-o", Path("lumps")}, 2, "",
         "paltool render: a COLORMAP holds indices only: give --palette P to colour them; see 'paltool render "
         "--help'\n"},
        {{"render", playpal, "-o", Path("lumps"), "--palette", palette}, 2, "",
         "paltool render: a PLAYPAL is drawn in its own colours, without --palette; see 'paltool render --help'\n"},
        {{"render", colormap, "-o", Path("lumps/colormap"), "--palette", palette}, 1, "",
         "paltool: cannot write '" + Path("lumps/colormap") + "': No such file or directory\n"},
    };
    for (const auto& c : cases) {
        std::string line = "paltool";
        for (const std::string& arg : c.args) {
            line += " " + arg;
        }
        const ProcessResult result = RunPaltool(c.args);
        EXPECT_EQ(result.exitStatus, c.status) << line << "\n" << result.err;
        EXPECT_NE(result.out.find(c.out), std::string::npos) << line << "\n" << result.out;
        EXPECT_EQ(result.err, c.err) << line;
    }
    EXPECT_FALSE(fs::exists(Path("lumps")));

    const struct {
        std::vector<std::string> args;
        std::vector<std::pair<std::string, int>> pictures;  // name and width
    } renders[] = {
        {{colormap, "--palette", palette}, {{"colormap.png", 1024}}},
        {{tranmap, "--palette", palette}, {{"tranmap.png", 512}}},
        {{playpal}, {{"playpal.png", 920}}},
        {{dat}, {{"palette.png", 256}, {"light.png", 1024}, {"translucency.png", 512}}},
        {{light, "--as", "light", "--palette", playpal, "--palette-index", "13"}, {{"light.png", 1024}}},
    };
    for (const auto& r : renders) {
        const std::string dir = Path("render-" + fs::path(r.args[0]).filename().string());
        std::vector<std::string> args{"render", r.args[0], "-o", dir};
        args.insert(args.end(), r.args.begin() + 1, r.args.end());
        const ProcessResult result = RunPaltool(args);
        ASSERT_EQ(result.exitStatus, 0) << dir << ": " << result.err;
        EXPECT_TRUE(result.out.ends_with("wrote " + dir + "/index.html\n")) << result.out;
        for (const auto& [name, width] : r.pictures) {
            const auto image = DecodePngFile(dir + "/" + name, kDefaultMaxPixels);
            ASSERT_TRUE(image) << dir << "/" << name << ": " << image.error().Message();
            EXPECT_EQ(image->width, width) << dir << "/" << name;
            EXPECT_NE(ReadFile(dir + "/index.html").find(name), std::string::npos) << dir;
        }
        fs::remove_all(dir);
    }
}

// The C headers of shade and blend name their array after the output file;
// whatever that name, the header compiles as C and as C++, and a program can
// use the array by the name the header gives it.
TEST_F(PaltoolCli, CHeadersCompileWhateverTheOutputName) {
    const std::string palette = PALTAB_EXAMPLES_DIR "/sixteen.pal.txt";
    fs::create_directories(Path("headers"));
    for (const std::string file : {"int.h", "linux.h", "unix.h", "class.h", "9lives.h", "__FILE__.h", "_Bool.h",
                                   "___.h", "my tables.h", "fog-32.h", "tab\tname.h", ".h"}) {
        const std::string header = Path("headers/" + file);
        const ProcessResult made =
            RunPaltool({"shade", palette, "-o", header, "--levels", "1", "--layout", "c-header"});
        ASSERT_EQ(made.exitStatus, 0) << file << ": " << made.err;
        const std::string text = ReadFile(header);
        const std::string declaration = "static const unsigned char ";
        const std::size_t at = text.find(declaration) + declaration.size();
        const std::string name = text.substr(at, text.find('[', at) - at);
        WriteBytes(Path("headers/use.c"), Text("#include \"" + file + "\"\nint main(void) { return " + name +
                                                    "[0]; }\n"));
        for (const char* language : {"c", "c++"}) {
            const ProcessResult compiled = RunProgram(
                PALTAB_CXX, {PALTAB_CXX, "-fsyntax-only", "-Werror", "-x", language, Path("headers/use.c")}, Dir());
            EXPECT_EQ(compiled.exitStatus, 0) << file << " as " << language << ", array '" << name << "':\n"
                                              << compiled.err;
        }
    }
    fs::remove_all(Path("headers"));
}

// Under a limit on its address space, a command that needs more memory
// than that says so in one line and fails, and writes nothing.
TEST_F(PaltoolCli, RunningOutOfMemoryIsOneLineAndExitStatus1) {
#ifdef PALTAB_SANITIZED
    GTEST_SKIP() << "the sanitizers' shadow memory needs more address space than the limit";
#endif
    // Enough to start, too little for 16 MiB of anything: the limit is set
    // by a shell that then becomes paltool.
    const std::string limitKb = std::to_string(16 * 1024);
    const auto png = EncodePng(RgbImage(2048, 2048, Rgb8{}));  // 16 MiB as RGBA
    ASSERT_TRUE(png) << png.error().Message();
    WriteBytes(Path("large.png"), *png);
    WriteBytes(Path("long.txt"), std::vector<std::uint8_t>(std::size_t{12} << 20, '\n'));
    const std::string palette = PALTAB_EXAMPLES_DIR "/default.pal.txt";
    const std::vector<std::string> cases[] = {
        {"remap", Path("large.png"), "-o", Path("oom.png"), "--palette", palette},
        {"map", palette, "-o", Path("oom.map"), "--bits", "8"},
        {"build", Path("long.txt"), Path("oom.tab")},
    };
    for (const auto& args : cases) {
        std::vector<std::string> argv{"sh", "-c", "ulimit -v " + limitKb + " && exec \"$0\" \"$@\"", PALTOOL_EXE};
        argv.insert(argv.end(), args.begin(), args.end());
        const ProcessResult result = RunProgram("/bin/sh", argv, Dir());
        EXPECT_EQ(result.exitStatus, 1) << args[0] << ": " << result.err;
        EXPECT_TRUE(result.err.starts_with("paltool: ")) << result.err;
        EXPECT_EQ(std::count(result.err.begin(), result.err.end(), '\n'), 1) << result.err;
    }
    for (const char* name : {"oom.png", "oom.map", "oom.tab"}) {
        EXPECT_FALSE(fs::exists(Path(name))) << name;
    }
    fs::remove(Path("large.png"));
    fs::remove(Path("long.txt"));
}

// An image file larger than any image it may hold is refused by its size,
// before any of it is read: a small header followed by gigabytes (sparse
// here) costs no memory, whatever the format.
TEST_F(PaltoolCli, ImageFileOverTheSizeLimitIsRefusedBeforeItIsRead) {
#ifdef PALTAB_SANITIZED
    GTEST_SKIP() << "the sanitizers' shadow memory needs more address space than the limit";
#endif
    const std::string limitKb = std::to_string(32 * 1024);
    const std::string palette = PALTAB_EXAMPLES_DIR "/default.pal.txt";
    IndexedImage image{2, 2, {0, 1, 1, 0}, {{0, 0, 0}, {255, 255, 255}}, std::nullopt, std::nullopt};
    for (const ImageFormat format : {ImageFormat::kBmp, ImageFormat::kTga, ImageFormat::kPcx, ImageFormat::kGif}) {
        const std::string name = "huge." + std::string(ImageFormatName(format));
        const auto bytes = WriteIndexedImage(image, format);
        ASSERT_TRUE(bytes) << bytes.error().Message();
        WriteBytes(Path(name), *bytes);
        fs::resize_file(Path(name), std::uintmax_t{1} << 30);
        std::vector<std::string> argv{"sh", "-c", "ulimit -v " + limitKb + " && exec \"$0\" \"$@\"", PALTOOL_EXE,
                                      "remap", Path(name), "-o", Path("huge-out.png"), "--palette", palette};
        const ProcessResult result = RunProgram("/bin/sh", argv, Dir());
        EXPECT_EQ(result.exitStatus, 1) << name;
        EXPECT_EQ(result.err, "paltool: cannot read '" + Path(name) + "': the file is larger than " +
                                  std::to_string(ImageFileLimit(kDefaultMaxPixels)) +
                                  " bytes, too large for an image of at most " + std::to_string(kDefaultMaxPixels) +
                                  " pixels\n");
        EXPECT_FALSE(fs::exists(Path("huge-out.png")));
        fs::remove(Path(name));
    }
}

TEST_F(PaltoolCli, HelpForTheToolAndEachCommandShowsEveryOptionInAnExample) {
    const ProcessResult tool = RunPaltool({"--help"});
    EXPECT_EQ(tool.exitStatus, 0);
    EXPECT_EQ(tool.err, "");
    EXPECT_EQ(RunPaltool({"help"}).out, tool.out);
    const ProcessResult version = RunPaltool({"--version"});
    EXPECT_EQ(version.exitStatus, 0);
    // "paltool MAJOR.MINOR.PATCH"
    const std::string number = version.out.substr(std::min<std::size_t>(version.out.size(), 8));
    EXPECT_TRUE(version.out.starts_with("paltool ") && version.out.ends_with("\n") &&
                number.find_first_not_of("0123456789.\n") == std::string::npos &&
                std::count(number.begin(), number.end(), '.') == 2 && std::isdigit(number.front()))
        << version.out;
    const ProcessResult unknown = RunPaltool({"help", "frobnicate"});
    EXPECT_EQ(unknown.exitStatus, 2);
    EXPECT_EQ(unknown.err, "paltool: unknown command 'frobnicate'; see 'paltool --help'\n");
    const struct {
        const char* command;
        std::vector<std::string> options;
        std::string synopsis = " TABLES";
    } commands[] = {
        {"build", {"-c", "-n", "--format", "--palette-index", "--quiet"}, " PALETTE TABLES"},
        {"convert", {"--from", "--to", "--palette-index", "--quiet"}, " IN OUT"},
        {"formats", {}, "  "},
        {"info", {"--as"}},
        {"verify",
         {"--palette", "-c", "--format", "--palette-index", "--quiet", "--as", "--fog", "--fullbright", "--alpha",
          "--mode", "--tint", "--metric", "--reserve", "--linear"}},
        {"lookup", {"--shade", "--add", "--mul"}},
        {"render", {"-o", "--quiet", "--as", "--palette", "--format", "--palette-index"}},
        {"export", {"--c-header", "--name", "--quiet"}},
        {"shade", {"-o", "--levels", "--fog", "--fullbright", "--metric", "--reserve", "--linear", "--layout",
          "--format", "--palette-index", "--quiet"},
         " PALETTE"},
        {"blend",
         {"-o", "--alpha", "--mode", "--metric", "--reserve", "--linear", "--layout", "--format", "--palette-index",
          "--quiet"},
         " PALETTE"},
        {"map", {"-o", "--bits", "--metric", "--reserve", "--c-header", "--format", "--palette-index"}, " PALETTE"},
        {"remap",
         {"-o", "--palette", "--tables", "--dither", "--metric", "--reserve", "--transparent", "--max-pixels",
          "--format", "--palette-index"},
         " IMAGE"},
    };
    for (const auto& c : commands) {
        EXPECT_NE(tool.out.find(std::string("\n  ") + c.command + c.synopsis), std::string::npos) << c.command;
        const ProcessResult viaHelp = RunPaltool({"help", c.command});
        EXPECT_EQ(viaHelp.exitStatus, 0) << c.command;
        EXPECT_EQ(viaHelp.out, RunPaltool({c.command, "--help"}).out) << c.command;
        for (const char* help : {"--help", "-h"}) {
            const ProcessResult result = RunPaltool({c.command, help});
            EXPECT_EQ(result.exitStatus, 0) << c.command;
            EXPECT_EQ(result.err, "") << c.command;
            EXPECT_TRUE(result.out.starts_with(std::string("Usage: paltool ") + c.command)) << result.out;
            // Each option appears in an example line of this command.
            std::vector<std::string> examples;
            std::istringstream lines(result.out);
            for (std::string text; std::getline(lines, text);) {
                if (text.find(std::string("  paltool ") + c.command) != std::string::npos) {
                    examples.push_back(text);
                }
            }
            EXPECT_FALSE(examples.empty()) << c.command;
            for (const std::string& option : c.options) {
                const bool shown = std::any_of(examples.begin(), examples.end(), [&](const std::string& e) {
                    return e.find(" " + option + " ") != std::string::npos ||
                           e.ends_with(" " + option);
                });
                EXPECT_TRUE(shown) << c.command << " " << option;
            }
        }
    }
}

// paltool build on a palette of each readable format writes the bytes paltab
// writes for the same colours given as its text.
TEST_F(PaltoolCli, BuildFromEveryFormatEqualsTheGeneratorOnTheSameColours) {
    // 6-bit values spread to 8 bits, so that vga holds them exactly; some
    // above 63, so that a raw .pal is not taken for vga.
    std::vector<Rgb8> colors;
    for (int i = 0; i < 40; ++i) {
        const auto six = [&](int k) { return ExpandSixBit(static_cast<std::uint8_t>((i * k + 5) % 64)); };
        colors.push_back({six(7), six(13), six(29)});
    }
    std::string text;
    for (const Rgb8 c : colors) {
        text += std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + "\n";
    }
    WriteBytes(Path("colours.txt"), Text(text));

    const std::map<PaletteFormat, std::string> fileNames{
        {PaletteFormat::kText, "p-text.txt"}, {PaletteFormat::kGpl, "p.gpl"},     {PaletteFormat::kJasc, "p-jasc.pal"},
        {PaletteFormat::kAct, "p.act"},       {PaletteFormat::kRiff, "p-riff.pal"}, {PaletteFormat::kRaw, "p-raw.pal"},
        {PaletteFormat::kVga, "p-vga.pal"},   {PaletteFormat::kPlaypal, "PLAYPAL"}, {PaletteFormat::kHex, "p.hex"},
        {PaletteFormat::kPaintNet, "p-pdn.txt"}, {PaletteFormat::kPng, "p.png"}};
    int run = 0;
    for (const FormatInfo& info : PaletteFormats()) {
        ASSERT_TRUE(info.reads);
        SCOPED_TRACE(info.name);
        const std::string palette = Path(fileNames.at(info.format));
        std::vector<std::string> extra;
        if (info.format == PaletteFormat::kPlaypal) {
            // Palette 1 of two holds the colours, padded to 256 with the last.
            std::vector<std::uint8_t> lump(2 * 768, 0);
            for (std::size_t i = 0; i < 256; ++i) {
                const Rgb8 c = colors[std::min(i, colors.size() - 1)];
                lump[768 + 3 * i] = c.r, lump[768 + 3 * i + 1] = c.g, lump[768 + 3 * i + 2] = c.b;
            }
            WriteBytes(palette, lump);
            extra = {"--palette-index", "1"};
        } else {
            std::vector<std::string> warnings;
            const auto bytes = WritePalette({colors, "p", {}}, info.format, warnings);
            ASSERT_TRUE(bytes) << bytes.error().Message();
            WriteBytes(palette, *bytes);
        }
        // Alternate the generator's options across the formats.
        const std::vector<std::string> options =
            run % 3 == 0 ? std::vector<std::string>{} : run % 3 == 1 ? std::vector<std::string>{"-n"}
                                                                     : std::vector<std::string>{"-c", "-n"};
        ++run;
        std::vector<std::string> buildArgs{"build", palette, Path("built.tab"), "--quiet"};
        buildArgs.insert(buildArgs.end(), options.begin(), options.end());
        buildArgs.insert(buildArgs.end(), extra.begin(), extra.end());
        const ProcessResult built = RunPaltool(buildArgs);
        ASSERT_EQ(built.exitStatus, 0) << built.err;
        EXPECT_EQ(built.err, "");

        const std::string source = info.format == PaletteFormat::kPlaypal ? "playpal.txt" : "colours.txt";
        if (info.format == PaletteFormat::kPlaypal) {
            std::string padded = text;
            for (std::size_t i = colors.size(); i < 256; ++i) {
                const Rgb8 c = colors.back();
                padded += std::to_string(c.r) + " " + std::to_string(c.g) + " " + std::to_string(c.b) + "\n";
            }
            WriteBytes(Path(source), Text(padded));
        }
        std::vector<std::string> generatorArgv{PALTAB_EXE};
        generatorArgv.insert(generatorArgv.end(), options.begin(), options.end());
        generatorArgv.insert(generatorArgv.end(), {Path(source), Path("expected.tab")});
        const ProcessResult generated = RunProgram(PALTAB_EXE, generatorArgv, Dir());
        ASSERT_EQ(generated.exitStatus, 1) << generated.err;
        const std::string expected = ReadFile(Path("expected.tab"));
        EXPECT_GE(expected.size(), kPlainFileSize);
        EXPECT_TRUE(ReadFile(Path("built.tab")) == expected);
        fs::remove(Path("built.tab"));
        fs::remove(Path("expected.tab"));
    }
}

}  // namespace
}  // namespace paltab
