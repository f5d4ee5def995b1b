// A signal's bit field in a payload of up to 64 bytes, read and written
// without touching any byte outside the field.
#pragma once

#include <cstddef>
#include <cstdint>

#include "shared/payload/payload_words.h"

namespace canxlate::db {

inline constexpr uint32_t kMaxPayloadBytes = 64;

// Eight bytes: a file may hold millions of signals.
struct BitField {
    uint16_t anchor;   // byte holding the least significant bit
    uint16_t endByte;  // one past the highest byte index the field touches
    uint8_t shift;     // position of the least significant bit in the anchor byte
    uint8_t length;
    uint8_t bigEndian;  // Motorola: more significant bits in lower byte indexes

    // length low bits set.
    uint64_t mask() const noexcept { return ~uint64_t{0} >> (64 - length); }
};
static_assert(sizeof(BitField) == 8);

// A field of length 1..64 whose least significant bit is lsbBit. False when it
// does not lie within the first 64 bytes.
bool makeBitField(uint32_t lsbBit, uint32_t length, bool bigEndian, BitField* field) noexcept;

// The field's bits; the caller has made sure that endByte <= the bytes received.
inline uint64_t readField(const BitField& field, const uint8_t* payload, size_t received) noexcept {
    const size_t anchor = field.anchor;
    uint64_t word;
    uint64_t spill = 0;  // the ninth byte of a field that spans nine
    if (field.bigEndian) {
        // Bytes anchor, anchor-1, ... as the low, next, ... byte of the word.
        if (anchor >= 7) {
            word = byteSwap64(loadLittleEndian(payload + anchor - 7));
        } else if (received >= 8) {
            word = byteSwap64(loadLittleEndian(payload)) >> (8 * (7 - anchor));
        } else {
            word = 0;
            for (size_t k = 0; k <= anchor; ++k) word |= uint64_t{payload[anchor - k]} << (8 * k);
        }
        if (field.shift + field.length > 64) spill = payload[anchor - 8];
    } else {
        if (anchor + 8 <= received) {
            word = loadLittleEndian(payload + anchor);
        } else if (received >= 8) {
            // The last eight bytes received, moved down to the anchor.
            word = loadLittleEndian(payload + received - 8) >> (8 * (anchor + 8 - received));
        } else {
            word = 0;
            for (size_t k = 0; anchor + k < received; ++k) word |= uint64_t{payload[anchor + k]} << (8 * k);
        }
        if (field.shift + field.length > 64) spill = payload[anchor + 8];
    }
    uint64_t value = word >> field.shift;
    if (spill != 0) value |= spill << (64 - field.shift);
    return value & field.mask();
}

// Replaces the field's bits with the low bits of raw; other bits stay.
void writeField(const BitField& field, uint64_t raw, uint8_t* payload) noexcept;

}  // namespace canxlate::db
