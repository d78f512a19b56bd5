// Output file: replaced whole or left as it was, links and permission bits
// kept, devices written in place, unwritable paths refused before anything
// is created, and failures (full disk, file size limit) leaving no trace.
#include "io/output_file.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include "test_process.hpp"

namespace paltab {
namespace {

// Larger than the small limits and tmpfs used below, like a real table file.
std::vector<std::uint8_t> Payload(std::size_t size = 230148) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
    }
    return bytes;
}

std::string AsString(const std::vector<std::uint8_t>& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

mode_t ModeOf(const std::string& path) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

const char* ResultName(OutputFileResult result) {
    switch (result) {
        case OutputFileResult::kWritten:
            return "written";
        case OutputFileResult::kCannotOpen:
            return "cannot open";
        case OutputFileResult::kWriteFailed:
            return "write failed";
    }
    return "?";
}

// Where the bytes land when the output path is, or leads to, a regular file.
TEST(WriteOutputFile, ReplacesTheFileThePathLeadsTo) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> links;  // name, link text
        const char* previous;  // content of "dir/file" before, or nullptr
        mode_t mode;           // its permission bits
        const char* output;    // path given, relative to the scratch directory
    };
    const Case cases[] = {
        {"new file", {}, nullptr, 0, "dir/file"},
        {"existing file", {}, "old", 0640, "dir/file"},
        {"read-only for others, executable", {}, "old", 0751, "dir/file"},
        {"relative link", {{"dir/link", "file"}}, "old", 0600, "dir/link"},
        {"link from another directory", {{"other/link", "../dir/file"}}, "old", 0644, "other/link"},
        {"chain of links", {{"dir/a", "b"}, {"dir/b", "file"}}, "old", 0644, "dir/a"},
        {"dangling link", {{"dir/link", "file"}}, nullptr, 0, "dir/link"},
    };
    const auto payload = Payload();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch;
        fs::create_directory(scratch / "dir");
        fs::create_directory(scratch / "other");
        const std::string file = scratch / "dir/file";
        if (c.previous != nullptr) {
            WriteFile(file, c.previous);
            fs::permissions(file, static_cast<fs::perms>(c.mode));
        }
        for (const auto& [name, text] : c.links) {
            fs::create_symlink(text, scratch / name);
        }
        const auto before = Listing(scratch / "dir");

        ASSERT_EQ(WriteOutputFile((scratch / c.output).c_str(), payload), OutputFileResult::kWritten);
        EXPECT_EQ(ReadFile(file), AsString(payload));
        for (const auto& [name, text] : c.links) {
            ASSERT_TRUE(fs::is_symlink(scratch / name)) << name;
            EXPECT_EQ(fs::read_symlink(scratch / name).string(), text);
        }
        if (c.previous != nullptr) {
            EXPECT_EQ(ModeOf(file), c.mode);
        } else {
            // A new file gets what creating it directly would give: 0666
            // less the umask.
            const std::string reference = scratch / "other/reference";
            ::close(::open(reference.c_str(), O_WRONLY | O_CREAT, 0666));
            EXPECT_EQ(ModeOf(file), ModeOf(reference));
        }
        auto expected = before;
        if (c.previous == nullptr) {
            expected.push_back("file");
            std::sort(expected.begin(), expected.end());
        }
        EXPECT_EQ(Listing(scratch / "dir"), expected) << "no temporary file stays behind";
    }
}

TEST(WriteOutputFile, RefusesPathsThatCannotBeAFile) {
    ScratchDir scratch;
    fs::create_directory(scratch / "dir");
    WriteFile(scratch / "plain", "old");
    fs::create_symlink("loop", scratch / "loop");
    const std::string cases[] = {
        scratch / "missing/out.tab",
        scratch / "dir",
        scratch / "dir/",
        scratch / "new/",
        scratch / "plain/out.tab",
        scratch / "loop",
        scratch / std::string(300, 'x'),
        "",
    };
    const auto before = Listing(scratch.path());
    for (const std::string& path : cases) {
        EXPECT_EQ(WriteOutputFile(path.c_str(), Payload()), OutputFileResult::kCannotOpen) << "'" << path << "'";
    }
    EXPECT_EQ(Listing(scratch.path()), before);
    EXPECT_TRUE(Listing(scratch / "dir").empty());
    EXPECT_EQ(ReadFile(scratch / "plain"), "old");
}

