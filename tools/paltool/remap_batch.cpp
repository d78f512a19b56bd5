// paltool remap -d DIR: the batch runner. The target is loaded once and shared
// read-only; each worker takes the next input by a shared index, remaps it
// through RemapImageFile, writes it whole with WriteFileBytes and prints its
// lines at once under one lock, so that no two files' lines interleave.
#include "remap_batch.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <new>
#include <numeric>
#include <set>
#include <thread>

#include "io/file_io.hpp"

namespace paltab::paltool {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

// How often a shown progress line is redrawn while no file finishes.
constexpr auto kProgressTick = std::chrono::milliseconds(250);

// One file's outcome and the lines it prints: `out` for the standard
// output, `err` for the standard error stream.
struct FileRun {
    FileOutcome outcome;
    std::string out;
    std::string err;
};

FileRun RemapOneFile(const std::string& input, const std::string& output, const BatchRemap& remap, bool force,
                     const std::optional<fs::file_time_type>& targetTime) {
    FileRun run;
    run.outcome.input = input;
    run.outcome.output = output;
    const auto fail = [&](std::string message) {
        run.outcome.status = FileStatus::kFailed;
        run.err += "paltool: " + message + "\n";
        run.outcome.error = std::move(message);
    };
    try {
        if (!force && IsUpToDate({ModificationTime(output), ModificationTime(input), targetTime})) {
            run.outcome.status = FileStatus::kSkipped;
            return run;
        }
        auto image = RemapImageFile(input, remap.target, remap.settings);
        if (!image) {
            const Error& error = image.error();
            fail(error.kind == ErrorKind::kOutput ? CannotWrite(output, error).Message() : error.Message());
            return run;
        }
        const RemapMessages messages{remap.target, remap.settings, remap.tablesPath, remap.quiet};
        run.err += RemapWarnings(messages, input, *image);
        if (const Status written = WriteFileBytes(output, image->file); !written) {
            fail(written.error().Message());
            return run;
        }
        run.outcome.status = FileStatus::kConverted;
        run.outcome.width = image->width;
        run.outcome.height = image->height;
        run.outcome.quality = image->quality;
        run.out += RemapReport(messages, input, output, *image);
    } catch (const std::bad_alloc&) {
        // Too large for the memory left beside the other jobs: this file
        // fails, the others go on.
        fail("cannot remap " + QuotedPath(input) + ": out of memory");
    } catch (const std::exception& e) {
        // Anything else thrown stays this file's failure too: a worker
        // thread must not end the process.
        fail("cannot remap " + QuotedPath(input) + ": " + e.what());
    }
    return run;
}

// The progress line on the standard error stream, redrawn in place with a
// carriage return and blanked out before other lines are printed.
class Progress {
public:
    explicit Progress(bool shown) : shown_(shown) {}

    void Draw(const std::string& line) {
        if (!shown_ || line == drawn_) {
            return;
        }
        std::string text = "\r" + line;
        if (line.size() < drawn_.size()) {
            text += std::string(drawn_.size() - line.size(), ' ') + "\r" + line;
        }
        std::fputs(text.c_str(), stderr);
        std::fflush(stderr);
        drawn_ = line;
    }
    void Clear() {
        if (shown_ && !drawn_.empty()) {
            std::fputs(("\r" + std::string(drawn_.size(), ' ') + "\r").c_str(), stderr);
            std::fflush(stderr);
            drawn_.clear();
        }
    }

private:
    bool shown_;
    std::string drawn_;  // what the line shows now
};

}  // namespace

void AddBatchOptions(CLI::App& cli, BatchOptions& options) {
    cli.add_option("-d", options.directory);
    cli.add_option("--to", options.to);
    cli.add_option("-j", options.jobs);
    cli.add_flag("--force", options.force);
    cli.add_flag("--json", options.json);
}

