// paltool remap -d DIR: output naming, the up-to-date rule, the summary and
// its JSON directly; then the command itself: a failure among good files,
// skipping and --force, -j, refused names and the progress line.
#include "remap_batch.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <random>

#include "random_inputs.hpp"
#include "test_png.hpp"
#include "test_process.hpp"

namespace paltab::paltool {
namespace {

using paltab::ProcessResult;
using paltab::ReadFile;
using paltab::RunProgram;
using paltab::ScratchDir;
using paltab::WriteFile;

TEST(BatchNaming, OutputNames) {
    const struct {
        std::string input;
        std::string name;
    } cases[] = {
        {"sprites/TROOA1.png", "TROOA1.png"}, {"a.tar.gif", "a.tar.png"}, {"noext", "noext.png"},
        {"dir.d/plain", "plain.png"},         {".hidden", ".hidden.png"}, {"x/.hidden.png", ".hidden.png"},
        {"dir/", ""},                         {"", ""},                   {"..", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(BatchOutputName(c.input, ".png"), c.name) << c.input;
    }
    EXPECT_EQ(BatchOutputPath("out", "a.png"), "out/a.png");
    EXPECT_EQ(BatchOutputPath("out/", "a.png"), "out/a.png");

    const std::vector<std::string> distinct{"o/a.png", "o/b.png", "o/c.png"};
    EXPECT_FALSE(FindSharedOutput(distinct));
    const std::vector<std::string> shared{"o/c.png", "o/a.png", "o/b.png", "o/a.png", "o/c.png"};
    EXPECT_EQ(FindSharedOutput(shared), (std::pair<std::size_t, std::size_t>{1, 3}));

    EXPECT_EQ(BatchFormatOfName("PNG")->extension, ".png");
    EXPECT_EQ(BatchFormatOfName("PNG")->format, ImageFormat::kPng);
    EXPECT_EQ(BatchFormatOfName("bmp")->extension, ".bmp");
    EXPECT_EQ(BatchFormatOfName("bmp")->format, ImageFormat::kBmp);
    EXPECT_FALSE(BatchFormatOfName("jpeg")) << "no JPEG writer";
    EXPECT_FALSE(BatchFormatOfName("webp"));
}

TEST(BatchNaming, UpToDateOnlyWhenNewerThanBoth) {
    using Time = std::filesystem::file_time_type;
    const Time t0{}, t1 = t0 + std::chrono::seconds(1), t2 = t1 + std::chrono::seconds(1);
    const struct {
        FileTimes times;
        bool upToDate;
    } cases[] = {
        {{t2, t1, t0}, true},           {{t2, t0, t1}, true},          {{t1, t1, t0}, false},  // equal: remade
        {{t1, t2, t0}, false},          {{t1, t0, t2}, false},         {{std::nullopt, t0, t0}, false},
        {{t2, std::nullopt, t0}, false}, {{t2, t0, std::nullopt}, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsUpToDate(c.times), c.upToDate) << (c.times.output ? "" : "no output ");
    }
}

TEST(BatchReport, SummaryJsonAndProgress) {
    const auto outcome = [](FileStatus status, std::string input, std::string output) {
        FileOutcome o;
        o.status = status;
        o.input = std::move(input);
        o.output = std::move(output);
        return o;
    };
    // UTF-8 is kept; a stray byte and an encoded surrogate are not UTF-8.
    std::vector<FileOutcome> outcomes{outcome(FileStatus::kConverted, "a.png", "o/a.png"),
                                      outcome(FileStatus::kSkipped, "b.png", "o/b.png"),
                                      outcome(FileStatus::kFailed, "q\"\\\n.png", "o/q.png"),
                                      outcome(FileStatus::kConverted, "\xC3\xA9t\xC3\xA9\xFF\xED\xA0\x80.png", "o/e.png")};
    outcomes[0].width = 16;
    outcomes[0].height = 8;
    outcomes[0].quality = DitherQuality{1.5, 0.25};
    outcomes[2].error = "cannot read 'q': bad";
    outcomes[3].width = 1;
    outcomes[3].height = 2;
    const BatchSummary summary = Summarise(outcomes, 2.5, 3);
    EXPECT_EQ(SummaryLine(summary), "remap: 2 converted, 1 skipped (up to date), 1 failed in 2.50 s\n");
    EXPECT_EQ(BatchJson(summary, outcomes),
              "{\"converted\": 2, \"skipped\": 1, \"failed\": 1, \"seconds\": 2.500, \"jobs\": 3, \"files\": [\n"
              "  {\"input\": \"a.png\", \"output\": \"o/a.png\", \"status\": \"converted\", \"width\": 16, "
              "\"height\": 8, \"mean_squared_error\": 1.5000, \"blurred_error\": 0.2500},\n"
              "  {\"input\": \"b.png\", \"output\": \"o/b.png\", \"status\": \"skipped\"},\n"
              "  {\"input\": \"q\\\"\\\\\\u000a.png\", \"output\": \"o/q.png\", \"status\": \"failed\", "
              "\"error\": \"cannot read 'q': bad\"},\n"
              "  {\"input\": \"\xC3\xA9t\xC3\xA9\\ufffd\\ufffd\\ufffd\\ufffd.png\", \"output\": \"o/e.png\", "
              "\"status\": \"converted\", \"width\": 1, \"height\": 2}\n"
              "]}\n");
    EXPECT_EQ(BatchJson(Summarise({}, 0, 1), {}),
              "{\"converted\": 0, \"skipped\": 0, \"failed\": 0, \"seconds\": 0.000, \"jobs\": 1, \"files\": []}\n");
    EXPECT_EQ(ProgressLine(0, 40, 0.04), "remap: 0 of 40 files, 0.0 s");
    EXPECT_EQ(ProgressLine(10, 40, 3), "remap: 10 of 40 files, 3.0 s, about 9.0 s left");
    EXPECT_EQ(ProgressLine(40, 40, 12), "remap: 40 of 40 files, 12.0 s");
}

// The command.

std::vector<std::uint8_t> RandomPng(int width, int height, unsigned seed) {
    return EncodeRgbaPng(width, height, RandomRgba(width, height, seed));
}

class RemapBatch : public testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(scratch_ / "art");
        for (int i = 0; i < 6; ++i) {
            const auto png = RandomPng(17 + i, 9 + 2 * i, static_cast<unsigned>(i));
            WriteFile(Art(i), std::string(png.begin(), png.end()));
        }
        WriteFile(scratch_ / "p.txt", "0 0 0\n255 255 255\n200 30 40\n10 200 90\n40 40 220\n128 128 128\n");
    }
    std::string Art(int i) const { return scratch_ / ("art/s" + std::to_string(i) + ".png"); }
    std::vector<std::string> AllArt() const {
        std::vector<std::string> files;
        for (int i = 0; i < 6; ++i) {
            files.push_back(Art(i));
        }
        return files;
    }
    // paltool remap FILES... -d DIR --palette p.txt EXTRA...
    ProcessResult Batch(const std::vector<std::string>& files, const std::string& dir,
                        const std::vector<std::string>& extra = {}) {
        std::vector<std::string> argv{PALTOOL_EXE, "remap"};
        argv.insert(argv.end(), files.begin(), files.end());
        argv.insert(argv.end(), {"-d", scratch_ / dir, "--palette", scratch_ / "p.txt"});
        argv.insert(argv.end(), extra.begin(), extra.end());
        return RunProgram(PALTOOL_EXE, std::move(argv), scratch_.path());
    }
    ProcessResult Single(const std::string& file, const std::string& out, const std::vector<std::string>& extra) {
        std::vector<std::string> argv{PALTOOL_EXE, "remap", file, "-o", out, "--palette", scratch_ / "p.txt"};
        argv.insert(argv.end(), extra.begin(), extra.end());
        return RunProgram(PALTOOL_EXE, std::move(argv), scratch_.path());
    }
    std::string Out(const std::string& dir, int i) const {
        return scratch_ / (dir + "/s" + std::to_string(i) + ".png");
    }

