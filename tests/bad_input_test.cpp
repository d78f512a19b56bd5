// Bad input never hurts: the built generator, given odd palettes and odd
// paths, ends normally with a clear outcome and loses nothing.
#include <gtest/gtest.h>
#include <signal.h>

#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "invariant_checks.hpp"
#include "test_palettes.hpp"
#include "test_process.hpp"

namespace paltab {
namespace {

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kUnderAddressSanitizer = true;
#else
constexpr bool kUnderAddressSanitizer = false;
#endif

constexpr GenerateOptions kExtended{.weightedDistance = false, .writeExtension = true};

std::string Lines(int count, int first = 0) {
    std::string text;
    for (int k = first; k < first + count; ++k) {
        text += std::to_string(k % 256) + " " + std::to_string((k * 7) % 256) + " " + std::to_string(255 - k % 256) +
                "\n";
    }
    return text;
}

std::string RandomBytes(std::size_t size, unsigned seed) {
    std::mt19937 rng(seed);
    std::string bytes(size, '\0');
    for (char& c : bytes) {
        c = static_cast<char>(rng());
    }
    return bytes;
}

std::span<const std::uint8_t> Bytes(const std::string& s) {
    return {reinterpret_cast<const std::uint8_t*>(s.data()), s.size()};
}

// Runs `paltab -n palette out.tab` on `text` and returns the table file,
// checking the exit status, the silence on both streams and the file's
// invariants for the palette the text holds.
std::string GenerateFrom(const std::string& text, const ScratchDir& scratch) {
    WriteFile(scratch / "palette.txt", text);
    fs::remove(scratch / "out.tab");
    const ProcessResult run = RunPaltab({"-n", scratch / "palette.txt", scratch / "out.tab"}, scratch);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "");
    const std::string file = ReadFile(scratch / "out.tab");
    EXPECT_EQ(CheckTableFile(ReadPaletteText(Bytes(text)).palette, kExtended, Bytes(file)), "");
    return file;
}

// Each odd palette gives a complete table file, the same as a well-formed
// palette that says what the reader makes of it (or, with nothing to
// compare, one that keeps every invariant).
TEST(BadInput, OddPalettesGiveTheFileOfWhatTheyMean) {
    struct Case {
        const char* name;
        std::string text;
        std::string sameAs;  // empty: only the invariants are checked
    };
    const Case cases[] = {
        {"empty file", "", "PAL\n0\n"},
        {"header only", "PAL\n16\n", "PAL\n0\n"},
        {"header without terminator", "PAL", "PAL\n0\n"},
        {"binary garbage", RandomBytes(65536, 1), ""},
        {"binary garbage with a header", "PAL\n\n" + RandomBytes(4096, 2), ""},
        // A NUL byte ends what the parser sees of its line.
        {"NUL bytes", std::string("1 2 3\0 9 9 9\n4 5 6\n", 18), "1 2 3\n4 5 6\n"},
        {"line of NUL bytes first", std::string("\0\0\0\n7 8 9\n", 10), "0 0 0\n7 8 9\n"},
        {"100000 lines", Lines(100000), Lines(256)},
        // Accumulated in 32 bits with wrap-around, then cut to 16 bits:
        // 2^32 -> 0, 2^32 + 1 -> 1, -(2^32 - 1) -> 1; 99999999999 mod 2^32 is
        // 0x4876E7FF, whose low 16 bits 0xE7FF are -6145, low 8 bits 255.
        {"numbers past 32 bits", "4294967296 4294967297 -4294967295\n99999999999 5 5\n", "0 1 1\n255 5 5\n"},
        // Every table reads a component's low 8 bits: -5 is 251, 300 is 44.
        {"components out of range", "300 -5 128\n-200 256 511\n", "44 251 128\n56 0 255\n"},
        {"red of -1 marks the entry unused", "10 20 30\n-1 40 200\n50 60 70\n", ""},
        {"sign without digits and lone signs", "- + -\n+-1 2 3\n", ""},
        {"overlong line", std::string(5000, '9') + "\n1 2 3\n", ""},
    };
    ScratchDir scratch;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = GenerateFrom(c.text, scratch);
        if (!c.sameAs.empty()) {
            EXPECT_TRUE(file == GenerateFrom(c.sameAs, scratch)) << "differs from the file of its meaning";
        }
    }
}

// Only the line buffer is held: a 64 MB file without a line terminator costs
// no more memory than a small palette. The time bound only catches a hang.
TEST(BadInput, HugeFileWithoutLineTerminatorUsesBoundedMemory) {
    ScratchDir scratch;
    const std::string big = scratch / "big.txt";
    {
        std::ofstream out(big, std::ios::binary);
        const std::string block = [] {
            std::string b;
            while (b.size() < (1u << 20)) {
                b += "123 45 6 ";
            }
            return b.substr(0, 1u << 20);
        }();
        for (int i = 0; i < 64; ++i) {
            out << block;
        }
    }
    ASSERT_EQ(fs::file_size(big), 64u << 20);
    const ProcessResult run = RunPaltab({"-n", big, scratch / "out.tab"}, scratch);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "");
    EXPECT_EQ(fs::file_size(scratch / "out.tab"), kExtendedFileSize);
    EXPECT_LT(run.seconds, 30.0);
    if (kUnderAddressSanitizer) {
        std::cout << "peak memory not checked: AddressSanitizer's shadow memory dwarfs it\n";
    } else {
        EXPECT_LT(run.maxResidentKb, 8 * 1024) << "peak resident memory in KB";
    }
}