std::optional<BatchFormat> BatchFormatOfName(std::string_view name) {
    const auto format = ParseImageFormat(name);
    if (!format || !CanWriteImageFormat(*format)) {
        return std::nullopt;
    }
    return BatchFormat{std::string(ImageFormatExtension(*format)), *format};
}

std::optional<ImageRemapOptions> WithOutputFormat(ImageRemapOptions options, const BatchFormat& format) {
    options.output = format.format;
    return options;
}

std::string BatchOutputName(std::string_view input, std::string_view extension) {
    const std::string_view name = input.substr(input.find_last_of('/') + 1);
    if (name.empty() || name == "." || name == "..") {
        return {};
    }
    const std::size_t dot = name.find_last_of('.');
    const std::string_view stem = dot == std::string_view::npos || dot == 0 ? name : name.substr(0, dot);
    return std::string(stem) + std::string(extension);
}

std::string BatchOutputPath(std::string_view directory, std::string_view name) {
    std::string path(directory);
    if (!path.empty() && path.back() != '/') {
        path += '/';
    }
    return path + std::string(name);
}

std::optional<std::pair<std::size_t, std::size_t>> FindSharedOutput(std::span<const std::string> outputs) {
    std::vector<std::size_t> order(outputs.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return outputs[a] < outputs[b]; });
    std::optional<std::pair<std::size_t, std::size_t>> first;
    for (std::size_t k = 1; k < order.size(); ++k) {
        if (outputs[order[k - 1]] == outputs[order[k]]) {
            const auto pair = std::minmax(order[k - 1], order[k]);
            if (!first || pair.second < first->second || (pair.second == first->second && pair.first < first->first)) {
                first = pair;
            }
        }
    }
    return first;
}

bool IsUpToDate(const FileTimes& times) {
    return times.output && times.input && times.target && *times.output > *times.input &&
           *times.output > *times.target;
}

std::optional<fs::file_time_type> ModificationTime(const std::string& path) {
    std::error_code error;
    const fs::file_time_type time = fs::last_write_time(path, error);
    if (error) {
        return std::nullopt;
    }
    return time;
}

void RequireBatchArguments(const BatchOptions& options, std::span<const std::string> files, bool hasOut) {
    if (!options.directory) {
        if (files.size() > 1) {
            ThrowUsageError("remap", "several IMAGEs need -d DIR, where each is written as DIR/NAME.EXT");
        }
        if (options.jobs || options.force || options.json) {
            ThrowUsageError("remap", "-j, --force and --json apply to -d DIR");
        }
        return;
    }
    if (hasOut) {
        ThrowUsageError("remap", "-o names one output and -d DIR a directory for many: give one of them");
    }
    if (files.empty()) {
        ThrowUsageError("remap", "expected one or more IMAGEs with -d DIR");
    }
    if (options.jobs && (*options.jobs < 1 || *options.jobs > kMaxJobs)) {
        ThrowUsageError("remap", "-j must be a number of jobs 1.." + std::to_string(kMaxJobs));
    }
    const auto format = BatchFormatOfName(options.to.value_or("png"));
    if (!format) {
        ThrowUsageError("remap", "--to '" + *options.to + "' is not an image format remap writes");
    }
    std::vector<std::string> outputs;
    for (const std::string& file : files) {
        const std::string name = BatchOutputName(file, format->extension);
        if (name.empty()) {
            ThrowUsageError("remap", QuotedPath(file) + " names no file to write in -d DIR");
        }
        outputs.push_back(BatchOutputPath(*options.directory, name));
    }
    if (const auto shared = FindSharedOutput(outputs)) {
        ThrowUsageError("remap", QuotedPath(files[shared->first]) + " and " + QuotedPath(files[shared->second]) +
                                       " would both be written as " + QuotedPath(outputs[shared->first]));
    }
    // An output that is one of the inputs would replace the art it is made
    // from (remap out/*.png -d out).
    std::set<std::pair<dev_t, ino_t>> inputs;
    for (const std::string& file : files) {
        struct stat info {};
        if (::stat(file.c_str(), &info) == 0) {
            inputs.insert({info.st_dev, info.st_ino});
        }
    }
    for (std::size_t i = 0; i < outputs.size(); ++i) {
        struct stat info {};
        if (::stat(outputs[i].c_str(), &info) == 0 && inputs.count({info.st_dev, info.st_ino}) != 0) {
            ThrowUsageError("remap", QuotedPath(outputs[i]) + " is an input; it would be written over");
        }
    }
}

