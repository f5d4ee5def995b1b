// Payload to values, multiplexing respected.
#pragma once

#include <cstddef>
#include <cstdint>

#include "canxlate.h"
#include "database/database.h"

namespace canxlate::db {

// values[i] for signal i; length at most kMaxPayloadBytes.
void decodeMessage(const Message& message, const uint8_t* payload, size_t length, bool clamp,
                   cxl_value* values) noexcept;

// Whether a switch's raw value lies in one of the ranges.
bool inRanges(const std::vector<MuxRange>& ranges, uint64_t raw) noexcept;

// The value-table text of a raw value, or null.
const char* valueText(const Signal& signal, uint64_t raw) noexcept;

}  // namespace canxlate::db
