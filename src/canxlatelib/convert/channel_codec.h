// A channel's layout, scaling and limits prepared for the conversion loops:
// every per-channel decision that does not depend on the payload is taken once,
// when the channel is added, so that decoding and encoding run on shifts,
// masks and one multiply-add without branching on the layout.
#pragma once

#include <cstdint>

#include "shared/definitions/channel_definition.h"
#include "shared/payload/raw_value.h"

namespace canxlate {

struct ChannelCodec {
    // Decoding: the field is ((int64)(word >> wordShift) >> fieldShift) & fieldMask,
    // where word is the payload read little-endian (Intel) or big-endian
    // (Motorola). The arithmetic second shift only matters for a 64-bit
    // Motorola field starting at bits 57 to 63, whose top bits then repeat
    // bit 7 of payload byte 0.
    uint64_t fieldMask;
    // Encoding: the field is shifted by placeShift within the word of its
    // byte order.
    uint8_t bigEndian;
    uint8_t wordShift;
    uint8_t fieldShift;
    uint8_t placeShift;
    uint8_t signShift;  // 64 - bitCount, for sign extension
    RawKind kind;
    double factor;
    double offset;
    // Limits as the conversions compare them: with clamping off they are
    // -inf and +inf, which no value passes, so one code path serves both.
    double lowerLimit;
    double upperLimit;
    // Saturation range of an integer field.
    double rawMinimum;
    double rawMaximum;
};
// A cache line: a message may hold a hundred thousand channels.
static_assert(sizeof(ChannelCodec) == 64);

// For a definition that passed validation.
ChannelCodec makeChannelCodec(const ChannelDefinition& definition) noexcept;

}  // namespace canxlate
