#include "canxlate/logs/frame_reader.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <string_view>
#include <vector>

namespace canxlate::logs {
namespace {

constexpr std::size_t kDetectionBytes = 4096;

bool startsWithWord(std::string_view line, std::string_view word) {
    if (line.size() < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(line[i])) != word[i]) return false;
    return true;
}

LogFormat detectFormat(std::string_view start) {
    if (start.substr(0, 4) == "LOGG") return LogFormat::kBlf;
    if (start.substr(0, 3) == "\xEF\xBB\xBF") start.remove_prefix(3);
    // The first line with something on it decides.
    while (!start.empty()) {
        const std::size_t lineEnd = start.find('\n');
        std::string_view line = start.substr(0, lineEnd);
        while (!line.empty() && std::isspace(static_cast<unsigned char>(line.front())) != 0) line.remove_prefix(1);
        if (!line.empty()) {
            for (std::string_view word :
                 {"date ", "base ", "//", "begin triggerblock", "internal events logged", "no internal events logged"})
                if (startsWithWord(line, word)) return LogFormat::kAsc;
            return std::isdigit(static_cast<unsigned char>(line.front())) != 0 ? LogFormat::kAsc : LogFormat::kCandump;
        }
        if (lineEnd == std::string_view::npos) break;
        start.remove_prefix(lineEnd + 1);
    }
    return LogFormat::kCandump;
}

// Serves the detection bytes again, then the rest of the input.
class DetectedReader final : public FrameReader {
public:
    DetectedReader(ByteSource& source, const ReaderOptions& options) : FrameReader(options), start_(kDetectionBytes) {
        start_.resize(readFully(source, start_.data(), start_.size()));
        prefixed_ = std::make_unique<PrefixedSource>(start_.data(), start_.size(), source);
    }
    LogFormat format() const { return detectFormat({reinterpret_cast<const char*>(start_.data()), start_.size()}); }
    bool open(LogFormat format) {
        switch (format) {
            case LogFormat::kCandump: inner_ = openCandumpReader(*prefixed_, options_); break;
            case LogFormat::kAsc: inner_ = openAscReader(*prefixed_, options_); break;
            case LogFormat::kBlf: inner_ = openBlfReader(*prefixed_, options_); break;
        }
        return inner_ != nullptr;
    }
    int readError() const override { return inner_->readError(); }
    uint64_t bytesConsumed() const override { return inner_->bytesConsumed(); }

protected:
    std::size_t readSome(FrameRecord* records, std::size_t capacity) override {
        const std::size_t count = inner_->read(records, capacity);
        counts_ = inner_->counts();
        startNs_ = inner_->startNs();
        if (inner_->failed()) {
            failed_ = true;
            fatal_ = inner_->fatal();
        }
        return count;
    }

private:
    std::vector<uint8_t> start_;
    std::unique_ptr<PrefixedSource> prefixed_;
    std::unique_ptr<FrameReader> inner_;
};

}  // namespace

const char* formatName(LogFormat format) {
    switch (format) {
        case LogFormat::kCandump: return "candump";
        case LogFormat::kAsc: return "ASC";
        case LogFormat::kBlf: return "BLF";
    }
    return "?";
}

std::size_t FrameReader::read(FrameRecord* records, std::size_t capacity) {
    if (failed_ || capacity == 0) return 0;
    try {
        return readSome(records, capacity);
    } catch (const std::bad_alloc&) {
        report(IssueKind::kFatal, 0, false, "out of memory");
        return 0;
    }
}

bool FrameReader::keepFrame(const FrameRecord& record, uint64_t position, bool positionIsLine) {
    if (record.has(kRemoteFrame)) {
        ++counts_.remoteFrames;
        if (options_.skipRemoteFrames) {
            report(IssueKind::kSkippedFrame, position, positionIsLine, "remote frame skipped");
            return false;
        }
    }
    if (record.has(kErrorFrame)) {
        ++counts_.errorFrames;
        if (options_.skipErrorFrames) {
            report(IssueKind::kSkippedFrame, position, positionIsLine, "error frame skipped");
            return false;
        }
    }
    ++counts_.frames;
    return true;
}

void FrameReader::report(IssueKind kind, uint64_t position, bool positionIsLine, const char* message, uint32_t detail) {
    ReadIssue issue{kind, position, positionIsLine, message, detail};
    switch (kind) {
        case IssueKind::kMalformed: ++counts_.malformed; break;
        case IssueKind::kUnknownEvent: ++counts_.unknownEvents; break;
        case IssueKind::kSkippedFrame: ++counts_.skippedFrames; break;
        case IssueKind::kFatal:
            failed_ = true;
            fatal_ = issue;
            break;
    }
    if (options_.onIssue != nullptr) options_.onIssue(options_.context, issue);
}

std::unique_ptr<FrameReader> openFrameReader(ByteSource& source, const ReaderOptions& options, LogFormat* format) {
    try {
        auto reader = std::make_unique<DetectedReader>(source, options);
        const LogFormat detected = reader->format();
        if (format != nullptr) *format = detected;
        if (!reader->open(detected)) return nullptr;
        return reader;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

}  // namespace canxlate::logs
