// The 8-byte payload as one 64-bit word, little-endian (byte 0 least
// significant) or big-endian (byte 0 most significant), and the two 32-bit
// words of the host's word form (word k holds bytes 4k..4k+3, byte 4k most
// significant).
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>

namespace canxlate {

inline uint64_t byteSwap64(uint64_t value) noexcept { return __builtin_bswap64(value); }
inline uint32_t byteSwap32(uint32_t value) noexcept { return __builtin_bswap32(value); }

inline uint64_t loadLittleEndian(const uint8_t* payload) noexcept {
    uint64_t word;
    std::memcpy(&word, payload, sizeof word);
    if constexpr (std::endian::native == std::endian::big) word = byteSwap64(word);
    return word;
}

inline void storeLittleEndian(uint64_t word, uint8_t* payload) noexcept {
    if constexpr (std::endian::native == std::endian::big) word = byteSwap64(word);
    std::memcpy(payload, &word, sizeof word);
}

inline uint64_t littleEndianFromWords(const uint32_t* words) noexcept {
    return uint64_t{byteSwap32(words[0])} | uint64_t{byteSwap32(words[1])} << 32;
}

inline void wordsFromLittleEndian(uint64_t word, uint32_t* words) noexcept {
    words[0] = byteSwap32(static_cast<uint32_t>(word));
    words[1] = byteSwap32(static_cast<uint32_t>(word >> 32));
}

}  // namespace canxlate
