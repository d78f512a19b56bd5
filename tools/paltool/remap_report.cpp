// What paltool remap prints: the lines of each remapped file, and the batch's
// progress line, summary line and JSON report.
#include <cmath>
#include <cstdio>

#include "io/file_io.hpp"
#include "remap_batch.hpp"

namespace paltab::paltool {
namespace {

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// A JSON string: quotes, backslashes and control characters escaped; bytes
// that are not UTF-8 (a file name may hold any) become U+FFFD.
std::string JsonString(std::string_view text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte < 0x80) {
            if (byte == '"' || byte == '\\') {
                out += '\\';
                out += static_cast<char>(byte);
            } else if (byte < 0x20 || byte == 0x7F) {
                out += "\\u00";
                out += kHex[byte >> 4];
                out += kHex[byte & 15];
            } else {
                out += static_cast<char>(byte);
            }
            ++i;
            continue;
        }
        // A well-formed sequence (no overlong forms, surrogates or values
        // past U+10FFFF) is copied as it is.
        const std::size_t length = byte >= 0xC2 && byte <= 0xDF ? 2 : byte >= 0xE0 && byte <= 0xEF ? 3
                                                                   : byte >= 0xF0 && byte <= 0xF4 ? 4
                                                                                                  : 0;
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        }
        if (valid && length > 2) {
            const auto second = static_cast<unsigned char>(text[i + 1]);
            valid = !(byte == 0xE0 && second < 0xA0) && !(byte == 0xED && second >= 0xA0) &&
                    !(byte == 0xF0 && second < 0x90) && !(byte == 0xF4 && second >= 0x90);
        }
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += "\\ufffd";
            ++i;
        }
    }
    return out + "\"";
}

std::string_view StatusName(FileStatus status) {
    switch (status) {
        case FileStatus::kConverted: return "converted";
        case FileStatus::kSkipped: return "skipped";
        case FileStatus::kFailed: break;
    }
    return "failed";
}

}  // namespace

std::string RemapWarnings(const RemapMessages& remap, const std::string& input, const RemappedImage& image) {
    std::string lines;
    if (remap.quiet) {
        return lines;
    }
    if (image.clearPixels > 0) {
        lines += "paltool: warning: " + std::to_string(image.clearPixels) + " pixels of " + QuotedPath(input) +
                 " have alpha below 128 and get opaque colours; --transparent INDEX keeps them transparent\n";
    }
    if (remap.settings.transparentIndex && image.opaqueTransparent > 0) {
        lines += "paltool: warning: " + std::to_string(image.opaqueTransparent) + " opaque pixels get entry " +
                 std::to_string(*remap.settings.transparentIndex) +
                 (image.keptIndices ? " as " + QuotedPath(input) + " has it"
                                    : " from the map of " + QuotedPath(remap.tablesPath.value_or(""))) +
                 " and show as transparent\n";
    }
    return lines;
}

std::string RemapReport(const RemapMessages& remap, const std::string& input, const std::string& output,
                        const RemappedImage& image) {
    std::string lines;
    if (!remap.quiet) {
        if (image.otherPalette) {
            lines += QuotedPath(input) + " is indexed in another palette: its colours were matched to the palette's entries\n";
        }
        const std::string how =
            image.keptIndices
                ? "its indices kept (its palette is the palette)"
                : "dither " + std::string(DitherMethodName(remap.settings.dither.method)) +
                      (remap.target.search ? ", " + std::string(MetricName(remap.target.search->GetMetric()))
                                           : ", map of " + ShownPath(remap.tablesPath.value_or("")));
        const bool offsets = image.offsets && remap.settings.output == ImageFormat::kPng;
        lines += "wrote " + ShownPath(output) + ": " + std::to_string(image.width) + " x " +
                 std::to_string(image.height) + " pixels, " + std::to_string(remap.target.palette.size()) +
                 " colours, " + how +
                 (offsets ? ", offsets " + std::to_string(image.offsets->x) + "," + std::to_string(image.offsets->y)
                          : "") +
                 "\n";
    }
    if (const auto& quality = image.quality) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "mean squared error %.2f (root %.2f), blurred %.2f (root %.2f); Gaussian sigma 2, "
                      "8-bit units per component\n",
                      quality->meanSquaredError, std::sqrt(quality->meanSquaredError), quality->blurredError,
                      std::sqrt(quality->blurredError));
        lines += text;
    }
    return lines;
}

BatchSummary Summarise(std::span<const FileOutcome> outcomes, double seconds, int jobs) {
    BatchSummary summary;
    for (const FileOutcome& outcome : outcomes) {
        (outcome.status == FileStatus::kConverted ? summary.converted
         : outcome.status == FileStatus::kSkipped ? summary.skipped
                                                  : summary.failed)++;
    }
    summary.seconds = seconds;
    summary.jobs = jobs;
    return summary;
}

std::string SummaryLine(const BatchSummary& summary) {
    return "remap: " + std::to_string(summary.converted) + " converted, " + std::to_string(summary.skipped) +
           " skipped (up to date), " + std::to_string(summary.failed) + " failed in " + Fixed(summary.seconds, 2) +
           " s\n";
}

std::string BatchJson(const BatchSummary& summary, std::span<const FileOutcome> outcomes) {
    std::string json = "{\"converted\": " + std::to_string(summary.converted) +
                       ", \"skipped\": " + std::to_string(summary.skipped) +
                       ", \"failed\": " + std::to_string(summary.failed) + ", \"seconds\": " +
                       Fixed(summary.seconds, 3) + ", \"jobs\": " + std::to_string(summary.jobs) + ", \"files\": [";
    for (std::size_t i = 0; i < outcomes.size(); ++i) {
        const FileOutcome& file = outcomes[i];
        json += i == 0 ? "\n  " : ",\n  ";
        json += "{\"input\": " + JsonString(file.input) + ", \"output\": " + JsonString(file.output) +
                ", \"status\": \"" + std::string(StatusName(file.status)) + "\"";
        if (file.status == FileStatus::kConverted) {
            json += ", \"width\": " + std::to_string(file.width) + ", \"height\": " + std::to_string(file.height);
        }
        if (file.status == FileStatus::kFailed) {
            json += ", \"error\": " + JsonString(file.error);
        }
        if (file.quality) {
            json += ", \"mean_squared_error\": " + Fixed(file.quality->meanSquaredError, 4) +
                    ", \"blurred_error\": " + Fixed(file.quality->blurredError, 4);
        }
        json += "}";
    }
    return json + (outcomes.empty() ? "]}\n" : "\n]}\n");
}

std::string ProgressLine(std::size_t done, std::size_t total, double seconds) {
    std::string line = "remap: " + std::to_string(done) + " of " + std::to_string(total) + " files, " +
                       Fixed(seconds, 1) + " s";
    if (done > 0 && done < total) {
        line += ", about " + Fixed(seconds / static_cast<double>(done) * static_cast<double>(total - done), 1) +
                " s left";
    }
    return line;
}

}  // namespace paltab::paltool
