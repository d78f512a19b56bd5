// paltool remap with -d DIR: many images at once, each to DIR/name.ext,
// several at a time, skipping outputs that are up to date, with a progress
// line, a summary and a JSON report.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "command.hpp"
#include "paltab/image_formats.hpp"
#include "paltab/remap_image.hpp"

namespace paltab::paltool {

// -d, -j, --force, --json and --to as given.
struct BatchOptions {
    std::optional<std::string> directory;
    std::optional<std::string> to;
    std::optional<int> jobs;
    bool force = false;
    bool json = false;
};
void AddBatchOptions(CLI::App& cli, BatchOptions& options);

// The largest -j: each job holds one decoded image at a time.
inline constexpr int kMaxJobs = 256;

// What a batch writes: the outputs' extension, and the format for the
// pipeline.
struct BatchFormat {
    std::string extension;  // ".png"
    ImageFormat format = ImageFormat::kPng;
};
// The format --to names: png, or any ParseImageFormat knows and can write.
std::optional<BatchFormat> BatchFormatOfName(std::string_view name);

// The one place where the output format reaches the pipeline: `options` to
// write `format`, or nothing when the pipeline cannot write it.
std::optional<ImageRemapOptions> WithOutputFormat(ImageRemapOptions options, const BatchFormat& format);

// The output name of `input`: its base name without its extension (as
// FileExtension finds it), then `extension`. Empty when the input names no
// file ("dir/", "").
std::string BatchOutputName(std::string_view input, std::string_view extension);
// DIR/name.
std::string BatchOutputPath(std::string_view directory, std::string_view name);
// The first two positions (in input order) holding the same path, if any.
std::optional<std::pair<std::size_t, std::size_t>> FindSharedOutput(std::span<const std::string> outputs);

// An output is up to date, and skipped unless --force, when it is newer
// than its input and than the palette or tables file. Nothing for a file
// that is missing (or cannot be looked at), which is then never up to date.
struct FileTimes {
    std::optional<std::filesystem::file_time_type> output;
    std::optional<std::filesystem::file_time_type> input;
    std::optional<std::filesystem::file_time_type> target;
};
bool IsUpToDate(const FileTimes& times);
std::optional<std::filesystem::file_time_type> ModificationTime(const std::string& path);

enum class FileStatus { kConverted, kSkipped, kFailed };

// What became of one input.
struct FileOutcome {
    FileStatus status = FileStatus::kFailed;
    std::string input;
    std::string output;
    int width = 0;  // converted files only
    int height = 0;
    std::string error;  // failed files: the message, as "cannot read 'x': cause"
    std::optional<DitherQuality> quality;
};

struct BatchSummary {
    std::size_t converted = 0;
    std::size_t skipped = 0;
    std::size_t failed = 0;
    double seconds = 0;
    int jobs = 0;
};
BatchSummary Summarise(std::span<const FileOutcome> outcomes, double seconds, int jobs);

// "remap: 38 converted, 1 skipped (up to date), 1 failed in 2.41 s\n".
std::string SummaryLine(const BatchSummary& summary);
// The summary and every file's outcome, in input order, as a JSON object
// (the fields are listed in the command's help).
std::string BatchJson(const BatchSummary& summary, std::span<const FileOutcome> outcomes);
// "remap: 12 of 40 files, 3.2 s, about 7.5 s left" (no estimate before the
// first file is done).
std::string ProgressLine(std::size_t done, std::size_t total, double seconds);

// What remap says of one file, in either mode.
struct RemapMessages {
    const RemapTarget& target;
    const ImageRemapOptions& settings;
    const std::optional<std::string>& tablesPath;  // with --tables
    bool quiet = false;
};
// The warnings (standard error) and the report (standard output: the
// palette note, "wrote ...", the --report figures) of a remapped file.
std::string RemapWarnings(const RemapMessages& remap, const std::string& input, const RemappedImage& image);
std::string RemapReport(const RemapMessages& remap, const std::string& input, const std::string& output,
                        const RemappedImage& image);

// What every file of a batch shares, read-only.
struct BatchRemap {
    const RemapTarget& target;
    ImageRemapOptions settings;
    std::string targetPath;                 // the palette or tables file
    std::optional<std::string> tablesPath;  // with --tables, for the messages
    bool quiet = false;
};

// Checks the batch options against `files` and -o: in batch mode every input
// gets an output of its own that is no input. Where they disagree, a usage
// error is thrown.
void RequireBatchArguments(const BatchOptions& options, std::span<const std::string> files, bool hasOut);

// Runs the batch and prints its messages and summary; returns the exit status
// (1 when any file failed). A directory that cannot be made is a failure,
// thrown before any file is read; a file that fails is only reported, and
// the others go on.
int RunRemapBatch(std::span<const std::string> inputs, const BatchOptions& options, const BatchRemap& remap);

}  // namespace paltab::paltool
