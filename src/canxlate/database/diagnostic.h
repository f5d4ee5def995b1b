// One remark about a definition file: how serious it is, where it points and
// what it says.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace canxlate::db {

enum class Severity : int32_t { kInfo = 0, kWarning = 1, kError = 2 };

// What a remark is about, so that a host can decide by kind rather than by
// wording (the values of the C header's CXL_TOPIC_*).
enum class Topic : int32_t {
    kOther = 0,
    kSyntax = 1,        // text that cannot be read: skipped
    kLayout = 2,        // a signal or message that does not fit its payload
    kOverlap = 3,       // signals sharing bits within one multiplexer branch
    kDuplicate = 4,     // a name or ID given twice
    kReference = 5,     // a reference to an unknown message, signal, node or table
    kMultiplexing = 6,  // switches and branches that do not fit together
    kValueType = 7,     // a value type that the signal's length cannot hold
};

struct Diagnostic {
    Severity severity;
    uint32_t line;    // 1-based; 0 when the remark concerns the whole file
    uint32_t column;  // 1-based
    std::string text;
    Topic topic = Topic::kOther;
};

using DiagnosticList = std::vector<Diagnostic>;

}  // namespace canxlate::db
