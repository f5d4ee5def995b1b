#include "canxlatelib/frame/status_record.h"

#include <cstring>

namespace canxlate {
namespace {

void copyZeroFilled(char* destination, std::size_t capacity, const char* source) noexcept {
    std::memset(destination, 0, capacity);
    std::size_t length = std::strlen(source);
    std::memcpy(destination, source, length < capacity ? length : capacity);
}

}  // namespace

void StatusRecord::recordLockFailure(const char* file, int32_t sourceLine) noexcept {
    if (code < 0) return;
    code = kErrLockFailed;
    if (size < kStatusRecordSize) return;
    copyZeroFilled(component, sizeof component, "canxlatelib");
    copyZeroFilled(sourceFile, sizeof sourceFile - 1, file);
    line = sourceLine;
    extra = 0;
}

}  // namespace canxlate
