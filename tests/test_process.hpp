// Test helpers around processes and files: a scratch directory, running the
// built generator, and running a check in a child process that may mount a
// private tmpfs or drop root.
#pragma once

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <spawn.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

namespace paltab {

namespace fs = std::filesystem;

// A fresh directory, removed with everything in it at the end of the test.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (fs::temp_directory_path() / "paltab-test-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            std::abort();
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const fs::path& path() const { return path_; }
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    fs::path path_;
};

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The names in a directory, sorted: to see that nothing was left behind.
inline std::vector<std::string> Listing(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

struct ProcessResult {
    int exitStatus = -1;  // -1 when the process did not exit normally
    std::string out;
    std::string err;
    long maxResidentKb = 0;  // peak resident memory of that process alone
    double seconds = 0;
};

// Runs `program` with `argv` (its first element the program name as the
// process sees it), standard input from /dev/null and the standard streams
// captured through files in `streamsDir`. With `workDir` the process starts
// there.
inline ProcessResult RunProgram(const std::string& program, std::vector<std::string> argv,
                                const fs::path& streamsDir, const std::string& workDir = {}) {
    const std::string outPath = (streamsDir / ".stdout").string();
    const std::string errPath = (streamsDir / ".stderr").string();
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (!workDir.empty()) {
        posix_spawn_file_actions_addchdir_np(&actions, workDir.c_str());
    }
    std::vector<char*> pointers;
    for (std::string& s : argv) {
        pointers.push_back(s.data());
    }
    pointers.push_back(nullptr);

    ProcessResult result;
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    const int spawnError = posix_spawn(&pid, program.c_str(), &actions, nullptr, pointers.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawnError != 0) {
        result.err = "cannot start " + program + ": " + std::strerror(spawnError);
        return result;
    }
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.maxResidentKb = usage.ru_maxrss;
    result.out = ReadFile(outPath);
    result.err = ReadFile(errPath);
    fs::remove(outPath);
    fs::remove(errPath);
    return result;
}

// Runs the built generator with `args` (the program name is added), its
// standard streams captured through files in `scratch`.
inline ProcessResult RunPaltab(const std::vector<std::string>& args, const ScratchDir& scratch) {
    std::vector<std::string> argv{PALTAB_EXE};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(PALTAB_EXE, std::move(argv), scratch.path());
}

// What a check run in a child process found.
struct ChildOutcome {
    bool skipped = false;  // the child could not set itself up; `message` says why
    std::string message;   // the skip reason, or what failed; empty when all held
};

inline ChildOutcome Skip(std::string reason) {
    return {true, std::move(reason)};
}

inline std::string ErrnoText(const std::string& what) {
    return what + ": " + std::strerror(errno);
}

// Runs `check` in a forked child, so that it may change what only that
// process sees (mounts, user, limits), and brings its outcome back.
inline ChildOutcome RunInChild(const std::function<ChildOutcome()>& check) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        return {false, ErrnoText("pipe")};
    }
    std::fflush(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        const ChildOutcome outcome = check();
        const std::string report = (outcome.skipped ? "S" : "R") + outcome.message;
        (void)!::write(pipeFds[1], report.data(), report.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    std::string report;
    char buffer[512];
    for (;;) {
        const ssize_t n = ::read(pipeFds[0], buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        report.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(pipeFds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (report.empty()) {
        return {false, "the child ended without a report (wait status " + std::to_string(status) + ")"};
    }
    return {report[0] == 'S', report.substr(1)};
}

// In a RunInChild check: gives the process a mount namespace of its own, so
// that what it mounts is seen by nobody else and gone with the process, then
// mounts `source` (of `type`, with `flags` and `options`) on `target`.
// Returns why it could not, or "".
inline std::string MountPrivately(const char* source, const std::string& target, const char* type,
                                  unsigned long flags, const char* options) {
    if (::unshare(CLONE_NEWNS) != 0) {
        return ErrnoText("cannot make a mount namespace (needs CAP_SYS_ADMIN)");
    }
    if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        return ErrnoText("cannot make mounts private");
    }
    if (::mount(source, target.c_str(), type, flags, options) != 0) {
        return ErrnoText(std::string("cannot mount ") + source);
    }
    return {};
}

// A tmpfs with `options` (e.g. "size=64k") on `dir`, as MountPrivately.
inline std::string MountPrivateTmpfs(const std::string& dir, const std::string& options) {
    return MountPrivately("tmpfs", dir, "tmpfs", 0, options.c_str());
}

// Why a limit on the address space cannot be tested here, or "".
inline std::string AddressSpaceLimitUnusable() {
#if defined(__SANITIZE_ADDRESS__)
    return "AddressSanitizer maps far more memory than any such limit allows";
#else
    return {};
#endif
}

// Lets the process map at most `extra` bytes more than it has mapped now, so
// that a larger allocation fails. For a fresh process (a death test of the
// "threadsafe" style, which runs the test anew): memory an earlier test
// freed would still be room. Returns why it could not, or "".
inline std::string LimitAddressSpace(std::size_t extra) {
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    if (!statm) {
        return "cannot read /proc/self/statm";
    }
    const auto limit = static_cast<rlim_t>(pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)) + extra);
    const struct rlimit both = {limit, limit};
    return ::setrlimit(RLIMIT_AS, &both) == 0 ? std::string() : ErrnoText("cannot limit the address space");
}

// The user a check drops to when it runs as root, so that permissions apply.
inline constexpr uid_t kNobody = 65534;

// In a RunInChild check: drops root, if the process has it, keeping only
// the supplementary groups in `groups`. Returns why it could not, or "".
inline std::string DropRoot(const std::vector<gid_t>& groups = {}) {
    if (::geteuid() != 0) {
        return {};
    }
    if (::setgroups(groups.size(), groups.data()) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
        return ErrnoText("cannot drop root");
    }
    return {};
}

}  // namespace paltab
