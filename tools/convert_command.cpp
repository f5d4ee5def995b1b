// canxlate convert LOG --to asc|blf|candump [-o FILE]
// canxlate convert DB --to dbc [--merge OTHER]... [-o FILE]
#include <canxlate.h>

#include <cstdio>
#include <string>
#include <unordered_set>
#include <vector>

#include "command_line.h"
#include "commands.h"
#include "database.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "help_text.h"

namespace canxlate::cli {
namespace {

constexpr OptionSpec kConvertOptions[] = {{"--to", true},    {"-o", true}, {"--output", true},
                                          {"--merge", true}, {"--help"},   {"-h"}};
constexpr std::size_t kBatchFrames = 1024;

void reportIssue(void* context, const cxl_log_issue* issue) {
    if (issue->kind == CXL_LOG_ISSUE_UNKNOWN_EVENT || issue->kind == CXL_LOG_ISSUE_SKIPPED_FRAME) return;
    const auto* name = static_cast<const std::string*>(context);
    reportError(*name + (issue->position_is_line ? ":" : ": byte ") + std::to_string(issue->position) + ": " +
                (issue->kind == CXL_LOG_ISSUE_WARNING ? "warning: " : "") + issue->message);
}

// All columns, so that nothing the log keeps is lost on the way.
struct FrameColumns {
    std::vector<int64_t> timeNs = std::vector<int64_t>(kBatchFrames);
    std::vector<double> timestamps = std::vector<double>(kBatchFrames);
    std::vector<uint32_t> ids = std::vector<uint32_t>(kBatchFrames);
    std::vector<uint8_t> extended = std::vector<uint8_t>(kBatchFrames);
    std::vector<uint8_t> lengths = std::vector<uint8_t>(kBatchFrames);
    std::vector<uint8_t> payloads = std::vector<uint8_t>(kBatchFrames * CXL_LOG_PAYLOAD_STRIDE);
    std::vector<uint16_t> flags = std::vector<uint16_t>(kBatchFrames);
    std::vector<uint16_t> channels = std::vector<uint16_t>(kBatchFrames);
    std::vector<uint8_t> dlcs = std::vector<uint8_t>(kBatchFrames);

    cxl_frames frames() {
        return cxl_frames{kBatchFrames,   0,
                          timeNs.data(),  timestamps.data(),
                          ids.data(),     extended.data(),
                          lengths.data(), payloads.data(),
                          flags.data(),   channels.data(),
                          dlcs.data()};
    }
};

// Frames first..first+count of a batch, as a batch of their own.
cxl_frames slice(const cxl_frames& frames, std::size_t first, std::size_t count) {
    return cxl_frames{count,
                      count,
                      frames.time_ns + first,
                      frames.timestamps + first,
                      frames.ids + first,
                      frames.extended + first,
                      frames.lengths + first,
                      frames.payloads + first * CXL_LOG_PAYLOAD_STRIDE,
                      frames.flags + first,
                      frames.channels + first,
                      frames.dlcs + first};
}

// Writes a batch read from the log. The interface names the log gives go
// with their channels; a frame the output format cannot hold is reported
// and left out, never shortened. Returns the write status.
struct BatchWriter {
    BatchWriter(cxl_log_reader* from, cxl_log_writer* to) : reader(from), writer(to) {}

    cxl_log_reader* reader;
    cxl_log_writer* writer;
    std::unordered_set<uint16_t> namedChannels;
    uint64_t framesBefore = 0;
    uint64_t refused = 0;

