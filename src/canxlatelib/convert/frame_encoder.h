// Channel values to payload.
#pragma once

#include <cstdint>

#include "canxlatelib/frame/table_registry.h"

namespace canxlate {

int32_t encodeFrame(TableHandle handle, uint32_t messageId, double* values, uint8_t* payload) noexcept;
int32_t encodeFrameWords(TableHandle handle, uint32_t messageId, double* values, uint32_t* words) noexcept;

}  // namespace canxlate
