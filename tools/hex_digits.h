// Hexadecimal digits in both directions, by table lookup: the log parser and
// the frame printer run this once per character of a log.
#pragma once

#include <array>
#include <cstdint>

namespace canxlate::cli {

inline constexpr int8_t kNotHex = -1;

inline constexpr std::array<int8_t, 256> kHexDigitValues = [] {
    std::array<int8_t, 256> values{};
    values.fill(kNotHex);
    for (int c = '0'; c <= '9'; ++c) values[static_cast<std::size_t>(c)] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) values[static_cast<std::size_t>(c)] = static_cast<int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) values[static_cast<std::size_t>(c)] = static_cast<int8_t>(c - 'a' + 10);
    return values;
}();

// The value 0..15 of a hex digit, or kNotHex.
inline int hexDigitValue(char c) { return kHexDigitValues[static_cast<unsigned char>(c)]; }

inline constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

}  // namespace canxlate::cli
