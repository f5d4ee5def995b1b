// Payload to channel values.
#pragma once

#include <cstdint>

#include "canxlatelib/frame/table_registry.h"

namespace canxlate {

int32_t decodeFrame(TableHandle handle, uint32_t messageId, const uint8_t* payload, double* values) noexcept;
int32_t decodeFrameWords(TableHandle handle, uint32_t messageId, const uint32_t* words, double* values) noexcept;

}  // namespace canxlate
