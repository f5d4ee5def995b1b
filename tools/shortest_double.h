// Doubles as the shortest text that reads back to the same value, so that a
// decoded value survives a trip through text unchanged.
#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>

namespace canxlate::cli {

// Longest text writeShortestDouble produces ("-2.2250738585072014e-308" is 24).
inline constexpr std::size_t kShortestDoubleMaxLength = 32;

// The values that are not small integers.
char* writeShortestFraction(char* out, double value);

// Writes the value at out (room for kShortestDoubleMaxLength characters
// needed) and returns the end. Not-a-number is "nan", infinities "inf" and
// "-inf". Inline for the commonest values, integers below 1e5 (zero and
// minus zero included), which are their digits.
inline char* writeShortestDouble(char* out, double value) {
    const double magnitude = std::fabs(value);
    if (magnitude < 1e5) {
        const auto whole = static_cast<uint32_t>(magnitude);
        if (static_cast<double>(whole) == magnitude) {
            if (std::signbit(value)) *out++ = '-';
            return std::to_chars(out, out + 5, whole).ptr;
        }
    }
    return writeShortestFraction(out, value);
}

}  // namespace canxlate::cli
