// Decimal digits made side by side in one word, for the hot text forms
// (timestamps, values): no loop and no branch on a number's size.
#pragma once

#include <cstdint>

namespace canxlate::cli {

// Added to a word of digit values, makes them characters.
inline constexpr uint64_t kZeroCharacters = 0x3030303030303030u;

// The six digits of a value below 1000000 as byte values 0 to 9, the first
// digit in the lowest byte, so that the word stored little-endian reads
// left to right; bytes 6 and 7 are zero.
inline uint64_t sixDigits(uint32_t value) noexcept {
    const uint32_t pairs[3] = {value / 10000, value / 100 % 100, value % 100};
    uint64_t digits = 0;
    for (int i = 0; i < 3; ++i) digits |= uint64_t{pairs[i] / 10 | pairs[i] % 10 << 8} << (16 * i);
    return digits;
}

}  // namespace canxlate::cli