// Paths that cannot be used: the message names the file and cause, and no
// output file appears.
TEST(BadInput, UnusablePathsAreReportedAndCreateNothing) {
    ScratchDir scratch;
    const std::string palette = scratch / "palette.txt";
    WriteFile(palette, Lines(16));
    fs::create_directory(scratch / "dir");
    struct Case {
        const char* name;
        std::string palette;
        std::string output;
        std::string err;
    };
    const Case cases[] = {
        {"palette is a directory", scratch / "dir", scratch / "out.tab",
         "Error opening " + (scratch / "dir") + " for read\n"},
        {"missing palette", scratch / "missing.txt", scratch / "out.tab",
         "Error opening " + (scratch / "missing.txt") + " for read\n"},
        {"missing output directory", palette, scratch / "missing/out.tab",
         "Error opening " + (scratch / "missing/out.tab") + " for write\n"},
        {"output is a directory", palette, scratch / "dir", "Error opening " + (scratch / "dir") + " for write\n"},
        {"full device", palette, "/dev/full", "Error writing /dev/full\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const ProcessResult run = RunPaltab({"-n", c.palette, c.output}, scratch);
        EXPECT_EQ(run.exitStatus, 1);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(Listing(scratch.path()), (std::vector<std::string>{"dir", "palette.txt"}));
        EXPECT_TRUE(Listing(scratch / "dir").empty());
    }
}

// The palette may be the output: it is read before it is replaced.
TEST(BadInput, OutputMayBeThePalette) {
    ScratchDir scratch;
    const std::string expected = GenerateFrom(Lines(40), scratch);
    const std::string same = scratch / "palette.txt";
    const ProcessResult run = RunPaltab({"-n", same, same}, scratch);
    EXPECT_EQ(run.exitStatus, 1);
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(ReadFile(same) == expected);
}

// Runs the generator in a child whose writes fail part way (`setUp` limits
// the file size or mounts a small tmpfs on `dir`): the message names the
// output, the previous table file and the palette are intact, and no
// temporary file is left. Returns the child's outcome.
ChildOutcome FailingWrites(const std::string& dir, const std::function<std::string()>& setUp) {
    return RunInChild([&]() -> ChildOutcome {
        if (const std::string why = setUp(); !why.empty()) {
            return Skip(why);
        }
        const std::string palette = dir + "/palette.txt";
        const std::string output = dir + "/out.tab";
        WriteFile(palette, Lines(16));
        WriteFile(output, "previous tables");
        std::string problems;
        // Output beside the palette, then output over the palette.
        for (const std::string& target : {output, palette}) {
            const ProcessResult run = RunPaltab({"-n", palette, target}, ScratchDir());
            if (run.exitStatus != 1 || run.err != "Error writing " + target + "\n") {
                problems += "run on " + target + ": status " + std::to_string(run.exitStatus) + ", '" + run.err + "'; ";
            }
        }
        if (ReadFile(output) != "previous tables") {
            problems += "the previous table file changed; ";
        }
        if (ReadFile(palette) != Lines(16)) {
            problems += "the palette changed; ";
        }
        if (Listing(dir) != std::vector<std::string>{"out.tab", "palette.txt"}) {
            problems += std::to_string(Listing(dir).size()) + " files left";
        }
        return {false, problems};
    });
}

// With SIGXFSZ ignored (inherited) and with its default action, which the
// generator must not die of: the write fails as any other.
TEST(BadInput, WriteFailureUnderFileSizeLimitKeepsEverything) {
    for (const auto disposition : {SIG_IGN, SIG_DFL}) {
        SCOPED_TRACE(disposition == SIG_IGN ? "SIGXFSZ ignored" : "SIGXFSZ default");
        ScratchDir scratch;
        const ChildOutcome outcome = FailingWrites(scratch.path().string(), [disposition] {
            ::signal(SIGXFSZ, disposition);
            const struct rlimit limit = {100000, 100000};
            return ::setrlimit(RLIMIT_FSIZE, &limit) == 0 ? std::string() : ErrnoText("cannot limit the file size");
        });
        ASSERT_FALSE(outcome.skipped) << outcome.message;
        EXPECT_EQ(outcome.message, "");
    }
}

TEST(BadInput, FullDiskKeepsEverything) {
    ScratchDir scratch;
    const std::string dir = scratch / "small";
    fs::create_directory(dir);
    // Room for the palette and the previous file, not for 230148 bytes.
    const ChildOutcome outcome = FailingWrites(dir, [&] { return MountPrivateTmpfs(dir, "size=64k"); });
    if (outcome.skipped) {
        GTEST_SKIP() << "full disk not tested: " << outcome.message;
    }
    EXPECT_EQ(outcome.message, "");
}

// What the fuzz targets check, on the palettes the table tests use and on
// texts that once found faults; fuzz findings that were fixed are added here.
TEST(BadInput, InvariantsHoldForTestPalettesAndReaderInputs) {
    for (const auto& [name, palette] : TestPalettes()) {
        for (int options = 0; options < 4; ++options) {
            const GenerateOptions o{.weightedDistance = (options & 1) != 0, .writeExtension = (options & 2) != 0};
            EXPECT_EQ(CheckTableFile(palette, o, GenerateColorTableFile(palette, o)), "")
                << name << ", options " << options;
        }
    }
    const std::string texts[] = {
        "",
        "PAL",
        "\r",
        "\x1a",
        "1 2 3",
        std::string(200, '\r'),
        std::string(1000, '\n'),
        Lines(300),
        RandomBytes(10000, 3),
    };
    for (const std::string& text : texts) {
        EXPECT_EQ(CheckPaletteReaders(Bytes(text)), "") << "text of " << text.size() << " bytes";
    }
}

}  // namespace
}  // namespace paltab