TEST(WriteOutputFile, WritesDevicesInPlaceAndReportsTheirFailures) {
    EXPECT_EQ(WriteOutputFile("/dev/null", Payload()), OutputFileResult::kWritten);
    EXPECT_EQ(WriteOutputFile("/dev/full", Payload()), OutputFileResult::kWriteFailed);
    EXPECT_EQ(WriteOutputFile("/dev/full", Payload(1)), OutputFileResult::kWriteFailed);

    // A pipe, reached through its descriptor's name as /dev/stdout would be.
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    const auto small = Payload(1000);  // fits the pipe's buffer: no reader needed
    const std::string name = "/proc/self/fd/" + std::to_string(fds[1]);
    EXPECT_EQ(WriteOutputFile(name.c_str(), small), OutputFileResult::kWritten);
    ::close(fds[1]);
    std::string received(2000, '\0');
    const ssize_t got = ::read(fds[0], received.data(), received.size());
    ::close(fds[0]);
    ASSERT_GT(got, 0);
    received.resize(static_cast<std::size_t>(got));
    EXPECT_EQ(received, AsString(small));
}

// /dev/stdout redirected to a file names it through /proc/self/fd/N: the file
// is replaced where it lies; once deleted, it is written through the
// descriptor.
TEST(WriteOutputFile, DescriptorNamesOfRegularFiles) {
    ScratchDir scratch;
    const std::string file = scratch / "redirected";
    WriteFile(file, "old");
    const int fd = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    const std::string name = "/proc/self/fd/" + std::to_string(fd);
    EXPECT_EQ(WriteOutputFile(name.c_str(), Payload()), OutputFileResult::kWritten);
    EXPECT_EQ(ReadFile(file), AsString(Payload()));
    EXPECT_EQ(Listing(scratch.path()), std::vector<std::string>{"redirected"});
    ::close(fd);

    const int deletedFd = ::open(file.c_str(), O_RDONLY);
    ASSERT_GE(deletedFd, 0);
    fs::remove(file);
    const std::string deletedName = "/proc/self/fd/" + std::to_string(deletedFd);
    EXPECT_EQ(WriteOutputFile(deletedName.c_str(), Payload(100)), OutputFileResult::kWritten);
    std::string back(200, '\0');
    const ssize_t got = ::pread(deletedFd, back.data(), back.size(), 0);
    ::close(deletedFd);
    ASSERT_EQ(got, 100);
    back.resize(100);
    EXPECT_EQ(back, AsString(Payload(100)));
    EXPECT_TRUE(Listing(scratch.path()).empty());
}

