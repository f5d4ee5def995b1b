#include "canxlate/database/bit_field.h"

#include <cstring>

#include "shared/payload/payload_words.h"

namespace canxlate::db {

bool makeBitField(uint32_t lsbBit, uint32_t length, bool bigEndian, BitField* field) noexcept {
    if (length < 1 || length > 64 || lsbBit >= 8 * kMaxPayloadBytes) return false;
    const uint32_t anchor = lsbBit / 8;
    const uint32_t shift = lsbBit % 8;
    const uint32_t spannedBytes = (shift + length + 7) / 8;
    uint32_t endByte;
    if (bigEndian) {
        if (spannedBytes > anchor + 1) return false;
        endByte = anchor + 1;
    } else {
        endByte = anchor + spannedBytes;
        if (endByte > kMaxPayloadBytes) return false;
    }
    field->anchor = static_cast<uint16_t>(anchor);
    field->endByte = static_cast<uint16_t>(endByte);
    field->shift = static_cast<uint8_t>(shift);
    field->length = static_cast<uint8_t>(length);
    field->bigEndian = bigEndian ? 1 : 0;
    return true;
}

void writeField(const BitField& field, uint64_t raw, uint8_t* payload) noexcept {
    uint32_t remaining = field.length;
    uint32_t bit = field.shift;
    size_t index = field.anchor;
    while (remaining > 0) {
        const uint32_t count = remaining < 8 - bit ? remaining : 8 - bit;
        const auto bits = static_cast<uint8_t>(((1u << count) - 1) << bit);
        payload[index] = static_cast<uint8_t>((payload[index] & ~bits) | ((raw << bit) & bits));
        raw = count < 64 ? raw >> count : 0;
        remaining -= count;
        bit = 0;
        index = field.bigEndian ? index - 1 : index + 1;
    }
}

}  // namespace canxlate::db
