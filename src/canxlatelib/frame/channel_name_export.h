// Copies of a message's channel names, handed to the host, and their release.
#pragma once

#include <cstdint>

#include "canxlatelib/frame/table_registry.h"

namespace canxlate {

int32_t exportChannelNames(TableHandle handle, uint32_t messageId, uint32_t* count, char*** names);
int32_t releaseChannelNames(char** names, uint32_t count) noexcept;

}  // namespace canxlate