// A write that fails part way leaves the previous file, or none, and no
// temporary file. Two ways to fail: a file size limit (works for any user)
// and a full file system (needs permission to mount).
TEST(WriteOutputFile, FailedWriteLeavesPreviousContentAndNoTemporaryFile) {
    ScratchDir scratch;
    const auto payload = Payload();
    // SIGXFSZ ignored, and as a process has it by default: it must not end
    // the process, the write fails with EFBIG.
    for (const auto disposition : {SIG_IGN, SIG_DFL}) {
        SCOPED_TRACE(disposition == SIG_IGN ? "SIGXFSZ ignored" : "SIGXFSZ default");
        const ChildOutcome limited = RunInChild([&]() -> ChildOutcome {
            ::signal(SIGXFSZ, disposition);
            const struct rlimit limit = {40000, 40000};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                return Skip(ErrnoText("cannot limit the file size"));
            }
            WriteFile(scratch / "out.tab", "previous");
            const OutputFileResult replaced = WriteOutputFile((scratch / "out.tab").c_str(), payload);
            const int replacedErrno = errno;
            const OutputFileResult created = WriteOutputFile((scratch / "new.tab").c_str(), payload);
            if (replaced != OutputFileResult::kWriteFailed || created != OutputFileResult::kWriteFailed ||
                replacedErrno != EFBIG || errno != EFBIG) {
                return {false, std::string("results: ") + ResultName(replaced) + ", " + ResultName(created) + ", " +
                                   std::strerror(replacedErrno)};
            }
            return {};
        });
        ASSERT_FALSE(limited.skipped) << limited.message;
        EXPECT_EQ(limited.message, "");
        EXPECT_EQ(ReadFile(scratch / "out.tab"), "previous");
        EXPECT_EQ(Listing(scratch.path()), std::vector<std::string>{"out.tab"});
    }

    fs::create_directory(scratch / "small");
    const ChildOutcome full = RunInChild([&]() -> ChildOutcome {
        const std::string dir = scratch / "small";
        if (const std::string why = MountPrivateTmpfs(dir, "size=64k"); !why.empty()) {
            return Skip(why);
        }
        WriteFile(dir + "/out.tab", "previous");
        const OutputFileResult replaced = WriteOutputFile((dir + "/out.tab").c_str(), payload);
        const OutputFileResult created = WriteOutputFile((dir + "/new.tab").c_str(), payload);
        std::string problems;
        if (replaced != OutputFileResult::kWriteFailed || created != OutputFileResult::kWriteFailed) {
            problems += std::string("results: ") + ResultName(replaced) + ", " + ResultName(created) + "; ";
        }
        if (ReadFile(dir + "/out.tab") != "previous") {
            problems += "the previous content was lost; ";
        }
        if (Listing(dir) != std::vector<std::string>{"out.tab"}) {
            problems += "files left: " + std::to_string(Listing(dir).size());
        }
        return {false, problems};
    });
    if (full.skipped) {
        GTEST_SKIP() << "full file system not tested: " << full.message;
    }
    EXPECT_EQ(full.message, "");
}

// A read-only file system: existing and new files alike are refused up
// front, and the existing one keeps its content.
TEST(WriteOutputFile, ReadOnlyFileSystemIsRefusedBeforeWriting) {
    ScratchDir scratch;
    const ChildOutcome outcome = RunInChild([&]() -> ChildOutcome {
        const std::string dir = scratch.path().string();
        if (const std::string why = MountPrivateTmpfs(dir, "size=1m"); !why.empty()) {
            return Skip(why);
        }
        WriteFile(dir + "/out.tab", "previous");
        if (::mount(nullptr, dir.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) != 0) {
            return Skip(ErrnoText("cannot remount read-only"));
        }
        const OutputFileResult existing = WriteOutputFile((dir + "/out.tab").c_str(), Payload());
        const OutputFileResult created = WriteOutputFile((dir + "/new.tab").c_str(), Payload());
        std::string problems;
        if (existing != OutputFileResult::kCannotOpen || created != OutputFileResult::kCannotOpen) {
            problems += std::string("results: ") + ResultName(existing) + ", " + ResultName(created) + "; ";
        }
        if (ReadFile(dir + "/out.tab") != "previous" || Listing(dir) != std::vector<std::string>{"out.tab"}) {
            problems += "the directory changed";
        }
        return {false, problems};
    });
    if (outcome.skipped) {
        GTEST_SKIP() << "read-only file system not tested: " << outcome.message;
    }
    EXPECT_EQ(outcome.message, "");
}

