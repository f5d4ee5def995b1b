// Read-only questions about a table. All but getLargestChannelCount freeze it.
#pragma once

#include <cstdint>

#include "canxlatelib/frame/table_registry.h"

namespace canxlate {

int32_t queryMessageCount(TableHandle handle, uint32_t* count) noexcept;
int32_t queryMessageIds(TableHandle handle, uint32_t* ids) noexcept;
int32_t queryMessageSize(TableHandle handle, uint32_t messageId, uint8_t* size) noexcept;
int32_t queryChannelCount(TableHandle handle, uint32_t messageId, uint32_t* count) noexcept;
int32_t queryLargestChannelCount(TableHandle handle, uint32_t* count) noexcept;

}  // namespace canxlate
