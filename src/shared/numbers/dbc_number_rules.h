// How the DBC reader turns the numbers of a DBC file into channel values:
// message IDs and the start bit of big-endian (Motorola) signals.
#pragma once

#include <cstdint>

namespace canxlate {

// A DBC file marks an extended (29-bit) identifier with bit 31 of the message
// ID; only the low 29 bits identify the message.
inline constexpr uint32_t kDbcMessageIdMask = 0x1FFFFFFFu;

// Message ID of a "BO_ " line from its real value: truncated toward zero,
// reduced modulo 2^32 (negative values wrap), then masked to 29 bits.
// A NaN or infinite value gives 0.
uint32_t dbcMessageIdFromReal(double value);

// Message ID of a "SIG_VALTYPE_ " line from its 32-bit integer value.
uint32_t dbcMessageIdFromInteger(int32_t value);

// A DBC file gives a Motorola signal's start bit as the position of its most
// significant bit; a channel definition wants that of its least significant
// bit. Walks bitCount - 1 bits toward less significant bits in big-endian bit
// order: from bit position p to p - 1 when p mod 8 != 0, else to p + 15 (bit 0
// of a byte continues at bit 7 of the next byte). Positions outside the
// payload come out as they fall (wrapped to 32 bits) for the channel
// validation to refuse; a bit count below 1 leaves the start bit unchanged.
uint32_t motorolaLeastSignificantStartBit(int32_t mostSignificantStartBit, int32_t bitCount);

}  // namespace canxlate
