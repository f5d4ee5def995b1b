// Doubles as the shortest text that reads back to the same value, so that a
// decoded value survives a trip through text unchanged.
#pragma once

#include <charconv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "decimal_digits.h"

namespace canxlate::cli {

// Longest text writeShortestDouble produces ("-2.2250738585072014e-308" is 24);
// it may write a few bytes past the end of its text, within this room.
inline constexpr std::size_t kShortestDoubleMaxLength = 32;

// The values that are not small integers.
char* writeShortestFraction(char* out, double value);

// Digits of a number below 100000 without a branch on its size: random
// values would have the branches mispredicted about every other time. Six
// digits are made, the leading zeros shifted out, and eight bytes stored;
// the end is returned.
inline char* writeSmallInteger(char* out, uint32_t value) {
    const uint32_t size = 1 + (value >= 10) + (value >= 100) + (value >= 1000) + (value >= 10000);
    const uint64_t shown = (sixDigits(value) + kZeroCharacters) >> (8 * (6 - size));
    std::memcpy(out, &shown, 8);
    return out + size;
}

// Writes the value at out (room for kShortestDoubleMaxLength characters
// needed) and returns the end. Not-a-number is "nan", infinities "inf" and
// "-inf". Inline for the commonest values, integers below 1e5 (zero and
// minus zero included), which are their digits.
inline char* writeShortestDouble(char* out, double value) {
    const double magnitude = std::fabs(value);
    if (magnitude < 1e5) {
        const auto whole = static_cast<uint32_t>(magnitude);
        if (static_cast<double>(whole) == magnitude) {
            *out = '-';
            out += std::signbit(value) ? 1 : 0;
            return writeSmallInteger(out, whole);
        }
    }
    return writeShortestFraction(out, value);
}

}  // namespace canxlate::cli
