// The common face of the log readers: frames in batches into the caller's
// array, counts of everything else, and the format recognised from the first
// bytes of the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <utility>

#include "canxlate/logs/byte_source.h"
#include "canxlate/logs/frame_record.h"
#include "canxlate/logs/read_issue.h"

namespace canxlate::logs {

enum class LogFormat : uint8_t { kCandump, kAsc, kBlf };

const char* formatName(LogFormat format);

class FrameReader {
public:
    explicit FrameReader(const ReaderOptions& options) : options_(options) {}
    virtual ~FrameReader() = default;
    FrameReader(const FrameReader&) = delete;
    FrameReader& operator=(const FrameReader&) = delete;

    // Up to capacity frames into records; fewer only at the end of the input
    // or after a fatal error (see fatal()). 0 means the end.
    std::size_t read(FrameRecord* records, std::size_t capacity);

    const ReadCounts& counts() const { return counts_; }
    // The error that stopped reading, if any (kind kFatal).
    bool failed() const { return failed_; }
    const ReadIssue& fatal() const { return fatal_; }
    // errno of a failed read of the input, 0 if none.
    virtual int readError() const = 0;
    // Bytes of the input consumed so far, for progress reports.
    virtual uint64_t bytesConsumed() const = 0;
    // Start of the recording in nanoseconds since 1970 when the log gives
    // it, else 0.
    int64_t startNs() const { return startNs_; }
    // The interface name a log gives a channel (candump's "vcan0"), or null
    // for logs that number their channels.
    virtual const char* channelName(uint16_t /*channel*/) const { return nullptr; }

protected:
    // Fills records like read(); may allocate (read() turns a failed
    // allocation into a fatal error).
    virtual std::size_t readSome(FrameRecord* records, std::size_t capacity) = 0;

    // Settles what every format shares (see the definition), counts a remote
    // or error frame; true when it is to be delivered.
    bool keepFrame(FrameRecord& record, uint64_t position, bool positionIsLine);
    void report(IssueKind kind, uint64_t position, bool positionIsLine, const char* message, uint32_t detail = 0);

    ReaderOptions options_;
    ReadCounts counts_;
    int64_t startNs_ = 0;
    bool failed_ = false;
    ReadIssue fatal_;
};

// Recognises the format from the first bytes (BLF by its signature, ASC by
// its header keywords or a first line starting with a timestamp, candump
// otherwise) and opens the matching reader. The source must outlive the
// reader. Returns null only when memory runs out.
std::unique_ptr<FrameReader> openFrameReader(ByteSource& source, const ReaderOptions& options = {},
                                             LogFormat* format = nullptr);

// A new T, or null when memory runs out: what every reader factory returns.
template <typename T, typename... Arguments>
std::unique_ptr<T> makeOrNull(Arguments&&... arguments) noexcept {
    try {
        return std::make_unique<T>(std::forward<Arguments>(arguments)...);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

// Opens a reader for a known format.
std::unique_ptr<FrameReader> openCandumpReader(ByteSource& source, const ReaderOptions& options);
std::unique_ptr<FrameReader> openAscReader(ByteSource& source, const ReaderOptions& options);
std::unique_ptr<FrameReader> openBlfReader(ByteSource& source, const ReaderOptions& options);

}  // namespace canxlate::logs
