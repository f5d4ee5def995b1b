// canxlate decode DB [LOG...]
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>

#include "command_line.h"
#include "commands.h"
#include "database.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "frame_decoder.h"
#include "help_text.h"
#include "terminal.h"

namespace canxlate::cli {
namespace {

constexpr OptionSpec kDecodeOptions[] = {
    {"--csv"},  {"--wide"}, {"--jsonl"}, {"--clamp"}, {"--select", true}, {"--message", true}, {"--output-dir", true},
    {"--help"}, {"-h"}};

// Problems reported one by one up to this many per log; a file in a foreign
// format would otherwise bury the terminal.
constexpr uint64_t kIssuesShown = 20;

struct IssueReport {
    std::string name;
    uint64_t shown = 0;
    ProgressIndicator* progress = nullptr;

    static void report(void* context, const cxl_log_issue* issue) {
        auto* self = static_cast<IssueReport*>(context);
        // Remote and error frames are counted in the summary; events that are
        // not frames belong in a log and are counted too.
        if (issue->kind == CXL_LOG_ISSUE_UNKNOWN_EVENT || issue->kind == CXL_LOG_ISSUE_SKIPPED_FRAME) return;
        if (++self->shown > kIssuesShown) return;
        if (self->progress != nullptr) self->progress->finish();
        reportError(self->position(*issue) + (issue->kind == CXL_LOG_ISSUE_WARNING ? "warning: " : "") +
                    issue->message);
        if (self->shown == kIssuesShown) reportError(self->name + ": further problems are counted, not shown");
    }

    std::string position(const cxl_log_issue& issue) const {
        if (issue.position_is_line && issue.position == 0) return name + ": ";
        return name + (issue.position_is_line ? ":" : ": byte ") + std::to_string(issue.position) + ": ";
    }
};

struct Totals {
    cxl_log_counts log{};
    uint64_t malformed = 0;
};

std::string summary(const Totals& totals, const DecodeCounts& counts) {
    std::string text = std::to_string(totals.log.frames) + " frames read, " + std::to_string(counts.decoded) +
                       " decoded, " + std::to_string(counts.notInDatabase) + " not in the database";
    if (counts.notSelected > 0) text += ", " + std::to_string(counts.notSelected) + " without selected signals";
    text += "; skipped " + std::to_string(totals.log.remote_frames) + " remote and " +
            std::to_string(totals.log.error_frames) + " error frames, " + std::to_string(totals.log.unknown_events) +
            " other events, " + std::to_string(totals.log.malformed) + " malformed";
    if (totals.log.warnings > 0) text += "; " + std::to_string(totals.log.warnings) + " warnings";
    return text;
}

std::optional<DecodeSettings> settingsFrom(const CommandLine& commandLine, std::string& error) {
    DecodeSettings settings;
    const bool csv = commandLine.has("--csv");
    const bool wide = commandLine.has("--wide");
    const std::vector<std::string> messages = commandLine.values("--message");
    const std::vector<std::string> directories = commandLine.values("--output-dir");
    if (csv && commandLine.has("--jsonl")) {
        error = "--csv and --jsonl exclude each other";
    } else if (wide && !csv) {
        error = "--wide goes with --csv";
    } else if (wide && messages.empty() == directories.empty()) {
        error = "--csv --wide needs either --message NAME or --output-dir DIR";
    } else if (!wide && !(messages.empty() && directories.empty())) {
        error = "--message and --output-dir go with --csv --wide";
    } else if (messages.size() > 1 || directories.size() > 1) {
        error = "--message and --output-dir are given once";
    }
    if (!error.empty()) return std::nullopt;
    settings.output = wide                         ? DecodeOutput::kCsvWide
                      : csv                        ? DecodeOutput::kCsv
                      : commandLine.has("--jsonl") ? DecodeOutput::kJsonLines
                                                   : DecodeOutput::kText;
    settings.clamp = commandLine.has("--clamp");
    settings.select = commandLine.values("--select");
    if (!messages.empty()) settings.wideMessage = messages[0];
    if (!directories.empty()) settings.outputDirectory = directories[0];
    return settings;
}

}  // namespace

int runDecode(std::span<const std::string_view> arguments) {
    std::string error;
    const auto commandLine = parseCommandLine(arguments, kDecodeOptions, error);
    if (!commandLine) {
        reportUsageError("decode", error);
        return kExitUsage;
    }
    if (commandLine->has("--help") || commandLine->has("-h")) {
        std::fwrite(kDecodeHelp.data(), 1, kDecodeHelp.size(), stdout);
        return kExitSuccess;
    }
    const auto& positionals = commandLine->positionals;
    auto settings = settingsFrom(*commandLine, error);
    if (positionals.empty() || !settings) {
        reportUsageError("decode", positionals.empty() ? "missing database file" : error);
        return kExitUsage;
    }
    const std::string databasePath(positionals[0]);
    const Database database = openDatabase(databasePath, DiagnosticLevel::kWarnings);
    if (!database) return kExitFailure;
    if (!settings->outputDirectory.empty()) {
        std::error_code ignored;
        std::filesystem::create_directories(settings->outputDirectory, ignored);
    }

    OutputBuffer out(stdout, OutputBuffer::kDefaultCapacity, true);
    FrameDecoder decoder(database.get(), std::move(*settings), out);
    if (!decoder.prepare(error)) {
        reportError(databasePath + ": " + error);
        return kExitFailure;
    }
    decoder.writeHeader();

    std::vector<std::string_view> logs(positionals.begin() + 1, positionals.end());
    if (logs.empty()) logs.push_back("-");
    Totals totals;
    bool failed = false;
    for (const std::string_view log : logs) {
        const std::string path(log);
        IssueReport issues{path == "-" ? "<stdin>" : path};
        std::unique_ptr<ProgressIndicator> progress;
        if (const uint64_t size = regularFileSize(path); size > 0 && showsProgress())
            progress = std::make_unique<ProgressIndicator>(stderr, size);
        issues.progress = progress.get();

        cxl_log_reader* reader = nullptr;
        const cxl_status opened =
            cxl_log_open_file(path.c_str(), CXL_LOG_AUTO, CXL_LOG_SKIP_REMOTE | CXL_LOG_SKIP_ERROR,
                              &IssueReport::report, &issues, &reader);
        if (opened != CXL_OK) {
            reportError(issues.name + ": cannot open: " + cxl_status_text(opened));
            failed = true;
            continue;
        }
        const cxl_status status = decoder.decodeLog(reader, progress.get());
        cxl_log_issue fatal{};
        if (status != CXL_OK && cxl_log_fatal_issue(reader, &fatal) != CXL_OK)
            reportError(issues.name + ": cannot read: " + cxl_status_text(status));
        cxl_log_counts counts{};
        cxl_log_get_counts(reader, &counts);
        cxl_log_close(reader);
        failed = failed || status != CXL_OK || counts.malformed > 0;
        totals.log.frames += counts.frames;
        totals.log.remote_frames += counts.remote_frames;
        totals.log.error_frames += counts.error_frames;
        totals.log.unknown_events += counts.unknown_events;
        totals.log.malformed += counts.malformed;
        totals.log.warnings += counts.warnings;
    }
    const bool written = out.flush();
    if (!written) reportError("cannot write the output");
    if (!decoder.finish(error)) {
        reportError(error);
        failed = true;
    }
    reportError(summary(totals, decoder.counts()));
    return failed || !written ? kExitFailure : kExitSuccess;
}

}  // namespace canxlate::cli
