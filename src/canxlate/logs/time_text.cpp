#include "canxlate/logs/time_text.h"

#include <cstdio>
#include <cstring>

#include "canxlate/logs/text_words.h"

namespace canxlate::logs {
namespace {

constexpr int64_t kLargestWholeSeconds = 9000000000;  // keeps nanoseconds within int64_t

bool isDigit(char c) { return static_cast<unsigned char>(c - '0') < 10; }

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, with
// years counted from March so that the leap day ends a year.
int64_t daysFromCivil(int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const int64_t yearOfEra = year - era * 400;
    const int shiftedMonth = month > 2 ? month - 3 : month + 9;
    const int64_t dayOfYear = (153 * shiftedMonth + 2) / 5 + day - 1;
    const int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

int64_t floorDivide(int64_t value, int64_t divisor) {
    const int64_t quotient = value / divisor;
    return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

// The decimals of text from `from` on (one digit or more, nothing else) as
// nanoseconds; digits beyond nanoseconds are dropped.
bool parseDecimals(std::string_view text, std::size_t from, int64_t& nanoseconds) {
    static constexpr int64_t kScales[] = {1000000000, 100000000, 10000000, 1000000, 100000, 10000, 1000, 100, 10, 1};
    const char* const firstDigit = text.data() + from;
    const char* const end = text.data() + text.size();
    const auto decimals = end - firstDigit;
    uint64_t digits = 0;
    if (kWordScans && decimals > 0 && decimals <= 8 && text.size() >= 8) {
        // The usual 1 to 8 decimals, read in one step as 8 with zeros after them:
        // the word that ends the text, moved down to them.
        const auto shift = static_cast<unsigned>(8 * (8 - decimals));
        uint64_t word = loadWord(end - 8);
        if (shift != 0) word = word >> shift | uint64_t{0x3030303030303030} << (64 - shift);
        if (eightDigits(word, digits)) {
            nanoseconds = static_cast<int64_t>(digits) * 10;
            return true;
        }
    }
    const char* at = firstDigit;
    const char* const lastKept = decimals > 9 ? at + 9 : end;
    int64_t fraction = 0;
    if (kWordScans && lastKept - at >= 8 && eightDigits(at, digits)) {
        fraction = static_cast<int64_t>(digits);
        at += 8;
    }
    while (at != lastKept && isDigit(*at)) fraction = fraction * 10 + (*at++ - '0');
    fraction *= kScales[at - firstDigit];
    while (at != end && isDigit(*at)) ++at;
    if (at == firstDigit || at != end) return false;
    nanoseconds = fraction;
    return true;
}

}  // namespace

bool parseSeconds(std::string_view text, int64_t& nanoseconds) {
    const char* at = text.data();
    const char* const end = at + text.size();
    int64_t whole = 0;
    uint64_t digits = 0;
    if constexpr (kWordScans) {
        while (end - at >= 8 && eightDigits(at, digits) && whole <= kLargestWholeSeconds) {
            whole = whole * 100000000 + static_cast<int64_t>(digits);
            at += 8;
        }
        if (whole > kLargestWholeSeconds) return false;
    }
    while (at != end && isDigit(*at)) {
        whole = whole * 10 + (*at++ - '0');
        if (whole > kLargestWholeSeconds) return false;
    }
    if (at == text.data()) return false;
    int64_t fraction = 0;
    if (at != end && (*at != '.' || !parseDecimals(text, static_cast<std::size_t>(at - text.data()) + 1, fraction)))
        return false;
    nanoseconds = whole * kNanosecondsPerSecond + fraction;
    return true;
}

bool SecondsReader::read(std::string_view text, int64_t& nanoseconds) {
    if (keptSize_ != 0 && text.size() > keptSize_ && std::memcmp(text.data(), kept_, keptSize_) == 0) {
        int64_t fraction = 0;
        if (!parseDecimals(text, keptSize_, fraction)) return false;
        nanoseconds = keptNanoseconds_ + fraction;
        return true;
    }
    if (!parseSeconds(text, nanoseconds)) return false;
    const std::size_t point = text.find('.');
    if (point != std::string_view::npos && point < kKeptCapacity) {
        keptSize_ = point + 1;
        std::memcpy(kept_, text.data(), keptSize_);
        keptNanoseconds_ = nanoseconds - nanoseconds % kNanosecondsPerSecond;
    }
    return true;
}

std::size_t formatSeconds(int64_t nanoseconds, char* out) {
    const bool negative = nanoseconds < 0;
    // Magnitude without overflow for the most negative value.
    const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(nanoseconds) : static_cast<uint64_t>(nanoseconds);
    const uint64_t whole = magnitude / kNanosecondsPerSecond;
    const uint64_t fraction = magnitude % kNanosecondsPerSecond;
    const int written =
        fraction % 1000 == 0
            ? std::snprintf(out, kSecondsTextCapacity, "%s%llu.%06llu", negative ? "-" : "",
                            static_cast<unsigned long long>(whole), static_cast<unsigned long long>(fraction / 1000))
            : std::snprintf(out, kSecondsTextCapacity, "%s%llu.%09llu", negative ? "-" : "",
                            static_cast<unsigned long long>(whole), static_cast<unsigned long long>(fraction));
    return written > 0 ? static_cast<std::size_t>(written) : 0;
}

CivilTime civilFromNanoseconds(int64_t nanoseconds) {
    const int64_t milliseconds = floorDivide(nanoseconds, 1000000);
    const int64_t days = floorDivide(milliseconds, 86400000);
    int64_t ofDay = milliseconds - days * 86400000;
    CivilTime time;
    time.millisecond = static_cast<int>(ofDay % 1000);
    ofDay /= 1000;
    time.second = static_cast<int>(ofDay % 60);
    time.minute = static_cast<int>(ofDay / 60 % 60);
    time.hour = static_cast<int>(ofDay / 3600);
    time.weekday = static_cast<int>((days % 7 + 11) % 7);  // 1970-01-01 was a Thursday
    // Inverse of daysFromCivil.
    const int64_t shifted = days + 719468;
    const int64_t era = floorDivide(shifted, 146097);
    const int64_t dayOfEra = shifted - era * 146097;
    const int64_t yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const int64_t shiftedMonth = (5 * dayOfYear + 2) / 153;
    time.day = static_cast<int>(dayOfYear - (153 * shiftedMonth + 2) / 5 + 1);
    time.month = static_cast<int>(shiftedMonth < 10 ? shiftedMonth + 3 : shiftedMonth - 9);
    time.year = static_cast<int>(yearOfEra + era * 400 + (time.month <= 2 ? 1 : 0));
    return time;
}

bool nanosecondsFromCivil(const CivilTime& time, int64_t& nanoseconds) {
    static constexpr int kDaysInMonth[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (time.year < 1970 || time.year > 2200 || time.month < 1 || time.month > 12 || time.day < 1 ||
        time.day > kDaysInMonth[time.month - 1] || time.hour < 0 || time.hour > 23 || time.minute < 0 ||
        time.minute > 59 || time.second < 0 || time.second > 60 || time.millisecond < 0 || time.millisecond > 999)
        return false;
    const int64_t days = daysFromCivil(time.year, time.month, time.day);
    const int64_t seconds = days * 86400 + time.hour * 3600 + time.minute * 60 + time.second;
    nanoseconds = seconds * kNanosecondsPerSecond + int64_t{time.millisecond} * 1000000;
    return true;
}

int64_t headerStartNs(int64_t firstNs) {
    constexpr int64_t kNanosecondsPerMillisecond = 1000000;
    const int64_t start =
        firstNs - ((firstNs % kNanosecondsPerMillisecond) + kNanosecondsPerMillisecond) % kNanosecondsPerMillisecond;
    int64_t again = 0;
    return start >= 0 && nanosecondsFromCivil(civilFromNanoseconds(start), again) ? start : 0;
}

}  // namespace canxlate::logs