    cxl_status write(const cxl_frames& frames) {
        for (std::size_t f = 0; f < frames.count; ++f) {
            const uint16_t channel = frames.channels[f];
            if (!namedChannels.insert(channel).second) continue;
            if (const char* name = cxl_log_channel_name(reader, channel); name != nullptr)
                cxl_log_name_channel(writer, channel, name);
        }
        std::size_t runStart = 0;
        cxl_status status = CXL_OK;
        for (std::size_t f = 0; f <= frames.count && status == CXL_OK; ++f) {
            const char* refusal = f < frames.count ? cxl_log_refusal(writer, &frames, f) : nullptr;
            if (f < frames.count && refusal == nullptr) continue;
            if (f > runStart) {
                const cxl_frames run = slice(frames, runStart, f - runStart);
                status = cxl_log_write(writer, &run);
            }
            runStart = f + 1;
            if (refusal != nullptr) {
                ++refused;
                reportError("frame " + std::to_string(framesBefore + f + 1) + " left out: " + refusal);
            }
        }
        framesBefore += frames.count;
        return status;
    }
};

struct BuilderFree {
    void operator()(cxl_builder* builder) const { cxl_builder_free(builder); }
};

// The database joined with the others, or null (reported).
Database merged(Database database, const std::vector<std::string>& others) {
    cxl_builder* raw = nullptr;
    if (cxl_builder_copy(database.get(), &raw) != CXL_OK) return nullptr;
    std::unique_ptr<cxl_builder, BuilderFree> builder(raw);
    bool conflicts = false;
    for (const std::string& path : others) {
        Database other = openDatabase(path, DiagnosticLevel::kWarnings);
        if (!other) return nullptr;
        cxl_build_report report{};
        if (cxl_builder_merge(raw, other.get(), &report) != CXL_OK) {
            reportError(path + ": cannot merge: " + report.text);
            conflicts = true;
        }
    }
    if (conflicts) return nullptr;
    cxl_database* joined = nullptr;
    cxl_build_report report{};
    if (cxl_builder_finish(raw, &joined, &report) != CXL_OK) {
        reportError(std::string("cannot merge: ") + report.text);
        return nullptr;
    }
    return Database(joined);
}

int convertDatabase(const std::string& input, const std::vector<std::string>& others, const std::string& output) {
    Database database = openDatabase(input, DiagnosticLevel::kWarnings);
    if (database && !others.empty()) database = merged(std::move(database), others);
    if (!database) return kExitFailure;
    char* text = nullptr;
    size_t size = 0;
    cxl_status status = cxl_write_dbc_memory(database.get(), &text, &size);
    if (status == CXL_OK) {
        std::FILE* file = output == "-" ? stdout : std::fopen(output.c_str(), "wb");
        if (file == nullptr || std::fwrite(text, 1, size, file) != size || std::fflush(file) != 0)
            status = CXL_ERR_CANNOT_OPEN;
        if (file != nullptr && file != stdout && std::fclose(file) != 0) status = CXL_ERR_CANNOT_OPEN;
    }
    cxl_free_text(text);
    if (status != CXL_OK) {
        reportError((output == "-" ? std::string("<stdout>") : output) + ": cannot write: " + cxl_status_text(status));
        return kExitFailure;
    }
    return kExitSuccess;
}

}  // namespace

int runConvert(std::span<const std::string_view> arguments) {
    std::string error;
    const auto commandLine = parseCommandLine(arguments, kConvertOptions, error);
    if (!commandLine) {
        reportUsageError("convert", error);
        return kExitUsage;
    }
    if (commandLine->has("--help") || commandLine->has("-h")) {
        std::fwrite(kConvertHelp.data(), 1, kConvertHelp.size(), stdout);
        return kExitSuccess;
    }
    const std::vector<std::string> formats = commandLine->values("--to");
    std::vector<std::string> outputs = commandLine->values("-o");
    for (const std::string& output : commandLine->values("--output")) outputs.push_back(output);
    const std::vector<std::string> others = commandLine->values("--merge");
    constexpr int32_t kDbc = -1;
    int32_t format = 0;
    if (formats.size() == 1) {
        format = formats[0] == "asc"       ? CXL_LOG_ASC
                 : formats[0] == "blf"     ? CXL_LOG_BLF
                 : formats[0] == "candump" ? CXL_LOG_CANDUMP
                 : formats[0] == "dbc"     ? kDbc
                                           : 0;
    }
    if (commandLine->positionals.size() != 1) {
        error = commandLine->positionals.empty() ? "missing log file" : "too many arguments";
    } else if (format == 0) {
        error = "--to takes one of asc, blf, candump, dbc";
    } else if (outputs.size() > 1) {
        error = "the output is given once";
    } else if (!others.empty() && format != kDbc) {
        error = "--merge needs --to dbc";
    }
    if (!error.empty()) {
        reportUsageError("convert", error);
        return kExitUsage;
    }
    const std::string input(commandLine->positionals[0]);
    const std::string inputName = input == "-" ? "<stdin>" : input;
    const std::string output = outputs.empty() ? "-" : outputs[0];
    if (format == kDbc) return convertDatabase(input, others, output);

    cxl_log_reader* reader = nullptr;
    if (const cxl_status status = cxl_log_open_file(input.c_str(), CXL_LOG_AUTO, 0, &reportIssue,
                                                    const_cast<std::string*>(&inputName), &reader);
        status != CXL_OK) {
        reportError(inputName + ": cannot open: " + cxl_status_text(status));
        return kExitFailure;
    }
    cxl_log_writer* writer = nullptr;
    if (const cxl_status status = cxl_log_create_file(output.c_str(), format, &writer); status != CXL_OK) {
        reportError((output == "-" ? std::string("<stdout>") : output) + ": cannot create: " + cxl_status_text(status));
        cxl_log_close(reader);
        return kExitFailure;
    }
    FrameColumns columns;
    cxl_frames frames = columns.frames();
    cxl_status readStatus = CXL_OK;
    cxl_status writeStatus = CXL_OK;
    BatchWriter batches{reader, writer};
    do {
        readStatus = cxl_log_read(reader, &frames);
        if (frames.count > 0 && writeStatus == CXL_OK) writeStatus = batches.write(frames);
    } while (readStatus == CXL_OK && frames.count > 0);
    cxl_log_counts counts{};
    cxl_log_get_counts(reader, &counts);
    cxl_log_issue fatal{};
    if (readStatus != CXL_OK && cxl_log_fatal_issue(reader, &fatal) != CXL_OK)
        reportError(inputName + ": cannot read: " + cxl_status_text(readStatus));
    cxl_log_close(reader);
    const cxl_status finished = cxl_log_finish(writer);
    if (writeStatus == CXL_OK) writeStatus = finished;
    if (writeStatus != CXL_OK) reportError("cannot write the output: " + std::string(cxl_status_text(writeStatus)));
    reportError(std::to_string(counts.frames - batches.refused) + " frames written (" +
                std::to_string(counts.remote_frames) + " remote, " + std::to_string(counts.error_frames) +
                " error frames); " + std::to_string(counts.unknown_events) + " other events, " +
                std::to_string(counts.malformed) + " malformed and " + std::to_string(batches.refused) +
                " frames the output cannot hold left out" +
                (counts.warnings == 0 ? "" : "; " + std::to_string(counts.warnings) + " warnings"));
    return readStatus == CXL_OK && writeStatus == CXL_OK && counts.malformed == 0 && batches.refused == 0
               ? kExitSuccess
               : kExitFailure;
}

}  // namespace canxlate::cli