    ScratchDir scratch_;
};

// Each file's bytes and lines are those of the single-file mode; a broken
// file among them is one line on the standard error stream, and the others
// are still written.
TEST_F(RemapBatch, OneFailureAmongSeveral) {
    WriteFile(scratch_ / "art/broken.png", "not a PNG");
    std::vector<std::string> files = AllArt();
    files.insert(files.begin() + 2, scratch_ / "art/broken.png");
    const std::vector<std::string> options{"--dither", "floyd-steinberg", "--transparent", "5", "--report"};
    const ProcessResult run = Batch(files, "out", options);
    EXPECT_EQ(run.exitStatus, 1) << run.err;
    EXPECT_EQ(run.err.rfind("paltool: cannot read '" + (scratch_ / "art/broken.png") + "': ", 0), 0u) << run.err;
    EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
    EXPECT_FALSE(std::filesystem::exists(scratch_ / "out/broken.png"));
    EXPECT_NE(run.out.find("remap: 6 converted, 0 skipped (up to date), 1 failed in "), std::string::npos) << run.out;
    for (int i = 0; i < 6; ++i) {
        const ProcessResult single = Single(Art(i), scratch_ / ("s" + std::to_string(i) + ".png"), options);
        ASSERT_EQ(single.exitStatus, 0) << single.err;
        EXPECT_EQ(ReadFile(Out("out", i)), ReadFile(scratch_ / ("s" + std::to_string(i) + ".png"))) << i;
        std::string lines = single.out;
        const std::string from = scratch_ / ("s" + std::to_string(i) + ".png");
        lines.replace(lines.find(from), from.size(), Out("out", i));
        EXPECT_NE(run.out.find(lines), std::string::npos) << lines << "\nin\n" << run.out;
    }
}

TEST_F(RemapBatch, SkipsWhatIsUpToDateUnlessForced) {
    using namespace std::chrono_literals;
    namespace fs = std::filesystem;
    const std::vector<std::string> files = AllArt();
    ASSERT_EQ(Batch(files, "out", {"--quiet"}).exitStatus, 0);
    // Times set, not waited for: the art an hour old, the outputs newer.
    const auto now = fs::file_time_type::clock::now();
    for (int i = 0; i < 6; ++i) {
        fs::last_write_time(Art(i), now - 1h);
        fs::last_write_time(Out("out", i), now - 30min);
    }
    fs::last_write_time(scratch_ / "p.txt", now - 1h);
    fs::last_write_time(Art(1), now - 10min);  // edited since
    const struct {
        std::vector<std::string> extra;
        std::string summary;
    } cases[] = {
        {{}, "1 converted, 5 skipped"},
        {{}, "0 converted, 6 skipped"},
        {{"--force"}, "6 converted, 0 skipped"},
    };
    for (const auto& c : cases) {
        const ProcessResult run = Batch(files, "out", c.extra);
        EXPECT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_NE(run.out.find("remap: " + c.summary), std::string::npos) << run.out;
    }
    // A palette changed after the outputs were made remakes them all.
    fs::last_write_time(scratch_ / "p.txt", now + 1h);
    EXPECT_NE(Batch(files, "out").out.find("remap: 6 converted, 0 skipped"), std::string::npos);
}

TEST_F(RemapBatch, JobsGiveTheSameFiles) {
    const std::vector<std::string> files = AllArt();
    for (const std::string jobs : {"1", "4"}) {
        const ProcessResult run = Batch(files, "j" + jobs, {"-j", jobs, "--dither", "jarvis", "--quiet"});
        ASSERT_EQ(run.exitStatus, 0) << run.err;
        EXPECT_EQ(run.out + run.err, "") << "--quiet leaves only errors";
    }
    for (int i = 0; i < 6; ++i) {
        const std::string one = ReadFile(Out("j1", i));
        EXPECT_GT(one.size(), 50u);
        EXPECT_EQ(ReadFile(Out("j4", i)), one) << i;
    }
    // --to names the format and the extension: the same indices as the PNGs.
    const ProcessResult gif = Batch(files, "gif", {"--to", "gif", "--dither", "jarvis", "--quiet"});
    ASSERT_EQ(gif.exitStatus, 0) << gif.err;
    for (int i = 0; i < 6; ++i) {
        const std::string png = ReadFile(Out("j1", i));
        const std::string gifFile = ReadFile(scratch_ / ("gif/s" + std::to_string(i) + ".gif"));
        const auto fromPng = DecodePng({reinterpret_cast<const std::uint8_t*>(png.data()), png.size()},
                                       kDefaultMaxPixels);
        const auto fromGif = ReadGif({reinterpret_cast<const std::uint8_t*>(gifFile.data()), gifFile.size()},
                                     kDefaultMaxPixels);
        ASSERT_TRUE(fromPng) << i << fromPng.error().Message();
        ASSERT_TRUE(fromGif) << i << fromGif.error().Message();
        EXPECT_EQ(fromGif->indices, fromPng->indices) << i;
    }
}

// --json is the standard output, whole, as Python's json module reads it.
TEST_F(RemapBatch, JsonReport) {
    if (::access("/usr/bin/python3", X_OK) != 0) {
        GTEST_SKIP() << "no python3 to read the JSON with";
    }
    WriteFile(scratch_ / "art/broken.png", "not a PNG");
    ASSERT_EQ(Batch({Art(0)}, "out", {"--quiet"}).exitStatus, 0);
    const ProcessResult run = Batch({Art(0), scratch_ / "art/broken.png", Art(1)}, "out", {"--json", "-j", "2"});
    EXPECT_EQ(run.exitStatus, 1);
    WriteFile(scratch_ / "report.json", run.out);
    const char* const read = R"(import json, sys
d = json.load(open(sys.argv[1]))
print(d["converted"], d["skipped"], d["failed"], d["jobs"], type(d["seconds"]).__name__)
for f in d["files"]:
    print(f["input"].rsplit("/", 1)[1], f["output"].rsplit("/", 1)[1], f["status"], f.get("width"), f.get("height"),
          f.get("error", "")[:11]))";
    const ProcessResult parsed =
        RunProgram("/usr/bin/python3", {"python3", "-c", read, scratch_ / "report.json"}, scratch_.path());
    ASSERT_EQ(parsed.exitStatus, 0) << parsed.err << run.out;
    EXPECT_EQ(parsed.out,
              "1 1 1 2 float\n"
              "s0.png s0.png skipped None None \n"
              "broken.png broken.png failed None None cannot read\n"
              "s1.png s1.png converted 18 11 \n");
}

