// The paltool binary: exit status 0, 1 or 2, help for the tool and each
// command, and errors as one line naming the file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "paltab/color_tables.hpp"
#include "paltab/light_tables.hpp"
#include "paltab/palette_text.hpp"
#include "paltab/table_file.hpp"
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
    }
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
        {{"export", good, "--c-header", Path("nodir/t.h"), "--name", "t"}, 1, "",
         "paltool: cannot write '" + Path("nodir/t.h") + "': No such file or directory\n"},
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
    EXPECT_TRUE(ReadFile(Path("t.h")).starts_with("/* Colour tables for 256-colour graphics, made by `paltool export "));
    EXPECT_TRUE(fs::exists(Path("preview/mul.png")));
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
    std::string error;
    LightSettings light;
    light.levels = 12;
    light.fog = {20, 40, 60};
    light.fullbright.set(4);
    light.search.metric = Metric::kOklab;
    light.search.reserved.set(0);
    const auto shade = BuildLightTable(colors, light, error);
    BlendSettings blend;
    blend.alphaPercent = 66;
    blend.search = {Metric::kLinear, true, {}};
    const auto translucency = BuildBlendTable(colors, blend, error);
    ASSERT_TRUE(shade && translucency) << error;

    const struct {
        std::vector<std::string> args;
        int status;
        std::string err;  // the whole standard error
        std::size_t size;  // of the output file, 0 for none
    } cases[] = {
        {{"shade", palette, "-o", Path("light.raw"), "--levels", "12", "--fog", "20,40,60", "--fullbright", "4",
          "--metric", "oklab", "--reserve", "0"}, 0, "", 12 * 256},
        {{"blend", palette, "-o", Path("glass.raw"), "--alpha", "66", "--linear"}, 0, "", 65536},
        {{"shade", palette, "-o", Path("COLORMAP.lmp"), "--layout", "doom-colormap"}, 0, "", kDoomColormapSize},
        {{"shade", palette, "-o", Path("palette.dat"), "--levels", "64", "--layout", "build-palette"}, 0, "",
         BuildEnginePaletteSize(64)},
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

TEST_F(PaltoolCli, HelpForTheToolAndEachCommandShowsEveryOptionInAnExample) {
    const ProcessResult tool = RunPaltool({"--help"});
    EXPECT_EQ(tool.exitStatus, 0);
    EXPECT_EQ(tool.err, "");
    const struct {
        const char* command;
        const char* operand;
        std::vector<std::string> options;
    } commands[] = {
        {"info", "TABLES", {}},
        {"verify", "TABLES", {"--palette", "-c"}},
        {"lookup", "TABLES", {"--shade", "--add", "--mul"}},
        {"render", "TABLES", {"-o"}},
        {"export", "TABLES", {"--c-header", "--name"}},
        {"shade",
         "PALETTE",
         {"-o", "--levels", "--fog", "--fullbright", "--metric", "--reserve", "--linear", "--layout"}},
        {"blend", "PALETTE", {"-o", "--alpha", "--mode", "--metric", "--reserve", "--linear", "--layout"}},
    };
    for (const auto& c : commands) {
        EXPECT_NE(tool.out.find(std::string("\n  ") + c.command + " " + c.operand), std::string::npos) << c.command;
        for (const char* help : {"--help", "-h"}) {
            const ProcessResult result = RunPaltool({c.command, help});
            EXPECT_EQ(result.exitStatus, 0) << c.command;
            EXPECT_EQ(result.err, "") << c.command;
            EXPECT_TRUE(result.out.starts_with(std::string("Usage: paltool ") + c.command)) << result.out;
            // Each option appears in an example line of this command.
            std::vector<std::string> examples;
            std::istringstream lines(result.out);
            for (std::string text; std::getline(lines, text);) {
                if (text.find(std::string("  paltool ") + c.command + " ") != std::string::npos) {
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

}  // namespace
}  // namespace paltab