// Permissions decide, as they would for opening the file itself: a file the
// user may not write is not replaced even where the directory would allow
// the rename; a writable file in a directory that takes no new file is
// written in place.
TEST(WriteOutputFile, PermissionsOfFileAndDirectory) {
    struct Case {
        const char* name;
        fs::perms dirMode;
        const char* previous;  // nullptr: no file
        fs::perms fileMode;
        OutputFileResult expected;
        bool replaced;
    };
    const fs::perms all = fs::perms::all;
    const fs::perms readOnlyDir = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    const fs::perms readOnlyFile = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const Case cases[] = {
        {"read-only file, writable directory", all, "previous", readOnlyFile, OutputFileResult::kCannotOpen, false},
        {"writable file, read-only directory", readOnlyDir, "previous", all, OutputFileResult::kWritten, true},
        {"no file, read-only directory", readOnlyDir, nullptr, all, OutputFileResult::kCannotOpen, false},
        // Only the owner may replace a file in a sticky directory (/tmp).
        {"another's writable file, sticky directory", all | fs::perms::sticky_bit, "previous", all,
         OutputFileResult::kWritten, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch;
        // Others may enter, so that a user other than root can reach `dir`.
        fs::permissions(scratch.path(), fs::perms::owner_all | readOnlyDir);
        const std::string dir = scratch / "dir";
        const std::string file = dir + "/out.tab";
        fs::create_directory(dir);
        if (c.previous != nullptr) {
            WriteFile(file, c.previous);
            fs::permissions(file, c.fileMode);
        }
        fs::permissions(dir, c.dirMode);
        const ChildOutcome outcome = RunInChild([&]() -> ChildOutcome {
            if (const std::string why = DropRoot(); !why.empty()) {
                return Skip(why);
            }
            const OutputFileResult result = WriteOutputFile(file.c_str(), Payload());
            if (result != c.expected) {
                return {false, std::string("result: ") + ResultName(result)};
            }
            return {};
        });
        fs::permissions(dir, all);
        if (outcome.skipped) {
            GTEST_SKIP() << outcome.message;
        }
        EXPECT_EQ(outcome.message, "");
        const std::string expected = c.replaced ? AsString(Payload()) : (c.previous ? c.previous : "");
        EXPECT_EQ(ReadFile(file), expected);
        EXPECT_EQ(Listing(dir).size(), c.previous != nullptr ? 1u : 0u) << "no temporary file stays behind";
    }
}

// A file mounted over the target (as a container mounts a host file) cannot
// be replaced by a rename; it is written in place.
TEST(WriteOutputFile, FileMountedOverTheTargetIsWrittenInPlace) {
    ScratchDir scratch;
    const std::string source = scratch / "host.tab";
    const std::string target = scratch / "out.tab";
    WriteFile(source, "previous");
    WriteFile(target, "");
    const ChildOutcome outcome = RunInChild([&]() -> ChildOutcome {
        if (const std::string why = MountPrivately(source.c_str(), target, nullptr, MS_BIND, nullptr); !why.empty()) {
            return Skip(why);
        }
        const OutputFileResult result = WriteOutputFile(target.c_str(), Payload());
        return {false, result == OutputFileResult::kWritten ? "" : std::string("result: ") + ResultName(result)};
    });
    if (outcome.skipped) {
        GTEST_SKIP() << "mounted file not tested: " << outcome.message;
    }
    EXPECT_EQ(outcome.message, "");
    EXPECT_EQ(ReadFile(source), AsString(Payload()));
    EXPECT_EQ(Listing(scratch.path()), (std::vector<std::string>{"host.tab", "out.tab"}));
}

// Run as root, the replaced file still belongs to its owner, who can go on
// writing it.
TEST(WriteOutputFile, KeepsTheOwnerWhenRunAsRoot) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to give a file to another user";
    }
    ScratchDir scratch;
    const std::string file = scratch / "out.tab";
    WriteFile(file, "previous");
    ASSERT_EQ(::chown(file.c_str(), kNobody, kNobody), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0640), 0);
    ASSERT_EQ(WriteOutputFile(file.c_str(), Payload()), OutputFileResult::kWritten);
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, kNobody);
    EXPECT_EQ(status.st_gid, kNobody);
    EXPECT_EQ(status.st_mode & 07777, 0640u);
}

// Anyone else cannot give the file away, but keeps its group when a member.
TEST(WriteOutputFile, KeepsTheGroupForAMemberOfIt) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to set up files of another user and group";
    }
    constexpr gid_t kSharedGroup = 4242;
    ScratchDir scratch;
    fs::permissions(scratch.path(), fs::perms::all);
    const std::string file = scratch / "out.tab";
    WriteFile(file, "previous");
    ASSERT_EQ(::chown(file.c_str(), 0, kSharedGroup), 0);
    ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
    const ChildOutcome outcome = RunInChild([&]() -> ChildOutcome {
        if (const std::string why = DropRoot({kSharedGroup}); !why.empty()) {
            return Skip(why);
        }
        const OutputFileResult result = WriteOutputFile(file.c_str(), Payload());
        return {false, result == OutputFileResult::kWritten ? "" : std::string("result: ") + ResultName(result)};
    });
    ASSERT_FALSE(outcome.skipped) << outcome.message;
    EXPECT_EQ(outcome.message, "");
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(ReadFile(file), AsString(Payload()));
    EXPECT_EQ(status.st_uid, kNobody);
    EXPECT_EQ(status.st_gid, kSharedGroup);
    EXPECT_EQ(status.st_mode & 07777, 0664u);
}

