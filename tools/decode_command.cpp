// canxlate decode DB [LOG] [--csv] [--select NAME]...
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "command_line.h"
#include "commands.h"
#include "database_loading.h"
#include "decode_stream.h"
#include "diagnostics.h"
#include "exit_status.h"
#include "help_text.h"

namespace canxlate::cli {
namespace {

constexpr OptionSpec kDecodeOptions[] = {{"--csv"}, {"--select", true}, {"--help"}, {"-h"}};

// Malformed lines reported one by one up to this many; a log in a foreign
// format would otherwise bury the terminal.
constexpr uint64_t kMalformedLinesShown = 20;

// The log named on the command line, or standard input; closed at the end.
class LogInput {
public:
    explicit LogInput(std::string_view path) {
        if (path.empty() || path == "-") {
            name_ = "<stdin>";
            fd_ = STDIN_FILENO;
        } else {
            name_ = std::string(path);
            fd_ = ::open(name_.c_str(), O_RDONLY | O_CLOEXEC);
            owned_ = fd_ >= 0;
        }
    }
    LogInput(const LogInput&) = delete;
    LogInput& operator=(const LogInput&) = delete;
    ~LogInput() {
        if (owned_) ::close(fd_);
    }

    int fd() const { return fd_; }
    const std::string& name() const { return name_; }

    // The file's size when it is a regular file, else 0.
    uint64_t regularFileSize() const {
        struct stat info {};
        if (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode)) return 0;
        return static_cast<uint64_t>(info.st_size);
    }

private:
    std::string name_;
    int fd_ = -1;
    bool owned_ = false;
};

std::string summary(const DecodeCounts& counts) {
    return std::to_string(counts.framesRead) + " frames read, " + std::to_string(counts.decoded) + " decoded, " +
           std::to_string(counts.skipped()) + " skipped (" + std::to_string(counts.notInTable) + " not in table, " +
           std::to_string(counts.remote) + " remote, " + std::to_string(counts.flexibleData) + " CAN FD, " +
           std::to_string(counts.errorFrames) + " error frames), " + std::to_string(counts.malformedLines) +
           " malformed lines";
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
    if (positionals.empty() || positionals.size() > 2) {
        reportUsageError("decode", positionals.empty() ? "missing database file" : "too many arguments");
        return kExitUsage;
    }

    MessageCatalog catalog;
    if (!loadDatabase(std::string(positionals[0]), commandLine->values("--select"), catalog)) return kExitFailure;

    LogInput input(positionals.size() == 2 ? positionals[1] : std::string_view{});
    if (input.fd() < 0) {
        reportError(input.name() + ": cannot open: " + std::strerror(errno));
        return kExitFailure;
    }

    std::unique_ptr<ProgressIndicator> progress;
    const uint64_t inputSize = input.regularFileSize();
    if (inputSize > 0 && ::isatty(STDERR_FILENO) && !::isatty(STDOUT_FILENO))
        progress = std::make_unique<ProgressIndicator>(stderr, inputSize);

    OutputBuffer out(stdout);
    LogDecoder decoder(catalog, commandLine->has("--csv") ? OutputFormat::kCsv : OutputFormat::kReadable, out);
    decoder.writeHeader();
    const MalformedLineHandler reportMalformed = [&](uint64_t lineNumber, std::string_view problem) {
        const uint64_t seen = decoder.counts().malformedLines;
        if (seen <= kMalformedLinesShown) {
            if (progress) progress->finish();
            reportError(input.name() + ':' + std::to_string(lineNumber) + ": malformed line: " + std::string(problem));
        }
        if (seen == kMalformedLinesShown)
            reportError(input.name() + ": further malformed lines are counted, not shown");
    };
    BlockLineReader reader(input.fd());
    const bool readAll = decodeStream(reader, decoder, reportMalformed, progress.get());
    const int readError = reader.readError();
    if (!out.flush()) {
        reportError(std::string("cannot write the output: ") + std::strerror(errno));
        return kExitFailure;
    }
    reportError(summary(decoder.counts()));
    if (!readAll) {
        reportError(input.name() + ": read error: " + std::strerror(readError));
        return kExitFailure;
    }
    return decoder.counts().malformedLines > 0 ? kExitFailure : kExitSuccess;
}

}  // namespace canxlate::cli
