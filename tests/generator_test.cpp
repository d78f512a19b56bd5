// The generator end to end: the built paltab run as a process in a fresh
// directory, with its exact stdout, stderr, exit status and files; and the
// run sequence in-process for messages that need no files.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "run.hpp"
#include "paltab/color_tables.hpp"
#include "paltab/palette_text.hpp"
#include "test_process.hpp"

namespace paltab {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// The file paltab writes for palette text `paletteText`, built in memory.
std::string ExpectedTableFile(const std::string& paletteText, const GenerateOptions& options) {
    const PaletteReadResult read =
        ReadPaletteText({reinterpret_cast<const std::uint8_t*>(paletteText.data()), paletteText.size()});
    const std::vector<std::uint8_t> bytes = GenerateColorTableFile(read.palette, options);
    return std::string(bytes.begin(), bytes.end());
}

// The usage message names the running program file by its real path,
// however it was started.
std::string Usage() {
    return "Usage: " + fs::canonical(PALTAB_EXE).string() + " incmap outfile\n";
}

// A fresh directory: `work` is the generator's current directory, the
// captured streams sit beside it.
class Sandbox {
public:
    Sandbox() { fs::create_directory(work()); }

    fs::path work() const { return base_.path() / "work"; }

    // Runs `program` (a path resolved in `work`) with `argv0` as the first
    // argument and `args` after it.
    ProcessResult Run(const std::string& program, const std::string& argv0,
                      const std::vector<std::string>& args) const {
        std::vector<std::string> argv{argv0};
        argv.insert(argv.end(), args.begin(), args.end());
        return RunProgram(program, std::move(argv), base_.path(), work().string());
    }

    ProcessResult RunPaltab(const std::vector<std::string>& args) const { return Run(PALTAB_EXE, PALTAB_EXE, args); }

    // Every entry of `work`: file name to contents, "<directory>" for a directory.
    std::map<std::string, std::string> Snapshot() const {
        std::map<std::string, std::string> entries;
        for (const fs::directory_entry& entry : fs::directory_iterator(work())) {
            entries[entry.path().filename().string()] =
                entry.is_directory() ? "<directory>" : ReadFile(entry.path().string());
        }
        return entries;
    }

private:
    ScratchDir base_;
};

void ExpectSameFiles(const std::map<std::string, std::string>& actual,
                     const std::map<std::string, std::string>& expected) {
    for (const auto& [name, bytes] : expected) {
        const auto found = actual.find(name);
        if (found == actual.end()) {
            ADD_FAILURE() << name << " is missing";
        } else if (found->second != bytes) {
            ADD_FAILURE() << name << " differs: " << found->second.size() << " bytes, expected " << bytes.size();
        }
    }
    for (const auto& entry : actual) {
        EXPECT_TRUE(expected.contains(entry.first)) << entry.first << " should not exist";
    }
}

struct Row {
    const char* name;
    std::vector<std::string> args;
    std::string out;         // expected standard output
    std::string err;         // expected standard error, before the usage message
    bool usage;              // the usage message ends standard error
    const char* written;     // the table file written, or nullptr for none
    GenerateOptions options; // the tables it holds
};

// Each row runs in a fresh directory holding the 16-colour palette pal.txt,
// an empty directory dir and an older, longer file old.tab.
TEST(Generator, CommandLineMessagesAndFiles) {
    const Row rows[] = {
        {"no arguments", {}, "", "", true, nullptr, {}},
        {"one argument", {"pal.txt"}, "", "", true, nullptr, {}},
        {"-c and one file name", {"-c", "pal.txt"}, "Correcting color\n", "", true, nullptr, {}},
        {"options only", {"-c", "-n"}, "Correcting color\n", "", true, nullptr, {}},
        {"an unknown option among options only", {"-n", "-x"}, "", "Warning, unknown option x\n", true, nullptr, {}},

        {"plain run", {"pal.txt", "out.tab"}, "", "", false, "out.tab", {}},
        {"-n", {"-n", "pal.txt", "out.tab"}, "", "", false, "out.tab", {.writeExtension = true}},
        {"-c -n", {"-c", "-n", "pal.txt", "out.tab"}, "Correcting color\n", "", false, "out.tab",
         {.weightedDistance = true, .writeExtension = true}},
        {"-c twice prints once", {"-c", "-c", "pal.txt", "out.tab"}, "Correcting color\n", "", false, "out.tab",
         {.weightedDistance = true}},
        {"-cx counts as -c", {"-cx", "pal.txt", "out.tab"}, "Correcting color\n", "", false, "out.tab",
         {.weightedDistance = true}},
        {"-nx counts as -n", {"-nx", "pal.txt", "out.tab"}, "", "", false, "out.tab", {.writeExtension = true}},
        {"-x warns and the run goes on", {"-x", "pal.txt", "out.tab"}, "", "Warning, unknown option x\n", false,
         "out.tab", {}},
        {"options are case-sensitive", {"-N", "-C", "pal.txt", "out.tab"}, "",
         "Warning, unknown option N\nWarning, unknown option C\n", false, "out.tab", {}},
        {"-- warns with its second -", {"--", "pal.txt", "out.tab"}, "", "Warning, unknown option -\n", false,
         "out.tab", {}},
        {"a lone - warns with a NUL byte", {"-", "pal.txt", "out.tab"}, "", "Warning, unknown option \0\n"s, false,
         "out.tab", {}},
        {"-n after the file names is ignored", {"pal.txt", "out.tab", "-n"}, "", "", false, "out.tab", {}},
        {"arguments after the output name are ignored", {"-n", "pal.txt", "out.tab", "more", "-c"}, "", "", false,
         "out.tab", {.writeExtension = true}},
        {"an option after the palette name is the output name", {"pal.txt", "-n", "out.tab"}, "", "", false, "-n",
         {}},
        {"an existing output file is truncated", {"pal.txt", "old.tab"}, "", "", false, "old.tab", {}},
        {"palette and output the same file", {"-n", "pal.txt", "pal.txt"}, "", "", false, "pal.txt",
         {.writeExtension = true}},

        {"missing palette", {"-n", "missing.txt", "out.tab"}, "", "Error opening missing.txt for read\n", false,
         nullptr, {}},
        {"-c with a missing palette", {"-c", "missing.txt", "out.tab"}, "Correcting color\n",
         "Error opening missing.txt for read\n", false, nullptr, {}},
        {"palette is a directory", {"dir", "out.tab"}, "", "Error opening dir for read\n", false, nullptr, {}},
        {"empty palette name", {"", "out.tab"}, "", "Error opening  for read\n", false, nullptr, {}},
        {"output in a missing directory", {"pal.txt", "nodir/out.tab"}, "", "Error opening nodir/out.tab for write\n",
         false, nullptr, {}},
        {"output is a directory", {"-n", "pal.txt", "dir"}, "", "Error opening dir for write\n", false, nullptr, {}},
    };

    const std::string palette = ReadFile(PALTAB_EXAMPLES_DIR "/sixteen.pal.txt");
    ASSERT_FALSE(palette.empty());
    const std::string usage = Usage();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const Sandbox sandbox;
        WriteFile((sandbox.work() / "pal.txt").string(), palette);
        WriteFile((sandbox.work() / "old.tab").string(), std::string(250000, 'x'));
        fs::create_directory(sandbox.work() / "dir");
        std::map<std::string, std::string> expected = sandbox.Snapshot();

        const ProcessResult result = sandbox.RunPaltab(row.args);
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.out, row.out);
        EXPECT_EQ(result.err, row.err + (row.usage ? usage : ""));
        if (row.written != nullptr) {
            expected[row.written] = ExpectedTableFile(palette, row.options);
        }
        ExpectSameFiles(sandbox.Snapshot(), expected);
    }
}