int RunRemapBatch(std::span<const std::string> inputs, const BatchOptions& options, const BatchRemap& remap) {
    const auto start = Clock::now();
    const auto seconds = [&] { return std::chrono::duration<double>(Clock::now() - start).count(); };
    const std::optional<BatchFormat> format = BatchFormatOfName(options.to.value_or("png"));
    const std::optional<ImageRemapOptions> settings = format ? WithOutputFormat(remap.settings, *format) : std::nullopt;
    if (!settings) {
        ThrowUsageError("remap", "--to: not an image format remap writes");
    }
    const BatchRemap shared{remap.target, *settings, remap.targetPath, remap.tablesPath, remap.quiet};
    const std::string& directory = *options.directory;
    std::error_code error;
    fs::create_directories(directory, error);
    if (!fs::is_directory(directory)) {
        ThrowFailure(CannotWrite(directory, error ? error.message() : "not a directory"));
    }

    std::vector<FileOutcome> outcomes(inputs.size());
    std::vector<std::string> outputs;
    for (const std::string& input : inputs) {
        outputs.push_back(BatchOutputPath(directory, BatchOutputName(input, format->extension)));
    }
    const std::optional<fs::file_time_type> targetTime = ModificationTime(remap.targetPath);
    const unsigned processors = std::max(1u, std::thread::hardware_concurrency());
    const auto jobs = static_cast<std::size_t>(
        std::min<std::size_t>(options.jobs ? static_cast<std::size_t>(*options.jobs) : processors, inputs.size()));

    std::atomic<std::size_t> next{0};
    std::mutex printing;  // guards the streams, `done` and `progress`
    std::condition_variable finished;
    std::size_t done = 0;
    Progress progress(!remap.quiet && ::isatty(STDERR_FILENO) == 1);
    const auto work = [&] {
        for (std::size_t i = next++; i < inputs.size(); i = next++) {
            FileRun run = RemapOneFile(inputs[i], outputs[i], shared, options.force, targetTime);
            const std::lock_guard lock(printing);
            progress.Clear();
            if (!options.json) {
                std::fputs(run.out.c_str(), stdout);
                std::fflush(stdout);
            }
            std::fputs(run.err.c_str(), stderr);
            outcomes[i] = std::move(run.outcome);
            ++done;
            progress.Draw(ProgressLine(done, inputs.size(), seconds()));
            finished.notify_all();
        }
    };
    std::vector<std::thread> workers;
    try {
        while (workers.size() < jobs) {
            workers.emplace_back(work);
        }
    } catch (const std::system_error&) {
        // No more threads to be had: those that started do the work.
    }
    if (workers.empty()) {
        work();
    }
    {
        std::unique_lock lock(printing);
        while (done < inputs.size()) {
            progress.Draw(ProgressLine(done, inputs.size(), seconds()));
            finished.wait_for(lock, kProgressTick);
        }
        progress.Clear();
    }
    for (std::thread& worker : workers) {
        worker.join();
    }

    const BatchSummary summary = Summarise(outcomes, seconds(), static_cast<int>(std::max<std::size_t>(workers.size(), 1)));
    if (options.json) {
        Print(BatchJson(summary, outcomes));
    } else if (!remap.quiet) {
        Print(SummaryLine(summary));
    }
    return summary.failed > 0 ? kFailure : kSuccess;
}

}  // namespace paltab::paltool