// Where the target may be written but not replaced, it is rewritten in
// place; content that cannot fit (a file size limit, a full disk) is refused
// before the file is touched, so the previous file stays whole.
TEST(WriteOutputFile, InPlaceRewriteNeverDamagesThePreviousFile) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to mount a small file system and to set up another user's file";
    }
    struct Case {
        const char* name;
        bool sticky;        // a sticky directory and root's file: the rename is refused
        const char* mount;  // tmpfs options for the directory, or nullptr
        rlim_t sizeLimit;   // RLIM_INFINITY: none
        std::size_t previousSize;
        std::size_t newSize;
        bool written;
    };
    const Case cases[] = {
        {"read-only directory, larger new file", false, nullptr, RLIM_INFINITY, 8, 230148, true},
        {"read-only directory, smaller new file", false, nullptr, RLIM_INFINITY, 230148, 1000, true},
        {"read-only directory, file size limit", false, nullptr, 100000, 33536, 230148, false},
        {"read-only directory, full disk", false, "size=128k", RLIM_INFINITY, 33536, 230148, false},
        {"sticky directory, file size limit", true, nullptr, 100000, 33536, 230148, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch;
        fs::permissions(scratch.path(), fs::perms::all);
        const std::string dir = scratch / "dir";
        fs::create_directory(dir);
        const std::string file = dir + "/out.tab";
        const auto previous = AsString(Payload(c.previousSize + 1)).substr(1);
        const auto payload = Payload(c.newSize);
        const ChildOutcome outcome = RunInChild([&]() -> ChildOutcome {
            if (c.mount != nullptr) {
                if (const std::string why = MountPrivateTmpfs(dir, c.mount); !why.empty()) {
                    return Skip(why);
                }
            }
            WriteFile(file, previous);
            ::chmod(file.c_str(), 0666);
            ::chmod(dir.c_str(), c.sticky ? 01777 : 0555);
            if (const std::string why = DropRoot(); !why.empty()) {
                return Skip(why);
            }
            const struct rlimit limit = {c.sizeLimit, c.sizeLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                return Skip(ErrnoText("cannot limit the file size"));
            }
            const OutputFileResult result = WriteOutputFile(file.c_str(), payload);
            const OutputFileResult expected = c.written ? OutputFileResult::kWritten : OutputFileResult::kWriteFailed;
            std::string problems;
            if (result != expected) {
                problems += std::string("result: ") + ResultName(result) + " (" + std::strerror(errno) + "); ";
            }
            const std::string now = ReadFile(file);
            if (now != (c.written ? AsString(payload) : previous)) {
                problems += "the file holds " + std::to_string(now.size()) + " bytes, not the " +
                            (c.written ? "new" : "previous") + " content; ";
            }
            if (Listing(dir).size() != 1) {
                problems += "files left: " + std::to_string(Listing(dir).size());
            }
            return {false, problems};
        });
        fs::permissions(dir, fs::perms::all);
        if (outcome.skipped) {
            GTEST_SKIP() << outcome.message;
        }
        EXPECT_EQ(outcome.message, "");
    }
}

