#include "canxlate/logs/frame_reader.h"

#include <algorithm>
#include <cctype>
#include <new>
#include <string_view>
#include <vector>

#include "canxlate/logs/gzip_source.h"

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

// Serves the detection bytes again, then the rest of the input; a
// gzip-compressed log is read through its text.
class DetectedReader final : public FrameReader {
public:
    DetectedReader(ByteSource& source, const ReaderOptions& options) : FrameReader(options) {
        sniff(source, start_, prefixed_);
        if (startsLikeGzip(start_.data(), start_.size())) {
            gzip_ = std::make_unique<GzipSource>(*prefixed_);
            sniff(*gzip_, textStart_, textPrefixed_);  // corrupt data: a read error of the text
        }
    }
    LogFormat format() const {
        const std::vector<uint8_t>& start = inText() ? textStart_ : start_;
        return detectFormat({reinterpret_cast<const char*>(start.data()), start.size()});
    }
    bool open(LogFormat format) {
        ByteSource& source = inText() ? *textPrefixed_ : *prefixed_;
        switch (format) {
            case LogFormat::kCandump: inner_ = openCandumpReader(source, options_); break;
            case LogFormat::kAsc: inner_ = openAscReader(source, options_); break;
            case LogFormat::kBlf: inner_ = openBlfReader(source, options_); break;
        }
        return inner_ != nullptr;
    }
    int readError() const override { return inner_->readError(); }
    uint64_t bytesConsumed() const override { return inText() ? gzip_->compressedConsumed() : inner_->bytesConsumed(); }
    const char* channelName(uint16_t channel) const override { return inner_->channelName(channel); }

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
    static void sniff(ByteSource& source, std::vector<uint8_t>& start, std::unique_ptr<PrefixedSource>& prefixed) {
        start.resize(kDetectionBytes);
        start.resize(readFully(source, start.data(), start.size()));
        prefixed = std::make_unique<PrefixedSource>(start.data(), start.size(), source);
    }
    bool inText() const { return gzip_ != nullptr; }

    std::vector<uint8_t> start_;
    std::unique_ptr<PrefixedSource> prefixed_;
    std::unique_ptr<GzipSource> gzip_;  // when the input is gzip-compressed
    std::vector<uint8_t> textStart_;
    std::unique_ptr<PrefixedSource> textPrefixed_;
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

bool FrameReader::keepFrame(FrameRecord& record, uint64_t position, bool positionIsLine) {
    // A frame of more than 8 data bytes is CAN FD whatever a log's flags say;
    // bit rate switch and error state belong to CAN FD frames only.
    if (record.length > kClassicDataLength && !record.has(kErrorFrame)) record.flags |= kFlexibleData;
    if (!record.has(kFlexibleData)) record.flags &= static_cast<uint16_t>(~(kBitRateSwitch | kErrorStateIndicator));
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
        case IssueKind::kWarning: ++counts_.warnings; break;
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