TEST_F(RemapBatch, RefusedBeforeAnythingIsRead) {
    WriteFile(scratch_ / "art/s0.gif", "GIF89a");
    std::filesystem::create_directory(scratch_ / "other");
    const std::string other = scratch_ / "other/s1.png";
    std::filesystem::copy_file(Art(1), other);
    const struct {
        std::vector<std::string> files;
        std::string dir;
        std::vector<std::string> extra;
        std::string err;  // a part of the one line
    } cases[] = {
        {{Art(0), Art(1), scratch_ / "art/s0.gif"}, "out", {}, "s0.png' and '" + (scratch_ / "art/s0.gif") +
                                                                 "' would both be written as '" + Out("out", 0)},
        {{Art(1), other}, "out", {}, "would both be written as"},
        {{Art(0), Art(1)}, "art", {}, "s0.png' is an input; it would be written over"},
        {{Art(0), Art(1)}, "out", {"-j", "0"}, "-j must be a number of jobs 1..256"},
        {{Art(0)}, "out", {"--to", "jpeg"}, "--to 'jpeg' is not an image format remap writes"},
        {{Art(0)}, "out", {"-o", scratch_ / "x.png"}, "give one of them"},
        {{}, "out", {}, "expected one or more IMAGEs with -d DIR"},
    };
    for (const auto& c : cases) {
        const ProcessResult run = Batch(c.files, c.dir, c.extra);
        EXPECT_EQ(run.exitStatus, 2) << c.err;
        EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_FALSE(std::filesystem::exists(scratch_ / "out")) << c.err;
    }
    const ProcessResult several = RunProgram(
        PALTOOL_EXE, {PALTOOL_EXE, "remap", Art(0), Art(1), "--palette", scratch_ / "p.txt"}, scratch_.path());
    EXPECT_EQ(several.exitStatus, 2);
    EXPECT_NE(several.err.find("several IMAGEs need -d DIR"), std::string::npos) << several.err;
}

