// The per-call record into which the global lock writes its failures. It is
// never returned to the host: a failed lock shows only here.
#pragma once

#include <cstdint>

namespace canxlate {

inline constexpr int32_t kErrLockFailed = -52000;
inline constexpr uint32_t kStatusRecordSize = 164;

struct StatusRecord {
    uint32_t size = kStatusRecordSize;
    int32_t code = 0;
    char component[10] = {};
    char sourceFile[102] = {};  // 101 characters and a terminating zero
    int32_t line = 0;
    uint32_t extra = 0;

    // Records a lock failure, unless one is recorded already: the first
    // failure stands. Names are cut to their fields and zero-filled.
    void recordLockFailure(const char* file, int32_t sourceLine) noexcept;
};

}  // namespace canxlate
