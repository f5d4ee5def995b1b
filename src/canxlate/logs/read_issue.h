// What a log reader met besides frames: counts per kind, and each event with
// its position, handed to an optional callback as it is met.
#pragma once

#include <cstdint>

namespace canxlate::logs {

enum class IssueKind : uint8_t {
    kMalformed,     // a line or object that could not be read: skipped
    kUnknownEvent,  // an ASC event line or BLF object type that is not a frame: skipped
    kSkippedFrame,  // a remote or error frame left out as the options ask
    kFatal,         // reading stopped here
    kWarning,       // a frame read as this says (e.g. missing data bytes as zeros): delivered
};

struct ReadIssue {
    IssueKind kind = IssueKind::kMalformed;
    // Line number (from 1) for text logs, byte offset in the file for BLF.
    uint64_t position = 0;
    bool positionIsLine = true;
    const char* message = "";  // static text
    uint32_t detail = 0;       // e.g. the BLF object type; 0 when none
};

struct ReadCounts {
    uint64_t frames = 0;  // records delivered
    uint64_t remoteFrames = 0;
    uint64_t errorFrames = 0;
    uint64_t skippedFrames = 0;  // remote or error frames not delivered
    uint64_t unknownEvents = 0;
    uint64_t malformed = 0;
    uint64_t warnings = 0;
};

using IssueCallback = void (*)(void* context, const ReadIssue& issue);

struct ReaderOptions {
    bool skipRemoteFrames = false;
    bool skipErrorFrames = false;
    IssueCallback onIssue = nullptr;
    void* context = nullptr;
};

}  // namespace canxlate::logs
