// Timestamps as the logs write them: decimal seconds in text, calendar dates
// in ASC headers and BLF file headers. All exact in integer nanoseconds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace canxlate::logs {

inline constexpr int64_t kNanosecondsPerSecond = 1000000000;

// "123" or "123.456789..." (digits beyond nanoseconds are dropped) into
// nanoseconds. False for anything else or above about 292 years.
bool parseSeconds(std::string_view text, int64_t& nanoseconds);

// parseSeconds for the timestamps of a log, line after line: those mostly
// share their whole seconds, which are read again only when their text
// changes.
class SecondsReader {
public:
    bool read(std::string_view text, int64_t& nanoseconds);

private:
    static constexpr std::size_t kKeptCapacity = 24;
    char kept_[kKeptCapacity] = {};  // the last whole seconds' text with its point
    std::size_t keptSize_ = 0;       // 0: none
    int64_t keptNanoseconds_ = 0;
};

// Seconds with 6 decimals, or 9 when the value has sub-microsecond digits.
// Writes at most kSecondsTextCapacity bytes, returns how many.
inline constexpr std::size_t kSecondsTextCapacity = 32;
std::size_t formatSeconds(int64_t nanoseconds, char* out);

struct CivilTime {
    int year = 1970;
    int month = 1;  // 1..12
    int day = 1;    // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
    int weekday = 4;  // 0 Sunday .. 6 Saturday
};

// Calendar time in UTC of nanoseconds since 1970 (rounded down to the
// millisecond), and back. fromCivil checks ranges and returns false when
// the date is impossible.
CivilTime civilFromNanoseconds(int64_t nanoseconds);
bool nanosecondsFromCivil(const CivilTime& time, int64_t& nanoseconds);

// The start that an ASC or BLF header gives for a log whose first frame is
// at firstNs: that time rounded down to the millisecond (headers have no
// finer unit; frames give the rest), or 1970 itself when the date is not one
// the readers take (before 1970 or after 2200).
int64_t headerStartNs(int64_t firstNs);

}  // namespace canxlate::logs
