// Adding one channel to a table: validation, the message's creation with its
// first channel, the duplicate-name and overlap check, and the append.
#pragma once

#include <cstdint>

#include "canxlatelib/frame/table_registry.h"

namespace canxlate {

// Throws std::bad_alloc, and then leaves the table unchanged.
int32_t addChannelDefinition(TableHandle handle, const char* name, const char* unit, uint32_t startBit,
                             uint32_t bitCount, uint32_t dataType, uint32_t byteOrder, double factor, double offset,
                             double minimum, double maximum, uint32_t messageId, uint32_t payloadSize);

// The bit-layout rules of a channel: kSuccess or kErrInvalidBitLayout.
int32_t checkBitLayout(uint32_t startBit, uint32_t bitCount, uint32_t dataType, uint32_t byteOrder) noexcept;

}  // namespace canxlate
