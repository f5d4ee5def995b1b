// Hexadecimal and decimal digits for the text log formats, by table lookup.
#pragma once

#include <array>
#include <cstdint>

namespace canxlate::logs {

inline constexpr int kNotDigit = -1;

inline constexpr std::array<int8_t, 256> kHexValues = [] {
    std::array<int8_t, 256> values{};
    values.fill(kNotDigit);
    for (int c = '0'; c <= '9'; ++c) values[static_cast<std::size_t>(c)] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) values[static_cast<std::size_t>(c)] = static_cast<int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) values[static_cast<std::size_t>(c)] = static_cast<int8_t>(c - 'a' + 10);
    return values;
}();

inline int hexValue(char c) { return kHexValues[static_cast<unsigned char>(c)]; }
// The value 0..15 of a hex digit, 0xFF for any other character: digits of a
// run can be OR-ed together and checked once.
inline unsigned hexNibble(char c) { return static_cast<uint8_t>(kHexValues[static_cast<unsigned char>(c)]); }
inline int decimalValue(char c) { return c >= '0' && c <= '9' ? c - '0' : kNotDigit; }

inline constexpr char kUpperHex[] = "0123456789ABCDEF";

}  // namespace canxlate::logs
