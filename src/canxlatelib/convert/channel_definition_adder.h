// Adding one channel to a table: validation, the message's creation with its
// first channel, the duplicate-name and overlap check, and the append.
#pragma once

#include <cstdint>
#include <memory>

#include "canxlatelib/frame/message_table.h"
#include "canxlatelib/frame/table_registry.h"
#include "shared/definitions/channel_definition.h"

namespace canxlate {

// Throws std::bad_alloc, and then leaves the table unchanged.
int32_t addChannelDefinition(TableHandle handle, const char* name, const char* unit, uint32_t startBit,
                             uint32_t bitCount, uint32_t dataType, uint32_t byteOrder, double factor, double offset,
                             double minimum, double maximum, uint32_t messageId, uint32_t payloadSize);

// The same for a definition that a file reader made: on success the table
// takes it over (its payload size becomes the message's), so that a large
// import holds each channel once; when it is refused, it stays with the caller.
int32_t addChannelDefinition(TableHandle handle, std::unique_ptr<ChannelDefinition>& definition);

// Room for more channels of a message that the table holds, so that a run of
// them, added one by one, grows its lists once; false when the table holds no
// such message. Call it under the global lock. Throws std::bad_alloc.
bool reserveChannels(MessageTable& table, uint32_t messageId, size_t more);

// The bit-layout rules of a channel: kSuccess or kErrInvalidBitLayout.
int32_t checkBitLayout(uint32_t startBit, uint32_t bitCount, uint32_t dataType, uint32_t byteOrder) noexcept;

}  // namespace canxlate
