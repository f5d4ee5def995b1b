// One channel: a bit field of the 8-byte payload with linear scaling and
// optional limits. The file readers hand their channels over in the same
// record (ImportedChannel), built by the same constructor.
#pragma once

#include <cstdint>
#include <string>

#include "shared/text/short_text.h"

namespace canxlate {

enum ChannelDataType : uint32_t { kDataTypeSignedInt = 0, kDataTypeUnsignedInt = 1, kDataTypeIeeeFloat = 2 };
enum ByteOrder : uint32_t { kByteOrderLittleEndian = 0, kByteOrderBigEndian = 1 };

struct ChannelDefinition {
    // A null name or unit gives an empty string. Throws std::bad_alloc.
    ChannelDefinition(const char* name, const char* unit, uint32_t startBit, uint32_t bitCount, uint32_t dataType,
                      uint32_t byteOrder, double factor, double offset, double minimum, double maximum,
                      uint32_t messageId, uint32_t payloadSize);

    // A file may define a message of very many channels: names and units
    // of up to 15 bytes are kept in place.
    ShortText name;
    ShortText unit;
    uint32_t startBit;
    uint32_t bitCount;
    uint32_t dataType;
    uint32_t byteOrder;
    double factor;
    double offset;
    double minimum;
    double maximum;
    uint32_t messageId;
    uint32_t payloadSize;
    // Clamping is off exactly when both limits are 0 (IEEE comparison: -0.0 is
    // 0, a NaN limit turns clamping on).
    bool limitsEnabled;
};

// The record in which the file readers hand over a channel.
using ImportedChannel = ChannelDefinition;

}  // namespace canxlate