// The progress line is drawn on a terminal (a pseudo-terminal here) and
// cleared at the end; on a file it never appears.
TEST_F(RemapBatch, ProgressOnlyOnATerminal) {
    const std::vector<std::string> files = AllArt();
    const ProcessResult toFile = Batch(files, "out");
    ASSERT_EQ(toFile.exitStatus, 0) << toFile.err;
    EXPECT_EQ(toFile.err, "");

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0) << std::strerror(errno);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string terminal = ::ptsname(master);
    // Kept open here too, so that what the child wrote stays to be read once it ends.
    const int slave = ::open(terminal.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(slave, 0);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, terminal.c_str(), O_WRONLY | O_NOCTTY, 0);
    std::vector<std::string> argv{PALTOOL_EXE, "remap"};
    argv.insert(argv.end(), files.begin(), files.end());
    argv.insert(argv.end(), {"-d", scratch_ / "out", "--palette", scratch_ / "p.txt", "--force", "-j", "2"});
    std::vector<char*> pointers;
    for (std::string& s : argv) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, PALTOOL_EXE, &actions, nullptr, pointers.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    ::fcntl(master, F_SETFL, O_NONBLOCK);
    std::string shown;
    char buffer[4096];
    for (ssize_t n; (n = ::read(master, buffer, sizeof buffer)) > 0;) {
        shown.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(slave);
    ::close(master);
    EXPECT_NE(shown.find("\rremap: 6 of 6 files, "), std::string::npos) << shown;
    EXPECT_EQ(shown.find('\n'), std::string::npos) << "only the progress line: " << shown;
    // Cleared at the end: blanks over the last line, the cursor back at the start.
    const std::size_t last = shown.rfind("\rremap: ");
    ASSERT_NE(last, std::string::npos);
    const std::string tail = shown.substr(shown.find('\r', last + 1));
    EXPECT_EQ(tail, "\r" + std::string(tail.size() - 2, ' ') + "\r") << shown;
}

}  // namespace
}  // namespace paltab::paltool
