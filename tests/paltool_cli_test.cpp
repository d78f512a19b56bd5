// The paltool binary: exit status 0, 1 or 2, help for the tool and each
// command, and errors as one line naming the file.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <vector>

#include "paltab/color_tables.hpp"
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

TEST_F(PaltoolCli, HelpForTheToolAndEachCommandShowsEveryOptionInAnExample) {
    const ProcessResult tool = RunPaltool({"--help"});
    EXPECT_EQ(tool.exitStatus, 0);
    EXPECT_EQ(tool.err, "");
    const struct {
        const char* command;
        std::vector<std::string> options;
    } commands[] = {
        {"info", {}},
        {"verify", {"--palette", "-c"}},
        {"lookup", {"--shade", "--add", "--mul"}},
        {"render", {"-o"}},
        {"export", {"--c-header", "--name"}},
    };
    for (const auto& c : commands) {
        EXPECT_NE(tool.out.find(std::string("\n  ") + c.command + " TABLES"), std::string::npos) << c.command;
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
