// Payload to values, multiplexing respected.
#pragma once

#include <cstddef>
#include <cstdint>

#include "canxlate.h"
#include "canxlate/database/database.h"

namespace canxlate::db {

// Prepares message.plan from its signals (layout, type, limits, multiplexing).
void buildDecodePlan(Message& message);

// values[i] for signal i; length at most kMaxPayloadBytes.
void decodeMessage(const Message& message, const uint8_t* payload, size_t length, bool clamp,
                   cxl_value* values) noexcept;

// See cxl_decode_batch; the arguments have been checked.
void decodeBatch(const Database& database, const cxl_batch& batch, bool clamp) noexcept;

// Whether a switch's raw value lies in one of the ranges.
bool inRanges(const std::vector<MuxRange>& ranges, uint64_t raw) noexcept;

// The value-table text of a raw value, or null.
const char* valueText(const Signal& signal, uint64_t raw) noexcept;

}  // namespace canxlate::db
