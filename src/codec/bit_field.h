// A signal's bit field in a payload of up to 64 bytes, read and written
// without touching any byte outside the field.
#pragma once

#include <cstddef>
#include <cstdint>

namespace canxlate::db {

inline constexpr uint32_t kMaxPayloadBytes = 64;

struct BitField {
    uint64_t mask;     // length low bits set
    uint16_t anchor;   // byte holding the least significant bit
    uint16_t endByte;  // one past the highest byte index the field touches
    uint8_t shift;     // position of the least significant bit in the anchor byte
    uint8_t length;
    uint8_t bigEndian;  // Motorola: more significant bits in lower byte indexes
};

// A field of length 1..64 whose least significant bit is lsbBit. False when it
// does not lie within the first 64 bytes.
bool makeBitField(uint32_t lsbBit, uint32_t length, bool bigEndian, BitField* field) noexcept;

// The field's bits; the caller has made sure that endByte <= the bytes received.
uint64_t readField(const BitField& field, const uint8_t* payload, size_t received) noexcept;

// Replaces the field's bits with the low bits of raw; other bits stay.
void writeField(const BitField& field, uint64_t raw, uint8_t* payload) noexcept;

}  // namespace canxlate::db
