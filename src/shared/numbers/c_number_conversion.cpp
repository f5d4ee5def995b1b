#include "shared/numbers/c_number_conversion.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <limits>
#include <string>
#include <system_error>

namespace canxlate {

namespace {

bool isCWhiteSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool isDecimalDigit(char c) { return c >= '0' && c <= '9'; }

// Index of the first character after the leading white space.
std::size_t skipWhiteSpace(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isCWhiteSpace(text[i])) {
        ++i;
    }
    return i;
}

// Where the parts of a decimal real number lie in the text. The span
// [numberBegin, numberEnd) is the unsigned number: digits, one separator and
// the exponent, exactly what the number consists of and nothing more.
struct ScannedReal {
    bool found = false;
    bool negative = false;
    std::size_t numberBegin = 0;
    std::size_t numberEnd = 0;
    std::size_t integerEnd = 0;     // end of the integer digits (== separator position if any)
    std::size_t fractionBegin = 0;  // first fraction digit (== integerEnd when no separator)
    std::size_t fractionEnd = 0;
    std::size_t separator = std::string_view::npos;
    int64_t exponent = 0;  // saturated, see kExponentLimit
};

// Large enough that any exponent beyond it over- or underflows whatever the
// digits are, small enough that adding a digit count cannot overflow int64.
constexpr int64_t kExponentLimit = int64_t{1} << 40;

template <typename IsSeparator>
ScannedReal scanReal(std::string_view text, IsSeparator isSeparator) {
    ScannedReal scan;
    std::size_t i = skipWhiteSpace(text);
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        scan.negative = text[i] == '-';
        ++i;
    }
    scan.numberBegin = i;
    while (i < text.size() && isDecimalDigit(text[i])) {
        ++i;
    }
    scan.integerEnd = i;
    scan.fractionBegin = i;
    scan.fractionEnd = i;
    if (i < text.size() && isSeparator(text[i])) {
        scan.separator = i;
        ++i;
        scan.fractionBegin = i;
        while (i < text.size() && isDecimalDigit(text[i])) {
            ++i;
        }
        scan.fractionEnd = i;
    }
    const bool hasDigits = scan.integerEnd > scan.numberBegin || scan.fractionEnd > scan.fractionBegin;
    if (!hasDigits) {
        return ScannedReal{};
    }
    scan.found = true;
    scan.numberEnd = i;

    // An exponent counts only with at least one digit: "1e" and "1e+" read as 1.
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        bool exponentNegative = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            exponentNegative = text[j] == '-';
            ++j;
        }
        if (j < text.size() && isDecimalDigit(text[j])) {
            int64_t exponent = 0;
            while (j < text.size() && isDecimalDigit(text[j])) {
                exponent = std::min(exponent * 10 + (text[j] - '0'), kExponentLimit);
                ++j;
            }
            scan.exponent = exponentNegative ? -exponent : exponent;
            scan.numberEnd = j;
        }
    }
    return scan;
}

// Power of ten of the number's first significant digit, for telling overflow
// from underflow when the exact conversion reports the value out of range.
// Only called for numbers with a non-zero digit.
int64_t decimalMagnitude(std::string_view text, const ScannedReal& scan) {
    for (std::size_t i = scan.numberBegin; i < scan.integerEnd; ++i) {
        if (text[i] != '0') {
            return static_cast<int64_t>(scan.integerEnd - i - 1) + scan.exponent;
        }
    }
    for (std::size_t i = scan.fractionBegin; i < scan.fractionEnd; ++i) {
        if (text[i] != '0') {
            return -static_cast<int64_t>(i - scan.fractionBegin + 1) + scan.exponent;
        }
    }
    return 0;
}

// Converts the scanned span, which uses '.' as its separator, correctly rounded.
double convertScanned(std::string_view text, std::string_view span, const ScannedReal& scan) {
    double magnitude = 0.0;
    const auto result = std::from_chars(span.data(), span.data() + span.size(), magnitude, std::chars_format::general);
    if (result.ec == std::errc::result_out_of_range) {
        magnitude = decimalMagnitude(text, scan) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    } else if (result.ec != std::errc{}) {
        // The span was scanned as a valid decimal number; this cannot happen.
        magnitude = 0.0;
    }
    return scan.negative ? -magnitude : magnitude;
}

}  // namespace

int32_t readCInteger(std::string_view text) {
    std::size_t i = skipWhiteSpace(text);
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    // Unsigned arithmetic wraps modulo 2^32 by definition.
    uint32_t value = 0;
    while (i < text.size() && isDecimalDigit(text[i])) {
        value = value * 10u + static_cast<uint32_t>(text[i] - '0');
        ++i;
    }
    if (negative) {
        value = 0u - value;
    }
    return static_cast<int32_t>(value);
}

double readCReal(std::string_view text) {
    const ScannedReal scan = scanReal(text, [](char c) { return c == '.'; });
    if (!scan.found) {
        return 0.0;
    }
    return convertScanned(text, text.substr(scan.numberBegin, scan.numberEnd - scan.numberBegin), scan);
}

double readZcdReal(std::string_view text) {
    const ScannedReal scan = scanReal(text, [](char c) { return c == '.' || c == ','; });
    if (!scan.found) {
        return 0.0;
    }
    const std::string_view span = text.substr(scan.numberBegin, scan.numberEnd - scan.numberBegin);
    if (scan.separator == std::string_view::npos || text[scan.separator] == '.') {
        return convertScanned(text, span, scan);
    }
    // The separator is a comma: convert a copy with a '.' in its place. Numbers
    // as written in files fit the stack buffer; only absurdly long digit
    // strings need the heap.
    const std::size_t separatorOffset = scan.separator - scan.numberBegin;
    constexpr std::size_t kStackCopySize = 128;
    if (span.size() <= kStackCopySize) {
        char copy[kStackCopySize];
        std::copy(span.begin(), span.end(), copy);
        copy[separatorOffset] = '.';
        return convertScanned(text, std::string_view(copy, span.size()), scan);
    }
    std::string copy(span);
    copy[separatorOffset] = '.';
    return convertScanned(text, copy, scan);
}

}  // namespace canxlate