// SIGINT, SIGTERM or SIGHUP during a write: the process ends by that signal,
// as it would have, and no temporary file stays. A signal the process
// ignores (nohup) still does nothing, and the write completes.
TEST(WriteOutputFile, SignalsDuringAWriteLeaveNoTemporaryFile) {
    struct Case {
        int signal;
        bool ignored;
    };
    const Case cases[] = {{SIGINT, false}, {SIGTERM, false}, {SIGHUP, false}, {SIGHUP, true}};
    // Large enough that the write takes a while; written again and again, so
    // that the signal lands inside a write however the two are scheduled.
    const std::size_t size = std::size_t{32} << 20;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(strsignal(c.signal)) + (c.ignored ? ", ignored" : ""));
        ScratchDir scratch;
        const std::string target = scratch / "out.tab";
        std::fflush(nullptr);
        const pid_t child = ::fork();
        if (child == 0) {
            if (c.ignored) {
                ::signal(c.signal, SIG_IGN);
            }
            const auto payload = Payload(size);
            for (int round = 0; round < (c.ignored ? 2 : 1000); ++round) {
                if (WriteOutputFile(target.c_str(), payload) != OutputFileResult::kWritten) {
                    ::_exit(3);
                }
            }
            ::_exit(0);
        }
        ASSERT_GT(child, 0);
        // Waits for a temporary file to appear, then signals at once.
        bool seen = false;
        for (int tries = 0; tries < 200000 && !seen; ++tries) {
            for (const auto& name : Listing(scratch.path())) {
                seen = seen || name.starts_with(".out.tab.");
            }
        }
        ASSERT_TRUE(seen) << "no temporary file appeared";
        ::kill(child, c.signal);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        if (c.ignored) {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
            EXPECT_EQ(ReadFile(target).size(), size);
        } else {
            EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == c.signal) << "wait status " << status;
        }
        const auto left = Listing(scratch.path());
        EXPECT_TRUE(left.empty() || left == std::vector<std::string>{"out.tab"}) << left.size() << " files left";
    }
}

// A link in a sticky directory that everyone may write is followed only
// when it belongs to the directory's owner or to the caller; anywhere else
// links are followed whoever owns them.
TEST(WriteOutputFile, LinksInSharedDirectoriesFollowOnlyTrustedOwners) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root to make links of other users";
    }
    constexpr uid_t kRoot = 0;
    constexpr uid_t kOther = 4343;
    struct Case {
        const char* name;
        mode_t dirMode;
        uid_t dirOwner;
        uid_t linkOwner;
        bool asNobody;  // run as nobody instead of root
        bool followed;
    };
    const Case cases[] = {
        {"another's link in root's /tmp-like directory", 01777, kRoot, kNobody, false, false},
        {"a third user's link in nobody's shared directory", 01777, kNobody, kOther, false, false},
        {"the directory owner's link", 01777, kNobody, kNobody, false, true},
        {"the caller's own link", 01777, kRoot, kNobody, true, true},
        {"root's link, run as root", 01777, kOther, kRoot, false, true},
        {"another's link, directory not sticky", 0777, kRoot, kNobody, false, true},
        {"another's link, sticky directory only its owner writes", 01755, kRoot, kNobody, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir scratch;
        fs::permissions(scratch.path(), fs::perms::all);
        const std::string victim = scratch / "victim";
        const std::string shared = scratch / "shared";
        const std::string link = shared + "/out.tab";
        WriteFile(victim, "precious");
        ASSERT_EQ(::chmod(victim.c_str(), 0666), 0);
        fs::create_directory(shared);
        fs::create_symlink(victim, link);
        ASSERT_EQ(::lchown(link.c_str(), c.linkOwner, c.linkOwner), 0);
        ASSERT_EQ(::chown(shared.c_str(), c.dirOwner, c.dirOwner), 0);
        ASSERT_EQ(::chmod(shared.c_str(), c.dirMode), 0);
        const ChildOutcome outcome = RunInChild([&]() -> ChildOutcome {
            if (c.asNobody) {
                if (const std::string why = DropRoot(); !why.empty()) {
                    return Skip(why);
                }
            }
            const OutputFileResult result = WriteOutputFile(link.c_str(), Payload(100));
            const int error = errno;
            const OutputFileResult expected = c.followed ? OutputFileResult::kWritten : OutputFileResult::kCannotOpen;
            if (result != expected || (!c.followed && error != EACCES)) {
                return {false, std::string("result: ") + ResultName(result) + " (" + std::strerror(error) + ")"};
            }
            return {};
        });
        ASSERT_FALSE(outcome.skipped) << outcome.message;
        EXPECT_EQ(outcome.message, "");
        EXPECT_EQ(ReadFile(victim), c.followed ? AsString(Payload(100)) : "precious");
        EXPECT_TRUE(fs::is_symlink(link));
        EXPECT_EQ(Listing(shared), std::vector<std::string>{"out.tab"});
    }
}

}  // namespace
}  // namespace paltab