// The usage message shows the program file's canonical path, not argv[0]:
// started through a relative path, a symlink, or with an unrelated argv[0].
TEST(Generator, UsageShowsTheProgramFilesRealPath) {
    const Sandbox sandbox;
    const fs::path exe = fs::canonical(PALTAB_EXE);
    const std::string relative = fs::relative(exe, sandbox.work()).string();
    ASSERT_NE(relative.front(), '/');
    fs::create_symlink(exe, sandbox.work() / "link");

    struct Start {
        std::string program;
        std::string argv0;
    };
    const Start starts[] = {{relative, relative}, {"./link", "./link"}, {"link", "link"}, {PALTAB_EXE, "paltab"}};
    for (const Start& start : starts) {
        SCOPED_TRACE(start.program + " as " + start.argv0);
        const ProcessResult result = sandbox.Run(start.program, start.argv0, {"only-one"});
        EXPECT_EQ(result.exitStatus, 1);
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, Usage());
    }
}

std::string Contents(char* buffer, std::size_t size) {
    std::string text(buffer, size);
    std::free(buffer);
    return text;
}

// The run sequence in-process, for messages that involve no files.
TEST(RunGenerator, MessagesInProcess) {
    struct Case {
        std::vector<const char*> args;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {{}, "", "Usage: /opt/prog incmap outfile\n"},
        {{"prog"}, "", "Usage: /opt/prog incmap outfile\n"},
        {{"prog", "-", "x"}, "", "Warning, unknown option \0\nUsage: /opt/prog incmap outfile\n"s},
        {{"prog", "-c", "-c", "-q"}, "Correcting color\n", "Warning, unknown option q\nUsage: /opt/prog incmap outfile\n"},
    };
    for (const Case& c : cases) {
        char* outBuffer = nullptr;
        char* errBuffer = nullptr;
        std::size_t outSize = 0;
        std::size_t errSize = 0;
        std::FILE* out = open_memstream(&outBuffer, &outSize);
        std::FILE* err = open_memstream(&errBuffer, &errSize);
        ASSERT_TRUE(out != nullptr && err != nullptr);
        EXPECT_EQ(RunGenerator(c.args, "/opt/prog", out, err), 1);
        std::fclose(out);
        std::fclose(err);
        EXPECT_EQ(Contents(outBuffer, outSize), c.out) << c.args.size() << " arguments";
        EXPECT_EQ(Contents(errBuffer, errSize), c.err) << c.args.size() << " arguments";
    }
}

}  // namespace
}  // namespace paltab
