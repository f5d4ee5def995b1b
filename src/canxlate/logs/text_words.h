// Log text eight characters at a time: the readers' hottest scans (the end of
// a token, runs of decimal digits) look at a 64-bit word per step where the
// text is long enough, and byte by byte elsewhere and on big-endian machines.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace canxlate::logs {

inline constexpr bool kWordScans = std::endian::native == std::endian::little;

inline uint64_t loadWord(const char* at) {
    uint64_t word;
    std::memcpy(&word, at, sizeof word);
    return word;
}

// The high bit of every byte of word that equals c (exact for the lowest such
// byte, which is all that the scans use).
inline uint64_t bytesEqual(uint64_t word, char c) {
    constexpr uint64_t kOnes = 0x0101010101010101;
    constexpr uint64_t kHighBits = 0x8080808080808080;
    const uint64_t zeroWhereEqual = word ^ (kOnes * static_cast<unsigned char>(c));
    return (zeroWhereEqual - kOnes) & ~zeroWhereEqual & kHighBits;
}

// The first blank (space or tab) in [at, end), or end.
inline const char* findBlank(const char* at, const char* end) {
    if constexpr (kWordScans) {
        for (; end - at >= 8; at += 8) {
            const uint64_t word = loadWord(at);
            const uint64_t blanks = bytesEqual(word, ' ') | bytesEqual(word, '\t');
            if (blanks != 0) return at + std::countr_zero(blanks) / 8;
        }
    }
    while (at != end && *at != ' ' && *at != '\t') ++at;
    return at;
}

// The first c in [at, end), or end.
inline const char* findByte(const char* at, const char* end, char c) {
    if constexpr (kWordScans) {
        for (; end - at >= 8; at += 8)
            if (const uint64_t found = bytesEqual(loadWord(at), c); found != 0) return at + std::countr_zero(found) / 8;
    }
    while (at != end && *at != c) ++at;
    return at;
}

// True when the eight characters of word (the first in its lowest byte) are
// all decimal digits; value is then their number.
inline bool eightDigits(uint64_t word, uint64_t& value) {
    // Every byte 0x30..0x39: its high nibble 3, and still 3 after adding 6.
    constexpr uint64_t kHighNibbles = 0xF0F0F0F0F0F0F0F0;
    if (((word & kHighNibbles) | (((word + 0x0606060606060606) & kHighNibbles) >> 4)) != 0x3333333333333333)
        return false;
    word -= 0x3030303030303030;
    // Pairs of digits into bytes, pairs of those into 16 bits, then the two halves.
    word = word * 10 + (word >> 8);
    constexpr uint64_t kPairs = 0x000000FF000000FF;
    word = ((word & kPairs) * (100 + (uint64_t{1000000} << 32)) +
            ((word >> 16) & kPairs) * (1 + (uint64_t{10000} << 32))) >>
           32;
    value = word;
    return true;
}

inline bool eightDigits(const char* at, uint64_t& value) { return eightDigits(loadWord(at), value); }

}  // namespace canxlate::logs
